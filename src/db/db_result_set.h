// DBResultSet: the rows a query returned, fetched whole, with a cursor.
//
// Shape: columnCount column descriptors (name and column type code,
// dictionary/column_types.h), the rows in fetch order, each row holding one
// value per column in column order. A value is a ColumnValue
// (dictionary/column_values.h): bytes with a zero byte beyond their length,
// or a date-time record of length 11; an SQL NULL is an empty optional
// (length 0, no bytes).
//
// Ownership: a result set owns its descriptors, rows and values; the caller
// of ExecuteQuery owns the result set. Pointers handed out by
// NextDBResultSetRow and GetDBResultSetValue stay valid while the result set
// lives.
//
// Thread safety: a result set belongs to one thread at a time; the functions
// keep no shared state.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/column_values.h"

namespace fh {

struct DBColumnDescriptor {
  std::string name;      // the column's name as the database reported it
  uint8_t dataType = 0;  // column type code (KES_SQL_...)
};

// One row: a value per column, none for SQL NULL.
using DBRow = std::vector<std::optional<ColumnValue>>;
// The rows in fetch order.
using DBRows = std::vector<DBRow>;

}  // namespace fh

struct DBResultSet {
  int32_t columnCount = 0;
  int32_t rowCount = 0;
  std::vector<fh::DBColumnDescriptor> columns;  // columnCount entries
  fh::DBRows rows;
  // Index of the cursor row; -1 before the first NextDBResultSetRow.
  int64_t cursor = -1;
};

// A result set taking rows and descriptors; rowCount is the number of rows.
// None when memory is exhausted.
std::unique_ptr<DBResultSet> CreateDBResultSet(fh::DBRows rows,
                                               std::vector<fh::DBColumnDescriptor> descriptors,
                                               int32_t columnCount);

// Appends a value to row: length bytes copied from bytes, or an SQL NULL when
// bytes is none. Returns row, or none when row is none or memory is
// exhausted (row unchanged).
fh::DBRow* AddValueToRow(fh::DBRow* row, int32_t length, const void* bytes);
// Appends an already typed value (none: SQL NULL). Same results.
fh::DBRow* AddValueToRow(fh::DBRow* row, std::optional<fh::ColumnValue> value);

// Appends row to rows (moved in). Returns rows, or none when rows is none or
// memory is exhausted.
fh::DBRows* AddRowToRows(fh::DBRows* rows, fh::DBRow&& row);

// Moves the cursor to the first row when it is before the first, else to the
// next row; returns the cursor row, or none past the end (or for none).
const fh::DBRow* NextDBResultSetRow(DBResultSet* resultSet);

// The value of the column named columnName (compared ignoring case) in the
// cursor row, and its length in *length (0 for an SQL NULL; length may be
// none). None for an SQL NULL, an unknown column, no cursor row or a null
// argument.
const fh::ColumnValue* GetDBResultSetValue(const char* columnName, int32_t* length,
                                           const DBResultSet* resultSet);

// Writes the result set to the log at debug level: one line of the column
// names ("%-s\t" each), then one line per row: integer and floating types (1
// to 10) as "%-d\t" of the value's first 32 bits ("NULL\t" for SQL NULL),
// dates and times as their text, every other type as its bytes ("%-s\t").
void PrintDBResultSet(const DBResultSet* resultSet);

// Frees the result set with everything it holds (none is ignored).
void FreeDBResultSet(std::unique_ptr<DBResultSet> resultSet);
