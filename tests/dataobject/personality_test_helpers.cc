#include "dataobject/personality_test_helpers.h"

#include <utility>

#include "dataobject/personality.h"
#include "dataobject/personality_xml.h"

namespace fhtest {

int ReadPersonalityText(const TempDir& directory, const std::string& xml) {
  const std::string path = directory.Sub("personality.xml");
  if (!WriteFileBytes(path, xml)) return -1;
  return CreatePersonalityFromXMLFile(path.c_str());
}

std::string DescribePersonalities() {
  std::string text;
  for (const std::string& name : GetPersonalityNames()) {
    const PersonalityDefn* definition = GetPersonalityDefn(name.c_str());
    if (definition == nullptr) return "missing " + name;
    if (!text.empty()) text += "; ";
    text += name + "(" + definition->dominantTable + ")[" + definition->description.value_or("-") +
            "]:";
    for (const ConstituentTableDefn& table : definition->constituentTables) {
      text += " " + table.tableName + "#" + std::to_string(table.tableIndex);
      if (table.mandatory != 0) text += "!";
      if (table.foreignKey) text += "@" + *table.foreignKey;
      if (table.dominantTable != definition->dominantTable) text += "?";
    }
  }
  return text;
}

ColumnDefnEntry Column(const char* name, uint8_t type, int32_t maxSize, bool nullable) {
  ColumnDefnEntry column;
  column.columnName = name;
  column.dataType = type;
  column.maxSize = maxSize;
  column.isNullable = nullable;
  return column;
}

bool DefineTable(const std::string& table, std::vector<ColumnDefnEntry> columns,
                 std::vector<std::string> primaryKey, std::vector<ForeignKeyDefn> foreignKeys) {
  ConstraintDefn constraints;
  constraints.primaryKeyCount = static_cast<int32_t>(primaryKey.size());
  constraints.primaryKeyColumns = std::move(primaryKey);
  constraints.foreignKeys = std::move(foreignKeys);
  return AddTableDefn(CreateTableDefn(table, std::nullopt, std::move(columns),
                                      std::move(constraints))) != nullptr;
}

}  // namespace fhtest
