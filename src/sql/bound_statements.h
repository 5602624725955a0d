// A row's insert, update and delete statements with "?" markers in place of
// its values, and the values to bind to them: the form in which a saver
// hands a row to a provider with prepared statements (db/db_provider.h),
// so that values never enter the statement text and one text serves every
// row of a table.
//
// The marker texts are the literal texts of the dialect (sql/sql_generator.h)
// with each value replaced by "?":
//   insert  "insert into  <table> values(?,...,?" + the dialect's close
//   update  "update <table> set <column>=?,... where <key>=? and <key>=?"
//   delete  "delete from <table>  where <key>=? and <key>=?"
// and the values are bound in that order (an update: the other columns in
// column order, then the key columns in column order). Each value holds
// what the literal holds, so either way stores the same value: integers as
// kInteger, booleans as the dialect's literal (a quoted one such as 't' as
// kText holding t, a number as kInteger), unsigned 64-bit integers as
// kUnsigned, doubles as kDouble, single-precision numbers as the double the
// literal's text reads as, texts, characters and decimals as their text up
// to its first zero byte (kText, kDecimal), binary values as kBlob, dates
// and times as the text between their literal's quotes (kDate, kTime,
// kDateTime). An insert value the literal writes as NULL (one without
// literal) is bound as NULL.
//
// A row has no bound form where the literal path would not write the same
// statement with one marker per value: a table without definition,
// columns or (update, delete) primary key, an update without a column
// outside the key, a NULL key value or a value without literal in an
// update or delete. The caller then uses the literal text, which reports
// the failure where there is one.
//
// Ownership: a BoundStatement's text-kind values point into the row's own
// values or into the statement's storage; the row must stay unchanged and
// alive while the statement is used.
//
// Thread safety: as sql/sql_dialect.h; a RowStatementBinder is one
// caller's.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/db_provider.h"
#include "sql/sql_dialect.h"
#include "store/row_write.h"

namespace fh {

// The statement a row's save writes: insert, update or delete (the store's
// rule from row state to write, store/row_write.h; kNone and kInvalid have
// no statement).
using RowStatementKind = RowWrite;

// The literal text of row's statement of kind in tableName: the generator's
// insert, update by key or delete by key (sql/sql_generator.h); none for
// kNone and kInvalid or when the text cannot be written.
std::optional<std::string> RowStatementText(RowStatementKind kind, const char* tableName,
                                            const RowObject* row);

// Moves keep the values' pointers into the storage valid; a copy would
// not, so there is none.
struct BoundStatement {
  BoundStatement() = default;
  BoundStatement(BoundStatement&&) = default;
  BoundStatement& operator=(BoundStatement&&) = default;
  BoundStatement(const BoundStatement&) = delete;
  BoundStatement& operator=(const BoundStatement&) = delete;

  std::shared_ptr<const std::string> markerText;
  std::vector<BoundValue> values;  // in marker order
  std::vector<char> storage;       // texts the values point to that the row does not hold
  // What the statement writes, for its literal text (LiteralText).
  RowStatementKind kind = RowStatementKind::kInsert;
  const char* tableName = nullptr;
  const RowObject* row = nullptr;
};

// The marker text of kind for table in words' dialect; none where a row of
// table has no bound form of that kind.
std::optional<std::string> GenMarkerText(const DialectWords& words, RowStatementKind kind,
                                         const TableDefn& table);

// Fills statement.values and statement.storage with row's values in marker
// order, written for words' dialect; false when the row has no bound form.
bool BindRowValues(const DialectWords& words, RowStatementKind kind, const TableDefn& table,
                   const RowObject& row, BoundStatement& statement);

// The statement's literal text, written by its table's dialect
// (GenerateInsertQuery and its siblings, with their log lines); none when
// it has none.
std::optional<std::string> LiteralText(const BoundStatement& statement);

// Whether the generators' "Generated ... Query" lines reach the log (it is
// open and writes debug lines): a caller that sends statements bound then
// writes their literal texts too, so the log still shows every statement.
bool LogsGeneratedStatements();

// Binds rows of any tables, each table's marker texts written once (one
// shared text per table and kind).
class RowStatementBinder {
 public:
  // The bound form of row's statement of kind on tableName (the dialect:
  // the one that writes tableName's statements); none when it has none.
  std::optional<BoundStatement> Bind(RowStatementKind kind, const char* tableName,
                                     const RowObject* row);

 private:
  struct Texts {
    std::string tableName;
    RowStatementKind kind;
    const TableDefn* table;
    const DialectWords* words;
    std::shared_ptr<const std::string> text;  // none: no bound form
  };
  std::vector<Texts> texts_;
};

}  // namespace fh
