// The statements of an index table: the table "<root>_IDX" beside an indexed
// dominant table <root>, holding a key column named like the root's key and
// TABLENAME, the constituent tables that hold rows for each key.
//
// The texts are alike in every dialect but for the text literals, which
// follow the dialect's escaping (DialectWords::backslashEscapes).
//
// Ownership: every text is a new string owned by the caller.
//
// Thread safety: pure functions.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "dictionary/table_defn.h"
#include "sql/sql_dialect.h"

namespace fh {

// "<root>_IDX".
std::string IndexTableName(std::string_view rootTable);

// The type of an index table's key column for a key column of the root:
// "INT" for the integer codes 1 to 5, "BIGINT" for 6 to 8, "VARCHAR(<max
// size>)" for the text codes 14, 15 and 22 ("TEXT" when the size is not
// positive); none for any other type, which an index table cannot hold.
std::optional<std::string> IndexKeyColumnType(const ColumnDefnEntry& column);

// "CREATE TABLE <root>_IDX(<keyColumns> TABLENAME VARCHAR(40))", where
// keyColumns declares the key columns, each as "<name> <type>, ".
std::string IndexTableCreateText(std::string_view rootTable, std::string_view keyColumns);

// "SELECT TABLENAME FROM <root>_IDX WHERE <condition>".
std::string IndexTableSelectText(std::string_view rootTable, std::string_view condition);

// text as a text literal in the dialect words describes: in single quotes,
// quotes inside doubled, backslashes doubled where the dialect reads them as
// escapes (none as words: not doubled).
std::string IndexTextLiteral(const DialectWords* words, std::string_view text);

// The statements that keep one pair (key, constituent table) of an index
// table, as literal texts and as bound forms whose two markers take the key
// and the table name, in that order.
struct IndexEntrySql {
  std::string count;        // "SELECT count(*) FROM <root>_IDX WHERE <pair>"
  std::string insert;       // "INSERT INTO <root>_IDX VALUES (<key>, '<table>')"
  std::string boundInsert;  // "INSERT INTO <root>_IDX VALUES (?, ?)"
  std::string remove;       // "DELETE FROM <root>_IDX WHERE <pair>"
  std::string boundRemove;  // "DELETE FROM <root>_IDX WHERE <keyColumn> = ? AND TABLENAME = ?"
};

// The statements for the pair (keyLiteral, tableName) in the index table of
// rootTable, whose key column is keyColumn; <pair> is "<keyColumn> =
// <keyLiteral> AND TABLENAME = '<table>'". keyLiteral is written as given
// (the caller writes the key in the index table's own form); the table name
// is a text literal of the dialect words describes.
IndexEntrySql MakeIndexEntrySql(const DialectWords* words, std::string_view rootTable,
                                std::string_view keyColumn, std::string_view keyLiteral,
                                std::string_view tableName);

}  // namespace fh
