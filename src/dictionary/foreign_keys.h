// The foreign-key rules of the data dictionary, in one place: how the
// dictionary's local/reference entries group into keys, which tables come
// before which, where a column's foreign keys lead, and which columns form
// a table's primary key. The create statement, the joins over related
// tables, the data import, the table sorts and the index tables all use
// these, so they agree on every dictionary.
//
// Names of tables and columns are compared without regard to letter case.
//
// Thread safety: the functions keep no state; those that look tables up
// read the table definitions (dictionary/table_defn.h, locked internally).
// The references they return point into definitions, which stay valid until
// the definitions are freed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "dictionary/table_defn.h"

namespace fh {

// One foreign key: the local columns of a table and the columns of the
// referenced table they hold, pairwise.
struct ForeignKey {
  std::string referenceTable;
  std::vector<std::string> localColumns;
  std::vector<std::string> referenceColumns;
  bool onDeleteCascade = false;  // the dictionary says ON-DELETE-CASCADE
};

// The table's foreign keys in dictionary order. Consecutive entries with the
// same reference table and a reference column other than the key's first
// column form one key; so FROM_ACCOUNT -> ACCOUNT.ID followed by
// TO_ACCOUNT -> ACCOUNT.ID are two keys. A key cascades when its first
// entry says so.
std::vector<ForeignKey> GroupForeignKeys(const TableDefn& table);

// The keys of from that reference to (none when from refers elsewhere).
std::vector<ForeignKey> KeysReferencing(const TableDefn& from, std::string_view to);

// The first key of from referencing to, else of to referencing from, as
// (from's columns, to's columns); false when neither refers to the other.
bool JoinColumns(const TableDefn& from, const TableDefn& to, std::vector<std::string>& fromColumns,
                 std::vector<std::string>& toColumns);

// true when column is one of table's primary-key columns.
bool IsPrimaryKeyColumn(const TableDefn& table, std::string_view column);

// The dictionary entry whose local column is column, or none.
const ForeignKeyDefn* ReferenceOf(const TableDefn& table, std::string_view column);

// true when table.column holds the value of root.rootColumn: it is that
// column, or a chain of foreign keys leads there from it. Cycles end.
bool LeadsToColumn(std::string_view table, std::string_view column, std::string_view root,
                   std::string_view rootColumn);

// A root a walk along foreign keys reached: a table without foreign keys,
// and the column that led there.
struct RootColumn {
  std::string table;
  std::string column;
};

// Where the walk to the roots stopped.
struct RootWalkStop {
  std::string table;   // the table that stopped it
  bool cycle = false;  // true: the walk came back to it; false: it has no definition
};

// Follows every foreign-key entry of table, each to its reference table and
// column, recursively, and appends each root reached (with the column that
// led there; column itself when table is a root) to roots, once per table
// and column. false, with stop filled in, when a table on the way has no
// definition or the walk comes back to a table on its path.
bool RootsOf(std::string_view table, std::string_view column, std::vector<RootColumn>& roots,
             RootWalkStop& stop);

// The tables (by definition) ordered so that a referenced table comes before
// the tables that refer to it, otherwise in the given order. A table on a
// reference cycle is placed when the walk comes back to it; a reference to
// a table outside the list is ignored.
std::vector<const TableDefn*> OrderReferencedFirst(const std::vector<const TableDefn*>& tables);

// OrderReferencedFirst by names: names without definition keep their place
// relative to the others and are never dropped. cycles, when given, receives
// each table whose reference led back to a table still being placed (once
// per cycle; a table referring to itself is no cycle).
std::vector<std::string> OrderNamesReferencedFirst(const std::vector<std::string>& names,
                                                   std::vector<std::string>* cycles = nullptr);

}  // namespace fh
