#include "support/sql_engine_fixture.h"

#include <utility>

#include "config/data_source_map.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/column_values.h"
#include "dictionary/data_dict_loader.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

namespace fhtest {

SqlEngineFixture::SqlEngineFixture(std::string connection) : connection_(std::move(connection)) {}

void SqlEngineFixture::SetUp() {
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  fh::ResetSQLDialectsForTesting();
  InitSQLDialects();
  InitTableList();
  ASSERT_TRUE(InitializeMemPool());
  AddDataSources();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(EstablishDBConnections()) << log_.Messages();
  ASSERT_TRUE(fh::SetDialectModeFromConnParams());
  dialect_ = GetDialectNameForConnection(connection_.c_str());
}

void SqlEngineFixture::TearDown() {
  DropMadeTables();
  UnLoadAllTable();
  fh::ResetMemPoolForTest();
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  fh::ResetSQLDialectsForTesting();
}

void SqlEngineFixture::AddDataSources() { AddEngineSource(connection_, dir_.path()); }

void SqlEngineFixture::AddEngineSource(const std::string& name, const std::string& directory) {
  std::unique_ptr<ConnParamsEntry> entry = MakeEngineEntry(GetParam(), directory, name);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
}

int SqlEngineFixture::Run(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle(connection_.c_str());
  const int result = ExecuteUpdate(handle, text.c_str());
  if (handle != nullptr) ReleaseConnectionHandle(connection_.c_str());
  return result;
}

int64_t SqlEngineFixture::Update(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle(connection_.c_str());
  const int64_t count = fh::ExecuteUpdateRowCount(handle, text.c_str());
  if (handle != nullptr) ReleaseConnectionHandle(connection_.c_str());
  return count;
}

std::unique_ptr<DBResultSet> SqlEngineFixture::Fetch(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle(connection_.c_str());
  std::unique_ptr<DBResultSet> result = ExecuteQuery(handle, text.c_str());
  if (handle != nullptr) ReleaseConnectionHandle(connection_.c_str());
  return result;
}

std::optional<std::vector<std::vector<std::string>>> SqlEngineFixture::Cells(
    const std::string& text, Blanks blanks) {
  std::unique_ptr<DBResultSet> result = Fetch(text);
  if (result == nullptr) return std::nullopt;
  std::vector<std::vector<std::string>> rows;
  while (const fh::DBRow* row = NextDBResultSetRow(result.get())) {
    std::vector<std::string>& cells = rows.emplace_back();
    for (std::size_t i = 0; i < row->size(); ++i) {
      const std::optional<fh::ColumnValue>& value = (*row)[i];
      std::string cell =
          value ? ConvertValueToString(&*value, result->columns[i].dataType).value_or("?") : "NULL";
      while (blanks == Blanks::kTrim && !cell.empty() && cell.back() == ' ') cell.pop_back();
      cells.push_back(std::move(cell));
    }
  }
  return rows;
}

std::optional<std::vector<std::string>> SqlEngineFixture::Rows(const std::string& text,
                                                               Blanks blanks) {
  const auto cells = Cells(text, blanks);
  if (!cells) return std::nullopt;
  std::vector<std::string> rows;
  for (const std::vector<std::string>& row : *cells) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) line += (i == 0 ? "" : "|") + row[i];
    rows.push_back(std::move(line));
  }
  return rows;
}

std::vector<std::unique_ptr<RowObject>> SqlEngineFixture::Query(const std::string& text,
                                                                const std::string& table) {
  std::vector<std::unique_ptr<RowObject>> rows;
  std::unique_ptr<DBResultSet> result = Fetch(text);
  EXPECT_NE(result, nullptr) << text;
  while (result != nullptr && NextDBResultSetRow(result.get()) != nullptr) {
    rows.push_back(ConvertResultSet(result.get(), dialect_.c_str(), table.c_str()));
  }
  return rows;
}

bool SqlEngineFixture::MakeDefinedTable(const std::string& table) {
  if (!AddDataSourceMapEntry(CreateDataSourceMapEntry(table.c_str(), connection_.c_str())))
    return false;
  DropAtEnd(table);
  return CreateTableInDB(table.c_str(), connection_.c_str());
}

bool SqlEngineFixture::MakeTable(const std::string& table, const std::string& createText) {
  DropAtEnd(table);
  return Run(createText) == 1;
}

void SqlEngineFixture::DropAtEnd(const std::string& table) {
  Run("drop table " + table);
  created_.push_back(table);
}

void SqlEngineFixture::DropMadeTables() {
  for (auto table = created_.rbegin(); table != created_.rend(); ++table)
    Run("drop table " + *table);
  created_.clear();
}

}  // namespace fhtest
