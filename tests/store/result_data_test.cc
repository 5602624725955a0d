#include "store/result_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

using fhtest::AddRow;
using fhtest::ColumnTexts;
using fhtest::DefineTable;

class ResultDataTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    DefineTable("S", {{"k", "INTEGER"},
                      {"i", "INTEGER"},
                      {"u", "KES_SQL_UNSIGNED_INT"},
                      {"big", "BIGINT"},
                      {"ub", "KES_SQL_UNSIGNED_LONG_INT"},
                      {"f", "KES_SQL_DOUBLE"},
                      {"c", "CHAR"},
                      {"dt", "DATETIME"}});
    ASSERT_TRUE(CreateTable("S"));
  }

  std::vector<std::string> SortedKeys(const char* column, int ascending) {
    std::unique_ptr<ResultData> result = SelectRows("S", nullptr);
    if (!SortResultSet(result.get(), column, ascending)) return {"failed"};
    return ColumnTexts(result.get(), "k");
  }
};

TEST_F(ResultDataTest, CursorWalksTheRowsThenStartsOver) {
  RowObject* a = AddRow("S", {"1"});
  RowObject* b = AddRow("S", {"2"});
  RowObject* c = AddRow("S", {"3"});
  std::unique_ptr<ResultData> result = SelectRows("S", nullptr);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->rowCount, 3);
  EXPECT_EQ(result->cursor, nullptr);
  const std::vector<RowObject*> expected = {a, b, c, nullptr, a};
  for (RowObject* row : expected) EXPECT_EQ(GotoNextRowObject(result.get()), row);
  EXPECT_EQ(GetColumnTypeByName("K", result.get()), KES_SQL_INT);
  EXPECT_EQ(GetColumnTypeByName("zz", result.get()), 0);
  EXPECT_STREQ(GetColumnNameByIndex(6, result.get()), "c");
  EXPECT_EQ(GetColumnNameByIndex(8, result.get()), nullptr);
  EXPECT_EQ(GetColumnNameByIndex(-1, result.get()), nullptr);
  EXPECT_STREQ(GetTableNameFromResultData(result.get()), "S");
  int32_t length = 0;
  const fh::ColumnValue* value = GetColumnValueByName("k", &length, result.get());
  ASSERT_NE(value, nullptr);
  EXPECT_EQ(length, 4);
  EXPECT_EQ(GetColumnValueByName("c", &length, result.get()), nullptr);  // NULL
}

TEST_F(ResultDataTest, SortOrdersByTheColumnTypeStably) {
  AddRow("S", {"1", "3", "4294967295", "5000000000", "18446744073709551615", "2.5", "b",
               "2021-01-02 00:00:00"});
  AddRow("S", {"2", "-1", "1", "-5000000000", "1", "-1.5", "B", "2020-12-31 23:59:59"});
  AddRow("S",
         {"3", "2", "2147483648", "4", "9223372036854775808", "0.25", "ba", "2021-01-02 00:00:01"});
  AddRow("S", {"4", "2"});  // NULLs from the third column on
  struct Case {
    const char* column;
    std::vector<std::string> ascending;
  };
  const std::vector<Case> cases = {
      {"i", {"2", "3", "4", "1"}},  // 3 and 4 equal: kept in order
      {"u", {"4", "2", "3", "1"}}, {"big", {"4", "2", "3", "1"}}, {"ub", {"4", "2", "3", "1"}},
      {"f", {"4", "2", "3", "1"}}, {"c", {"4", "2", "1", "3"}},   {"DT", {"4", "2", "1", "3"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    EXPECT_EQ(SortedKeys(c.column, 1), c.ascending);
    std::vector<std::string> descending(c.ascending.rbegin(), c.ascending.rend());
    if (std::string(c.column) == "i") descending = {"1", "3", "4", "2"};  // stable
    EXPECT_EQ(SortedKeys(c.column, 0), descending);
  }
  EXPECT_EQ(SortedKeys("nope", 1), std::vector<std::string>{"failed"});
  EXPECT_FALSE(SortResultSet(nullptr, "i", 1));
}

TEST_F(ResultDataTest, SortOfOneRowAndOfNoRows) {
  std::unique_ptr<ResultData> empty = SelectRows("S", nullptr);
  EXPECT_FALSE(SortResultSet(empty.get(), "k", 1));
  AddRow("S", {"1"});
  std::unique_ptr<ResultData> one = SelectRows("S", nullptr);
  EXPECT_TRUE(SortResultSet(one.get(), "k", 1));
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Number of Rows is 1 for the Relvar to be Sorted \n"));
  one->rowCount = 2;
  EXPECT_FALSE(SortResultSet(one.get(), "k", 1));
}

TEST_F(ResultDataTest, GetColumnValueFindsTheFirstMatch) {
  AddRow("S", {"1", "10", nullptr, nullptr, nullptr, nullptr, "x"});
  AddRow("S", {"2", "20", nullptr, nullptr, nullptr, nullptr, "y"});
  int32_t length = 0;
  const fh::ColumnValue* value = GetColumnValue("S", "c", "i >= 10", &length);
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value->text(), "x");
  EXPECT_EQ(length, 1);
  EXPECT_EQ(GetColumnValue("S", "c", "i > 99", &length), nullptr);
  EXPECT_TRUE(log().HasLine("[TRACE]", "No such row available in the S for i > 99"));
  EXPECT_EQ(GetColumnValue("S", "u", "k = 2", &length), nullptr);
  EXPECT_TRUE(log().HasLine("[ERROR]", "columnValue is NULL for :u\n"));
  EXPECT_EQ(GetColumnValue("S", "c", "i >", &length), nullptr);
  EXPECT_TRUE(log().HasLine("[ERROR]", "Error in executing SelectRows(S,i >)\n"));
}

TEST_F(ResultDataTest, ViewsResolveTheirColumnsAndMainTable) {
  const TableDefn* source = GetTableDefn("S");
  std::vector<std::unique_ptr<ViewColumnDefn>> columns;
  columns.push_back(CreateViewColumnDefn("Total", 0, 0, &source->columns[1]));
  columns.push_back(CreateViewColumnDefn("Label", 0, 0, &source->columns[6]));
  ASSERT_TRUE(
      CreateCustomViewData("Totals", CreateCustomViewDefn(2, {"S", "Other"}, std::move(columns))));
  EXPECT_FALSE(CreateCustomViewData("TOTALS", CreateCustomViewDefn(1, {"S"}, {})));
  EXPECT_STREQ(GetTableNameOfView("totals"), "S");
  EXPECT_STREQ(GetTableNameOfView("S"), "S");
  EXPECT_STREQ(GetTableNameOfView("Unknown"), "Unknown");

  std::unique_ptr<RowObject> row = CreateNewRowObject(
      {fh::ColumnValue::FromInteger(KES_SQL_INT, 5), fh::ColumnValue::FromText("five")}, {});
  ASSERT_TRUE(AddNewRow("Totals", row));
  std::unique_ptr<ResultData> result = SelectRows("Totals", nullptr);
  ASSERT_NE(result, nullptr);
  EXPECT_EQ(result->kind, fh::kTableKindCustomView);
  EXPECT_STREQ(GetTableNameFromResultData(result.get()), "S");
  EXPECT_EQ(GetColumnTypeByName("label", result.get()), KES_SQL_NCHAR);
  EXPECT_EQ(ColumnTexts(result.get(), "Total"), std::vector<std::string>{"5"});
  EXPECT_TRUE(SortResultSet(result.get(), "Label", 1));
}

}  // namespace
