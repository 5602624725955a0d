#include "store/notification.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace {

using fhtest::AddRow;
using fhtest::DefineTable;

std::vector<std::string> calls;
KesDateTime copiedWhen;

void Count(const IMDSNotification* notification, const char* listenerName) {
  calls.push_back(std::string(listenerName) + ":" + std::to_string(notification->row->state));
  const std::optional<fh::ColumnValue>& when = notification->row->values[1];
  if (when && when->dateTime() != nullptr) copiedWhen = *when->dateTime();
}

class NotificationTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    calls.clear();
    DefineTable("T", {{"Id", "INTEGER"}, {"At", "DATETIME"}});
    DefineTable("U", {{"Id", "INTEGER"}, {"At", "DATETIME"}});
    ASSERT_TRUE(CreateTable("T"));
    ASSERT_TRUE(CreateTable("U"));
  }
};

TEST_F(NotificationTest, EventTypesChooseTheStatesDelivered) {
  struct Case {
    uint8_t eventType;
    std::vector<uint8_t> delivered;  // of the states 1, 2, 5, 6, 8, 9
  };
  const std::vector<Case> cases = {
      {0, {1, 2, 5, 6, 8, 9}},        {fh::kRowNew, {2, 6}},     {fh::kRowUpdated, {5, 6}},
      {fh::kRowPersisted, {1, 5, 9}}, {fh::kRowDeleted, {8, 9}},
  };
  RowObject* row = AddRow("T", {"1"});
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.eventType));
    DeInitNotification();
    calls.clear();
    ASSERT_TRUE(AddNotificationListener("l", c.eventType, Count, true, {"T"}));
    std::vector<std::string> expected;
    for (uint8_t state : {1, 2, 5, 6, 8, 9}) {
      row->state = state;
      SendNotification(row, "T");
      if (std::find(c.delivered.begin(), c.delivered.end(), state) != c.delivered.end()) {
        expected.push_back("l:" + std::to_string(state));
      }
    }
    EXPECT_EQ(calls, expected);
  }
}

TEST_F(NotificationTest, TablesNamesAndDisabledListeners) {
  ASSERT_TRUE(AddNotificationListener("Watcher", 0, Count, true, {"zeta", "u", "Alpha"}));
  ASSERT_TRUE(AddNotificationListener("WATCHER", 0, Count, true, {"T"}));  // duplicate: true
  EXPECT_TRUE(log().HasLine("[ERROR]", "Listener with same name exists WATCHER\n"));
  ASSERT_TRUE(AddNotificationListener("off", 0, Count, false, {"U"}));

  AddRow("T", {"1"});  // watched by nobody enabled
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Listener not registered for T table\n"));
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Listener off  disabled\n"));
  AddRow("U", {"2"});
  EXPECT_EQ(calls, std::vector<std::string>{"Watcher:2"});

  EXPECT_TRUE(DisableNotification("watcher"));
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Listener with name watcher disabled\n"));
  AddRow("U", {"3"});
  EXPECT_EQ(calls.size(), 1u);
  EXPECT_FALSE(DisableNotification("ghost"));
  EXPECT_TRUE(log().HasLine("[ERROR]", "Listener with name ghost doesn't exists\n"));

  EXPECT_TRUE(RemoveNotification("OFF"));
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Listener with name OFF removed\n"));
  EXPECT_FALSE(RemoveNotification("off"));
  DeInitNotification();
  EXPECT_TRUE(log().HasLine("[TRACE]", "Listener with name Watcher removed\n"));
  EXPECT_FALSE(RemoveNotification("Watcher"));  // empty list
}

TEST_F(NotificationTest, IsListContainsSearchesIgnoringCase) {
  const std::vector<std::string> names = {"alpha", "Beta", "gamma", "ZETA"};
  for (const char* name : {"alpha", "BETA", "Gamma", "zeta"}) {
    EXPECT_TRUE(IsListContains(names, name)) << name;
  }
  for (const char* name : {"", "alph", "delta", "zz"}) {
    EXPECT_FALSE(IsListContains(names, name)) << name;
  }
  EXPECT_FALSE(IsListContains({}, "a"));
}

TEST_F(NotificationTest, NotificationsCopyTheRowDeeply) {
  ASSERT_TRUE(AddNotificationListener("l", 0, Count, true, {"T"}));
  RowObject* row = AddRow("T", {"1", "2021-03-04 05:06:07"});
  ASSERT_NE(row, nullptr);
  std::unique_ptr<IMDSNotification> notification = CreateIMDSNotification(row, "t");
  ASSERT_NE(notification, nullptr);
  row->values[1]->mutableDateTime()->date->year = 1999;
  EXPECT_EQ(notification->row->values[1]->dateTime()->date->year, 2021);
  EXPECT_EQ(copiedWhen.date->year, 2021);
  EXPECT_EQ(notification->row->next, nullptr);
  EXPECT_EQ(notification->tableName, "t");
  EXPECT_EQ(CreateIMDSNotification(row, "NotLoaded"), nullptr);
}

}  // namespace
