#include "store/column_lookup.h"

#include <strings.h>

namespace fh {

int32_t ColumnCountOf(const ColumnSource& source) {
  if (source.tableDefn != nullptr) return static_cast<int32_t>(source.tableDefn->columns.size());
  if (source.viewDefn != nullptr) return static_cast<int32_t>(source.viewDefn->columns.size());
  return 0;
}

int32_t FindColumnIndex(const ColumnSource& source, const char* columnName) {
  if (columnName == nullptr) return -1;
  if (source.viewDefn != nullptr && source.tableDefn == nullptr) {
    return FindViewColumn(*source.viewDefn, columnName);
  }
  if (source.tableDefn == nullptr) return -1;
  const std::vector<ColumnDefnEntry>& columns = source.tableDefn->columns;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (strcasecmp(columns[i].columnName.c_str(), columnName) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

uint8_t ColumnTypeAt(const ColumnSource& source, int32_t index) {
  if (index < 0 || index >= ColumnCountOf(source)) return 0;
  const auto at = static_cast<std::size_t>(index);
  if (source.tableDefn != nullptr) return source.tableDefn->columns[at].dataType;
  return ViewColumnType(*source.viewDefn->columns[at]);
}

const char* ColumnNameAt(const ColumnSource& source, int32_t index) {
  if (index < 0 || index >= ColumnCountOf(source)) return nullptr;
  const auto at = static_cast<std::size_t>(index);
  if (source.tableDefn != nullptr) return source.tableDefn->columns[at].columnName.c_str();
  return source.viewDefn->columns[at]->columnName.c_str();
}

}  // namespace fh
