// The connection pool on real SQLite connections: sharing, claiming,
// ageing and creating databases.
#include "db/connection_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <map>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "db/connection.h"
#include "db/db_result_set.h"
#include "db/odbc/odbc_api.h"
#include "platform/mutex.h"
#include "platform/unix_time.h"
#include "support/db_engines.h"

namespace fhtest {
namespace {

std::atomic<int64_t> g_now{1700000000};
int64_t TestNow() { return g_now.load(); }

class ConnectionPoolTest : public DbTest {
 protected:
  ConnectionPoolTest() {
    g_now = 1700000000;
    fh::SetUnixTimeSourceForTesting(TestNow);
  }
  ~ConnectionPoolTest() override { fh::SetUnixTimeSourceForTesting(nullptr); }

  void AddSqlite(const std::string& name) {
    const std::string connect = "Driver=SQLite3;Database=" + dir_.Sub(name + ".db");
    ASSERT_TRUE(AddConnParamsEntry(CreateConnParamsEntry("t", 1, "fh_sqlite", nullptr, nullptr,
                                                         name.c_str(), 1, connect.c_str(), "ODBC",
                                                         "SQLITE")));
  }
};

TEST_F(ConnectionPoolTest, OneHandleIsSharedByEveryThread) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(EstablishDBConnections());
  EXPECT_TRUE(log_.HasLine("[DEBUG]", " LiteDB : Connection Established\n"));
  ConnectionHandle* mine = GetConnectionHandle("LiteDB");
  ConnectionHandle* theirs = nullptr;
  std::thread other([&] { theirs = GetConnectionHandle("LiteDB"); });
  other.join();
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(theirs, mine);
  EXPECT_EQ(mine->owner, 1);
  EXPECT_EQ(GetConnectionHandle(nullptr), mine);  // the only data source
  EXPECT_EQ(GetConnectionHandle("litedb"), nullptr);
  EXPECT_TRUE(ReleaseConnectionHandle("LiteDB"));
  EXPECT_EQ(mine->owner, -1);
  EXPECT_FALSE(ReleaseConnectionHandle("LiteDB"));
}

TEST_F(ConnectionPoolTest, FiveHandlesAndTheSixthCallerGetsNone) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(CreateConnectionPool(0));
  ASSERT_EQ(fh::GetPooledHandleCount("LiteDB"), 5);
  EXPECT_TRUE(log_.HasLine("[DEBUG]", " 4 : LiteDB : Connection Established\n"));

  constexpr int kCallers = 6;
  std::vector<ConnectionHandle*> got(kCallers);
  std::vector<ConnectionHandle*> again(kCallers);
  std::barrier allClaimed(kCallers);
  std::vector<std::thread> callers;
  for (int i = 0; i < kCallers; ++i) {
    callers.emplace_back([&, i] {
      got[i] = GetConnectionHandle("LiteDB");
      allClaimed.arrive_and_wait();
      again[i] = GetConnectionHandle("LiteDB");  // a holder gets its own back
      allClaimed.arrive_and_wait();
      if (got[i] != nullptr) {
        EXPECT_TRUE(ReleaseConnectionHandle("LiteDB"));
      }
    });
  }
  for (auto& caller : callers) caller.join();
  std::set<ConnectionHandle*> distinct(got.begin(), got.end());
  EXPECT_EQ(distinct.count(nullptr), 1u);
  EXPECT_EQ(distinct.size(), 6u);  // five different handles and one none
  EXPECT_EQ(again, got);
  EXPECT_NE(GetConnectionHandle("LiteDB"), nullptr);  // all were given back
}

TEST_F(ConnectionPoolTest, ThreadsClaimingAtOnceNeverShareAHandle) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(CreateConnectionPool(3));
  std::map<ConnectionHandle*, std::atomic<int>> holders;
  std::atomic<int> shared{0};
  std::atomic<int> served{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 300; ++i) {
        ConnectionHandle* handle = GetConnectionHandle("LiteDB");
        if (handle == nullptr) continue;
        ++served;
        std::atomic<int>* count = nullptr;
        {
          static fh::Mutex mapMutex;
          fh::MutexLock lock(&mapMutex);
          count = &holders[handle];
        }
        if (count->fetch_add(1) != 0) ++shared;
        count->fetch_sub(1);
        ReleaseConnectionHandle("LiteDB");
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(shared.load(), 0);
  EXPECT_GT(served.load(), 0);
  EXPECT_LE(holders.size(), 3u);
}

TEST_F(ConnectionPoolTest, ThreadsSharingTheOnlyHandleRunTheirStatementsInTurn) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(EstablishDBConnections());
  ASSERT_EQ(ExecuteUpdate(GetConnectionHandle("LiteDB"), "create table t (id integer)"), 1);
  std::vector<std::thread> threads;
  std::atomic<int> failed{0};
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 25; ++i) {
        ConnectionHandle* handle = GetConnectionHandle("LiteDB");
        const std::string insert = "insert into t values (" + std::to_string(t * 100 + i) + ")";
        if (ExecuteUpdate(handle, insert.c_str()) != 1) ++failed;
        if (!ExecuteQuery(handle, "select count(*) from t")) ++failed;
      }
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(failed.load(), 0);
  auto count = ExecuteQuery(GetConnectionHandle(nullptr), "select count(*) from t");
  ASSERT_NE(count, nullptr);
  EXPECT_EQ(ConvertValueToString(&*count->rows[0][0], count->columns[0].dataType), "100");
}

