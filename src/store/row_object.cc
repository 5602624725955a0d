#include "store/row_object.h"

#include <new>
#include <utility>

#include "logging/log.h"

RowObject::~RowObject() {
  // Free the chain behind this row iteratively.
  std::unique_ptr<RowObject> rest = std::move(next);
  while (rest) rest = std::move(rest->next);
}

std::unique_ptr<RowObject> CreateNewRowObject(std::vector<std::optional<ColumnValue>> values,
                                              std::vector<int32_t> lengths) {
  LogTrace("@@@ Inside CreateNewRowObject @@@\n");
  try {
    auto row = std::make_unique<RowObject>();
    for (std::size_t i = lengths.size(); i < values.size(); ++i) {
      lengths.push_back(values[i] ? values[i]->length() : 0);
    }
    row->values = std::move(values);
    row->lengths = std::move(lengths);
    row->state = kRowNew;
    return row;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<RowObject> CopyRowObject(const RowObject& row) {
  try {
    auto copy = std::make_unique<RowObject>();
    copy->values = row.values;
    copy->lengths = row.lengths;
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
