// Saving in-memory tables on every engine: the statement each row state
// gives, the states afterwards, a failing row that keeps its state while the
// others are written, listeners that select while a save announces rows,
// and a save killed part-way.
#include "framework/table_saver.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "config/data_source_map.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/column_values.h"
#include "framework/index_table.h"
#include "framework/table_loader.h"
#include "framework/table_test_helpers.h"
#include "store/notification.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace fhtest {
namespace {

using SaveTableTest = TableTest;

void SetQty(const std::string& table, RowObject* row, int32_t qty) {
  ASSERT_NE(row, nullptr);
  ASSERT_TRUE(UpdateRowObject(table.c_str(), row, "qty", &qty, sizeof qty));
}

TEST_P(SaveTableTest, EachStateGivesItsStatementAndEndsPersisted) {
  for (int id : {1, 2, 3})
    ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(id) + ", 'p" +
                  std::to_string(id) + "', " + std::to_string(id * 10) + ")"),
              1);
  ASSERT_TRUE(LoadTable(table_.c_str()));
  SetQty(table_, FindRow(2), 21);                            // 1 -> 5: update
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(3)));  // 1 -> 9: delete
  ASSERT_TRUE(AddItem(4, "n4", 40));                         // 2: insert
  ASSERT_TRUE(AddItem(5, std::nullopt, 50));                 // 2 -> 6: insert, not update
  SetQty(table_, FindRow(5), 51);
  const std::vector<ItemRow> before = MemoryRows();
  ASSERT_EQ(before.size(), 5u);
  EXPECT_EQ(before[1].state, 5);
  EXPECT_EQ(before[2].state, 9);
  EXPECT_EQ(before[4].state, 6);

  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(log_.Count("Generated Insert Query: "), 2u);
  EXPECT_EQ(log_.Count("Generated Update Query: "), 1u);
  EXPECT_EQ(log_.Count("Generated Delete Query: "), 1u);
  EXPECT_FALSE(log_.Contains("Error in executing update query"));
  const std::vector<ItemRow> saved = {
      {1, "p1", 10, 1}, {2, "p2", 21, 1}, {4, "n4", 40, 1}, {5, "NULL", 51, 1}};
  EXPECT_EQ(MemoryRows(), saved);
  std::vector<ItemRow> stored = saved;
  for (ItemRow& row : stored) row.state = 0;
  EXPECT_EQ(DatabaseRows(), stored);

  // Nothing left to write: a second save sends no statement.
  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(log_.Count("Generated Insert Query: "), 2u);
  EXPECT_EQ(log_.Count("Generated Update Query: "), 1u);
}

TEST_P(SaveTableTest, FailingRowKeepsItsStateWhileTheOthersAreWritten) {
  ASSERT_EQ(Run("insert into " + table_ + " values (1, 'db', 1)"), 1);
  ASSERT_EQ(Run("insert into " + table_ + " values (2, 'old', 2)"), 1);
  ASSERT_TRUE(LoadTable(table_.c_str()));
  ASSERT_TRUE(AddItem(7, "first", 70));
  ASSERT_TRUE(AddItem(1, "clash", 0));  // duplicate key: the insert fails
  SetQty(table_, FindRow(2), 22);
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(2)));  // 5 | 8: delete
  ASSERT_TRUE(AddItem(8, "last", 80));

  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in executing update query \n"));
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 1u);
  EXPECT_TRUE(log_.HasLine("[ERROR]",
                           "1 of 4 rows of " + table_ + " were not saved and keep their state.\n"));
  const std::vector<ItemRow> memory = {
      {1, "db", 1, 1}, {7, "first", 70, 1}, {1, "clash", 0, 2}, {8, "last", 80, 1}};
  EXPECT_EQ(MemoryRows(), memory);
  const std::vector<ItemRow> stored = {{1, "db", 1, 0}, {7, "first", 70, 0}, {8, "last", 80, 0}};
  EXPECT_EQ(DatabaseRows(), stored);

  // The failed row is tried again by the next save, and fails again alone;
  // every way of saving reports it.
  EXPECT_FALSE(SaveAllTables());
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 2u);
  EXPECT_EQ(MemoryRows(), memory);
}

