// Without a database: key strings that would meet without separators, the
// foreign-key sort on a dictionary with a cycle and a self reference, the
// printed object and the list builders.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_test_helpers.h"
#include "dictionary/table_defn.h"
#include "support/test_log.h"
#include "support/test_support.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class DataObjectKeyTest : public testing::Test {
 protected:
  void SetUp() override {
    FreeAllTableDefns();
    ASSERT_TRUE(LoadTestDictionary(dir_.path()));
    object_ = CreateDataObject();
    ASSERT_NE(object_, nullptr);
  }
  void TearDown() override {
    fh::FreeDataObject(object_);
    FreeAllTableDefns();
  }

  // Defines a table named name keyed by one text column k.
  static void DefineTextKeyed(const std::string& name) {
    ColumnDefnEntry column;
    column.columnName = "k";
    column.dataType = KES_SQL_CHAR;
    column.maxSize = 10;
    ConstraintDefn keys;
    keys.primaryKeyColumns = {"k"};
    keys.primaryKeyCount = 1;
    ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn(name, std::nullopt, {column}, keys)), nullptr);
  }

  TempDir dir_;
  TestLog log_{dir_.path(), "tessel.log", 4};
  DataObject* object_ = nullptr;
  const DataObjectTables& t_ = TestTables();
};

TEST_F(DataObjectKeyTest, KeysThatWouldMeetWithoutSeparatorsStayApart) {
  const std::string base = "kt" + std::to_string(::getpid()) + "T1";
  DefineTextKeyed(base);
  DefineTextKeyed(base + "2");
  struct Case {
    std::string table;
    std::vector<const char*> texts;
  };
  // Pairwise equal once the parts are run together: "1"+"23" / "12"+"3"
  // and table T1 with key "23" / table T12 with key "3".
  const std::vector<Case> cases = {
      {t_.texts, {"1", "23"}}, {t_.texts, {"12", "3"}}, {base, {"23"}}, {base + "2", {"3"}}};
  for (const Case& c : cases)
    ASSERT_TRUE(AddTableToDO(object_, c.table.c_str(), nullptr) ||
                ContainsTableInDO(object_, c.table.c_str()));
  std::vector<std::string> keys;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.table + " " + c.texts[0]);
    EXPECT_TRUE(InsertTexts(object_, c.table, c.texts));
    RowUnit* row = GetLastRowUnit(c.table.c_str(), object_);
    keys.push_back(fh::GetKeyString(row, GetRowCollection(c.table.c_str(), object_)).value_or(""));
    EXPECT_EQ(FindRowUnit(row, object_), row);
  }
  EXPECT_EQ(keys[0], t_.texts +
                         "\x1f"
                         "1\x1f"
                         "23");
  EXPECT_NE(keys[0], keys[1]);
  EXPECT_NE(keys[2], keys[3]);
  EXPECT_EQ(object_->keyTable->Count(), 4u);
}

TEST_F(DataObjectKeyTest, ForeignKeySortEndsOnCyclesAndPlacesParentsFirst) {
  for (const std::string* table :
       {&t_.cycleA, &t_.grand, &t_.self, &t_.child, &t_.cycleB, &t_.parent})
    ASSERT_TRUE(AddTableToDO(object_, table->c_str(), nullptr));
  ASSERT_TRUE(SortTableByFK(object_));
  std::vector<std::string> order;
  for (VectorNode* node = object_->tableList->head.get(); node != nullptr; node = node->next.get())
    order.emplace_back(static_cast<const char*>(node->data));
  ASSERT_EQ(order.size(), 6u);
  const auto at = [&](const std::string& name) {
    return std::find(order.begin(), order.end(), name) - order.begin();
  };
  EXPECT_LT(at(t_.parent), at(t_.child));
  EXPECT_LT(at(t_.child), at(t_.grand));
  EXPECT_EQ(log_.Count("Foreign key cycle through table "), 1u);
  EXPECT_FALSE(log_.Contains("Foreign key cycle through table " + t_.self));
}

TEST_F(DataObjectKeyTest, PrintShowsEveryCollectionAndRow) {
  ASSERT_TRUE(AddTableToDO(object_, t_.child.c_str(), nullptr));
  ASSERT_TRUE(InsertTexts(object_, t_.child, {"1", "-2", nullptr}));
  PrintDataObject(object_);
  EXPECT_TRUE(log_.Contains("Tables selected in DataObject: \n" + t_.child + "\n*************\n" +
                            "Table Name: " + t_.child + "\n pid\t cno\t label\tRowState\n" +
                            " 1\t -2\t none\t2\n\n\n"));
  PrintDataObject(nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot print DataObject.  dataObjectPtr is NULL\n"));
}

TEST_F(DataObjectKeyTest, ListBuildersCopyTheirArguments) {
  const char** columns = MakeColumnList(object_->pool, 2, "pid", "name");
  ASSERT_NE(columns, nullptr);
  EXPECT_STREQ(columns[1], "name");
  EXPECT_EQ(columns[2], nullptr);
  const char** texts =
      MakeStringColumnValuesList(object_->pool, 2, "7", static_cast<const char*>(nullptr));
  ASSERT_NE(texts, nullptr);
  EXPECT_STREQ(texts[0], "7");
  EXPECT_EQ(texts[1], nullptr);
  int32_t* lengths = MakeLengthList(object_->pool, 3, 4, 0, 9);
  ASSERT_NE(lengths, nullptr);
  EXPECT_EQ(lengths[2], 9);
  ASSERT_TRUE(AddTableToDO(object_, t_.parent.c_str(), columns));
  EXPECT_TRUE(InsertStringRowIntoDO(object_, t_.parent.c_str(), texts));
  EXPECT_EQ(RowTexts(object_, t_.parent), std::vector<std::string>{"7|NULL#2"});
  EXPECT_EQ(ColumnTexts(object_, t_.parent), "pid|name");
  EXPECT_FALSE(AddTableToDO(object_, t_.parent.c_str(), columns));  // already there
  EXPECT_TRUE(log_.HasLine("[ERROR]", "ADD ROW COLLECTION FAILED\n"));
}

}  // namespace
}  // namespace fhtest
