#include "store/table_rows.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/notification.h"
#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_selection.h"

namespace {

using fhtest::AddRow;
using fhtest::ColumnTexts;
using fhtest::DefineTable;
using fhtest::MakeRow;

// What a listener saw: "<listener>:<table>:<state>:<name column text>".
std::vector<std::string> seen;

void Record(const IMDSNotification* notification, const char* listenerName) {
  const std::optional<fh::ColumnValue>& name = notification->row->values[1];
  seen.push_back(std::string(listenerName) + ":" + notification->tableName + ":" +
                 std::to_string(notification->row->state) + ":" + (name ? name->text() : "NULL"));
}

class TableRowsTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    seen.clear();
    DefineTable("Parts",
                {{"Id", "INTEGER"}, {"Name", "CHAR", "none"}, {"Qty", "KES_SQL_SMALLINT", "7"}},
                {"ID"});
    ASSERT_TRUE(CreateTable("Parts"));
  }

  std::vector<std::string> Column(const char* column) {
    return ColumnTexts(SelectRows("Parts", nullptr).get(), column);
  }
};

TEST_F(TableRowsTest, AddNewRowFillsDefaultsAndKeepsGivenValues) {
  ASSERT_NE(AddRow("Parts", {"1", "bolt", "3"}), nullptr);
  ASSERT_NE(AddRow("Parts", {"2"}), nullptr);
  ASSERT_NE(AddRow("Parts", {"3", nullptr, "0"}), nullptr);
  EXPECT_EQ(Column("Name"), (std::vector<std::string>{"bolt", "none", "none"}));
  EXPECT_EQ(Column("Qty"), (std::vector<std::string>{"3", "7", "0"}));
  const TableData* table = GetTableDataByName("PARTS");
  EXPECT_EQ(table->rowCount, 3);
  EXPECT_EQ(table->lastRow, table->firstRow->next->next.get());

  std::unique_ptr<RowObject> row = MakeRow("Parts", {"4"});
  EXPECT_FALSE(AddNewRow("Nope", row));
  EXPECT_NE(row, nullptr);  // a refused row stays with the caller
}

TEST_F(TableRowsTest, RowsNeedingAnUnprimedSequenceAreRefused) {
  DefineTable("Seq", {{"Id", "BIGINT", nullptr, "SEQ_ID"}, {"Name", "CHAR", "x"}});
  ASSERT_TRUE(CreateTable("Seq"));
  std::unique_ptr<RowObject> row = MakeRow("Seq", {});
  EXPECT_FALSE(AddNewRow("Seq", row));
  ASSERT_NE(row, nullptr);
  EXPECT_FALSE(row->values[0].has_value());
  EXPECT_FALSE(row->values[1].has_value());  // no default filled in either
  EXPECT_EQ(GetTableDataByName("Seq")->rowCount, 0);
  EXPECT_TRUE(
      log().HasLine("[ERROR]", "AddNewRow: cannot generate a value for column Id of table Seq\n"));
  EXPECT_TRUE(log().HasLine("[TRACE]", "Cannot generate ID for key SEQ_ID.\n"));
  // A value given by the caller needs no sequence.
  EXPECT_NE(AddRow("Seq", {"12"}), nullptr);
}

TEST_F(TableRowsTest, UpdateRefusesPrimaryKeysAndUnknownColumns) {
  RowObject* row = AddRow("Parts", {"1", "bolt"});
  for (const char* key : {"Id", "ID", "id"}) {
    EXPECT_FALSE(UpdateRowObject("Parts", row, key, "9", 1));
  }
  EXPECT_EQ(log().Count("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n"), 3u);
  EXPECT_FALSE(UpdateRowObject("Parts", row, "Colour", "red", 3));
  EXPECT_FALSE(UpdateRowObject("Parts", nullptr, "Name", "nut", 3));
  EXPECT_TRUE(log().HasLine("[ERROR]", "\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n"));
  EXPECT_EQ(row->state, fh::kRowNew);

  ASSERT_TRUE(UpdateRowObject("Parts", row, "NAME", "nut", 3));
  EXPECT_EQ(row->state, fh::kRowNew | fh::kRowUpdated);
  EXPECT_EQ(Column("Name"), std::vector<std::string>{"nut"});
  EXPECT_EQ(row->lengths[1], 3);
  ASSERT_TRUE(UpdateRowObject("Parts", row, "Name", nullptr, 0));
  EXPECT_EQ(Column("Name"), std::vector<std::string>{"NULL"});
}

