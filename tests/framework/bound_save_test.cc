// A save whose rows go to the engine together (many rows of one marker text
// in one execution, where the provider has prepared statements) with the
// log below debug level, so no statement text is written in advance: a row
// failing in the middle keeps exactly its state, and its failure is logged
// as its own literal text.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "framework/table_test_helpers.h"
#include "log/log_file.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace fhtest {
namespace {

using BoundSaveTest = TableTest;

TEST_P(BoundSaveTest, FailingRowInsideManyKeepsItsStateAndIsLoggedAsItsText) {
  SetLogLevel(2);  // errors only
  for (int id : {100, 101}) {
    ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(id) + ", 'old', 1)"), 1);
  }
  ASSERT_TRUE(LoadTable(table_.c_str()));
  // An update right before the inserts: as many values, another statement.
  const int32_t qty = 5;
  ASSERT_TRUE(UpdateRowObject(table_.c_str(), FindRow(101), "qty", &qty, sizeof qty));
  std::vector<ItemRow> stored = {{100, "old", 1, 0}, {101, "old", qty, 0}};
  constexpr int kClash = 37;
  for (int id = 0; id < 80; ++id) {
    ASSERT_TRUE(AddItem(id, "n" + std::to_string(id), id));
    stored.push_back(id == kClash ? ItemRow{id, "db", 0, 0}
                                  : ItemRow{id, "n" + std::to_string(id), id, 0});
  }
  std::sort(stored.begin(), stored.end(),
            [](const ItemRow& a, const ItemRow& b) { return a.id < b.id; });
  ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(kClash) + ", 'db', 0)"), 1);
  const auto clashText = GenerateInsertQuery(table_.c_str(), FindRow(kClash));
  ASSERT_TRUE(clashText.has_value());

  EXPECT_FALSE(SaveTable(table_.c_str()));
  EXPECT_EQ(log_.Count("[ERROR] QUERY : "), 1u);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "QUERY : " + *clashText + "\n"));
  EXPECT_EQ(DatabaseRows(), stored);
  for (const ItemRow& row : MemoryRows()) EXPECT_EQ(row.state, row.id == kClash ? 2 : 1) << row.id;

  // Once the stored row is gone the kept row is written by the next save.
  ASSERT_EQ(Run("delete from " + table_ + " where id = " + std::to_string(kClash)), 1);
  EXPECT_TRUE(SaveTable(table_.c_str()));
  stored[kClash] = {kClash, "n" + std::to_string(kClash), kClash, 0};
  EXPECT_EQ(DatabaseRows(), stored);
  SetLogLevel(4);
}

INSTANTIATE_TEST_SUITE_P(Engines, BoundSaveTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
