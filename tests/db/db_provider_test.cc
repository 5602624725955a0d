// The provider registry and slots, and the forwarders' checks.
#include "db/db_provider.h"

#include <gtest/gtest.h>

#include "db/connection.h"
#include "db/db_result_set.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite/sqlite_provider.h"
#include "support/db_engines.h"

namespace fhtest {
namespace {

class DBProviderTest : public DbTest {};

TEST_F(DBProviderTest, StartUpFillsTheOdbcAndTheSqliteSlot) {
  EXPECT_EQ(fh::GetDBProviderAt(0), &kODBCProvider);
  EXPECT_EQ(fh::GetDBProviderAt(1), &kSqliteProvider);
  EXPECT_EQ(GetDBProviderIndex("ODBC"), 0);
  EXPECT_EQ(GetDBProviderIndex("SQLITE"), 1);
  EXPECT_EQ(GetDBProviderIndex("Sqlite"), -1);

  EXPECT_FALSE(InitDBProvider());
  EXPECT_TRUE(log_.HasLine("[ERROR]", "InitDBProvider Failed as already initialized\n"));
  EXPECT_EQ(fh::GetDBProviderAt(0), &kODBCProvider);
  EXPECT_EQ(fh::GetDBProviderAt(1), &kSqliteProvider);
}

TEST_F(DBProviderTest, NamesMatchCaseSensitively) {
  EXPECT_EQ(FindRegisteredDBProvider("ODBC"), &kODBCProvider);
  EXPECT_EQ(FindRegisteredDBProvider("odbc"), nullptr);
  EXPECT_EQ(GetDBProviderIndex("Odbc"), -1);
  EXPECT_FALSE(UnloadDBProvider("odbc"));
  ASSERT_TRUE(UnloadDBProvider("SQLITE"));
  EXPECT_FALSE(LoadDBProvider("odbc"));  // the empty slot stays empty
  EXPECT_EQ(fh::GetDBProviderAt(1), nullptr);
}

TEST_F(DBProviderTest, SlotsFillInOrderAndUnloadEmptiesOne) {
  static DBProvider other{};
  other.name = "OTHER";
  ASSERT_TRUE(RegisterDBProvider(&other));
  ASSERT_TRUE(UnloadDBProvider("SQLITE"));
  EXPECT_TRUE(LoadDBProvider("OTHER"));
  EXPECT_EQ(GetDBProviderIndex("OTHER"), 1);
  EXPECT_FALSE(LoadDBProvider("ODBC"));  // no empty slot left
  EXPECT_TRUE(UnloadDBProvider("ODBC"));
  EXPECT_EQ(fh::GetDBProviderAt(0), nullptr);
  // The scan stops at the first empty slot.
  EXPECT_EQ(GetDBProviderIndex("OTHER"), -1);
  EXPECT_TRUE(LoadDBProvider("ODBC"));
  EXPECT_EQ(GetDBProviderIndex("ODBC"), 0);
}

TEST_F(DBProviderTest, ForwardersReportAMissingHandleOrText) {
  struct Case {
    int (*run)(ConnectionHandle*, const char*);
    const char* line;
  };
  const Case cases[] = {
      {[](ConnectionHandle* h, const char* t) { return ExecuteUpdate(h, t); },
       "ConnectionHandle NULL in ExecuteUpdate for Query update x \n"},
      {[](ConnectionHandle* h, const char* t) { return ExecuteUpdateBlob(h, t, nullptr, nullptr); },
       "ConnectionHandle NULL in ExecuteUpdateBlob for Query update x \n"},
      {[](ConnectionHandle* h, const char* t) { return ExecuteQuery(h, t) ? 1 : 0; },
       "ConnectionHandle NULL in ExecuteQuery for Query update x \n"},
      {[](ConnectionHandle* h, const char* t) {
         return ExecuteQueryBlob(h, t, nullptr, nullptr) ? 1 : 0;
       },
       "ConnectionHandle NULL in ExecuteQueryBlob for Query update x \n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run(nullptr, "update x"), 0);
    EXPECT_TRUE(log_.HasLine("[ERROR]", c.line)) << c.line;
  }
  ConnectionHandle handle;
  handle.providerIndex = 0;
  EXPECT_EQ(ExecuteUpdate(&handle, nullptr), 0);
  EXPECT_EQ(ExecuteQuery(&handle, nullptr), nullptr);
  EXPECT_EQ(log_.Count(" No Query To be Updated \n"), 1u);
  EXPECT_EQ(log_.Count(" No Query To be Executed \n"), 1u);
  // Without an open transaction nothing reaches the provider (whose
  // connection here is none: a call would fail the begin as well).
  EXPECT_EQ(CommitTransaction(&handle), 0);
  EXPECT_EQ(RollbackTransaction(&handle), 0);
  EXPECT_FALSE(log_.Contains("ODBCCommitTransaction"));
  EXPECT_FALSE(log_.Contains("ODBCRollbackTransaction"));
}

TEST_F(DBProviderTest, ResultSetCursorAndPrinting) {
  fh::DBRows rows;
  fh::DBRow row;
  ASSERT_NE(AddValueToRow(&row, 4, "\x2a\0\0\0"), nullptr);
  ASSERT_NE(AddValueToRow(&row, 0, nullptr), nullptr);
  ASSERT_NE(
      AddValueToRow(&row, fh::ColumnValue::FromDateTime(CreateKesDateTime(2024, 1, 2, 3, 4, 5))),
      nullptr);
  ASSERT_NE(AddRowToRows(&rows, std::move(row)), nullptr);
  auto result = CreateDBResultSet(std::move(rows), {{"Id", 5}, {"Name", 15}, {"At", 18}}, 3);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->rowCount, 1);
  int32_t length = -1;
  EXPECT_EQ(GetDBResultSetValue("id", &length, result.get()), nullptr);  // no cursor row yet
  ASSERT_NE(NextDBResultSetRow(result.get()), nullptr);
  const fh::ColumnValue* id = GetDBResultSetValue("ID", &length, result.get());
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(GetDBResultSetValue("name", &length, result.get()), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(NextDBResultSetRow(result.get()), nullptr);
  EXPECT_EQ(NextDBResultSetRow(result.get()), nullptr);
  PrintDBResultSet(result.get());
  EXPECT_TRUE(log_.HasLine("[DEBUG]", "Id\tName\tAt\t\n"));
  EXPECT_TRUE(log_.HasLine("[DEBUG]", "42\tNULL\t2024-01-02 03:04:05\t\n"));
  FreeDBResultSet(std::move(result));
}

}  // namespace
}  // namespace fhtest
