// Root tables reached through foreign keys (diamonds, cycles, unknown
// tables) and column indexes.
#include "framework/index_table.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_log.h"

namespace {

void Define(const char* name, std::vector<ForeignKeyDefn> keys) {
  ColumnDefnEntry id;
  id.columnName = "ID";
  id.dataType = KES_SQL_INT;
  ColumnDefnEntry ref;
  ref.columnName = "REF";
  ref.dataType = KES_SQL_INT;
  ConstraintDefn constraints;
  constraints.foreignKeys = std::move(keys);
  ASSERT_NE(AddTableDefn(CreateTableDefn(name, std::nullopt, {id, ref}, std::move(constraints))),
            nullptr);
}

TEST(FindRootTableTest, FollowsEveryKeyOnceAndStopsAtCycles) {
  fhtest::TestLog log;
  FreeAllTableDefns();
  // leaf -> (left, right) -> top: one root; a <-> b: a cycle.
  Define("top", {});
  Define("left", {{"REF", "ID", "top"}});
  Define("right", {{"REF", "ID", "top"}});
  Define("leaf", {{"REF", "ID", "left"}, {"ID", "ID", "right"}});
  Define("a", {{"REF", "ID", "b"}});
  Define("b", {{"REF", "ID", "a"}});
  Define("dangling", {{"REF", "ID", "missing"}});
  const struct {
    const char* table;
    bool result;
    std::vector<std::string> roots;
  } cases[] = {
      {"leaf", true, {"top"}}, {"top", true, {"top"}}, {"a", false, {}},
      {"dangling", false, {}}, {"unknown", false, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    std::vector<std::string> tables;
    std::vector<std::string> columns;
    EXPECT_EQ(FindRootTable(c.table, nullptr, tables, columns), c.result);
    EXPECT_EQ(tables, c.roots);
  }
  EXPECT_TRUE(log.HasLine("[ERROR]", "Foreign key cycle at table a\n"));
  EXPECT_TRUE(log.HasLine("[ERROR]", "No table definition found for missing\n"));

  EXPECT_EQ(GetColIndex("REF", "leaf", nullptr), 1);
  EXPECT_EQ(GetColIndex("ref", "leaf", nullptr), -1);  // exact letter case
  EXPECT_EQ(GetColIndex("ID", "unknown", nullptr), -1);
  EXPECT_EQ(GetColIndex("ID", nullptr, GetTableDefn("top")), 0);
  FreeAllTableDefns();
}

}  // namespace
