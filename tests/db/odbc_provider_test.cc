// The ODBC provider on every engine: the same test bodies run on SQLite,
// PostgreSQL and MariaDB (the engine's name ends each test's name).
#include "db/odbc/odbc_provider.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/odbc/odbc_api.h"
#include "dictionary/column_types.h"
#include "support/db_engines.h"
#include "support/engine_handle_test.h"

namespace fhtest {
namespace {

class OdbcProviderTest : public EngineHandleTest {
 protected:
  void SetUp() override {
    EngineHandleTest::SetUp();
    if (HasFatalFailure()) return;
    table_ = UniqueTableName("fh_provider");
    Run("drop table if exists " + table_);
  }
  void TearDown() override {
    if (handle_) Run("drop table if exists " + table_);
    EngineHandleTest::TearDown();
  }
  std::unique_ptr<DBResultSet> Query(const std::string& text) {
    return ExecuteQuery(handle_.get(), text.c_str());
  }
  int64_t CountRows(ConnectionHandle* handle) {
    auto result = ExecuteQuery(handle, ("select count(*) from " + table_).c_str());
    if (!result || result->rows.size() != 1 || !result->rows[0][0]) return -1;
    return std::stoll(
        ConvertValueToString(&*result->rows[0][0], result->columns[0].dataType).value_or("-1"));
  }

  std::string table_;
};

TEST_P(OdbcProviderTest, UpdateOrDeleteTouchingNoRowSucceeds) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer primary key, name varchar(20))"), 1);
  EXPECT_EQ(Run("update " + table_ + " set name = 'x' where id = 42"), 1);
  EXPECT_EQ(Run("delete from " + table_ + " where id = 42"), 1);
  EXPECT_EQ(Run("insert into " + table_ + " values (1, 'a')"), 1);
  EXPECT_EQ(Run("delete from " + table_ + " where id = 1"), 1);
}

TEST_P(OdbcProviderTest, RowCountOfAnUpdateIsReported) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer primary key, name varchar(20))"), 1);
  struct Case {
    std::string text;
    int64_t rows;
  };
  const Case cases[] = {
      {"insert into " + table_ + " values (1, 'a'), (2, 'a'), (3, 'b')", 3},
      {"update " + table_ + " set name = 'c' where id = 42", 0},
      {"update " + table_ + " set name = 'c' where name = 'a'", 2},
      {"update " + table_ + " set name = 'd' where id = 3 and name = 'b'", 1},
      // a compare-and-set that lost its race
      {"update " + table_ + " set name = 'e' where id = 3 and name = 'b'", 0},
      {"delete from " + table_, 3},
      {"insert into no_such_table_here values (1)", -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(fh::ExecuteUpdateRowCount(handle_.get(), c.text.c_str()), c.rows) << c.text;
  }
  EXPECT_EQ(fh::ExecuteUpdateRowCount(nullptr, "delete from x"), -1);
  EXPECT_TRUE(log_.HasLine(
      "[ERROR]", "ConnectionHandle NULL in ExecuteUpdateRowCount for Query delete from x \n"));
}

