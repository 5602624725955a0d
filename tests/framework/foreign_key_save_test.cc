// Foreign keys as the dictionary says, on every engine: a child without its
// parent is refused (also on SQLite), a referenced parent is deleted only
// where the key cascades and otherwise keeps its state for the next save,
// and a table with two keys to one table joins on its first key.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "config/data_source_map.h"
#include "dataobject/data_object.h"
#include "dataobject/data_object_joins.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/column_values.h"
#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "framework/table_test_helpers.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

// Beside items: kept (kid, item -> items.id, no cascade), cascaded (cid,
// item -> items.id ON-DELETE-CASCADE) and transfer (tid, from_item and
// to_item, each -> items.id).
class ForeignKeySaveTest : public TableTest {
 protected:
  void SetUp() override {
    TableTest::SetUp();
    if (HasFatalFailure()) return;
    Child(kept_, "kid", {{"item", "id", table_}});
    Child(cascaded_, "cid", {{"item", "id", table_, true}});
    ASSERT_TRUE(DefineTable(transfer_,
                            {Column("tid", KES_SQL_INT, 0, false), Column("from_item", KES_SQL_INT),
                             Column("to_item", KES_SQL_INT)},
                            {"tid"}, {{"from_item", "id", table_}, {"to_item", "id", table_}}));
    ASSERT_TRUE(MakeDefinedTable(transfer_));
    for (const std::string* name : {&table_, &kept_, &cascaded_, &transfer_}) {
      if (GetTableDataByName(name->c_str()) == nullptr) {
        ASSERT_TRUE(CreateTable(name->c_str()));
      }
    }
  }
  void Child(const std::string& name, const char* key, std::vector<ForeignKeyDefn> references) {
    ASSERT_TRUE(DefineTable(name, {Column(key, KES_SQL_INT, 0, false), Column("item", KES_SQL_INT)},
                            {key}, std::move(references)));
    ASSERT_TRUE(MakeDefinedTable(name));
  }
  static bool AddRow(const std::string& table, std::vector<int64_t> numbers) {
    std::vector<std::optional<fh::ColumnValue>> values;
    for (int64_t number : numbers)
      values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, number));
    std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
    return AddNewRow(table.c_str(), row);
  }
  static std::vector<int> States(const std::string& table) {
    std::vector<int> states;
    for (const RowObject* row = GetTableDataByName(table.c_str())->firstRow.get(); row != nullptr;
         row = row->next.get())
      states.push_back(row->state);
    return states;
  }
  int64_t Count(const std::string& table) {
    const auto rows = Rows("select count(*) from " + table);
    return rows && rows->size() == 1 ? std::stoll(rows->front()) : -1;
  }

  std::string kept_ = UniqueTableName("kept");
  std::string cascaded_ = UniqueTableName("cascaded");
  std::string transfer_ = UniqueTableName("transfer");
};

TEST_P(ForeignKeySaveTest, ParentsAreDeletedOnlyWhereTheKeyCascades) {
  for (int id : {1, 2}) ASSERT_TRUE(AddItem(id, "p", id));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  ASSERT_TRUE(AddRow(kept_, {1, 1}));
  ASSERT_TRUE(AddRow(cascaded_, {1, 2}));
  ASSERT_TRUE(SaveTable(kept_.c_str()));
  ASSERT_TRUE(SaveTable(cascaded_.c_str()));

  // A child of a parent that does not exist is refused and stays new.
  ASSERT_TRUE(AddRow(kept_, {2, 9}));
  EXPECT_FALSE(SaveTable(kept_.c_str()));  // the failing row is counted and kept
  EXPECT_EQ(Count(kept_), 1);
  EXPECT_EQ(States(kept_), (std::vector<int>{fh::kRowPersisted, fh::kRowNew}));

  // Without cascade the parent stays, in the database and (deleted, still
  // to be written) in memory; with cascade parent and child go.
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(1)));
  ASSERT_TRUE(DeleteRowObject(table_.c_str(), FindRow(2)));
  EXPECT_FALSE(SaveTable(table_.c_str()));  // parent 1 is still referenced
  EXPECT_EQ(DatabaseRows(), (std::vector<ItemRow>{{1, "p", 1, 0}}));
  ASSERT_NE(FindRow(1), nullptr);
  EXPECT_EQ(FindRow(1)->state, fh::kRowPersisted | fh::kRowDeleted);
  EXPECT_EQ(Count(kept_), 1);
  EXPECT_EQ(Count(cascaded_), 0);
}

TEST_P(ForeignKeySaveTest, TwoKeysToOneTableJoinOnTheFirst) {
  for (int id : {1, 2}) ASSERT_TRUE(AddItem(id, "p", id));
  ASSERT_TRUE(SaveTable(table_.c_str()));
  ASSERT_TRUE(AddRow(transfer_, {10, 1, 2}));
  ASSERT_TRUE(AddRow(transfer_, {20, 2, 1}));
  ASSERT_TRUE(SaveTable(transfer_.c_str()));
  SelectQuery* query = fh::dataobject::JoinedQueryOverTables({transfer_, table_});
  ASSERT_NE(query, nullptr);
  const auto text = GenerateSelectQuery(query);
  FreeSelectQuery(query);
  ASSERT_TRUE(text.has_value());
  const auto cells = Cells(*text);
  ASSERT_TRUE(cells.has_value()) << *text;
  // items first (referenced), then transfer's tid, from_item, to_item.
  std::vector<std::pair<int64_t, int64_t>> pairs;
  for (const std::vector<std::string>& row : *cells) {
    ASSERT_TRUE(row.at(0) != "NULL" && row.at(3) != "NULL") << *text;
    pairs.emplace_back(std::stoll(row[0]), std::stoll(row[3]));
  }
  std::sort(pairs.begin(), pairs.end());
  EXPECT_EQ(pairs, (std::vector<std::pair<int64_t, int64_t>>{{1, 10}, {2, 20}})) << *text;

  // Retrieval by item 1's row reads the transfers by the same first key.
  RowUnit item;
  item.tableName = table_.c_str();
  item.values = {fh::ColumnValue::FromInteger(KES_SQL_INT, 1), fh::ColumnValue::FromText("p"),
                 fh::ColumnValue::FromInteger(KES_SQL_INT, 1)};
  DataObject* object = GetDataObjectByRowUnit({table_, transfer_}, &item);
  ASSERT_NE(object, nullptr);
  std::vector<int64_t> transfers;
  for (const RowCollection* rows = object->firstCollection; rows != nullptr; rows = rows->next) {
    if (transfer_ != rows->tableName) continue;
    for (const RowUnit* row = rows->firstRow; row != nullptr; row = row->next)
      transfers.push_back(*fh::GetIntegerValue(*row->values[0], KES_SQL_INT));
  }
  fh::FreeDataObject(object);
  EXPECT_EQ(transfers, std::vector<int64_t>{10});
}

INSTANTIATE_TEST_SUITE_P(Engines, ForeignKeySaveTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
