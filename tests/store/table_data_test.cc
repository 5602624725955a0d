#include "store/table_data.h"

#include <gtest/gtest.h>

#include <string>

#include "store/store_test_helpers.h"
#include "store/table_print.h"
#include "store/table_rows.h"

namespace {

using fhtest::AddRow;
using fhtest::DefineTable;

class TableDataTest : public fhtest::StoreTest {};

TEST_F(TableDataTest, TablesNeedADefinitionAndAFreeName) {
  DefineTable("Parts", {{"Id", "INTEGER"}});
  EXPECT_FALSE(CreateTable("Orders"));  // no definition
  EXPECT_FALSE(CreateTable(nullptr));
  EXPECT_TRUE(CreateTable("Parts"));
  EXPECT_FALSE(CreateTable("PARTS"));  // loaded already, in any letter case
  EXPECT_FALSE(CreateCustomViewData("parts", CreateCustomViewDefn(1, {"Parts"}, {})));
  TableData* table = GetTableDataByName("pArTs");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->kind, fh::kTableKindTable);
  EXPECT_EQ(table->columnCount, 1);
  EXPECT_EQ(GetTableDataByName(nullptr), nullptr);

  EXPECT_TRUE(UnLoadTable("PARTS"));
  EXPECT_TRUE(log().HasLine("[TRACE]", "\t Parts is being freed\n"));
  EXPECT_FALSE(UnLoadTable("Parts"));
  EXPECT_EQ(GetTableDataByName("Parts"), nullptr);
  EXPECT_TRUE(CreateTable("Parts"));  // may be loaded again
  UnLoadAllTable();
  EXPECT_EQ(GetTableDataByName("Parts"), nullptr);
}

TEST_F(TableDataTest, SortTableByNameUsesExactByteOrder) {
  TableData a;
  TableData b;
  a.tableName = "Zeta";
  b.tableName = "alpha";
  EXPECT_LT(SortTableByName(&a, &b), 0);  // upper case sorts first
  EXPECT_GT(SortTableByName(&b, &a), 0);
  EXPECT_EQ(SortTableByName(&a, &a), 0);
}

TEST_F(TableDataTest, ToStringRendersEveryRowWithoutALimit) {
  DefineTable("P", {{"Id", "INTEGER"},
                    {"Name", "TEXT", nullptr, nullptr, 4000},
                    {"Price", "FLOAT"},
                    {"Big", "BIGINT"},
                    {"When", "DATE"},
                    {"Ok", "BOOLEAN"},
                    {"Raw", "KES_SQL_BLOB"}});
  ASSERT_TRUE(CreateTable("P"));
  AddRow("P", {"1", "bolt", "1.5", "-5000000000", "2021-03-04", "TRUE", "xx"});
  AddRow("P", {"2"});
  EXPECT_EQ(*ToStringTableData("p"),
            "Id\tName\tPrice\tBig\tWhen\tOk\tRaw\t\n"
            "1\tbolt\t1.500000\t-5000000000\t2021-03-04 00:00:00\t1\t\n"
            "2\tNULL\tNULL\tNULL\tNULL\tNULL\tNULL\t\n");
  EXPECT_TRUE(log().Contains("String Value of Relvar Data\n Id\tName"));
  const std::string longName(3000, 'n');
  AddRow("P", {"3", longName.c_str()});
  EXPECT_NE(ToStringTableData("P")->find(longName + "\t"), std::string::npos);
  EXPECT_EQ(ToStringTableData("Q"), std::nullopt);
  PrintTableData("P");
  EXPECT_TRUE(log().HasLine("[DEBUG]", "Id\tName"));
}

}  // namespace