TEST_F(TableRowsTest, ListenersSeeEveryChangeWithTheRowState) {
  ASSERT_TRUE(AddNotificationListener("all", 0, Record, true, {"parts"}));
  ASSERT_TRUE(AddNotificationListener("added", fh::kRowNew, Record, true, {"Parts"}));
  ASSERT_TRUE(AddNotificationListener("updated", fh::kRowUpdated, Record, true, {"PARTS"}));
  ASSERT_TRUE(AddNotificationListener("other", 0, Record, true, {"Orders"}));

  RowObject* fresh = AddRow("Parts", {"1", "new"});
  RowObject* loaded = AddRow("Parts", {"2", "old"}, fh::kRowPersisted);
  ASSERT_TRUE(UpdateRowObject("Parts", loaded, "Name", "old2", 4));
  ASSERT_TRUE(UpdateRowObject("Parts", fresh, "Name", "new2", 4));
  ASSERT_TRUE(DeleteRowObject("Parts", loaded));  // marked only: not announced
  ASSERT_TRUE(DeleteRowObject("Parts", fresh));   // removed: announced
  EXPECT_EQ(seen, (std::vector<std::string>{
                      "all:Parts:2:new",
                      "added:Parts:2:new",
                      "all:Parts:1:old",
                      "all:Parts:5:old2",
                      "updated:Parts:5:old2",
                      "all:Parts:6:new2",
                      "added:Parts:6:new2",
                      "updated:Parts:6:new2",
                      "all:Parts:6:new2",
                      "added:Parts:6:new2",
                      "updated:Parts:6:new2",
                  }));
  EXPECT_EQ(loaded->state, fh::kRowPersisted | fh::kRowUpdated | fh::kRowDeleted);
  EXPECT_EQ(Column("Id"), std::vector<std::string>{"2"});
  EXPECT_EQ(GetTableDataByName("Parts")->rowCount, 2);
}

TEST_F(TableRowsTest, DeleteKeepsPersistedRowsAndTheTail) {
  RowObject* first = AddRow("Parts", {"1"});
  AddRow("Parts", {"2"}, fh::kRowPersisted);
  RowObject* last = AddRow("Parts", {"3"});
  ASSERT_TRUE(DeleteRowObject("Parts", last));
  std::unique_ptr<RowObject> stranger = MakeRow("Parts", {"9"});
  EXPECT_FALSE(DeleteRowObject("Parts", stranger.get()));
  EXPECT_FALSE(DeleteRowObject("Nope", first));
  AddRow("Parts", {"4"});  // appended after the new tail
  EXPECT_EQ(Column("Id"), (std::vector<std::string>{"1", "2", "4"}));

  ASSERT_TRUE(DeleteAllTableRowObjects("Parts"));
  EXPECT_EQ(Column("Id"), std::vector<std::string>{"2"});
  EXPECT_EQ(SelectRows("Parts", "Id = 2")->first->row->state, fh::kRowPersisted | fh::kRowDeleted);
  AddRow("Parts", {"5"});
  EXPECT_EQ(Column("Id"), (std::vector<std::string>{"2", "5"}));

  EXPECT_FALSE(DeleteAllTableRowObjects(nullptr));
  EXPECT_TRUE(log().HasLine("[ERROR]", "\t tableName NULL \n"));
  EXPECT_FALSE(DeleteAllTableRowObjects("Nope"));
  EXPECT_TRUE(log().HasLine("[ERROR]", "\t GetTableDataByName returned NULL \n"));
}

}  // namespace
