// The ODBC provider's failure paths, reached by making one ODBC call fail
// through the provider's function table, on a real SQLite connection.
#include <gtest/gtest.h>

#include <string>

#include "db/connection.h"
#include "db/db_result_set.h"
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "dictionary/column_types.h"
#include "support/db_engines.h"

namespace fhtest {
namespace {

using fh::odbc::DefaultOdbcApi;
using fh::odbc::OdbcApi;

SQLRETURN FailExecute(SQLHSTMT) { return SQL_ERROR; }
// Runs the statement, then answers as a driver does for an update or delete
// that touched no row.
SQLRETURN NoDataExecute(SQLHSTMT statement) {
  DefaultOdbcApi().SQLExecute(statement);
  return SQL_NO_DATA;
}
SQLRETURN NoDataExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  DefaultOdbcApi().SQLExecDirect(statement, text, length);
  return SQL_NO_DATA;
}
SQLRETURN FailParamData(SQLHSTMT, SQLPOINTER*) { return SQL_ERROR; }
SQLRETURN FailPutData(SQLHSTMT, SQLPOINTER, SQLLEN) { return SQL_ERROR; }
SQLRETURN FailCommit(SQLSMALLINT type, SQLHANDLE handle, SQLSMALLINT completion) {
  if (completion == SQL_COMMIT) return SQL_ERROR;
  return DefaultOdbcApi().SQLEndTran(type, handle, completion);
}
// Reports every binary piece with an unknown total.
SQLRETURN NoTotalGetData(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType,
                         SQLPOINTER buffer, SQLLEN length, SQLLEN* indicator) {
  const SQLRETURN result =
      DefaultOdbcApi().SQLGetData(statement, column, cType, buffer, length, indicator);
  if (cType == SQL_C_BINARY && result == SQL_SUCCESS_WITH_INFO) *indicator = SQL_NO_TOTAL;
  return result;
}
// Reports every column as a type no table knows.
SQLRETURN UnknownTypeDescribeCol(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                                 SQLSMALLINT nameMax, SQLSMALLINT* nameLength, SQLSMALLINT* sqlType,
                                 SQLULEN* size, SQLSMALLINT* digits, SQLSMALLINT* nullable) {
  const SQLRETURN result = DefaultOdbcApi().SQLDescribeCol(
      statement, column, name, nameMax, nameLength, sqlType, size, digits, nullable);
  *sqlType = 9999;
  return result;
}

class OdbcFailureTest : public DbTest {
 protected:
  void SetUp() override {
    entry_ = CreateConnParamsEntry("t", 1, "fh_sqlite", nullptr, nullptr, "LiteDB", 1,
                                   ("Driver=SQLite3;Database=" + dir_.Sub("f.db")).c_str(), "ODBC",
                                   "SQLITE");
    handle_ = OpenDBConnection(entry_.get());
    ASSERT_NE(handle_, nullptr);
    ASSERT_EQ(ExecuteUpdate(handle_.get(), "create table t (id integer, data blob)"), 1);
    api_ = DefaultOdbcApi();
  }
  void TearDown() override {
    fh::odbc::SetOdbcApiForTesting(nullptr);
    CloseDBConnection(std::move(handle_));
  }
  void Use() { fh::odbc::SetOdbcApiForTesting(&api_); }

