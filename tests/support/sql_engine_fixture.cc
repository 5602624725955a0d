#include "support/sql_engine_fixture.h"

#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/data_dict_loader.h"
#include "framework/data_source_map.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

namespace fhtest {

void SqlEngineFixture::SetUp() {
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ResetSQLDialectsForTesting();
  InitSQLDialects();
  InitTableList();
  ASSERT_TRUE(InitializeMemPool());
  auto entry = MakeEngineEntry(GetParam(), dir_.path(), "conn");
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
  ASSERT_TRUE(EstablishDBConnections());
  ASSERT_TRUE(SetDialectModeFromConnParams());
  dialect_ = GetDialectNameForConnection("conn");
}

void SqlEngineFixture::TearDown() {
  UnLoadAllTable();
  ResetMemPoolForTest();
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ResetSQLDialectsForTesting();
}

int64_t SqlEngineFixture::Update(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  const int64_t count = ExecuteUpdateRowCount(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  return count;
}

bool SqlEngineFixture::Run(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  const int result = ExecuteUpdate(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  return result == 1;
}

std::vector<std::unique_ptr<RowObject>> SqlEngineFixture::Query(const std::string& text,
                                                                const std::string& table) {
  std::vector<std::unique_ptr<RowObject>> rows;
  ConnectionHandle* handle = GetConnectionHandle("conn");
  auto result = ExecuteQuery(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  EXPECT_NE(result, nullptr) << text;
  while (result != nullptr && NextDBResultSetRow(result.get()) != nullptr) {
    rows.push_back(ConvertResultSet(result.get(), dialect_.c_str(), table.c_str()));
  }
  return rows;
}

}  // namespace fhtest