TEST_P(OdbcProviderTest, ValuesArriveWholeAndTyped) {
  const Engine& engine = GetParam();
  ASSERT_EQ(Run("create table " + table_ + " (id integer, i integer, b bigint, d " +
                engine.doubleType + ", v varchar(40), t " + engine.longTextType +
                ", day date, at " + engine.dateTimeType + ")"),
            1);
  const std::string longText(20000, 'x');
  const std::string nonAscii =
      "Gr\xC3\xBC\xC3\x9F"
      "e \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
  ASSERT_EQ(
      Run("insert into " + table_ + " values (1, -2147483648, -9223372036854775808, 1e-300, '" +
          nonAscii + "', '" + longText + "', '2024-02-29', '2023-12-31 23:59:58')"),
      1)
      << log_.Messages();
  ASSERT_EQ(
      Run("insert into " + table_ + " values (2, 2147483647, 9223372036854775807, -2.5, '', '" +
          nonAscii + "', '1999-12-31', '2000-01-01 00:00:00')"),
      1);
  ASSERT_EQ(Run("insert into " + table_ + " values (3, null, null, null, null, null, null, null)"),
            1);

  auto result = Query("select i, b, d, v, t, day, at from " + table_ + " order by id");
  ASSERT_NE(result, nullptr) << log_.Messages();
  ASSERT_EQ(result->columnCount, 7);
  ASSERT_EQ(result->rowCount, 3);
  EXPECT_EQ(result->columns[0].dataType, KES_SQL_INT);
  EXPECT_EQ(result->columns[1].dataType, KES_SQL_BIGINT);
  EXPECT_EQ(result->columns[2].dataType, KES_SQL_DOUBLE);
  EXPECT_EQ(result->columns[5].dataType, KES_SQL_DATE);
  EXPECT_EQ(result->columns[6].dataType, KES_SQL_DATETIME);
  EXPECT_TRUE(fh::IsTextColumnType(result->columns[3].dataType))
      << int(result->columns[3].dataType);

  const fh::DBRow& first = result->rows[0];
  EXPECT_EQ(fh::GetIntegerValue(*first[0], KES_SQL_INT), INT_MIN);
  EXPECT_EQ(fh::GetIntegerValue(*first[1], KES_SQL_BIGINT), LLONG_MIN);
  EXPECT_EQ(fh::GetFloatingValue(*first[2], KES_SQL_DOUBLE), 1e-300);
  EXPECT_EQ(std::string(first[3]->text()), nonAscii);
  EXPECT_EQ(first[3]->length(), static_cast<int32_t>(nonAscii.size()));
  EXPECT_EQ(first[4]->length(), static_cast<int32_t>(longText.size()));
  EXPECT_EQ(std::string(first[4]->text()), longText);
  EXPECT_EQ(*first[5]->dateTime(), (KesDateTime{CreateKesDate(2024, 2, 29), std::nullopt}));
  EXPECT_EQ(*first[6]->dateTime(), CreateKesDateTime(2023, 12, 31, 23, 59, 58));
  EXPECT_EQ(first[6]->length(), 11);

  const fh::DBRow& second = result->rows[1];
  EXPECT_EQ(fh::GetIntegerValue(*second[0], KES_SQL_INT), INT_MAX);
  EXPECT_EQ(fh::GetIntegerValue(*second[1], KES_SQL_BIGINT), LLONG_MAX);
  EXPECT_EQ(fh::GetFloatingValue(*second[2], KES_SQL_DOUBLE), -2.5);
  EXPECT_EQ(second[3]->length(), 0);
  EXPECT_EQ(std::string(second[4]->text()), nonAscii);

  for (const auto& value : result->rows[2]) EXPECT_FALSE(value.has_value());
  // The cursor and lookup by name, ignoring case.
  int32_t length = -1;
  ASSERT_NE(NextDBResultSetRow(result.get()), nullptr);
  EXPECT_NE(GetDBResultSetValue("V", &length, result.get()), nullptr);
  EXPECT_EQ(length, static_cast<int32_t>(nonAscii.size()));
  NextDBResultSetRow(result.get());
  ASSERT_NE(NextDBResultSetRow(result.get()), nullptr);
  EXPECT_EQ(GetDBResultSetValue("i", &length, result.get()), nullptr);
  EXPECT_EQ(length, 0);
  EXPECT_EQ(NextDBResultSetRow(result.get()), nullptr);
}

// Only on the engines that have a TINYINT type.
class OdbcTinyintTest : public OdbcProviderTest {};

TEST_P(OdbcTinyintTest, TinyintReadsAsBoolean) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer, flag tinyint)"), 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (1, 1), (2, 0), (3, 7)"), 1);
  auto result = Query("select flag from " + table_ + " order by id");
  ASSERT_NE(result, nullptr);
  ASSERT_EQ(result->columns[0].dataType, KES_SQL_BOOLEAN);
  ASSERT_EQ(result->rowCount, 3);
  const std::vector<int64_t> expected = {1, 0, 0};  // only the text "1" is true
  for (std::size_t row = 0; row < expected.size(); ++row) {
    EXPECT_EQ(fh::GetIntegerValue(*result->rows[row][0], KES_SQL_BOOLEAN), expected[row]) << row;
  }
}

// Feeds a value in fixed pieces.
struct Supply {
  const std::string* bytes;
  std::size_t pieceSize;
  std::size_t at = 0;
};
int SupplyPiece(const void** piece, int32_t* length, void* context) {
  auto* supply = static_cast<Supply*>(context);
  if (supply->at >= supply->bytes->size()) return fh::kBlobNoMoreData;
  const std::size_t size = std::min(supply->pieceSize, supply->bytes->size() - supply->at);
  *piece = supply->bytes->data() + supply->at;
  *length = static_cast<int32_t>(size);
  supply->at += size;
  return 0;
}

