// The shared generator: select, update, insert, delete and create-table text
// and the result-set conversion for any dialect, driven by its DialectWords
// (sql/sql_dialect.h). The dialect files call these through their named
// entry points (MysqlGenSelectQuery and the others).
//
// Every value that reaches SQL goes through WriteSqlLiteral: texts quoted
// with single quotes doubled (and backslashes doubled where the dialect
// reads them as escapes), binary values as the dialect's hexadecimal
// literal, floating-point values with enough digits to read back exactly,
// integers at the column's own width, booleans in the dialect's form.
//
// Failures write their error line and give no text: "Unsupported Datatype
// Used in Query generation.\n", "Invalid Join Type\n", "\nNo Tables To Be
// Selected\n", "Invalid Aggregate Type\n", "Invalid Operator\n", and for an
// update or delete of a table without primary key "Cannot generate query for
// table %s: it has no primary key.\n" (such a statement would touch every
// row). A table without definition or columns gives no text silently.
//
// Thread safety: as sql/sql_dialect.h.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "sql/sql_dialect.h"

namespace fh {
// The SQL literal of value as a column of dataType: "NULL" for none; none for
// a type without literal (KES_SQL_NOT_SUPPORTED_TYPE, codes above 22, a value
// of the wrong kind, a floating-point value that is not finite).
std::optional<std::string> WriteSqlLiteral(const DialectWords& words, const ColumnValue* value,
                                           uint8_t dataType);
// The parts of a literal that a value bound to a statement's marker carries
// instead, so both ways store the same value:
// - a date, time or date-time column: the text between the literal's quotes
//   (the parts the column keeps; none when value is no date-time record);
// - a floating-point column: the literal's number text (none when the value
//   is not finite or not a number of that column);
// - a text, decimal or character column: the number of bytes of the text
//   the literal quotes (up to the value's first zero byte).
std::optional<std::string> DateTimeLiteralText(const ColumnValue& value, uint8_t dataType);
std::optional<std::string> FloatingLiteralText(const ColumnValue& value, uint8_t dataType);
std::size_t LiteralTextLength(const ColumnValue& value);
// The bytes as lower-case hexadecimal digits, two per byte.
std::string HexText(const unsigned char* bytes, std::size_t length);
// A text as a quoted literal (stops at a zero byte).
std::string QuoteSqlText(const DialectWords& words, const char* text, std::size_t length);

// The select text of query. Its criteria tree is written in order, and a
// connective below a connective of the other kind in parentheses, so the
// where clause groups exactly as the tree does. A BETWEEN value is written as it stands and must
// be a plain range of two literals ("<low> AND <high>", each a number or a
// quoted text with quotes doubled and no backslash); any other value gives
// no text and "Invalid BETWEEN range: %s\n" (error).
std::optional<std::string> GenSelectText(const DialectWords& words, SelectQuery* query);
std::optional<std::string> GenUpdateText(const DialectWords& words, const char* tableName,
                                         const RowObject* row);
std::optional<std::string> GenInsertText(const DialectWords& words, const char* tableName,
                                         const RowObject* row);
std::optional<std::string> GenDeleteText(const DialectWords& words, const char* tableName,
                                         const RowObject* row);
std::optional<std::string> GenCreateText(const DialectWords& words, const char* tableName);

// The current row of resultSet as a row (state 1) of tableName: the values
// beside the definition's columns, each turned into the column's type at its
// width (integers, floating-point values, booleans from numbers or from "1",
// "t", "true" in any case, dates and times from records or texts); others
// copied as bytes. Without a definition the values are copied as they are.
// None when there is no current row or memory is exhausted.
std::unique_ptr<RowObject> ConvertResultRow(const DialectWords& words, const DBResultSet* resultSet,
                                            const char* tableName);
}  // namespace fh
