// Rows of the in-memory tables: one value per column (an absent value is SQL
// NULL), the byte length of each, the row's state flags and the link to the
// next row of its table.
//
// Layout: a row is one piece of memory, the row record followed by the room
// for its values and lengths (store/row_array.h), so that reading a row's
// values reads memory beside the row. A free-standing row (CreateNewRowObject,
// CopyRowObject) is a piece of its own; a row a table builds itself is placed
// in one of the table's blocks (store/row_blocks.h).
//
// Ownership: a row owns its values. It does not own the row after it: a
// table owns every row of its list and frees them when it is freed (rows it
// was given keep their own piece; rows in its blocks go with the blocks).
// Deleting a row (delete, or a std::unique_ptr<RowObject>) frees it wherever
// it was placed; a row still in a table's list is freed by its table only.
//
// Thread safety: a row is a plain record; the table that holds it says who
// may change it (store/table_data.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <optional>
#include <vector>

#include "dictionary/column_values.h"
#include "store/row_array.h"

struct RowObject;

namespace fh {

inline constexpr uint8_t kRowPersisted = 1;  // the row exists in the database
inline constexpr uint8_t kRowNew = 2;
inline constexpr uint8_t kRowUpdated = 4;
inline constexpr uint8_t kRowDeleted = 8;

// A link to a row that is not owned: reads as a pointer (get, ->, bool).
class RowLink {
 public:
  RowLink() = default;
  RowLink(RowObject* row) : row_(row) {}  // NOLINT: a link is made from a row pointer
  RowObject* get() const { return row_; }
  RowObject* operator->() const { return row_; }
  RowObject& operator*() const { return *row_; }
  explicit operator bool() const { return row_ != nullptr; }
  void reset(RowObject* row = nullptr) { row_ = row; }
  friend bool operator==(const RowLink& link, std::nullptr_t) { return link.row_ == nullptr; }

 private:
  RowObject* row_ = nullptr;
};

// Where a row's piece came from; decides how it is freed.
inline constexpr uint8_t kRowPlacedAlone = 0;    // its own piece of the heap
inline constexpr uint8_t kRowPlacedInBlock = 1;  // a table's block

}  // namespace fh

struct RowObject {
  // A row without room of its own: its arrays grow on the heap.
  RowObject() = default;
  RowObject(const RowObject&) = delete;
  RowObject& operator=(const RowObject&) = delete;

  // Frees row wherever it was placed.
  static void operator delete(RowObject* row, std::destroying_delete_t);

  // Column values in column order; none is SQL NULL.
  fh::RowArray<std::optional<fh::ColumnValue>> values;
  // Byte length of each value, in the same order (0 for NULL).
  fh::RowArray<int32_t> lengths;
  uint8_t state = fh::kRowNew;  // kRow* flags
  uint8_t placement = fh::kRowPlacedAlone;
  // The row's place in its table's scan order (store/table_data.h); kept
  // by the table while the row is in it.
  uint32_t tableSlot = 0;
  fh::RowLink next;  // the next row of the table; not owned
};

namespace fh {

// The bytes of a row piece with room for columnCount values and lengths.
std::size_t RowPieceSize(std::size_t columnCount);

// Builds an empty row (state new, no next row) in piece, which holds
// RowPieceSize(columnCount) bytes aligned for a row, with room for
// columnCount values and lengths.
RowObject* PlaceRowObject(void* piece, std::size_t columnCount, uint8_t placement) noexcept;

// Moves values into row (empty) and sets each length from its value. The
// row grows on the heap when it has less room. Throws std::bad_alloc.
void FillRowObject(RowObject& row, std::vector<std::optional<ColumnValue>>& values);

}  // namespace fh

// Logs "@@@ Inside CreateNewRowObject @@@\n" (trace). A new row with state
// 2 (new) and no next row that takes both arrays. When lengths is shorter
// than values it is padded with the values' own lengths. None when memory is
// exhausted.
std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<fh::ColumnValue>> values,
                                              std::vector<int32_t> lengths);

namespace fh {

// A copy of row: every value copied deeply with its length, the same state,
// no next row. None when memory is exhausted.
std::unique_ptr<RowObject> CopyRowObject(const RowObject& row);

}  // namespace fh

// Logs "@@@ Inside FreeRowObject @@@\n" (trace). Frees row (its values and
// both arrays); the row after it is not its own and stays. columnCount is
// accepted for callers that know it; the row knows its own.
void FreeRowObject(std::unique_ptr<RowObject> row, int32_t columnCount);
