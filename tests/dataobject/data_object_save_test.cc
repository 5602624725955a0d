// Saving objects on every engine: the statement each state gives and the
// clean state afterwards, the foreign-key order of a save (the engines'
// foreign keys refuse any other order), and a failing statement that rolls
// back the whole object.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_test_helpers.h"

namespace fhtest {
namespace {

using SaveTest = DataObjectTest;

TEST_P(SaveTest, EachStateGivesItsStatementAndEndsClean) {
  const std::size_t start = log_.Text().size();  // after the set-up's drops
  FillGraph();
  ASSERT_EQ(Run("insert into " + t_.parent + " values (7, 'p7')"), 1);
  DataObject* object = GetDataObjectByCriteria({t_.parent}, "pid > 1");  // rows 2 and 7
  ASSERT_NE(object, nullptr);
  RowUnit* two = GetNthRowUnit(t_.parent.c_str(), 1, object);
  RowUnit* seven = GetNthRowUnit(t_.parent.c_str(), 2, object);
  ASSERT_NE(seven, nullptr);
  if (*fh::GetIntegerValue(*two->values[0], KES_SQL_INT) != 2) std::swap(two, seven);
  RowUnit changed = *two;
  changed.values[1] = fh::ColumnValue::FromText("p2new");
  ASSERT_TRUE(UpdateRowUnit(&changed, object));  // 5: update
  RowUnit gone = *seven;
  gone.values[1] = fh::ColumnValue::FromText("gone");
  ASSERT_TRUE(UpdateRowUnit(&gone, object));
  ASSERT_TRUE(DeleteRowUnit(seven, object));                 // 13: delete
  ASSERT_TRUE(InsertTexts(object, t_.parent, {"3", "p3"}));  // 2: insert
  ASSERT_TRUE(InsertTexts(object, t_.parent, {"4", "p4"}));  // 10: nothing
  ASSERT_TRUE(DeleteRowUnit(GetLastRowUnit(t_.parent.c_str(), object), object));

  EXPECT_TRUE(SaveDataObject(object));
  EXPECT_EQ(log_.Count("Generated Insert Query: "), 1u);
  EXPECT_EQ(log_.Count("Generated Update Query: "), 1u);
  EXPECT_EQ(log_.Count("Generated Delete Query: "), 1u);
  EXPECT_EQ(Rows("select pid, name from " + t_.parent + " order by pid"),
            (std::vector<std::string>{"1|p1", "2|p2new", "3|p3"}));
  std::vector<std::string> states;
  for (const std::string& row : RowTexts(object, t_.parent)) states.push_back(row);
  std::sort(states.begin(), states.end());
  EXPECT_EQ(states, (std::vector<std::string>{"2|p2new#1", "3|p3#1", "4|p4#10", "7|gone#8"}));

  // Nothing is left to write: a second save sends nothing and reports nothing.
  EXPECT_TRUE(SaveDataObject(object));
  EXPECT_EQ(log_.Count("Generated Insert Query: ") + log_.Count("Generated Update Query: ") +
                log_.Count("Generated Delete Query: "),
            3u);
  EXPECT_EQ(log_.Text().find("[ERROR]", start), std::string::npos);
  fh::FreeDataObject(object);
}

// The position of the first log line containing each piece, in order.
std::vector<std::size_t> Positions(const std::string& log, const std::vector<std::string>& pieces) {
  std::vector<std::size_t> positions;
  for (const std::string& piece : pieces) positions.push_back(log.find(piece));
  return positions;
}

TEST_P(SaveTest, ParentsAreInsertedFirstAndChildrenDeletedFirst) {
  DataObject* object = CreateDataObject();
  // Added children first, so that only the sort puts parents first.
  for (const std::string* table : {&t_.grand, &t_.child, &t_.parent})
    ASSERT_TRUE(AddTableToDO(object, table->c_str(), nullptr));
  ASSERT_TRUE(InsertTexts(object, t_.grand, {"5", "1", "1", "g"}));
  ASSERT_TRUE(InsertTexts(object, t_.child, {"5", "1", "c"}));
  ASSERT_TRUE(InsertTexts(object, t_.parent, {"5", "p"}));
  ASSERT_TRUE(SaveDataObject(object));
  const auto inserted =
      Positions(log_.Text(), {"Generated Insert Query: insert into  " + t_.parent + " values",
                              "Generated Insert Query: insert into  " + t_.child + " values",
                              "Generated Insert Query: insert into  " + t_.grand + " values"});
  EXPECT_LT(inserted[0], inserted[1]);
  EXPECT_LT(inserted[1], inserted[2]);
  EXPECT_EQ(Rows("select gno from " + t_.grand + " where pid = 5"), std::vector<std::string>{"1"});
  fh::FreeDataObject(object);

  DataObject* parent = CreateDataObject();
  RowUnit* row = CreateRowUnit(t_.parent.c_str(), {fh::ColumnValue::FromInteger(KES_SQL_INT, 5)},
                               {}, parent->pool);
  DataObject* graph = GetDataObjectByRowUnit({t_.grand, t_.child, t_.parent}, row);
  ASSERT_NE(graph, nullptr);
  for (const std::string* table : {&t_.parent, &t_.child, &t_.grand})
    ASSERT_TRUE(DeleteRowUnitOnCriteria(table->c_str(), graph, "pid = 5"));
  const std::size_t start = log_.Text().size();
  ASSERT_TRUE(SaveDataObject(graph));
  const auto deleted = Positions(log_.Text().substr(start),
                                 {"Generated Delete Query: delete from " + t_.grand + "  where",
                                  "Generated Delete Query: delete from " + t_.child + "  where",
                                  "Generated Delete Query: delete from " + t_.parent + "  where"});
  EXPECT_LT(deleted[0], deleted[1]);
  EXPECT_LT(deleted[1], deleted[2]);
  EXPECT_LT(deleted[2], std::string::npos);
  for (const std::string* table : {&t_.parent, &t_.child, &t_.grand})
    EXPECT_TRUE(Rows("select pid from " + *table + " where pid = 5").empty()) << *table;
  fh::FreeDataObject(graph);
  fh::FreeDataObject(parent);
}

// All or nothing: one failing statement rolls back the object's whole share
// (an update and an insert that ran before it included) and every row keeps
// its state; once the clash is gone the same object saves whole.
TEST_P(SaveTest, FailingStatementRollsBackTheWholeObject) {
  FillGraph();
  ASSERT_EQ(Run("insert into " + t_.parent + " values (9, 'p9')"), 1);
  DataObject* object = GetDataObjectByCriteria({t_.parent}, "pid = 2");
  ASSERT_NE(object, nullptr);
  RowUnit changed = *GetNthRowUnit(t_.parent.c_str(), 1, object);
  changed.values[1] = fh::ColumnValue::FromText("p2new");
  ASSERT_TRUE(UpdateRowUnit(&changed, object));
  ASSERT_TRUE(InsertTexts(object, t_.parent, {"8", "p8"}));
  ASSERT_TRUE(InsertTexts(object, t_.parent, {"9", "clash"}));  // already in the database
  EXPECT_FALSE(SaveDataObject(object));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error in executing update query \n"));
  EXPECT_EQ(RowTexts(object, t_.parent),
            (std::vector<std::string>{"2|p2new#5", "8|p8#2", "9|clash#2"}));
  EXPECT_EQ(Rows("select name from " + t_.parent + " order by pid"),
            (std::vector<std::string>{"p1", "p2", "p9"}));

  ASSERT_EQ(Run("delete from " + t_.parent + " where pid = 9"), 1);
  EXPECT_TRUE(SaveDataObject(object));
  EXPECT_EQ(Rows("select name from " + t_.parent + " order by pid"),
            (std::vector<std::string>{"p1", "p2new", "p8", "clash"}));
  EXPECT_EQ(RowTexts(object, t_.parent),
            (std::vector<std::string>{"2|p2new#1", "8|p8#1", "9|clash#1"}));
  fh::FreeDataObject(object);
}

INSTANTIATE_TEST_SUITE_P(Engines, SaveTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
