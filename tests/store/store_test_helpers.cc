#include "store/store_test_helpers.h"

#include "store/notification.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace fhtest {

const TableDefn* DefineTable(const std::string& tableName, const std::vector<ColumnSpec>& columns,
                             const std::vector<std::string>& primaryKey) {
  std::vector<ColumnDefnEntry> entries;
  for (const ColumnSpec& column : columns) {
    fh::ColumnDefnSource source;
    source.columnName = column.name;
    source.dataTypeName = column.type;
    if (column.defaultText != nullptr) source.defaultValueText = column.defaultText;
    if (column.generator != nullptr) source.generatorName = column.generator;
    source.maxSize = column.maxSize;
    std::optional<ColumnDefnEntry> entry = fh::CreateColumnDefn(source);
    EXPECT_TRUE(entry.has_value());
    if (entry) entries.push_back(std::move(*entry));
  }
  ConstraintDefn constraints;
  constraints.primaryKeyColumns = primaryKey;
  return fh::AddTableDefn(
      fh::CreateTableDefn(tableName, std::nullopt, std::move(entries), constraints));
}

std::unique_ptr<RowObject> MakeRow(const std::string& tableName,
                                   const std::vector<const char*>& texts) {
  const TableDefn* definition = GetTableDefn(tableName.c_str());
  EXPECT_NE(definition, nullptr);
  std::vector<std::optional<fh::ColumnValue>> values;
  for (std::size_t i = 0; definition != nullptr && i < definition->columns.size(); ++i) {
    const char* text = i < texts.size() ? texts[i] : nullptr;
    if (text == nullptr) {
      values.emplace_back();
      continue;
    }
    int32_t length = static_cast<int32_t>(std::string(text).size());
    values.push_back(ConvertStringToValue(text, definition->columns[i].dataType, &length));
  }
  return CreateNewRowObject(std::move(values), {});
}

RowObject* AddRow(const std::string& tableName, const std::vector<const char*>& texts,
                  uint8_t state) {
  std::unique_ptr<RowObject> row = MakeRow(tableName, texts);
  row->state = state;
  RowObject* added = row.get();
  return AddNewRow(tableName.c_str(), row) ? added : nullptr;
}

std::vector<std::string> ColumnTexts(ResultData* result, const std::string& columnName) {
  std::vector<std::string> texts;
  ResetResultDataCursor(result);
  const uint8_t type = GetColumnTypeByName(columnName.c_str(), result);
  while (GotoNextRowObject(result) != nullptr) {
    const fh::ColumnValue* value = GetColumnValueByName(columnName.c_str(), nullptr, result);
    texts.push_back(ConvertValueToString(value, type).value_or("?"));
  }
  return texts;
}

void StoreTest::SetUp() {
  UnLoadAllTable();
  DeInitNotification();
  FreeAllTableDefns();
  log_ = std::make_unique<TestLog>();
}

void StoreTest::TearDown() {
  UnLoadAllTable();
  DeInitNotification();
  FreeAllTableDefns();
  log_.reset();
}

}  // namespace fhtest
