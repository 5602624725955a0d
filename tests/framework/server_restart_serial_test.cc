// A server stopped and started again between two saves (this program runs
// alone: it restarts the servers every test shares): the next save replaces
// the dead handle and writes exactly the rows that were pending.
#include <gtest/gtest.h>

#include <vector>

#include "framework/table_saver.h"
#include "framework/table_test_helpers.h"
#include "store/table_data.h"
#include "support/server_session.h"

namespace fhtest {
namespace {

using ServerRestartTest = TableTest;

TEST_P(ServerRestartTest, FirstSaveAfterARestartWritesThePendingRows) {
  ASSERT_TRUE(CreateTable(table_.c_str()));
  ASSERT_TRUE(AddItem(1, "a", 1));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  ASSERT_TRUE(RestartServer(GetParam()));
  ASSERT_TRUE(AddItem(2, "b", 2));
  EXPECT_TRUE(SaveTable(table_.c_str()));
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{1, "a", 1, 0}, {2, "b", 2, 0}}));
  EXPECT_EQ(MemoryRows(), (std::vector<ItemRow>{{1, "a", 1, 1}, {2, "b", 2, 1}}));
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(ServerRestartTest);
INSTANTIATE_TEST_SUITE_P(Servers, ServerRestartTest, testing::ValuesIn(ServerEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
