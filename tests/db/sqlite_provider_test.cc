// The native SQLite provider: values read alike through both SQLite
// providers, transactions, foreign keys, failures and two processes on one
// database file.
#include "db/sqlite/sqlite_provider.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include "db/conn_params.h"
#include "db/connection.h"
#include "dictionary/column_types.h"
#include "support/db_engines.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

const Engine& EngineNamed(const std::string& name) {
  static const std::vector<Engine> engines = [] {
    setenv("FH_TEST_ENGINES", "sqlite,sqlite_native", 1);
    std::vector<Engine> all = SelectedEngines();
    unsetenv("FH_TEST_ENGINES");
    return all;
  }();
  for (const Engine& engine : engines) {
    if (engine.name == name) return engine;
  }
  return engines.front();
}

class SqliteProviderTest : public DbTest {
 protected:
  void SetUp() override {
    entry_ = MakeEngineEntry(EngineNamed("sqlite_native"), dir_.path(), "TestDB");
    handle_ = OpenDBConnection(entry_.get());
    ASSERT_NE(handle_, nullptr) << log_.Messages();
  }
  void TearDown() override { CloseDBConnection(std::move(handle_)); }

  int Run(const std::string& text) { return ExecuteUpdate(handle_.get(), text.c_str()); }
  std::unique_ptr<DBResultSet> Query(const std::string& text) {
    return ExecuteQuery(handle_.get(), text.c_str());
  }
  size_t Count(const std::string& table) {
    auto result = Query("select * from " + table);
    return result ? result->rows.size() : 999;
  }

  std::unique_ptr<ConnParamsEntry> entry_;
  std::unique_ptr<ConnectionHandle> handle_;
};

TEST_F(SqliteProviderTest, ReadsEveryTypeAsTheOdbcProviderDoes) {
  ASSERT_EQ(Run("create table t (i int, bi bigint, si smallint, ti tinyint, n integer, "
                "v varchar(20), c char(5), tx text, d double, r real, f float, nu numeric, "
                "ts timestamp, dt datetime, da date, tm time, v30 varchar(30), b boolean, "
                "bl blob, untyped)"),
            1)
      << log_.Messages();
  ASSERT_EQ(Run("insert into t values (-7, 9007199254740993, 300, 1, 5, 'abc', 'xy', 'long', "
                "0.1, 2.5, 1e300, 12.5, '2024-02-29 23:59:58', '2000-01-01 00:00:00', "
                "'1999-12-31', '12:34:56', '2024-01-02', 't', x'00ff00', 'free')"),
            1);
  ASSERT_EQ(Run("insert into t values (2147483647, -1, -2, 0, 0, '', '', '', -0.0, 0, 0, 0, "
                "'0001-01-01 00:00:00', '2024-1-2 3:4:5', '2024-02-29', '00:00:00', "
                "'12:00:00', 'f', x'', 42)"),
            1);
  ASSERT_EQ(Run("insert into t values (null, null, null, null, null, null, null, null, null, "
                "null, null, null, null, null, null, null, null, null, null, null)"),
            1);
  const std::string query =
      "select t.*, count(*) over () as cnt, i + 1 as nxt, 'lit' as lit, 1.5 as num, "
      "max(i) over () as mx, bi * 1 as big from t order by n";
  auto native = Query(query);
  ASSERT_NE(native, nullptr) << log_.Messages();
  auto odbcEntry = MakeEngineEntry(EngineNamed("sqlite"), dir_.path(), "OdbcDB");
  auto odbc = OpenDBConnection(odbcEntry.get());
  ASSERT_NE(odbc, nullptr) << log_.Messages();
  auto viaOdbc = ExecuteQuery(odbc.get(), query.c_str());
  ASSERT_NE(viaOdbc, nullptr) << log_.Messages();
  ASSERT_EQ(native->columns.size(), viaOdbc->columns.size());
  for (size_t column = 0; column < native->columns.size(); ++column) {
    SCOPED_TRACE(native->columns[column].name);
    EXPECT_EQ(native->columns[column].name, viaOdbc->columns[column].name);
    EXPECT_EQ(native->columns[column].dataType, viaOdbc->columns[column].dataType);
    ASSERT_EQ(native->rows.size(), viaOdbc->rows.size());
    for (size_t row = 0; row < native->rows.size(); ++row) {
      EXPECT_EQ(native->rows[row][column].has_value(), viaOdbc->rows[row][column].has_value())
          << "row " << row;
      // Through ODBC a binary value reads as its SQL literal text (X'00FF');
      // the native provider gives its bytes.
      if (native->columns[column].name == "bl") continue;
      if (native->rows[row][column] && viaOdbc->rows[row][column]) {
        EXPECT_EQ(*native->rows[row][column], *viaOdbc->rows[row][column]) << "row " << row;
      }
    }
  }
  CloseDBConnection(std::move(odbc));
}

