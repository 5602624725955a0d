// Rows of the in-memory tables: one value per column (an absent value is SQL
// NULL), the byte length of each, the row's state flags and the link to the
// next row of its table.
//
// Ownership: a row owns its values and, through next, the rest of its table's
// chain; a table owns its first row. Freeing a row frees the rows after it
// too, one at a time (never recursively), so chains of any length are freed
// safely; unlink a row (next none) before freeing it alone.
//
// Thread safety: a row is a plain record; the table that holds it says who
// may change it (store/table_data.h).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "dictionary/column_values.h"

inline constexpr uint8_t kRowPersisted = 1;  // the row exists in the database
inline constexpr uint8_t kRowNew = 2;
inline constexpr uint8_t kRowUpdated = 4;
inline constexpr uint8_t kRowDeleted = 8;

struct RowObject {
  RowObject() = default;
  ~RowObject();
  RowObject(const RowObject&) = delete;
  RowObject& operator=(const RowObject&) = delete;

  // Column values in column order; none is SQL NULL.
  std::vector<std::optional<ColumnValue>> values;
  // Byte length of each value, in the same order (0 for NULL).
  std::vector<int32_t> lengths;
  uint8_t state = kRowNew;  // kRow* flags
  // The row's place in its table's scan order (store/table_data.h); kept
  // by the table while the row is in it.
  uint32_t tableSlot = 0;
  std::unique_ptr<RowObject> next;  // the next row of the table; owned
};

// Logs "@@@ Inside CreateNewRowObject @@@\n" (trace). A new row with state
// 2 (new) and no next row that takes both arrays. When lengths is shorter
// than values it is padded with the values' own lengths. None when memory is
// exhausted.
std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<ColumnValue>> values,
                                              std::vector<int32_t> lengths);

// A copy of row: every value copied deeply with its length, the same state,
// no next row. None when memory is exhausted.
std::unique_ptr<RowObject> CopyRowObject(const RowObject& row);

// Logs "@@@ Inside FreeRowObject @@@\n" (trace). Frees row (its values and
// both arrays) and whatever chain follows it. columnCount is accepted for
// callers that know it; the row knows its own.
void FreeRowObject(std::unique_ptr<RowObject> row, int32_t columnCount);
