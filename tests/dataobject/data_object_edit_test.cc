// Editing objects: the state each edit leaves (flags, never sums), refusals
// with their lines, row lookups at their bounds, values set on one or all
// rows, defaults and generated keys filled on insertion.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_test_helpers.h"
#include "sequence/sequence_generator.h"

namespace fhtest {
namespace {

using EditTest = DataObjectTest;

// The parents read from the database (rows 1 and 2, state 1).
DataObject* LoadParents(const std::string& parent) {
  return GetDataObjectByCriteria({parent}, "pid > 0");
}

TEST_P(EditTest, EachEditAddsItsFlag) {
  FillGraph();
  const char* name = "renamed";
  const auto rename = [&](DataObject* o, RowUnit* row) {
    RowUnit copy = *row;
    copy.values[1] = fh::ColumnValue::FromText(name);
    return UpdateRowUnit(&copy, o);
  };
  struct Case {
    const char* name;
    std::function<bool(DataObject*, RowUnit*)> edit;  // on parent 1
    const char* expected;                             // parent 1's row afterwards
  };
  const std::vector<Case> cases = {
      {"read", [](DataObject*, RowUnit*) { return true; }, "1|p1#1"},
      {"updated", rename, "1|renamed#5"},
      {"updated twice stays 5",
       [&](DataObject* o, RowUnit* r) { return rename(o, r) && rename(o, r); }, "1|renamed#5"},
      {"deleted", [](DataObject* o, RowUnit* r) { return DeleteRowUnit(r, o); }, "1|p1#9"},
      {"updated then deleted",
       [&](DataObject* o, RowUnit* r) { return rename(o, r) && DeleteRowUnit(r, o); },
       "1|renamed#13"},
      {"deleted by criteria",
       [](DataObject* o, RowUnit* r) {
         return DeleteRowUnitOnCriteria(r->tableName, o, "name = 'p1'");
       },
       "1|p1#9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DataObject* object = LoadParents(t_.parent);
    ASSERT_NE(object, nullptr);
    RowUnit* first = GetNthRowUnit(t_.parent.c_str(), 1, object);
    ASSERT_NE(first, nullptr);
    if (fh::GetIntegerValue(*first->values[0], KES_SQL_INT) != 1)
      first = GetNthRowUnit(t_.parent.c_str(), 2, object);
    EXPECT_TRUE(c.edit(object, first));
    EXPECT_EQ(RowTexts(object, t_.parent).size(), 2u);
    const std::vector<std::string> rows = RowTexts(object, t_.parent);
    EXPECT_NE(std::find(rows.begin(), rows.end(), c.expected), rows.end())
        << rows[0] << " " << rows[1];
    fh::FreeDataObject(object);
  }
}

TEST_P(EditTest, InsertedRowsStatesAndRefusals) {
  DataObject* object = CreateDataObject();
  ASSERT_NE(object, nullptr);
  ASSERT_TRUE(AddTableToDO(object, t_.child.c_str(), nullptr));
  EXPECT_TRUE(InsertTexts(object, t_.child, {"1", "1", nullptr}));  // label: its default
  EXPECT_TRUE(InsertTexts(object, t_.child, {"1", "2", "two"}));
  EXPECT_TRUE(InsertTexts(object, t_.child, {"1", "3", "three"}));
  EXPECT_FALSE(InsertTexts(object, t_.child, {"1", "2", "again"}));
  EXPECT_TRUE(log_.HasLine("[DEBUG]", "Row with keyStr " + t_.child +
                                          "\x1f"
                                          "1\x1f"
                                          "2 already exists.\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot insert RowUnit.\n"));
  RowUnit* second = GetNthRowUnit(t_.child.c_str(), 2, object);
  ASSERT_NE(second, nullptr);
  EXPECT_TRUE(UpdateRowUnit(second, object));                                    // 2 -> 6
  EXPECT_TRUE(DeleteRowUnit(GetLastRowUnit(t_.child.c_str(), object), object));  // 2 -> 10
  EXPECT_EQ(RowTexts(object, t_.child),
            (std::vector<std::string>{"1|1|none#2", "1|2|two#6", "1|3|three#10"}));

  // Lookups at their bounds.
  EXPECT_EQ(GetNthRowUnit(t_.child.c_str(), 1, object), GetFirstRowUnit(t_.child.c_str(), object));
  EXPECT_EQ(GetNthRowUnit(t_.child.c_str(), 3, object), GetLastRowUnit(t_.child.c_str(), object));
  EXPECT_EQ(GetNthRowUnit(t_.child.c_str(), 4, object), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot get 4 row. \n"));
  RowCollection* collection = GetRowCollection(t_.child.c_str(), object);
  std::vector<RowUnit*> walked;
  for (int i = 0; i < 5; ++i) walked.push_back(GotoNextRowUnit(collection));
  EXPECT_EQ(walked, (std::vector<RowUnit*>{collection->firstRow, collection->firstRow->next,
                                           collection->lastRow, nullptr, collection->firstRow}));

  // A row that is not in the object.
  RowUnit* stranger = CreateRowUnit(t_.child.c_str(),
                                    {fh::ColumnValue::FromInteger(KES_SQL_INT, 9),
                                     fh::ColumnValue::FromInteger(KES_SQL_INT, 9), std::nullopt},
                                    {}, object->pool);
  EXPECT_FALSE(UpdateRowUnit(stranger, object));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Row to be updated is not present in DO. \n"));
  EXPECT_EQ(FindRowUnit(stranger, object), nullptr);
  EXPECT_FALSE(InsertRowIntoDO(object, t_.grand.c_str(), {}, {}));
  EXPECT_TRUE(log_.HasLine("[ERROR]",
                           "The RowUnit belongs to Table " + t_.grand + ", which is not in DO\n"));
  fh::FreeDataObject(object);
}

TEST_P(EditTest, ValuesOfAColumnOverAllRows) {
  FillGraph();
  DataObject* object = GetDataObjectByCriteria({t_.grand}, "pid = 1");
  ASSERT_NE(object, nullptr);
  ASSERT_EQ(RowTexts(object, t_.grand).size(), 3u);
  const char* text = "same";
  EXPECT_TRUE(SetValueForAllRowUnits("note", t_.grand.c_str(), text, 4, object));
  for (const std::string& row : RowTexts(object, t_.grand))
    EXPECT_EQ(row.substr(row.size() - 7), "|same#5") << row;
  const auto values = GetColumnValuesFromDO("gno", t_.grand.c_str(), object);
  ASSERT_TRUE(values.has_value());
  EXPECT_EQ(values->size(), 3u);
  EXPECT_TRUE(SetValueForRowUnit("note", t_.grand.c_str(), nullptr, 0, object));
  EXPECT_EQ(RowTexts(object, t_.grand).back().substr(RowTexts(object, t_.grand).back().size() - 7),
            "|NULL#5");
  EXPECT_FALSE(SetValueForAllRowUnits("gno", t_.grand.c_str(), text, 4, object));  // a key column
  EXPECT_FALSE(GetColumnValuesFromDO("nosuch", t_.grand.c_str(), object).has_value());
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Invalid Column Entered.\n"));

  // A collection of some columns only: values are found by its own columns.
  DataObject* partial = CreateDataObject();
  const char* columns[] = {"cno", "label", "pid", nullptr};
  ASSERT_TRUE(AddTableToDO(partial, t_.child.c_str(), columns));
  ASSERT_TRUE(InsertTexts(partial, t_.child, {"4", "four", "1"}));
  const fh::ColumnValue* label = GetFirstValue("label", t_.child.c_str(), partial);
  ASSERT_NE(label, nullptr);
  EXPECT_STREQ(label->text(), "four");
  const std::optional<fh::ColumnValue> pid =
      GetColumnValueFromDO(partial, t_.child.c_str(), "pid", 1);
  ASSERT_TRUE(pid.has_value());
  EXPECT_EQ(fh::GetIntegerValue(*pid, KES_SQL_INT), 1);
  EXPECT_EQ(GetRowUnitOnCriteria(t_.child.c_str(), partial, "label = 'four'"),
            GetFirstRowUnit(t_.child.c_str(), partial));
  EXPECT_TRUE(SaveDataObject(partial));
  EXPECT_EQ(Rows("select pid, label from " + t_.child + " where cno = 4"),
            std::vector<std::string>{"1|four"});
  const char* noKey[] = {"name", nullptr};
  EXPECT_FALSE(AddTableToDO(partial, t_.parent.c_str(), noKey));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "All Primary key columns were not selected.\n"));
  fh::FreeDataObject(partial);
  fh::FreeDataObject(object);
}

TEST_P(EditTest, GeneratedKeyIsStoredAtTheColumnsWidth) {
  ASSERT_EQ(Run("create table if not exists SeqGenState (SEQNAME varchar(64) not null primary "
                "key, CURRENTBATCHEND integer)"),
            1);
  Run("delete from SeqGenState where SEQNAME = '" + IdsSequence() + "'");
  DataObject* object = CreateDataObject();
  ASSERT_TRUE(AddTableToDO(object, t_.ids.c_str(), nullptr));
  // Never primed: no number, the row is refused.
  EXPECT_FALSE(InsertTexts(object, t_.ids, {nullptr, "refused"}));
  EXPECT_TRUE(log_.HasLine("[ERROR]",
                           "InsertRowUnit: cannot generate a value for column id of "
                           "table " +
                               t_.ids + "\n"));
  ASSERT_TRUE(UpdateSeqGen(t_.ids.c_str(), IdsSequence().c_str()));
  ASSERT_TRUE(InsertTexts(object, t_.ids, {nullptr, "first"}));
  ASSERT_TRUE(InsertTexts(object, t_.ids, {nullptr, "second"}));
  const auto ids = GetColumnValuesFromDO("id", t_.ids.c_str(), object);
  ASSERT_TRUE(ids.has_value());
  ASSERT_EQ(ids->size(), 2u);
  EXPECT_EQ((*ids)[0]->length(), 8);
  EXPECT_EQ(fh::GetIntegerValue(*(*ids)[1], KES_SQL_BIGINT),
            *fh::GetIntegerValue(*(*ids)[0], KES_SQL_BIGINT) + 1);
  EXPECT_TRUE(SaveDataObject(object));
  EXPECT_EQ(Rows("select note from " + t_.ids + " order by id"),
            (std::vector<std::string>{"first", "second"}));
  fh::FreeDataObject(object);
  Run("delete from SeqGenState where SEQNAME = '" + IdsSequence() + "'");
}

INSTANTIATE_TEST_SUITE_P(Engines, EditTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