  std::unique_ptr<ConnParamsEntry> entry_;
  std::unique_ptr<ConnectionHandle> handle_;
  OdbcApi api_;
};

struct Pieces {
  int left;
  int32_t length;
};
int Supply(const void** piece, int32_t* length, void* context) {
  static const char bytes[4096] = {};
  auto* pieces = static_cast<Pieces*>(context);
  if (pieces->left-- <= 0) return fh::kBlobNoMoreData;
  *piece = bytes;
  *length = pieces->length;
  return 0;
}

TEST_F(OdbcFailureTest, EveryCallOfABlobUpdateIsChecked) {
  struct Case {
    const char* name;
    void (*inject)(OdbcApi&);
    int32_t pieceLength;
    const char* line;
  };
  const Case cases[] = {
      {"execute", [](OdbcApi& api) { api.SQLExecute = FailExecute; }, 100, "SQLExecute failed\n"},
      {"param data", [](OdbcApi& api) { api.SQLParamData = FailParamData; }, 100,
       "SQLParamData failed\n"},
      {"put data", [](OdbcApi& api) { api.SQLPutData = FailPutData; }, 100, "SQLPutData failed\n"},
      {"negative piece", [](OdbcApi&) {}, -1, "Invalid blob piece\n"},
  };
  for (const Case& c : cases) {
    api_ = DefaultOdbcApi();
    c.inject(api_);
    Use();
    Pieces pieces{2, c.pieceLength};
    EXPECT_EQ(ExecuteUpdateBlob(handle_.get(), "insert into t values (1, ?)", Supply, &pieces), 0)
        << c.name;
    EXPECT_TRUE(log_.HasLine("[ERROR]", c.line)) << c.name;
  }
  fh::odbc::SetOdbcApiForTesting(nullptr);
  auto rows = ExecuteQuery(handle_.get(), "select count(*) from t");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(ConvertValueToString(&*rows->rows[0][0], rows->columns[0].dataType),
            "0");  // nothing inserted
  Pieces good{3, 1000};
  EXPECT_EQ(ExecuteUpdateBlob(handle_.get(), "insert into t values (1, ?)", Supply, &good), 1);
}

TEST_F(OdbcFailureTest, AStatementThatTouchedNoRowSucceeds) {
  api_.SQLExecute = NoDataExecute;
  api_.SQLExecDirect = NoDataExecDirect;
  Use();
  EXPECT_EQ(ExecuteUpdate(handle_.get(), "delete from t where id = 7"), 1);
  Pieces pieces{1, 10};
  EXPECT_EQ(ExecuteUpdateBlob(handle_.get(), "update t set data = ? where id = 7", Supply, &pieces),
            1);
  EXPECT_FALSE(log_.Contains("[ERROR]")) << log_.Messages();
}

void CollectLengths(const void*, int32_t length, void* context) {
  static_cast<std::vector<int32_t>*>(context)->push_back(length);
}

TEST_F(OdbcFailureTest, AnUnknownTotalNeverReachesTheSinkAsANegativeLength) {
  Pieces value{5, 500};
  ASSERT_EQ(ExecuteUpdateBlob(handle_.get(), "insert into t values (1, ?)", Supply, &value), 1);
  api_.SQLGetData = NoTotalGetData;
  Use();
  std::vector<int32_t> lengths;
  auto result = ExecuteQueryBlob(handle_.get(), "select data from t", CollectLengths, &lengths);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(lengths, (std::vector<int32_t>{1024, 1024, 452, 0}));
}

TEST_F(OdbcFailureTest, AFailedCommitRollsBackAndRestoresAutoCommit) {
  api_.SQLEndTran = FailCommit;
  Use();
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(ExecuteUpdate(handle_.get(), "insert into t values (1, null)"), 1);
  EXPECT_EQ(CommitTransaction(handle_.get()), 0);
  EXPECT_EQ(handle_->inTransaction, 0);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in commiting transaction\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in starting transaction\n"));
  fh::odbc::SetOdbcApiForTesting(nullptr);

  ASSERT_EQ(ExecuteUpdate(handle_.get(), "insert into t values (2, null)"), 1);
  auto other = OpenDBConnection(entry_.get());
  ASSERT_NE(other, nullptr);
  auto rows = ExecuteQuery(other.get(), "select id from t");
  ASSERT_NE(rows, nullptr);
  ASSERT_EQ(rows->rowCount, 1);  // the first insert was rolled back, the second committed
  EXPECT_EQ(fh::GetIntegerValue(*rows->rows[0][0], KES_SQL_INT), 2);
  CloseDBConnection(std::move(other));
}

TEST_F(OdbcFailureTest, AnUnknownColumnTypeComesBackAsText) {
  ASSERT_EQ(ExecuteUpdate(handle_.get(), "insert into t values (42, null)"), 1);
  api_.SQLDescribeCol = UnknownTypeDescribeCol;
  Use();
  auto rows = ExecuteQuery(handle_.get(), "select id from t");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->columns[0].dataType, KES_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_EQ(std::string(rows->rows[0][0]->text()), "42");
  EXPECT_EQ(rows->rows[0][0]->length(), 2);
}

TEST(OdbcTypeTableTest, MapsTheDriversTypes) {
  const std::pair<int, uint8_t> rows[] = {
      {SQL_BIGINT, KES_SQL_BIGINT},
      {SQL_INTEGER, KES_SQL_INT},
      {SQL_FLOAT, KES_SQL_DOUBLE},
      {SQL_DOUBLE, KES_SQL_DOUBLE},
      {SQL_VARCHAR, KES_SQL_NCHAR},
      {SQL_WVARCHAR, KES_SQL_NCHAR},
      {SQL_WCHAR, KES_SQL_CHAR},
      {SQL_WLONGVARCHAR, KES_SQL_BLOB},
      {SQL_TINYINT, KES_SQL_BOOLEAN},
      {SQL_TIMESTAMP, KES_SQL_DATETIME},
      {SQL_REAL, 0},
      {SQL_INTERVAL_MINUTE_TO_SECOND, 0},
      {12345, 0},
  };
  for (const auto& [sqlType, columnType] : rows)
    EXPECT_EQ(fh::MapODBCSqlType(sqlType), columnType) << sqlType;
}

TEST(OdbcConnectStringTest, QuotesValuesAndNeverNamesADriverBesideADsn) {
  auto entry =
      CreateConnParamsEntry("t", 1, "my dsn", "u;1", "p}w{", "C", 0, nullptr, "ODBC", "MYSQL");
  EXPECT_EQ(fh::BuildODBCConnectString(*entry), "DSN=my dsn;UID={u;1};PWD={p}}w{};");
  entry->user.reset();
  entry->password.reset();
  EXPECT_EQ(fh::BuildODBCConnectString(*entry), "DSN=my dsn;");
  entry->useConnectString = 1;
  entry->connectString = "Driver=SQLite3;Database=x";
  EXPECT_EQ(fh::BuildODBCConnectString(*entry), "Driver=SQLite3;Database=x");
}

TEST(OdbcOpenTest, ADsnIsRequired) {
  TestLog log;
  auto entry = CreateConnParamsEntry("t", 1, nullptr, nullptr, nullptr, "C", 1,
                                     "Driver=SQLite3;Database=:memory:", "ODBC", "SQLITE");
  EXPECT_EQ(ODBCOpenConnection(entry.get()), nullptr);
  EXPECT_EQ(ODBCOpenConnection(nullptr), nullptr);
  EXPECT_EQ(log.Count("ODBC connection Parameter missing\n"), 2u);
}

}  // namespace
}  // namespace fhtest
