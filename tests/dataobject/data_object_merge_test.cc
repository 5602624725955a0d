// Merging and cloning: rows are copied, so both objects stay valid after
// the other is freed (the sanitizer build checks it); existence is tested in
// the target's key table.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_test_helpers.h"
#include "sql/sql_dialects.h"

namespace fhtest {
namespace {

using MergeTest = DataObjectTest;

std::vector<std::string> Sorted(std::vector<std::string> texts) {
  std::sort(texts.begin(), texts.end());
  return texts;
}

RowUnit* Parent(DataObject* object, const std::string& table, int pid) {
  for (RowUnit* row = GetFirstRowUnit(table.c_str(), object); row != nullptr; row = row->next) {
    if (fh::GetIntegerValue(*row->values[0], KES_SQL_INT) == pid) return row;
  }
  return nullptr;
}

TEST_P(MergeTest, SourceRowsMergeByTheirStateIntoTheTarget) {
  FillGraph();
  struct Case {
    const char* name;
    std::function<void(DataObject* source)> edit;  // source: parents 1 and 2 read
    std::vector<std::string> parents;              // the target's afterwards
    const char* logged;                            // or none
  };
  const std::vector<Case> cases = {
      {"read rows the target has: nothing changes",
       [](DataObject*) {},
       {"1|p1#1", "2|p2#1"},
       nullptr},
      {"an update is applied to the target's row",
       [&](DataObject* s) {
         RowUnit copy = *Parent(s, t_.parent, 1);
         copy.values[1] = fh::ColumnValue::FromText("merged");
         ASSERT_TRUE(UpdateRowUnit(&copy, s));
       },
       {"1|merged#5", "2|p2#1"},
       nullptr},
      {"a new row is added although the source knows its key",
       [&](DataObject* s) {
         ASSERT_TRUE(InsertTexts(s, t_.parent, {"3", "p3"}));
       },
       {"1|p1#1", "2|p2#1", "3|p3#2"},
       nullptr},
      {"a deletion marks the target's row",
       [&](DataObject* s) { ASSERT_TRUE(DeleteRowUnit(Parent(s, t_.parent, 2), s)); },
       {"1|p1#1", "2|p2#9"},
       nullptr},
      {"inserted then deleted is not carried over",
       [&](DataObject* s) {
         ASSERT_TRUE(InsertTexts(s, t_.parent, {"4", "p4"}));
         ASSERT_TRUE(DeleteRowUnit(Parent(s, t_.parent, 4), s));
       },
       {"1|p1#1", "2|p2#1"},
       nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataObject* target = GetDataObjectByCriteria({t_.parent}, "pid > 0");
    DataObject* source = GetDataObjectByCriteria({t_.parent, t_.child}, "pid = 1");
    ASSERT_NE(target, nullptr);
    ASSERT_NE(source, nullptr);
    // The source reads parent 1 only; add parent 2 as read.
    DataObject* two = GetDataObjectByCriteria({t_.parent}, "pid = 2");
    ASSERT_EQ(MergeDataObject(source, two), source);
    fh::FreeDataObject(two);
    c.edit(source);
    const std::vector<std::string> sourceBefore = RowTexts(source, t_.parent);
    ASSERT_EQ(MergeDataObject(target, source), target);
    EXPECT_EQ(RowTexts(source, t_.parent), sourceBefore);
    fh::FreeDataObject(source);
    EXPECT_EQ(Sorted(RowTexts(target, t_.parent)), c.parents);
    // The table only the source had came over whole.
    EXPECT_EQ(Sorted(RowTexts(target, t_.child)),
              (std::vector<std::string>{"1|1|c11#1", "1|2|c12#1"}));
    EXPECT_TRUE(ContainsTableInDO(target, t_.child.c_str()));
    EXPECT_EQ(target->tableCount, 2);
    fh::FreeDataObject(target);
  }
}

TEST_P(MergeTest, InsertOfAKeyTheTargetHoldsIsRefused) {
  FillGraph();
  DataObject* target = GetDataObjectByCriteria({t_.parent}, "pid = 1");
  DataObject* source = CreateDataObject();
  ASSERT_TRUE(AddTableToDO(source, t_.parent.c_str(), nullptr));
  ASSERT_TRUE(InsertTexts(source, t_.parent, {"1", "clash"}));
  EXPECT_EQ(MergeDataObject(target, source), target);
  EXPECT_TRUE(log_.Contains("[ERROR] Cannot Insert Row with keystring " + t_.parent +
                            "\x1f"
                            "1.  Row already exists."));
  EXPECT_EQ(RowTexts(target, t_.parent), std::vector<std::string>{"1|p1#1"});
  fh::FreeDataObject(source);
  fh::FreeDataObject(target);
}

TEST_P(MergeTest, CloneOutlivesItsSourceWithItsOwnQueryAndKeys) {
  FillGraph();
  DataObject* source = GetDataObjectByCriteria({t_.parent, t_.child}, "pid = 1");
  ASSERT_NE(source, nullptr);
  RowUnit* first = GetFirstRowUnit(t_.child.c_str(), source);
  if (fh::GetIntegerValue(*first->values[1], KES_SQL_INT) != 1) first = first->next;
  RowUnit changed = *first;
  changed.values[2] = fh::ColumnValue::FromText("upd");
  ASSERT_TRUE(UpdateRowUnit(&changed, source));
  ASSERT_TRUE(InsertTexts(source, t_.child, {"1", "9", "new"}));
  const std::vector<std::string> parents = RowTexts(source, t_.parent);
  const std::vector<std::string> children = RowTexts(source, t_.child);
  DataObject* clone = CloneDataObject(source);
  ASSERT_NE(clone, nullptr);
  fh::FreeDataObject(source);
  EXPECT_EQ(RowTexts(clone, t_.parent), parents);
  EXPECT_EQ(RowTexts(clone, t_.child), children);
  ASSERT_NE(clone->selectQuery, nullptr);
  EXPECT_TRUE(GenerateSelectQuery(clone->selectQuery).has_value());
  EXPECT_EQ(clone->tableList->count, 2);
  // The clone's key table knows its rows.
  EXPECT_FALSE(InsertTexts(clone, t_.child, {"1", "9", "again"}));
  EXPECT_NE(FindRowUnit(GetLastRowUnit(t_.child.c_str(), clone), clone), nullptr);
  EXPECT_TRUE(SaveDataObject(clone));
  EXPECT_EQ(Rows("select cno, label from " + t_.child + " where pid = 1 order by cno"),
            (std::vector<std::string>{"1|upd", "2|c12", "9|new"}));
  fh::FreeDataObject(clone);
}

INSTANTIATE_TEST_SUITE_P(Engines, MergeTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