// Many rows with every seventh failing (a duplicate of a stored key): the
// good ones are all written, each bad one reported once and kept.
TEST_P(SaveTableTest, ManyFailingRowsAreEachReportedOnceAndKept) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  std::vector<ItemRow> stored;
  for (int id = 0; id < 60; ++id) {
    if (id % 7 == 3) {
      ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(id) + ", 'db', 0)"), 1);
      stored.push_back({id, "db", 0, 0});
    } else {
      stored.push_back({id, "new", id, 0});
    }
    ASSERT_TRUE(AddItem(id, "new", id));
  }
  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 9u);
  EXPECT_TRUE(log_.HasLine(
      "[ERROR]", "9 of 60 rows of " + table_ + " were not saved and keep their state.\n"));
  EXPECT_EQ(DatabaseRows(), stored);
  for (const ItemRow& row : MemoryRows()) EXPECT_EQ(row.state, row.id % 7 == 3 ? 2 : 1) << row.id;
}

TEST_P(SaveTableTest, NoTableOrNoDataSourceIsRefused) {
  EXPECT_FALSE(SaveTable(table_.c_str()));  // not in memory
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "x", 1));
  ASSERT_TRUE(DeleteDataSourceMapEntry(table_.c_str()));
  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_EQ(MemoryRows(), (std::vector<ItemRow>{{1, "x", 1, 2}}));
  EXPECT_TRUE(DatabaseRows().empty());
}

TEST_P(SaveTableTest, InsideTheCallersTransactionTheCallerDecides) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "kept", 1));
  ConnectionHandle* handle = GetConnectionHandle("conn");
  ASSERT_EQ(BeginTransaction(handle), 1);
  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(MemoryRows(), (std::vector<ItemRow>{{1, "kept", 1, 1}}));
  ASSERT_EQ(RollbackTransaction(handle), 1);
  ReleaseConnectionHandle("conn");
  EXPECT_TRUE(DatabaseRows().empty());
}

TEST_P(SaveTableTest, SaveAllTablesWritesEveryLoadedTableButViews) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "one", 1));
  ASSERT_TRUE(LoadViewByQuery("items_view", table_.c_str(), ("select * from " + table_).c_str()));
  EXPECT_TRUE(SaveAllTables());
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{1, "one", 1, 0}}));
  EXPECT_EQ(log_.Count("@@@ Inside SaveTable @@@"), 1u);
}

// What the listener of the next test saw: for each notification, the table
// and how many rows its criteria selection found (-1: the selection failed).
std::vector<std::pair<std::string, int32_t>> g_selections;

void SelectingListener(const IMDSNotification* notification, const char* /*listenerName*/) {
  std::unique_ptr<ResultData> result = SelectRows(notification->tableName.c_str(), "qty > 15");
  g_selections.emplace_back(notification->tableName, result ? result->rowCount : -1);
}

TEST_P(SaveTableTest, ListenerCalledDuringTheSaveMaySelectWithACriteria) {
  for (int id : {1, 2, 3})
    ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(id) + ", 'p', " +
                  std::to_string(id * 10) + ")"),
              1);
  ASSERT_TRUE(LoadTable(table_.c_str()));
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(3)));
  ASSERT_TRUE(AddItem(4, "n", 40));
  InitNotification();
  g_selections.clear();
  ASSERT_TRUE(AddNotificationListener("selecting", 0, SelectingListener, true, {table_}));

  // The save announces the removal of the deleted row while it runs; a
  // criteria lock still held then would block the listener for good, so
  // the save runs on its own thread and a hang fails the test.
  std::promise<bool> saved;
  std::future<bool> result = saved.get_future();
  std::thread saver([&saved, this] { saved.set_value(SaveTable(table_.c_str())); });
  if (result.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    ADD_FAILURE() << "SaveTable did not return: the listener's selection waits on the save";
    saver.detach();
    std::abort();
  }
  saver.join();
  EXPECT_TRUE(result.get());
  RemoveNotification("selecting");
  // One announcement, for the removed row; the selection it made then sees
  // the rows left in memory whose qty is above 15 (20 and the new 40).
  EXPECT_EQ(g_selections, (std::vector<std::pair<std::string, int32_t>>{{table_, 2}}));
  EXPECT_EQ(DatabaseRows(),
            (std::vector<ItemRow>{{1, "p", 10, 0}, {2, "p", 20, 0}, {4, "n", 40, 0}}));
}

