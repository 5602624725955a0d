// Building objects from the database on every engine: by a select query
// (joins, named columns in any order, a missing key column), by one row of
// the graph and by a criteria text. Each case checks which rows land in
// which collection.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_test_helpers.h"
#include "sql/sql_dialects.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

using Texts = std::vector<std::string>;

Texts Sorted(Texts texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

fh::ColumnRef* Col(SelectQuery* query, const std::string& table, const char* column) {
  return CreateColumnRef(table.c_str(), nullptr, column, nullptr, 0, KES_SQL_INT,
                         fh::kAggregateNone, query->pool);
}

// base join joined on the given column pairs.
void AddJoinOn(SelectQuery* query, const std::string& base, const std::string& joined, uint8_t type,
               const std::vector<const char*>& columns) {
  Vector* left = CreateColumnVector(query->pool);
  Vector* right = CreateColumnVector(query->pool);
  for (const char* column : columns) {
    AddColumnToVector(query->pool, Col(query, base, column), left);
    AddColumnToVector(query->pool, Col(query, joined, column), right);
  }
  ASSERT_TRUE(AddJoin(query, CreateJoin(base.c_str(), nullptr, joined.c_str(), nullptr, type, left,
                                        right, query->pool)));
}

void AddColumns(SelectQuery* query, const std::vector<std::pair<std::string, const char*>>& list) {
  for (const auto& [table, column] : list)
    ASSERT_TRUE(AddColumnToSelectQuery(query, Col(query, table, column)));
}

using BuildTest = DataObjectTest;

TEST_P(BuildTest, SelectQueryPutsEveryRowInItsTablesCollection) {
  FillGraph();
  struct Case {
    const char* name;
    std::function<void(SelectQuery*)> build;
    Texts parents, children, grandchildren;
    const char* logged;  // a line the build must write
  };
  const std::vector<Case> cases = {
      {"select * over two left joins: FROM order places the columns, a join that found "
       "nothing gives no row, repeated parents are dropped",
       [&](SelectQuery* q) {
         AddJoinOn(q, t_.parent, t_.child, LEFT_JOIN, {"pid"});
         AddJoinOn(q, t_.child, t_.grand, LEFT_JOIN, {"pid", "cno"});
       },
       {"1|p1#1", "2|p2#1"},
       {"1|1|c11#1", "1|2|c12#1"},
       {"1|1|1|g111#1", "1|1|2|g112#1", "1|2|1|g121#1"},
       "Not Inserted"},
      {"named columns in mixed order: each table keeps the query's order",
       [&](SelectQuery* q) {
         AddJoinOn(q, t_.child, t_.grand, INNER_JOIN, {"pid", "cno"});
         AddColumns(q, {{t_.grand, "note"},
                        {t_.child, "label"},
                        {t_.grand, "gno"},
                        {t_.child, "cno"},
                        {t_.grand, "pid"},
                        {t_.child, "pid"},
                        {t_.grand, "cno"}});
       },
       {},
       {"c11|1|1#1", "c12|2|1#1"},
       {"g111|1|1|1#1", "g112|2|1|1#1", "g121|1|1|2#1"},
       "Not Inserted"},
      {"a key column left out: the table's collection stays empty",
       [&](SelectQuery* q) {
         ASSERT_TRUE(AddTable(q, CreateTableRef(t_.parent.c_str(), nullptr, q->pool)));
         AddColumns(q, {{t_.parent, "name"}});
       },
       {},
       {},
       {},
       "ALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SelectQuery* query = CreateSelectQuery();
    ASSERT_NE(query, nullptr);
    c.build(query);
    const std::size_t before = log_.Count(c.logged);
    DataObject* object = GetDataObject(query);
    FreeSelectQuery(query);  // the object keeps its own copy
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Sorted(RowTexts(object, t_.parent)), c.parents);
    EXPECT_EQ(Sorted(RowTexts(object, t_.child)), c.children);
    EXPECT_EQ(Sorted(RowTexts(object, t_.grand)), c.grandchildren);
    EXPECT_GT(log_.Count(c.logged), before);
    ASSERT_NE(object->selectQuery, nullptr);
    EXPECT_TRUE(GenerateSelectQuery(object->selectQuery).has_value());
    fh::FreeDataObject(object);
  }
  EXPECT_TRUE(log_.HasLine("[ERROR]",
                           "\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR " + t_.parent + "\n"));
}

TEST_P(BuildTest, RowUnitSelectsItsOwnRowAndTheRowsLeadingToIt) {
  FillGraph();
  DataObject* holder = CreateDataObject();
  ASSERT_NE(holder, nullptr);
  auto intValue = [](int v) {
    return std::optional<fh::ColumnValue>(fh::ColumnValue::FromInteger(KES_SQL_INT, v));
  };
  struct Case {
    const char* name;
    RowUnit* row;
    Texts tables;
    Texts parents, children, grandchildren;
  };
  const std::vector<Case> cases = {
      {"a parent: its children and, through them, its grandchildren",
       CreateRowUnit(t_.parent.c_str(), {intValue(1), std::nullopt}, {}, holder->pool),
       {t_.grand, t_.parent, t_.child},
       {"1|p1#1"},
       {"1|1|c11#1", "1|2|c12#1"},
       {"1|1|1|g111#1", "1|1|2|g112#1", "1|2|1|g121#1"}},
      {"a parent without children still comes back",
       CreateRowUnit(t_.parent.c_str(), {intValue(2), std::nullopt}, {}, holder->pool),
       {t_.parent, t_.child, t_.grand},
       {"2|p2#1"},
       {},
       {}},
      {"a child: both key columns restrict the grandchildren",
       CreateRowUnit(t_.child.c_str(), {intValue(1), intValue(2), std::nullopt}, {}, holder->pool),
       {t_.child, t_.grand},
       {},
       {"1|2|c12#1"},
       {"1|2|1|g121#1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataObject* object = GetDataObjectByRowUnit(c.tables, c.row);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(Sorted(RowTexts(object, t_.parent)), c.parents);
    EXPECT_EQ(Sorted(RowTexts(object, t_.child)), c.children);
    EXPECT_EQ(Sorted(RowTexts(object, t_.grand)), c.grandchildren);
    EXPECT_EQ(object->tableCount, static_cast<int32_t>(c.tables.size()));
    fh::FreeDataObject(object);
  }
  EXPECT_EQ(GetDataObjectByRowUnit({t_.child}, cases[0].row), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "RowUnit belongs to table " + t_.parent +
                                          ", which is not present in the tableList.\n"));
  fh::FreeDataObject(holder);
}

TEST_P(BuildTest, CriteriaTextRestrictsTheListedTables) {
  FillGraph();
  const Texts all = {t_.grand, t_.parent, t_.child};
  struct Case {
    const char* criteria;
    Texts tables;
    Texts parents, children, grandchildren;
    bool built;
  };
  const std::vector<Case> cases = {
      {"name = 'p2'", {t_.parent}, {"2|p2#1"}, {}, {}, true},
      {"pid >= 1 and name != 'p2'", {t_.parent}, {"1|p1#1"}, {}, {}, true},
      {"pid > 5", {t_.parent}, {}, {}, {}, true},
      {"nosuch = 1", {t_.parent}, {}, {}, {}, false},
      {"pid = ", {t_.parent}, {}, {}, {}, false},
      // Related tables come back only beside the rows related to a match.
      {"name = 'p1'",
       all,
       {"1|p1#1"},
       {"1|1|c11#1", "1|2|c12#1"},
       {"1|1|1|g111#1", "1|1|2|g112#1", "1|2|1|g121#1"},
       true},
      {"label = 'c12'", all, {"1|p1#1"}, {"1|2|c12#1"}, {"1|2|1|g121#1"}, true},
      {"name = 'p2'", all, {"2|p2#1"}, {}, {}, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.criteria);
    DataObject* object = GetDataObjectByCriteria(c.tables, c.criteria);
    ASSERT_EQ(object != nullptr, c.built);
    EXPECT_EQ(Sorted(RowTexts(object, t_.parent)), c.parents);
    EXPECT_EQ(Sorted(RowTexts(object, t_.child)), c.children);
    EXPECT_EQ(Sorted(RowTexts(object, t_.grand)), c.grandchildren);
    fh::FreeDataObject(object);
  }
  EXPECT_EQ(log_.Count("Cannot create DataObject.\n"), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, BuildTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