// What the sink received: each call's length (-1 marks the end call) and the
// bytes.
struct Sunk {
  std::vector<int32_t> calls;
  std::string bytes;
};
void SinkPiece(const void* piece, int32_t length, void* context) {
  auto* sunk = static_cast<Sunk*>(context);
  if (piece == nullptr) {
    sunk->calls.push_back(length == 0 ? -1 : -2);
    return;
  }
  sunk->calls.push_back(length);
  sunk->bytes.append(static_cast<const char*>(piece), static_cast<std::size_t>(length));
}

TEST_P(OdbcProviderTest, BinaryValuesStreamInPiecesBothWays) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer, name varchar(10), data " +
                GetParam().binaryType + ")"),
            1);
  std::string value(2500, '\0');
  for (std::size_t i = 0; i < value.size(); ++i) value[i] = static_cast<char>(i * 7 + 3);
  Supply supply{&value, 1000};
  ASSERT_EQ(
      ExecuteUpdateBlob(handle_.get(), ("insert into " + table_ + " values (1, 'one', ?)").c_str(),
                        SupplyPiece, &supply),
      1)
      << log_.Messages();
  ASSERT_EQ(Run("insert into " + table_ + " values (2, 'two', null)"), 1);

  Sunk sunk;
  auto result = ExecuteQueryBlob(handle_.get(),
                                 ("select id, data, name from " + table_ + " order by id").c_str(),
                                 SinkPiece, &sunk);
  ASSERT_NE(result, nullptr) << log_.Messages();
  EXPECT_EQ(sunk.calls, (std::vector<int32_t>{1024, 1024, 452, -1, -1}));
  EXPECT_EQ(sunk.bytes, value);
  ASSERT_EQ(result->rowCount, 2);
  EXPECT_FALSE(result->rows[0][1].has_value());
  EXPECT_EQ(std::string(result->rows[1][2]->text()), "two");
}

TEST_P(OdbcProviderTest, CommitAndRollbackAreSeenFromASecondConnection) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer)"), 1);
  auto other = OpenDBConnection(entry_.get());
  ASSERT_NE(other, nullptr);

  EXPECT_EQ(CommitTransaction(handle_.get()), 0);  // nothing open: nothing sent
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  EXPECT_EQ(handle_->inTransaction, 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (1)"), 1);
  EXPECT_EQ(RollbackTransaction(handle_.get()), 1);
  EXPECT_EQ(handle_->inTransaction, 0);
  EXPECT_EQ(CountRows(other.get()), 0);

  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (2)"), 1);
  EXPECT_EQ(CommitTransaction(handle_.get()), 1);
  EXPECT_EQ(CountRows(other.get()), 1);

  // Auto-commit is back on: a plain insert is seen at once.
  ASSERT_EQ(Run("insert into " + table_ + " values (3)"), 1);
  EXPECT_EQ(CountRows(other.get()), 2);
  CloseDBConnection(std::move(other));
}

TEST_P(OdbcProviderTest, FailedStatementIsReportedAndLeavesTheConnectionUsable) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer primary key)"), 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (1)"), 1);
  EXPECT_EQ(Run("insert into " + table_ + " values (1)"), 0);
  EXPECT_TRUE(log_.Contains("[ERROR] SQLExecute failed\n") ||
              log_.Contains("[ERROR] SQLPrepare failed\n"))
      << log_.Messages();
  EXPECT_TRUE(log_.Contains("[ERROR] STATE: ")) << log_.Messages();
  EXPECT_TRUE(log_.Contains("[ERROR] MSG: ")) << log_.Messages();
  EXPECT_EQ(Query("select nothing from no_such_table_anywhere"), nullptr);
  EXPECT_EQ(Run("insert into " + table_ + " values (2)"), 1);
  EXPECT_EQ(CountRows(handle_.get()), 2);
}

TEST_P(OdbcProviderTest, ConnectionFailureIsReportedWithoutThePassword) {
  if (GetParam().name == "sqlite") {
    entry_->connectString =
        "Driver=SQLite3;Database=" + dir_.path() + "/missing/dir/x.db;NoCreat=1";
  } else {
    entry_->dsn = "fh_no_such_dsn";
    entry_->password = "Secret;{pw}";
  }
  EXPECT_EQ(OpenDBConnection(entry_.get()), nullptr);
  EXPECT_TRUE(log_.Contains("[ERROR] Connecting to driver failed\n")) << log_.Messages();
  EXPECT_TRUE(log_.Contains("[ERROR] STATE: ")) << log_.Messages();
  EXPECT_FALSE(log_.Contains("Secret"));
}

