// Saving in-memory tables on every engine: the statement each row state
// gives, the states afterwards, and a failing row that keeps its state while
// the others are written.
#include "framework/table_saver.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_pool.h"
#include "framework/data_source_map.h"
#include "framework/table_loader.h"
#include "framework/table_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"

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

  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in executing update query \n"));
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 1u);
  const std::vector<ItemRow> memory = {
      {1, "db", 1, 1}, {7, "first", 70, 1}, {1, "clash", 0, 2}, {8, "last", 80, 1}};
  EXPECT_EQ(MemoryRows(), memory);
  const std::vector<ItemRow> stored = {{1, "db", 1, 0}, {7, "first", 70, 0}, {8, "last", 80, 0}};
  EXPECT_EQ(DatabaseRows(), stored);

  // The failed row is tried again by the next save, and fails again alone.
  ASSERT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 2u);
  EXPECT_EQ(MemoryRows(), memory);
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

INSTANTIATE_TEST_SUITE_P(Engines, SaveTableTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
