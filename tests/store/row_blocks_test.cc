// Rows a table builds in its own blocks (AppendTableRow, as a load does):
// held row pointers stay valid and keep their values across blocks, deletes
// and further adds; tables beside each other and a table loaded again keep
// their rows apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

using fhtest::DefineTable;

// Row n of a table: key n, a name that is long for every third row (its
// bytes then live outside the value), Qty left to its default.
std::string NameOf(const std::string& table, int n) {
  return table + (n % 3 == 0 ? " a name too long to be kept inside its value #" : " #") +
         std::to_string(n);
}

class RowBlocksTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    for (const char* name : {"Blocks", "Beside"}) {
      DefineTable(name,
                  {{"Id", "INTEGER"},
                   {"Name", "CHAR", nullptr, nullptr, 80},
                   {"Qty", "KES_SQL_SMALLINT", "7"}},
                  {"Id"});
    }
    ASSERT_TRUE(CreateTable("Blocks"));
  }

  // Appends row n to table as a load does; the row, or none.
  static RowObject* Append(const char* table, int n, uint8_t state = fh::kRowPersisted) {
    TableData* data = GetTableDataByName(table);
    std::vector<std::optional<fh::ColumnValue>> values;
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, n));
    values.push_back(fh::ColumnValue::FromText(NameOf(table, n)));
    return data != nullptr && fh::AppendTableRow(*data, values, state) ? data->lastRow : nullptr;
  }

  // Appends rows first..last-1 and returns them.
  static std::vector<RowObject*> AppendRange(const char* table, int first, int last) {
    std::vector<RowObject*> rows;
    for (int n = first; n < last; ++n) rows.push_back(Append(table, n));
    return rows;
  }

  // Checks that row still holds row n of table.
  static void ExpectRow(const char* table, const RowObject* row, int n) {
    ASSERT_NE(row, nullptr);
    ASSERT_EQ(row->values.size(), 3u);
    EXPECT_EQ(*fh::GetIntegerValue(*row->values[0], KES_SQL_INT), n);
    EXPECT_STREQ(row->values[1]->text(), NameOf(table, n).c_str());
    EXPECT_EQ(row->lengths[1], static_cast<int32_t>(NameOf(table, n).size()));
    EXPECT_EQ(*fh::GetIntegerValue(*row->values[2], KES_SQL_SMALLINT), 7);  // the default
  }

  // The keys of table's rows in list order, and the number of rows a key
  // lookup finds for each.
  static std::vector<int> Keys(const char* table) {
    std::vector<int> keys;
    const TableData* data = GetTableDataByName(table);
    for (const RowObject* row = data->firstRow.get(); row != nullptr; row = row->next.get()) {
      const int key = static_cast<int>(*fh::GetIntegerValue(*row->values[0], KES_SQL_INT));
      keys.push_back(key);
      const std::string criteria = "Id = " + std::to_string(key);
      EXPECT_EQ(SelectRows(table, criteria.c_str())->rowCount, 1) << table << " " << key;
    }
    return keys;
  }

  static std::size_t RowsPerBlock() {
    return GetTableDataByName("Blocks")->rowBlocks->rowsPerBlock();
  }
};

TEST_F(RowBlocksTest, HeldRowsKeepTheirValuesAcrossBlocks) {
  Append("Blocks", 0);
  const int perBlock = static_cast<int>(RowsPerBlock());
  ASSERT_GT(perBlock, 1);
  // Exactly one block, one row more, and several blocks.
  for (int rows : {perBlock, perBlock + 1, 3 * perBlock + 2}) {
    SCOPED_TRACE(rows);
    UnLoadTable("Blocks");
    ASSERT_TRUE(CreateTable("Blocks"));
    const std::vector<RowObject*> held = AppendRange("Blocks", 0, rows);
    const TableData* table = GetTableDataByName("Blocks");
    EXPECT_EQ(table->rowBlocks->blockCount(), static_cast<std::size_t>((rows - 1) / perBlock + 1));
    EXPECT_EQ(table->rowCount, rows);
    EXPECT_EQ(table->lastRow, held.back());
    for (int n = 0; n < rows; ++n) ExpectRow("Blocks", held[static_cast<std::size_t>(n)], n);
    std::vector<int> expected(static_cast<std::size_t>(rows));
    for (int n = 0; n < rows; ++n) expected[static_cast<std::size_t>(n)] = n;
    EXPECT_EQ(Keys("Blocks"), expected);
    EXPECT_EQ(held[0]->state, fh::kRowPersisted);
  }
}