// Hands out one value in two pieces.
struct Pieces {
  std::string first, second;
  int next = 0;
  static int Supply(const void** piece, int32_t* length, void* context) {
    auto* self = static_cast<Pieces*>(context);
    const std::string* part = self->next == 0 ? &self->first : &self->second;
    if (self->next++ >= 2) return fh::kBlobNoMoreData;
    *piece = part->data();
    *length = static_cast<int32_t>(part->size());
    return 0;
  }
};

TEST_F(SqliteProviderTest, BlobsKeepZeroBytesAndEmptyIsNotNull) {
  ASSERT_EQ(Run("create table b (id int primary key, bl blob)"), 1);
  Pieces value{std::string("a\0b", 3), std::string(1500, '\0')};
  ASSERT_EQ(ExecuteUpdateBlob(handle_.get(), "insert into b values (1, ?)", Pieces::Supply, &value),
            1);
  Pieces empty;
  ASSERT_EQ(ExecuteUpdateBlob(handle_.get(), "insert into b values (2, ?)", Pieces::Supply, &empty),
            1);
  auto lengths = Query("select id, length(bl), bl is null from b order by id");
  ASSERT_NE(lengths, nullptr);
  ASSERT_EQ(lengths->rows.size(), 2u);
  const auto number = [](int64_t value) {
    return fh::ColumnValue::FromInteger(KES_SQL_INT, value);
  };
  EXPECT_EQ(lengths->rows[0][1], number(1503));
  EXPECT_EQ(lengths->rows[1][1], number(0));
  EXPECT_EQ(lengths->rows[1][2], number(0));  // the empty value is no NULL
  struct Sink {
    std::string bytes;
    int ends = 0;
    static void Take(const void* piece, int32_t length, void* context) {
      auto* self = static_cast<Sink*>(context);
      if (piece == nullptr)
        ++self->ends;
      else
        self->bytes.append(static_cast<const char*>(piece), static_cast<size_t>(length));
    }
  } sink;
  auto result = ExecuteQueryBlob(handle_.get(), "select bl, bl is null from b order by id",
                                 Sink::Take, &sink);
  ASSERT_NE(result, nullptr) << log_.Messages();
  EXPECT_EQ(sink.bytes, value.first + value.second);
  EXPECT_EQ(sink.ends, 2);
  EXPECT_FALSE(result->rows[0][0].has_value());  // streamed, not in the result
  EXPECT_EQ(result->rows[1][1], number(0));
}

TEST_F(SqliteProviderTest, TransactionsCommitRollBackAndAFailedCommitLeavesNothing) {
  ASSERT_EQ(Run("create table p (id int primary key)"), 1);
  ASSERT_EQ(Run("create table c (id int primary key, p int references p(id) "
                "deferrable initially deferred)"),
            1);
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(Run("insert into p values (1)"), 1);
  ASSERT_EQ(CommitTransaction(handle_.get()), 1);
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(Run("insert into p values (2)"), 1);
  ASSERT_EQ(RollbackTransaction(handle_.get()), 1);
  EXPECT_EQ(Count("p"), 1u);

  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(Run("insert into p values (3)"), 1);
  ASSERT_EQ(Run("insert into c values (1, 99)"), 1);  // checked at the commit
  EXPECT_EQ(CommitTransaction(handle_.get()), 0);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in commiting transaction\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "STATE: 23000\n"));
  EXPECT_EQ(Count("p"), 1u);  // rolled back, and no transaction is left open
  EXPECT_EQ(Count("c"), 0u);
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  EXPECT_EQ(RollbackTransaction(handle_.get()), 1);
  EXPECT_FALSE(fh::IsConnectionBroken(*handle_));
}

TEST_F(SqliteProviderTest, ForeignKeysAreEnforcedAndAStatementFailureKeepsTheConnection) {
  ASSERT_EQ(Run("create table p (id int primary key)"), 1);
  ASSERT_EQ(Run("create table c (id int primary key, p int references p(id) on delete cascade)"),
            1);
  ASSERT_EQ(Run("insert into p values (1)"), 1);
  EXPECT_EQ(Run("insert into c values (1, 2)"), 0);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Executing statement failed\n"));
  ASSERT_EQ(Run("insert into c values (1, 1)"), 1);
  EXPECT_EQ(fh::ExecuteUpdateRowCount(handle_.get(), "delete from p where id = 1"), 1);
  EXPECT_EQ(Count("c"), 0u);  // cascaded
  EXPECT_EQ(fh::ExecuteUpdateRowCount(handle_.get(), "delete from p where id = 1"), 0);
  EXPECT_EQ(fh::ExecuteUpdateRowCount(handle_.get(), "select * from no_such_table"), -1);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Preparing statement failed\n"));
  EXPECT_FALSE(fh::IsConnectionBroken(*handle_));
}

