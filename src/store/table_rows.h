// Changing the rows of an in-memory table: adding, updating and deleting
// rows. Every change is announced to the notification listeners
// (store/notification.h) after it was made, and every row keeps its state
// (store/row_object.h) for the table saver.
//
// Thread safety: callers serialise changes to one table (store/table_data.h).
// Listeners are called on the caller's thread, inside the operation.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "dictionary/column_values.h"
#include "store/row_object.h"

struct TableData;

// Logs "@@@ Inside AddNewRow @@@\n" (trace). Completes row and appends it to
// the table: for a table (kind 1), a column without a value whose definition
// names a generator gets the next number of its sequence (GenerateID) at the
// column's own width, and a column still without a value that has a default
// gets a copy of the default; a view's rows are taken as given. The row goes
// at the end of the list, rowCount grows by 1 and the row is announced. Its
// value and length arrays are trimmed to their size, and a table with a
// primary key files the row under its key (store/key_index.h).
// On true the table has taken the row (row is left none). false when the
// table is unknown or has no columns, or row is none; and, with "AddNewRow:
// cannot generate a value for column %s of table %s\n" (error), when a
// sequence hands out no number. On false the row stays with the caller,
// unchanged, and the table is unchanged. No key, uniqueness, nullability or
// type check is made.
bool AddNewRow(const char* tableName, std::unique_ptr<RowObject>& row);

namespace fh {
// Builds a row in table's own blocks (store/row_blocks.h) from values, moved
// out of the vector (missing trailing values are NULL; values beyond the
// table's columns are dropped), with the given state, and appends it as
// AddNewRow does: generated and default values for a table's columns
// without one, end of the list, rowCount, key index, announcement. For
// callers that build a table from many rows (a load) and hold the table
// already. false when the table has no columns, memory is exhausted, or a
// sequence hands out no number (logged as for AddNewRow); the table is then
// unchanged.
bool AppendTableRow(TableData& table, std::vector<std::optional<ColumnValue>>& values,
                    uint8_t state);
}  // namespace fh

// Logs "@@@ Inside UpdateRowObject @@@\n" (trace). Replaces the value of the
// named column of row with a copy of length bytes at bytes (for a date, time
// or date-time column, bytes points to a KesDateTime, copied deeply; none
// stores NULL), adds the updated flag (4), announces the row and frees the
// old value. false for an unknown table, a column that does not exist or
// when memory is exhausted (the row is then unchanged); a null row logs
// "\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n" (error); a primary
// key column (any letter case) logs "@@@ UpdateRowObject Failed as
// PrimaryKey is being updated @@@\n" (error). REQUIRES: row belongs to the
// table.
bool UpdateRowObject(const char* tableName, RowObject* row, const char* columnName,
                     const void* bytes, int32_t length);

// Logs "@@@ Inside DeleteRowObject @@@\n" (trace). A persisted row (flag 1)
// is marked deleted (flag 8) and stays in the list for the saver, without an
// announcement. Any other row is unlinked, announced (still readable) and
// freed; rowCount does not change. false for an unknown table or a row not in
// it. After a true result for a row that was not persisted, row is gone.
bool DeleteRowObject(const char* tableName, RowObject* row);

// Logs "@@@ Inside DeleteAllTableRowObjects @@@\n" (trace). DeleteRowObject
// on every row in list order. A null name logs "\t tableName NULL \n", an
// unknown table "\t GetTableDataByName returned NULL \n" (both error) and
// gives false; views and tables without columns give false.
bool DeleteAllTableRowObjects(const char* tableName);