TEST_F(RowBlocksTest, DeletedRowsFreeTheirBlockAndNoLaterRowTakesAHeldPlace) {
  Append("Blocks", 0);
  const int perBlock = static_cast<int>(RowsPerBlock());
  UnLoadTable("Blocks");
  ASSERT_TRUE(CreateTable("Blocks"));
  // Two full blocks and a few rows in a third, all new (deleting frees them).
  std::vector<RowObject*> held;
  for (int n = 0; n < 2 * perBlock + 3; ++n) held.push_back(Append("Blocks", n, fh::kRowNew));
  // Every row of the first block but its last, and every second row after.
  std::vector<int> kept;
  for (int n = 0; n < 2 * perBlock + 3; ++n) {
    const bool drop = n < perBlock - 1 || (n >= perBlock && n % 2 == 0);
    if (drop) {
      ASSERT_TRUE(DeleteRowObject("Blocks", held[static_cast<std::size_t>(n)]));
    } else {
      kept.push_back(n);
    }
  }
  const TableData* table = GetTableDataByName("Blocks");
  EXPECT_EQ(table->rowBlocks->blockCount(), 3u);
  // The first block's last row goes too: its block is freed, the others stay.
  ASSERT_TRUE(DeleteRowObject("Blocks", held[static_cast<std::size_t>(perBlock - 1)]));
  kept.erase(kept.begin());
  EXPECT_EQ(table->rowBlocks->blockCount(), 2u);
  // A given row (a piece of its own) beside the block rows.
  std::unique_ptr<RowObject> given = fhtest::MakeRow("Blocks", {"-1", "given"});
  RowObject* givenRow = given.get();
  ASSERT_TRUE(AddNewRow("Blocks", given));
  const std::vector<RowObject*> added = AppendRange("Blocks", 1000, 1000 + perBlock);
  for (int n : kept) {
    RowObject* row = held[static_cast<std::size_t>(n)];
    ExpectRow("Blocks", row, n);
    EXPECT_EQ(std::count(added.begin(), added.end(), row), 0) << n;
  }
  for (int n = 0; n < perBlock; ++n)
    ExpectRow("Blocks", added[static_cast<std::size_t>(n)], 1000 + n);
  std::vector<int> expected = kept;
  expected.push_back(-1);
  for (int n = 1000; n < 1000 + perBlock; ++n) expected.push_back(n);
  EXPECT_EQ(Keys("Blocks"), expected);
  ASSERT_TRUE(DeleteRowObject("Blocks", givenRow));
  expected.erase(std::find(expected.begin(), expected.end(), -1));
  EXPECT_EQ(Keys("Blocks"), expected);
}

TEST_F(RowBlocksTest, TablesBesideEachOtherAndATableLoadedAgainKeepTheirOwnRows) {
  ASSERT_TRUE(CreateTable("Beside"));
  std::vector<RowObject*> blocks;
  std::vector<RowObject*> beside;
  for (int n = 0; n < 300; ++n) {
    blocks.push_back(Append("Blocks", n, fh::kRowNew));
    beside.push_back(Append("Beside", n, fh::kRowNew));
  }
  for (int n = 0; n < 300; n += 2) ASSERT_TRUE(DeleteRowObject("Beside", beside[n]));
  EXPECT_FALSE(DeleteRowObject("Blocks", beside[1]));  // not a row of Blocks
  for (int n = 0; n < 300; ++n) ExpectRow("Blocks", blocks[n], n);
  for (int n = 1; n < 300; n += 2) ExpectRow("Beside", beside[n], n);
  EXPECT_EQ(Keys("Blocks").size(), 300u);
  EXPECT_EQ(Keys("Beside").size(), 150u);

  // Unloaded and built again: the new rows only, the other table untouched.
  ASSERT_TRUE(UnLoadTable("Blocks"));
  ASSERT_TRUE(CreateTable("Blocks"));
  const std::vector<RowObject*> again = AppendRange("Blocks", 500, 520);
  for (int n = 0; n < 20; ++n) ExpectRow("Blocks", again[n], 500 + n);
  EXPECT_EQ(Keys("Blocks").front(), 500);
  EXPECT_EQ(Keys("Blocks").size(), 20u);
  for (int n = 1; n < 300; n += 2) ExpectRow("Beside", beside[n], n);
}

TEST_F(RowBlocksTest, AppendedRowsAreCompletedAsAddedRowsAre) {
  DefineTable("Seq", {{"Id", "INTEGER", nullptr, "NoSuchSequence"}, {"Name", "CHAR", "x"}});
  ASSERT_TRUE(CreateTable("Seq"));
  TableData* seq = GetTableDataByName("Seq");
  std::vector<std::optional<fh::ColumnValue>> values(1);
  EXPECT_FALSE(fh::AppendTableRow(*seq, values, fh::kRowPersisted));  // no number to generate
  EXPECT_EQ(seq->rowCount, 0);
  EXPECT_EQ(seq->firstRow.get(), nullptr);

  // Values beyond the columns are dropped, missing ones take the default.
  TableData* blocks = GetTableDataByName("Blocks");
  std::vector<std::optional<fh::ColumnValue>> extra;
  extra.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, 4));
  extra.push_back(fh::ColumnValue::FromText(NameOf("Blocks", 4)));
  extra.push_back(std::nullopt);
  extra.push_back(fh::ColumnValue::FromText("beyond"));
  ASSERT_TRUE(fh::AppendTableRow(*blocks, extra, fh::kRowPersisted | fh::kRowUpdated));
  ExpectRow("Blocks", blocks->lastRow, 4);
  EXPECT_EQ(blocks->lastRow->state, fh::kRowPersisted | fh::kRowUpdated);
}

}  // namespace