TEST_F(SqliteProviderTest, AFileThatIsNoDatabaseFailsTheOpenAndBreaksAnOpenHandle) {
  ASSERT_EQ(Run("create table p (id int primary key)"), 1);
  const std::string other = dir_.path() + "/other.db";
  std::ofstream(other) << std::string(8192, 'x');
  auto entry = CreateConnParamsEntry("t", 1, other.c_str(), nullptr, nullptr, "Other", 0, nullptr,
                                     fh::kSqliteProviderName, "SQLITE");
  EXPECT_EQ(OpenDBConnection(entry.get()), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Opening database failed\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "STATE: 08S01\n"));

  const std::string file = *entry_->dsn;  // damaged in place: the connection keeps its descriptor
  std::fstream(file, std::ios::binary | std::ios::in | std::ios::out) << std::string(100, 'x');
  EXPECT_EQ(Run("insert into p values (1)"), 0);
  EXPECT_TRUE(fh::IsConnectionBroken(*handle_)) << log_.Messages();
}

TEST_F(SqliteProviderTest, ARelativeDatabaseFileIsTakenFromTheDataDirectory) {
  std::ofstream(dir_.path() + "/connparams.txt")
      << "Lite 1 lite.db NULL NULL - LiteDB SQLITE SQLITE NO\n"
      << "Mem 2 :memory: NULL NULL - MemDB SQLITE SQLITE NO\n"
      << "Odbc 3 lite.db NULL NULL - OdbcDB ODBC SQLITE NO\n";
  ASSERT_TRUE(LoadConnParamsEntryFromFile((dir_.path() + "/connparams.txt").c_str()));
  EXPECT_EQ(GetConnParamsEntry("LiteDB")->dsn, dir_.path() + "/lite.db");
  EXPECT_EQ(GetConnParamsEntry("MemDB")->dsn, ":memory:");
  EXPECT_EQ(GetConnParamsEntry("OdbcDB")->dsn, "lite.db");  // an ODBC data source name
}

// Two processes write one file: the second (this program running
// SqliteSecondProcess) waits for the first's write lock (the busy
// timeout) instead of failing, and each sees the other's rows.
TEST_F(SqliteProviderTest, TwoProcessesShareOneFile) {
  ASSERT_EQ(Run("create table p (id int primary key)"), 1);
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  ASSERT_EQ(Run("insert into p values (1)"), 1);
  const std::string ready = dir_.path() + "/ready";
  ASSERT_EQ(::mkfifo(ready.c_str(), 0600), 0);
  ProcessResult result;
  std::thread child([&] {
    result = RunProcess("/proc/self/exe",
                        {"--gtest_filter=SqliteSecondProcess.DISABLED_InsertBesideTheFirst",
                         "--gtest_also_run_disabled_tests"},
                        {"FH_SQLITE_CHILD_DB=" + *entry_->dsn, "FH_SQLITE_CHILD_READY=" + ready});
    // A child that ended before signalling must not leave the wait below.
    const int unblock = ::open(ready.c_str(), O_WRONLY | O_NONBLOCK);
    if (unblock >= 0) ::close(unblock);
  });
  {
    std::ifstream signal(ready);  // opens once the child has its connection
    signal.get();
  }
  EXPECT_EQ(CommitTransaction(handle_.get()), 1);
  child.join();
  EXPECT_EQ(result.exitCode, 0) << result.output;
  EXPECT_EQ(Count("p"), 2u);
}

TEST(SqliteSecondProcess, DISABLED_InsertBesideTheFirst) {
  const char* file = std::getenv("FH_SQLITE_CHILD_DB");
  ASSERT_NE(file, nullptr);
  auto entry = CreateConnParamsEntry("t", 1, file, nullptr, nullptr, "Second", 0, nullptr,
                                     fh::kSqliteProviderName, "SQLITE");
  auto handle = fh::SqliteOpenConnection(entry.get());
  ASSERT_NE(handle, nullptr);
  std::ofstream(std::getenv("FH_SQLITE_CHILD_READY")) << 'x';
  EXPECT_EQ(fh::SqliteExecuteUpdate(handle.get(), "insert into p values (2)"), 1);
  auto rows = fh::SqliteExecuteQuery(handle.get(), "select id from p");
  ASSERT_NE(rows, nullptr);
  EXPECT_EQ(rows->rows.size(), 2u);
  fh::SqliteCloseConnection(handle.get());
}

}  // namespace
}  // namespace fhtest
