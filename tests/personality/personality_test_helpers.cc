#include "personality/personality_test_helpers.h"

#include <algorithm>
#include <map>
#include <utility>

#include "framework/index_table.h"
#include "personality/personality.h"
#include "personality/personality_xml.h"
#include "store/table_data.h"

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

void PersonalityDbTest::SetUp() {
  SqlEngineFixture::SetUp();
  if (HasFatalFailure()) return;
  fh::ClearIndexedDominantTables();
  fh::ResetPersonalitiesForTesting();
  ASSERT_EQ(InitPersonality(), 1);
}

void PersonalityDbTest::AddDataSources() {
  // The default data source comes first and is not "conn": on SQLite a
  // database of its own, so a statement run on the wrong one is not seen.
  AddEngineSource("spare", spareDir_.path());
  AddEngineSource("conn", dir_.path());
}

void PersonalityDbTest::TearDown() {
  DropMadeTables();
  UnLoadAllTable();
  fh::ResetPersonalitiesForTesting();
  fh::ClearIndexedDominantTables();
  SqlEngineFixture::TearDown();
}

std::string DescribeObject(const DataObject* object) {
  if (object == nullptr) return "none";
  const std::string suffix = UniqueTableName("");
  std::map<std::string, std::vector<std::string>> tables;
  for (const RowCollection* collection = object->firstCollection; collection != nullptr;
       collection = collection->next) {
    std::string name = collection->tableName;
    if (name.size() > suffix.size() && name.ends_with(suffix))
      name.resize(name.size() - suffix.size());
    std::vector<std::string>& ids = tables[name];
    for (const RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
      ids.push_back(
          row->values.empty()
              ? "?"
              : ConvertValueToString(row->values[0], collection->columnTypes[0]).value_or("?"));
    }
    std::sort(ids.begin(), ids.end());
  }
  std::string text;
  for (const auto& [name, ids] : tables) {
    if (!text.empty()) text += ";";
    text += name + ":";
    for (std::size_t i = 0; i < ids.size(); ++i) text += (i == 0 ? "" : ",") + ids[i];
  }
  return text;
}

bool PersonalityDbTest::CreateInDb(const std::string& table) {
  const bool created = MakeDefinedTable(table);
  DropAtEnd(table + "_IDX");
  return created;
}

}  // namespace fhtest
