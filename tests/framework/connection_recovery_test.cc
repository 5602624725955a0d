// Saves across lost links: a session the server ended between two saves is
// replaced and the next save writes exactly the pending rows; a link cut in
// the middle of a save ends that save with false, writing nothing and
// marking no row failed; a SQLite database file that can no longer be read
// fails the save the same way until it is readable again.
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "framework/table_saver.h"
#include "framework/table_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "support/server_session.h"

namespace fhtest {
namespace {

using RecoveryTest = TableTest;

// A second connection to the same database, beside the pool's.
std::unique_ptr<ConnectionHandle> OpenSecond() {
  return OpenDBConnection(GetConnParamsEntry("conn"));
}

std::optional<int64_t> PooledSession(const Engine& engine) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  std::optional<int64_t> session = SessionId(engine, handle);
  ReleaseConnectionHandle("conn");
  return session;
}

TEST_P(RecoveryTest, SessionEndedBetweenSavesIsReplacedAndTheNextSaveWrites) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "a", 1));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  const std::optional<int64_t> session = PooledSession(GetParam());
  ASSERT_TRUE(session);
  std::unique_ptr<ConnectionHandle> killer = OpenSecond();
  ASSERT_TRUE(EndSession(GetParam(), killer.get(), *session));
  CloseDBConnection(std::move(killer));

  ASSERT_TRUE(AddItem(2, "b", 2));
  ASSERT_TRUE(AddItem(3, "c", 3));
  EXPECT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{1, "a", 1, 0}, {2, "b", 2, 0}, {3, "c", 3, 0}}));
  EXPECT_EQ(MemoryRows(), (std::vector<ItemRow>{{1, "a", 1, 1}, {2, "b", 2, 1}, {3, "c", 3, 1}}));
  EXPECT_FALSE(log_.Contains("was lost"));
  EXPECT_NE(PooledSession(GetParam()), session);
}

TEST_P(RecoveryTest, LinkCutInTheMiddleOfASaveEndsItWithNothingWritten) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(5, "old", 5));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  const int32_t qty = 50;
  ASSERT_TRUE(UpdateRowObject(table_.c_str(), FindRow(5), "qty", &qty, sizeof qty));
  for (int id : {10, 11, 1}) ASSERT_TRUE(AddItem(id, "n", id));
  // A second connection holds the key 1 uncommitted: the save's inserts
  // (one execution where the provider prepares statements, else one
  // statement each) wait for it, after the update ran. A third connection
  // watches (a transaction would see the server's session list frozen) and
  // cuts.
  std::unique_ptr<ConnectionHandle> holder = OpenSecond();
  std::unique_ptr<ConnectionHandle> watcher = OpenSecond();
  ASSERT_NE(holder, nullptr);
  ASSERT_NE(watcher, nullptr);
  ASSERT_EQ(BeginTransaction(holder.get()), 1);
  ASSERT_EQ(
      ExecuteUpdate(holder.get(), ("insert into " + table_ + " values (1, 'held', 0)").c_str()), 1);
  const std::optional<int64_t> session = PooledSession(GetParam());
  ASSERT_TRUE(session);
  std::future<bool> save =
      std::async(std::launch::async, [this] { return SaveTable(table_.c_str()); });
  const bool waiting =
      WaitUntilRunning(GetParam(), watcher.get(), *session, "into  " + table_ + " values(");
  const bool ended = waiting && EndSession(GetParam(), watcher.get(), *session);
  RollbackTransaction(holder.get());  // frees the save if it still waits
  CloseDBConnection(std::move(holder));
  CloseDBConnection(std::move(watcher));
  const bool saved = save.get();
  ASSERT_TRUE(waiting);
  ASSERT_TRUE(ended);

  EXPECT_FALSE(saved);
  EXPECT_EQ(log_.Count("[ERROR] The connection to data source conn was lost"), 1u);
  EXPECT_FALSE(log_.Contains("QUERY : "));  // no row counted as failed
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{5, "old", 5, 0}}));
  const std::vector<ItemRow> pending = {
      {5, "old", 50, 5}, {10, "n", 10, 2}, {11, "n", 11, 2}, {1, "n", 1, 2}};
  EXPECT_EQ(MemoryRows(), pending);

  EXPECT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(DatabaseRows(),
            (std::vector<ItemRow>{
                {1, "n", 1, 0}, {5, "old", 50, 0}, {10, "n", 10, 0}, {11, "n", 11, 0}}));
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RecoveryTest);
INSTANTIATE_TEST_SUITE_P(Servers, RecoveryTest, testing::ValuesIn(ServerEngines()), EngineName);

using SqliteFileTest = TableTest;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Writes bytes over the start of the file in place (the open connection
// keeps its descriptor, so a replaced file would go unnoticed).
void Overwrite(const std::string& path, const std::string& bytes) {
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST_P(SqliteFileTest, UnreadableDatabaseFileFailsTheSaveUntilItIsReadableAgain) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "a", 1));
  ASSERT_TRUE(AddItem(2, "b", 2));
  const std::string path = dir_.path() + "/test.db";
  const std::string original = ReadAll(path);
  ASSERT_GE(original.size(), 512u);
  Overwrite(path, std::string(512, 'x'));

  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_FALSE(log_.Contains("QUERY : "));
  EXPECT_EQ(MemoryRows(), (std::vector<ItemRow>{{1, "a", 1, 2}, {2, "b", 2, 2}}));

  Overwrite(path, original);
  EXPECT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{1, "a", 1, 0}, {2, "b", 2, 0}}));
}

std::vector<Engine> SqliteOnly() {
  std::vector<Engine> engines;
  for (const Engine& engine : SelectedEngines()) {
    if (IsSqlite(engine)) engines.push_back(engine);
  }
  return engines;
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(SqliteFileTest);
INSTANTIATE_TEST_SUITE_P(Sqlite, SqliteFileTest, testing::ValuesIn(SqliteOnly()), EngineName);

}  // namespace
}  // namespace fhtest