// A save killed part-way leaves all of its rows or none: a child process
// (with its own connections) saves many new rows in one SaveTable and is
// killed with SIGKILL once it reports, through a pipe, that the save begins.
TEST_P(SaveTableTest, SaveKilledMidwayLeavesAllOrNoneOfItsRows) {
  constexpr int32_t kRows = 20000;
  ASSERT_TRUE(CreateTable(table_.c_str()));
  for (int32_t id = 1; id <= kRows; ++id) ASSERT_TRUE(AddItem(id, "row", id));
  FreeConnectionPool();  // the child must not share this process's sessions
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    ::close(ready[0]);
    if (!EstablishDBConnections()) ::_exit(2);
    const char begun = 'b';
    if (::write(ready[1], &begun, 1) != 1) ::_exit(3);
    ::_exit(SaveTable(table_.c_str()) ? 0 : 1);
  }
  ::close(ready[1]);
  char begun = 0;
  const ssize_t got = ::read(ready[0], &begun, 1);
  ::close(ready[0]);
  if (got == 1) std::this_thread::sleep_for(std::chrono::milliseconds(30));
  ::kill(child, SIGKILL);
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_EQ(got, 1) << "the child ended before its save began, status " << status;

  ASSERT_TRUE(EstablishDBConnections());
  const std::vector<ItemRow> stored = DatabaseRows();
  SCOPED_TRACE(WIFSIGNALED(status) ? "killed during the save" : "the save ended first");
  RecordProperty("rows_kept", static_cast<int>(stored.size()));
  RecordProperty("killed", WIFSIGNALED(status) ? 1 : 0);
  if (!stored.empty()) {
    ASSERT_EQ(stored.size(), static_cast<std::size_t>(kRows)) << "part of the save was kept";
    EXPECT_EQ(stored.front(), (ItemRow{1, "row", 1, 0}));
    EXPECT_EQ(stored.back(), (ItemRow{kRows, "row", kRows, 0}));
  }
}

// With an indexed dominant table, a save keeps its index table in step in
// the same transaction: a pair for each key newly referred to, removed with
// the last row referring to it, none for a row whose insert failed.
TEST_P(SaveTableTest, SaveKeepsTheIndexTableOfAnIndexedDominantTable) {
  const std::string dominant = UniqueTableName("batches");
  const std::string index = dominant + "_IDX";
  FreeAllTableDefns();  // items again, its qty now referring to the dominant table
  ConstraintDefn dominantKeys;
  dominantKeys.primaryKeyColumns = {"qty"};
  dominantKeys.primaryKeyCount = 1;
  ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn(
                dominant, std::nullopt, {Column("qty", KES_SQL_INT, 0, false)}, dominantKeys)),
            nullptr);
  ConstraintDefn itemKeys;
  itemKeys.primaryKeyColumns = {"id"};
  itemKeys.primaryKeyCount = 1;
  itemKeys.foreignKeys = {{"qty", "qty", dominant}};
  ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn(
                table_, std::nullopt,
                {Column("id", KES_SQL_INT, 0, false), Column("name", KES_SQL_CHAR, 40, true),
                 Column("qty", KES_SQL_INT, 0, true)},
                itemKeys)),
            nullptr);
  Run("drop table " + index);
  ASSERT_EQ(Run("create table " + index + " (qty INT, TABLENAME VARCHAR(40))"), 1);
  fh::RegisterIndexedDominantTable(dominant.c_str());
  auto indexRows = [&] {
    return Rows("select qty from " + index + " order by qty").value_or(std::vector<std::string>{});
  };

  ASSERT_EQ(Run("insert into " + table_ + " values (5, 'stored', 7)"), 1);
  ASSERT_TRUE(CreateTable(table_.c_str()));
  for (int32_t id : {1, 2}) ASSERT_TRUE(AddItem(id, "ten", 10));
  ASSERT_TRUE(AddItem(3, "twenty", 20));
  ASSERT_TRUE(AddItem(5, "clash", 30));  // duplicate key: neither row nor pair
  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_EQ(indexRows(), (std::vector<std::string>{"10", "20"}));
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(5)));  // the clash is given up

  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(1)));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(indexRows(), (std::vector<std::string>{"10", "20"}));  // row 2 still refers to 10
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(2)));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(indexRows(), (std::vector<std::string>{"20"}));

  // An index entry that cannot be written takes its row's statement back.
  ASSERT_EQ(Run("drop table " + index), 1);
  ASSERT_TRUE(AddItem(4, "lost index", 40));
  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_EQ(FindRow(4)->state, fh::kRowNew);
  EXPECT_EQ(DatabaseRows().size(), 2u);  // 3 and the stored 5
  fh::ClearIndexedDominantTables();
}

INSTANTIATE_TEST_SUITE_P(Engines, SaveTableTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