TEST_F(ConnectionPoolTest, AHandleIsReplacedOnlyPastTheAgeLimit) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(EstablishDBConnections());
  ConnectionHandle* first = GetConnectionHandle("LiteDB");
  ASSERT_NE(first, nullptr);
  ASSERT_EQ(ExecuteUpdate(first, "create table t (id integer)"), 1);

  g_now = 1700000000 + 27900;
  EXPECT_EQ(GetConnectionHandle("LiteDB"), first);

  // Inside a transaction the stale handle is handed out as it is.
  g_now = 1700000000 + 27901;
  ASSERT_EQ(BeginTransaction(first), 1);
  EXPECT_EQ(GetConnectionHandle("LiteDB"), first);
  ASSERT_EQ(CommitTransaction(first), 1);

  const std::size_t opened = log_.Count(" LiteDB : Connection Established\n");
  ConnectionHandle* second = GetConnectionHandle("LiteDB");
  ASSERT_NE(second, nullptr);
  EXPECT_NE(second, first);
  EXPECT_EQ(second->openedAt, 1700000000u + 27901u);
  EXPECT_EQ(second->owner, 1);
  EXPECT_EQ(fh::GetPooledHandleCount("LiteDB"), 1);
  EXPECT_EQ(log_.Count(" LiteDB : Connection Established\n"), opened + 1);
  EXPECT_EQ(ExecuteUpdate(second, "insert into t values (1)"), 1);
  EXPECT_EQ(GetConnectionHandle("LiteDB"), second);
}

TEST_F(ConnectionPoolTest, DataSourceChoiceAndEstablishFailures) {
  EXPECT_FALSE(EstablishDBConnections());  // empty list, no line
  EXPECT_FALSE(log_.Contains("[ERROR]"));
  EXPECT_FALSE(CreateConnectionPool(1));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "There is no entry in data source vector\n"));
  EXPECT_EQ(GetConnectionHandle(nullptr), nullptr);
  EXPECT_FALSE(ReleaseConnectionHandle(nullptr));

  AddSqlite("FirstDB");
  AddSqlite("SecondDB");
  ASSERT_TRUE(AddConnParamsEntry(CreateConnParamsEntry(
      "t", 1, "fh_sqlite", nullptr, nullptr, "BadDB", 1, "Driver=NoSuchDriver", "ODBC", "SQLITE")));
  EXPECT_FALSE(EstablishDBConnections());
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot establish connection.\n"));
  EXPECT_EQ(fh::GetConnectionPoolEntryCount(), 2);   // the ones opened so far stay
  EXPECT_EQ(GetConnectionHandle(nullptr), nullptr);  // two data sources: no default
  ConnectionHandle* second = GetConnectionHandle("SecondDB");
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->connectionName, "SecondDB");
  EXPECT_FALSE(ReleaseConnectionHandle(nullptr));  // the first data source is not held
  EXPECT_TRUE(ReleaseConnectionHandle("SecondDB"));
}

std::string g_prepared;
SQLRETURN CapturePrepare(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  g_prepared = reinterpret_cast<const char*>(text);
  return fh::odbc::DefaultOdbcApi().SQLPrepare(statement, text, length);
}

SQLRETURN CaptureExecDirect(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length) {
  g_prepared = reinterpret_cast<const char*>(text);
  return fh::odbc::DefaultOdbcApi().SQLExecDirect(statement, text, length);
}

TEST_F(ConnectionPoolTest, CreateDBRunsOnlyASafeName) {
  AddSqlite("LiteDB");
  ASSERT_TRUE(EstablishDBConnections());
  fh::odbc::OdbcApi capturing = fh::odbc::DefaultOdbcApi();
  capturing.SQLPrepare = CapturePrepare;
  capturing.SQLExecDirect = CaptureExecDirect;
  fh::odbc::SetOdbcApiForTesting(&capturing);
  struct Case {
    const char* name;
    bool runs;
  };
  const Case cases[] = {
      {"abcdefghij_23456789", true},    // 19 characters
      {"abcdefghij_234567890", false},  // 20
      {"x;drop table t", false},
      {"", false},
  };
  for (const Case& c : cases) {
    g_prepared.clear();
    EXPECT_FALSE(CreateDB(c.name)) << c.name;  // SQLite knows no "create database"
    EXPECT_EQ(g_prepared, c.runs ? std::string("create database ") + c.name : "") << c.name;
  }
  fh::odbc::SetOdbcApiForTesting(nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot create database abcdefghij_23456789.\n"));
  EXPECT_EQ(log_.Count("Cannot create database: invalid database name.\n"), 3u);
  EXPECT_EQ(GetConnectionHandle(nullptr)->owner, 1);  // released and taken again
}

}  // namespace
}  // namespace fhtest
