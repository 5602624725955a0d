#include "dataobject/personality_test_helpers.h"

#include <algorithm>
#include <map>
#include <utility>

#include "dataobject/personality.h"
#include "dataobject/personality_xml.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "framework/data_source_map.h"
#include "framework/index_table.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

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
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ClearIndexedDominantTables();
  ResetPersonalitiesForTesting();
  ResetSQLDialectsForTesting();
  InitSQLDialects();
  InitTableList();
  ASSERT_TRUE(InitializeMemPool());
  ASSERT_EQ(InitPersonality(), 1);
  // The default data source comes first and is not "conn": on SQLite a
  // database of its own, so a statement run on the wrong one is not seen.
  std::unique_ptr<ConnParamsEntry> spare = MakeEngineEntry(GetParam(), spareDir_.path(), "spare");
  ASSERT_NE(spare, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(spare)));
  std::unique_ptr<ConnParamsEntry> entry = MakeEngineEntry(GetParam(), dir_.path(), "conn");
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
  ASSERT_TRUE(EstablishDBConnections());
  ASSERT_TRUE(SetDialectModeFromConnParams());
}

void PersonalityDbTest::TearDown() {
  for (auto table = created_.rbegin(); table != created_.rend(); ++table) {
    Run("drop table " + *table + "_IDX");
    Run("drop table " + *table);
  }
  UnLoadAllTable();
  ResetPersonalitiesForTesting();
  ClearIndexedDominantTables();
  ResetMemPoolForTest();
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ResetSQLDialectsForTesting();
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

int PersonalityDbTest::Run(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  const int result = ExecuteUpdate(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  return result;
}

std::optional<std::vector<std::string>> PersonalityDbTest::Query(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  std::unique_ptr<DBResultSet> result = ExecuteQuery(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  if (result == nullptr) return std::nullopt;
  std::vector<std::string> rows;
  while (const DBRow* row = NextDBResultSetRow(result.get())) {
    std::string line;
    for (std::size_t i = 0; i < row->size(); ++i) {
      const std::optional<ColumnValue>& value = (*row)[i];
      std::string value_text =
          value ? ConvertValueToString(&*value, result->columns[i].dataType).value_or("?") : "NULL";
      while (!value_text.empty() && value_text.back() == ' ') value_text.pop_back();
      line += (i == 0 ? "" : "|") + value_text;
    }
    rows.push_back(line);
  }
  return rows;
}

bool PersonalityDbTest::CreateInDb(const std::string& table) {
  if (!AddDataSourceMapEntry(CreateDataSourceMapEntry(table.c_str(), "conn"))) return false;
  Run("drop table " + table + "_IDX");
  Run("drop table " + table);
  created_.push_back(table);
  return CreateTableInDB(table.c_str(), "conn");
}

}  // namespace fhtest
