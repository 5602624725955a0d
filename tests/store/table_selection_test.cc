#include "store/table_selection.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "lock/object_lock.h"
#include "store/notification.h"
#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace {

using fhtest::AddRow;
using fhtest::ColumnTexts;
using fhtest::DefineTable;

class TableSelectionTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    DefineTable("Typed",
                {{"k", "INTEGER"},
                 {"t1", "KES_SQL_TINYINT"},
                 {"u1", "KES_SQL_UNSIGNED_TINYINT"},
                 {"s2", "KES_SQL_SMALLINT"},
                 {"u2", "KES_SQL_UNSIGNED_SMALLINT"},
                 {"i4", "INTEGER"},
                 {"u4", "KES_SQL_UNSIGNED_INT"},
                 {"i8", "BIGINT"},
                 {"u8", "KES_SQL_UNSIGNED_LONG_INT"},
                 {"f", "FLOAT"},
                 {"d", "KES_SQL_DOUBLE"},
                 {"c", "CHAR"},
                 {"x", "TEXT", nullptr, nullptr, 300},
                 {"dt", "DATE"},
                 {"b", "BOOLEAN"}},
                {"k"});
    ASSERT_TRUE(CreateTable("Typed"));
    AddRow("Typed",
           {"1", "-128", "255", "-32768", "65535", "-2147483648", "4294967295",
            "-9223372036854775808", "1", "1.5", "1.5", "Bolt", "nut", "2021-01-01", "TRUE"});
    AddRow("Typed", {"2", "127", "0", "32767", "0", "2147483647", "0", "9223372036854775807", "2",
                     "-2.25", "-2", "bolt", "5", "2022-02-02", "FALSE"});
    AddRow("Typed", {"3"});
    AddRow("Typed", {"4", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, ""});
  }

  std::vector<std::string> Keys(const char* criteria) {
    std::unique_ptr<ResultData> result = SelectRows("Typed", criteria);
    if (!result) return {"none"};
    return ColumnTexts(result.get(), "k");
  }
};

