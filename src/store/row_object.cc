#include "store/row_object.h"

#include <algorithm>
#include <new>
#include <utility>

#include "log/log.h"
#include "store/row_blocks.h"

namespace {

using Value = std::optional<fh::ColumnValue>;

static_assert(sizeof(RowObject) % alignof(Value) == 0, "values follow the row record");
static_assert(alignof(Value) >= alignof(int32_t), "lengths follow the values");

// A free-standing row with room for columnCount values. Throws
// std::bad_alloc.
RowObject* NewAloneRow(std::size_t columnCount) {
  void* piece = ::operator new(fh::RowPieceSize(columnCount));
  return fh::PlaceRowObject(piece, columnCount, fh::kRowPlacedAlone);
}

}  // namespace

void RowObject::operator delete(RowObject* row, std::destroying_delete_t) {
  if (row->placement == fh::kRowPlacedInBlock) {
    fh::RowBlocks::Release(row);
    return;
  }
  row->~RowObject();
  ::operator delete(row);
}

namespace fh {

std::size_t RowPieceSize(std::size_t columnCount) {
  return sizeof(RowObject) + columnCount * (sizeof(Value) + sizeof(int32_t));
}

RowObject* PlaceRowObject(void* piece, std::size_t columnCount, uint8_t placement) noexcept {
  auto* row = new (piece) RowObject;
  auto* values = reinterpret_cast<Value*>(row + 1);
  auto* lengths = reinterpret_cast<int32_t*>(values + columnCount);
  new (&row->values) RowArray<Value>(values, columnCount);
  new (&row->lengths) RowArray<int32_t>(lengths, columnCount);
  row->placement = placement;
  return row;
}

void FillRowObject(RowObject& row, std::vector<std::optional<ColumnValue>>& values) {
  row.values.reserve(values.size());
  row.lengths.reserve(values.size());
  for (Value& value : values) {
    row.lengths.push_back(value ? value->length() : 0);
    row.values.push_back(std::move(value));
  }
}

}  // namespace fh

std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<fh::ColumnValue>> values,
                                              std::vector<int32_t> lengths) {
  LogTrace("@@@ Inside CreateNewRowObject @@@\n");
  try {
    std::unique_ptr<RowObject> row(NewAloneRow(std::max(values.size(), lengths.size())));
    for (std::size_t i = lengths.size(); i < values.size(); ++i) {
      lengths.push_back(values[i] ? values[i]->length() : 0);
    }
    row->values = std::move(values);
    row->lengths = std::move(lengths);
    row->state = fh::kRowNew;
    return row;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<RowObject> fh::CopyRowObject(const RowObject& row) {
  try {
    std::unique_ptr<RowObject> copy(NewAloneRow(std::max(row.values.size(), row.lengths.size())));
    copy->values.Assign(row.values);
    copy->lengths.Assign(row.lengths);
    copy->state = row.state;
    return copy;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void FreeRowObject(std::unique_ptr<RowObject> row, int32_t /*columnCount*/) {
  LogTrace("@@@ Inside FreeRowObject @@@\n");
  row.reset();
}