// Counts statement handles through the provider's ODBC function table.
std::atomic<int> g_statementsAllocated{0};
std::atomic<int> g_statementsFreed{0};
SQLRETURN CountingAllocStmt(SQLHDBC connection, SQLHSTMT* statement) {
  const SQLRETURN result = fh::odbc::DefaultOdbcApi().SQLAllocStmt(connection, statement);
  if (fh::odbc::Succeeded(result)) ++g_statementsAllocated;
  return result;
}
SQLRETURN CountingFreeHandle(SQLSMALLINT type, SQLHANDLE handle) {
  if (type == SQL_HANDLE_STMT) ++g_statementsFreed;
  return fh::odbc::DefaultOdbcApi().SQLFreeHandle(type, handle);
}

TEST_P(OdbcProviderTest, FailingStatementsLeaveNoStatementHandleOpen) {
  ASSERT_EQ(Run("create table " + table_ + " (id integer primary key)"), 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (1)"), 1);
  fh::odbc::OdbcApi counting = fh::odbc::DefaultOdbcApi();
  counting.SQLAllocStmt = CountingAllocStmt;
  counting.SQLFreeHandle = CountingFreeHandle;
  g_statementsAllocated = 0;
  g_statementsFreed = 0;
  fh::odbc::SetOdbcApiForTesting(&counting);
  const int statements = GetParam().name == "mariadb" ? 10000 : 500;
  const std::string duplicate = "insert into " + table_ + " values (1)";
  int failed = 0;
  for (int i = 0; i < statements; ++i) failed += Run(duplicate) == 0 ? 1 : 0;
  EXPECT_EQ(Query("select nothing from no_such_table_anywhere"), nullptr);
  fh::odbc::SetOdbcApiForTesting(nullptr);
  EXPECT_EQ(failed, statements);
  EXPECT_EQ(g_statementsAllocated.load(), statements + 1);
  EXPECT_EQ(g_statementsFreed.load(), g_statementsAllocated.load());
  if (GetParam().name == "mariadb") {
    auto prepared = Query("show global status like 'Prepared_stmt_count'");
    ASSERT_NE(prepared, nullptr);
    ASSERT_EQ(prepared->rowCount, 1);
    EXPECT_LT(std::stoi(prepared->rows[0][1]->text()), 10) << "prepared statements left open";
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, OdbcProviderTest, testing::ValuesIn(OdbcEngines()), EngineName);

// Only on the database servers: SQLite has no databases to create.
class OdbcServerTest : public OdbcProviderTest {};

TEST_P(OdbcServerTest, CreateDBCreatesADatabaseThroughThePool) {
  const std::string name = "fhdb_" + std::to_string(::getpid());
  Run("drop database if exists " + name);
  ASSERT_TRUE(AddConnParamsEntry(std::make_unique<ConnParamsEntry>(*entry_)));
  ASSERT_TRUE(EstablishDBConnections());
  EXPECT_TRUE(CreateDB(name.c_str())) << log_.Messages();
  EXPECT_FALSE(CreateDB(name.c_str()));  // it exists now
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot create database " + name + ".\n"));
  EXPECT_EQ(Run("drop database " + name), 1);
}

std::vector<Engine> ServerEngines() {
  std::vector<Engine> engines;
  for (const Engine& engine : OdbcEngines()) {
    if (!IsSqlite(engine)) engines.push_back(engine);
  }
  return engines;
}
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OdbcServerTest);
INSTANTIATE_TEST_SUITE_P(Engines, OdbcServerTest, testing::ValuesIn(ServerEngines()), EngineName);

std::vector<Engine> EnginesWithTinyint() {
  std::vector<Engine> engines;
  for (const Engine& engine : OdbcEngines()) {
    if (engine.hasTinyint) engines.push_back(engine);
  }
  return engines;
}
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(OdbcTinyintTest);
INSTANTIATE_TEST_SUITE_P(Engines, OdbcTinyintTest, testing::ValuesIn(EnginesWithTinyint()),
                         EngineName);

}  // namespace
}  // namespace fhtest
