// Select queries over related tables: a table's every column, and joins
// along the foreign keys between two tables. The data objects read several
// tables at once this way, and the personalities build their queries on it.
//
// Every function works in the query's own pool; false means the query may
// hold part of what was asked and should be freed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "query/select_query.h"

namespace fh::dataobject {

// Adds every column of table, in definition order, to the select list.
bool AddAllColumns(SelectQuery* query, const TableDefn& table);

// true when a foreign key leads from one of the tables to the other.
bool RelatedByForeignKey(const TableDefn& a, const TableDefn& b);

// Joins joined to base (joinType INNER_JOIN or LEFT_JOIN) on the first
// foreign key between them (fh::JoinColumns: joined's keys to base first,
// then base's to joined; a table with two keys to the other joins on the
// first alone), and selects joined's columns. false when they are not
// related (nothing added) or memory is exhausted.
bool AddForeignKeyJoin(SelectQuery* query, const TableDefn& base, const TableDefn& joined,
                       uint8_t joinType);

// A query selecting every column of tables (taken in foreign-key order,
// referenced tables first), the first in the FROM clause and each other
// LEFT JOINed to the first earlier table it is related to, so that a row of
// one table comes back only beside the rows related to it. None when a
// table has no definition, is related to no earlier table, or memory is
// exhausted.
SelectQuery* JoinedQueryOverTables(const std::vector<std::string>& tables);

}  // namespace fh::dataobject