TEST_F(TableSelectionTest, ComparesByTypeAndWidth) {
  struct Case {
    const char* criteria;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {"t1 < 0", {"1"}},
      {"t1 >= 127", {"2"}},
      {"5 < t1", {"2"}},  // mirrored: t1 > 5
      {"5 >= t1", {"1"}},
      {"u1 > 200", {"1"}},
      {"u1 >= 0", {"1", "2"}},  // NULL never matches
      {"s2 < 0", {"1"}},
      {"s2 = 32767", {"2"}},
      {"u2 > 40000", {"1"}},
      {"i4 < 0", {"1"}},
      {"i4 = 2147483647", {"2"}},
      {"u4 > 2147483647", {"1"}},
      {"u4 = 4294967295", {"1"}},
      {"i8 > 2147483647", {"2"}},
      {"i8 < 0", {"1"}},
      {"i8 = 9223372036854775807", {"2"}},
      {"f > 1.4", {"1"}},
      {"f < 0", {"2"}},
      {"f = 1.5", {"1"}},
      {"u8 = 1", {"1"}},
      {"d = 1.5", {"1"}},
      {"d >= 1", {"1"}},
      {"dt = '2021-01-01'", {"1"}},
      {"dt > '2021-06-30'", {"2"}},
      {"b = 1", {"1"}},
      {"b = 'false'", {"2"}},
      {"b < 1", {"2"}},  // false sorts before true
      // Integer literals by their exact value, never wrapped to the width.
      {"k = 4294967297", {}},
      {"k < 2.5", {"1", "2"}},
      {"k > -1", {"1", "2", "3", "4"}},
      {"k = '2'", {"2"}},
      {"k = 2.0", {"2"}},
      {"k != 2.5", {"1", "2", "3", "4"}},
      {"k <= 1.5", {"1"}},
      {"k >= 1.5", {"2", "3", "4"}},
      {"k > 2.5", {"3", "4"}},
      {"t1 <= -127.5", {"1"}},
      {"t1 > -127.5", {"2"}},
      {"t1 >= -127.5", {"2"}},
      {"t1 < -127.5", {"1"}},
      {"t1 = -128.0", {"1"}},
      {"t1 < 1000", {"1", "2"}},
      {"t1 > -129", {"1", "2"}},
      {"t1 >= 128", {}},
      {"u1 <= -1", {}},
      {"u8 > -1", {"1", "2"}},
      {"u8 = 18446744073709551617", {}},
      {"i8 < -9223372036854775808", {}},
      {"i8 <= -9223372036854775808", {"1"}},
      {"f > -2.5", {"1", "2"}},
      {"c = 'Bolt'", {"1"}},
      {"C = 'bolt'", {"2"}},  // column names ignore case, values do not
      {"c > 'Bolt'", {"2"}},
      {"c != 'Bolt'", {"2"}},
      {"c = Bolt", {"none"}},  // an identifier on both sides does not parse
      {"x = 'nut'", {"1"}},
      {"x = 5", {"2"}},   // an unquoted operand is kept whole
      {"x = ''", {"4"}},  // the empty text
      {"i4 < 0 or c = 'bolt'", {"1", "2"}},
      {"i4 < 0 and c = 'bolt'", {}},
      {"k >= 2 and (c = 'bolt' or x = 'nut')", {"2"}},
      {"k = 1 and c = 'bolt' or k = 2", {}},  // right-grouped: k = 1 and (...)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    EXPECT_EQ(Keys(c.criteria), c.keys);
  }
  EXPECT_EQ(Keys(nullptr), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

TEST_F(TableSelectionTest, UnknownColumnsAndViewsAreRefused) {
  EXPECT_EQ(SelectRows("Typed", "k = 1 and qtty = 2"), nullptr);
  EXPECT_TRUE(log().HasLine("[ERROR]", "Criteria column qtty is not a column of table Typed\n"));
  EXPECT_FALSE(DeleteRowObjectByCriteria("Typed", "nope = 1"));
  EXPECT_TRUE(log().HasLine("[ERROR]", "Criteria column nope is not a column of table Typed\n"));
  EXPECT_EQ(Keys(nullptr).size(), 4u);

  ASSERT_TRUE(CreateCustomViewData("V", CreateCustomViewDefn(1, {"Typed"}, {})));
  EXPECT_EQ(SelectRows("V", "k = 1"), nullptr);
  EXPECT_FALSE(DeleteRowObjectByCriteria("V", "k = 1"));
  EXPECT_EQ(SelectRows("Missing", nullptr), nullptr);
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

// A literal the column's type cannot read refuses the criteria with a line
// naming the column; a text with more after one expression is refused whole.
TEST_F(TableSelectionTest, UnreadableLiteralsAndTrailingTextAreRefused) {
  struct Case {
    const char* criteria;
    const char* line;  // none: a syntax error, which logs nothing
  };
  const std::vector<Case> cases = {
      {"k = 1 or k = 'abc'", "Criteria value 'abc' cannot be compared with column k"},
      {"dt = '2026-13-45'", "Criteria value '2026-13-45' cannot be compared with column dt"},
      {"dt = '2023-02-29'", "Criteria value '2023-02-29' cannot be compared with column dt"},
      {"b = 2", "Criteria value 2 cannot be compared with column b"},
      {"f = '1.5x'", "Criteria value '1.5x' cannot be compared with column f"},
      {"k = 999\nk > 0", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    EXPECT_EQ(SelectRows("Typed", c.criteria), nullptr);
    EXPECT_FALSE(DeleteRowObjectByCriteria("Typed", c.criteria));
    if (c.line != nullptr) {
      EXPECT_TRUE(log().HasLine("[ERROR]", c.line));
    }
  }
  EXPECT_EQ(Keys(nullptr).size(), 4u);  // nothing was deleted
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

// The types the first table lacks, and texts with quotes.
TEST_F(TableSelectionTest, DecimalsTimesBinaryAndQuotedTexts) {
  DefineTable("More", {{"k", "INTEGER"},
                       {"dec", "KES_SQL_DECIMAL"},
                       {"tm", "TIME"},
                       {"ts", "DATETIME"},
                       {"c", "CHAR"},
                       {"bin", "BLOB"},
                       {"day", "DATE"},
                       {"u8", "KES_SQL_UNSIGNED_LONG_INT"}});
  ASSERT_TRUE(CreateTable("More"));
  AddRow("More", {"1", "2.50", "10:00:00", "2021-01-01 10:00:00", "O'Brien", "ab",
                  "2021-01-01 10:00:00", "18446744073709551615"});
  AddRow("More", {"2", "-0.5", "23:59:59", "2021-01-01", "it''s", "b", "2021-01-02",
                  "9223372036854775808"});
  AddRow("More", {"3", "100000000000000000000.1", "00:00:00", "2020-12-31 23:59:59", "'", "",
                  "2020-12-31", "1"});
  struct Case {
    const char* criteria;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {"dec = 2.5", {"1"}},
      {"dec = '2.500'", {"1"}},
      {"dec < 0", {"2"}},
      {"dec > 100000000000000000000", {"3"}},
      {"dec >= -0.50", {"1", "2", "3"}},
      {"tm > '10:00:00'", {"2"}},
      {"tm <= '10:00:00'", {"1", "3"}},
      {"ts = '2021-01-01'", {"2"}},  // a date alone is midnight
      {"ts > '2021-01-01 00:00:00'", {"1"}},
      {"ts < '2021-01-01'", {"3"}},
      {"c = 'O''Brien'", {"1"}},
      {"c = 'it''''s'", {"2"}},
      {"c = ''''", {"3"}},
      {"c > 'O'", {"1", "2"}},  // byte-wise: 'i' sorts after 'O'
      {"bin > 'a'", {"1", "2"}},
      {"bin = ''", {"3"}},
      {"day = '2021-01-01'", {"1"}},  // a DATE compares by its date alone
      {"day < '2021-01-02'", {"1", "3"}},
      {"u8 > 9223372036854775807", {"1", "2"}},
      {"u8 = 18446744073709551615", {"1"}},
      {"u8 < 2", {"3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    std::unique_ptr<ResultData> result = SelectRows("More", c.criteria);
    EXPECT_EQ(result ? ColumnTexts(result.get(), "k") : std::vector<std::string>{"none"}, c.keys);
  }
}

TEST_F(TableSelectionTest, SelectRowByRowIdxStopsAtTheEndOfTheList) {
  struct Case {
    int32_t n;
    std::vector<std::string> keys;
  };
  for (const Case& c : std::vector<Case>{
           {-3, {"1"}}, {0, {"1"}}, {1, {"1"}}, {2, {"2"}}, {4, {"4"}}, {5, {"none"}}}) {
    SCOPED_TRACE(c.n);
    std::unique_ptr<ResultData> result = SelectRowByRowIdx("Typed", c.n);
    EXPECT_EQ(result ? ColumnTexts(result.get(), "k") : std::vector<std::string>{"none"}, c.keys);
  }
  ASSERT_TRUE(DeleteRowObjectByCriteria("Typed", "k >= 3"));  // rowCount stays 4
  EXPECT_EQ(GetTableDataByName("Typed")->rowCount, 4);
  EXPECT_EQ(SelectRowByRowIdx("Typed", 4), nullptr);
  EXPECT_EQ(ColumnTexts(SelectRowByRowIdx("Typed", 2).get(), "k"), std::vector<std::string>{"2"});

  DefineTable("Empty", {{"k", "INTEGER"}});
  ASSERT_TRUE(CreateTable("Empty"));
  std::unique_ptr<ResultData> empty = SelectRowByRowIdx("Empty", 1);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->rowCount, 0);
}

std::vector<std::string> seenDuringDelete;

void SelectingListener(const IMDSNotification* notification, const char*) {
  std::unique_ptr<ResultData> result = SelectRows(notification->tableName.c_str(), "k > 0");
  seenDuringDelete.push_back(result ? std::to_string(result->rowCount) : "none");
}

TEST_F(TableSelectionTest, DeleteByCriteriaDeletesExactlyTheMatchesOutsideTheLock) {
  RowObject* persisted = AddRow("Typed", {"5", "1"}, fh::kRowPersisted);
  ASSERT_NE(persisted, nullptr);
  seenDuringDelete.clear();
  ASSERT_TRUE(AddNotificationListener("selector", 0, SelectingListener, true, {"typed"}));

  ASSERT_TRUE(DeleteRowObjectByCriteria("Typed", "t1 > 0"));  // rows 2 (new) and 5 (persisted)
  EXPECT_EQ(Keys(nullptr), (std::vector<std::string>{"1", "3", "4", "5"}));
  EXPECT_EQ(persisted->state, fh::kRowPersisted | fh::kRowDeleted);
  // The listener ran once (for the removed new row) and could select.
  EXPECT_EQ(seenDuringDelete, std::vector<std::string>{"4"});  // row 2 already unlinked
  EXPECT_TRUE(DeleteRowObjectByCriteria("Typed", "k = 99"));
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

TEST_F(TableSelectionTest, TwoThreadsSelectAtOnce) {
  for (int k = 10; k < 400; ++k) {
    const std::string key = std::to_string(k);
    AddRow("Typed", {key.c_str(), "1", nullptr, nullptr, nullptr, key.c_str()});
  }
  auto select = [](const char* criteria, int32_t expected, int* failures) {
    for (int i = 0; i < 50; ++i) {
      std::unique_ptr<ResultData> result = SelectRows("Typed", criteria);
      if (!result || result->rowCount != expected) ++*failures;
    }
  };
  int failuresA = 0;
  int failuresB = 0;
  std::thread a(select, "i4 >= 100 and t1 = 1", 300, &failuresA);
  std::thread b(select, "k < 200 and k >= 10", 190, &failuresB);
  a.join();
  b.join();
  EXPECT_EQ(failuresA, 0);
  EXPECT_EQ(failuresB, 0);
}

}  // namespace
