#include "store/custom_view.h"

#include <strings.h>

#include <new>
#include <utility>

#include "log/log.h"

std::unique_ptr<CustomViewDefn> CreateCustomViewDefn(
    uint8_t tableCount, std::vector<std::string> tableNames,
    std::vector<std::unique_ptr<ViewColumnDefn>> columns) {
  LogTrace("\t@@@@@ Inside CreateCustomViewDefn() @@@@@\n");
  try {
    auto viewDefn = std::make_unique<CustomViewDefn>();
    viewDefn->tableCount = tableCount;
    viewDefn->tableNames = std::move(tableNames);
    viewDefn->columns = std::move(columns);
    return viewDefn;
  } catch (const std::bad_alloc&) {
    LogError("Could not allocate memory for CustomViewDefn\n");
    return nullptr;
  }
}

std::unique_ptr<ViewColumnDefn> CreateViewColumnDefn(const char* columnName, int32_t reserved1,
                                                     uint8_t reserved2,
                                                     const ColumnDefnEntry* sourceColumn) {
  LogTrace("\t@@@@@ Inside CreateViewColumnDefn() @@@@@\n");
  try {
    auto column = std::make_unique<ViewColumnDefn>();
    column->columnName = columnName != nullptr ? columnName : "";
    column->reserved1 = reserved1;
    column->reserved2 = reserved2;
    column->sourceColumn = sourceColumn;
    return column;
  } catch (const std::bad_alloc&) {
    LogError("Could not allocate memory for ViewColumnDefn\n");
    return nullptr;
  }
}

void FreeCustomViewDefn(std::unique_ptr<CustomViewDefn> viewDefn) {
  LogTrace("\t@@@@@ Inside FreeCustomViewDefn() @@@@@\n");
  viewDefn.reset();
}

int32_t fh::FindViewColumn(const CustomViewDefn& viewDefn, const char* columnName) {
  if (columnName == nullptr) return -1;
  for (std::size_t i = 0; i < viewDefn.columns.size(); ++i) {
    if (strcasecmp(viewDefn.columns[i]->columnName.c_str(), columnName) == 0) {
      return static_cast<int32_t>(i);
    }
  }
  return -1;
}

uint8_t fh::ViewColumnType(const ViewColumnDefn& column) {
  return column.sourceColumn != nullptr ? column.sourceColumn->dataType : 0;
}
