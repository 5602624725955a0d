#include "support/table_definitions.h"

#include <optional>
#include <utility>

namespace fhtest {

ColumnDefnEntry Column(const std::string& name, uint8_t type, int32_t maxSize, bool nullable) {
  ColumnDefnEntry column;
  column.columnName = name;
  column.dataType = type;
  column.maxSize = maxSize;
  column.isNullable = nullable;
  return column;
}

bool DefineTable(const std::string& name, std::vector<ColumnDefnEntry> columns,
                 std::vector<std::string> primaryKey, std::vector<ForeignKeyDefn> foreignKeys) {
  ConstraintDefn constraints;
  constraints.primaryKeyColumns = std::move(primaryKey);
  constraints.primaryKeyCount = static_cast<int32_t>(constraints.primaryKeyColumns.size());
  constraints.foreignKeys = std::move(foreignKeys);
  return fh::AddTableDefn(fh::CreateTableDefn(name, std::nullopt, std::move(columns),
                                              std::move(constraints))) != nullptr;
}

}  // namespace fhtest
