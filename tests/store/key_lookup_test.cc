// A criteria fixing a table's whole primary key is answered from its key
// index; these tests hold that answer to the scan's: each table with a key
// has a twin without one holding the same rows through the same changes, and
// every criteria must select the same rows (or be refused alike) from both.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "store/store_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

using fhtest::AddRow;
using fhtest::ColumnTexts;
using fhtest::DefineTable;

// Every column of every selected row, or "refused".
std::vector<std::string> Answer(const char* table, const char* criteria,
                                const std::vector<std::string>& columns) {
  std::unique_ptr<ResultData> result = SelectRows(table, criteria);
  if (!result) return {"refused"};
  std::vector<std::string> texts;
  for (const std::string& column : columns) {
    for (std::string& text : ColumnTexts(result.get(), column))
      texts.push_back(column + ":" + text);
  }
  return texts;
}

class KeyLookupTest : public fhtest::StoreTest {
 protected:
  void SetUp() override {
    StoreTest::SetUp();
    const std::vector<fhtest::ColumnSpec> single = {
        {"id", "INTEGER"}, {"name", "CHAR"}, {"d", "KES_SQL_DOUBLE"}, {"m", "KES_SQL_DECIMAL"}};
    const std::vector<fhtest::ColumnSpec> pair = {{"a", "KES_SQL_SMALLINT"}, {"b", "CHAR"}};
    DefineTable("Keyed", single, {"ID"});
    DefineTable("KeyedScan", single);
    DefineTable("Pair", pair, {"a", "b"});
    DefineTable("PairScan", pair);
    DefineTable("ByReal", single, {"d", "m"});
    for (const char* table : {"Keyed", "KeyedScan", "Pair", "PairScan", "ByReal"}) {
      ASSERT_TRUE(CreateTable(table));
    }
  }

  // Adds the same row to table and its twin; the row of table.
  RowObject* AddBoth(const char* table, const char* twin, const std::vector<const char*>& texts,
                     uint8_t state = fh::kRowNew) {
    AddRow(twin, texts, state);
    return AddRow(table, texts, state);
  }

  // Deletes the row at position n (from 1) of table and of its twin.
  void DeleteBoth(const char* table, const char* twin, int n) {
    for (const char* name : {table, twin}) {
      RowObject* row = GetTableDataByName(name)->firstRow.get();
      for (int i = 1; i < n; ++i) row = row->next.get();
      ASSERT_TRUE(DeleteRowObject(name, row));
    }
  }
};

TEST_F(KeyLookupTest, IndexedAnswerEqualsScan) {
  // Enough rows to grow the index several times and to delete from long
  // probe runs; a NULL key, a duplicate key and a persisted row.
  std::vector<std::string> ids;  // the keyed rows expected, in list order
  for (int i = 0; i < 300; ++i) {
    const std::string id = std::to_string(i * 7 % 300);
    ids.push_back(id);
    const std::string name = "n" + std::to_string(i % 5);
    const std::string real = std::to_string(i % 4) + ".50";
    AddBoth("Keyed", "KeyedScan", {id.c_str(), name.c_str(), real.c_str(), real.c_str()});
    AddBoth("Pair", "PairScan", {std::to_string(i % 20).c_str(), name.c_str()});
  }
  // Over half the rows: the scan order closes its gaps up on the way.
  for (int n : {280, 200}) {
    for (; n >= 1; n -= 3) {
      DeleteBoth("Keyed", "KeyedScan", n);
      DeleteBoth("Pair", "PairScan", n);
      ids.erase(ids.begin() + (n - 1));
    }
  }
  // The list and the scan order hold exactly the rows left, in order.
  EXPECT_EQ(ColumnTexts(SelectRows("Keyed", nullptr).get(), "id"), ids);
  EXPECT_EQ(ColumnTexts(SelectRows("Keyed", "id >= 0").get(), "id"), ids);
  AddBoth("Keyed", "KeyedScan", {nullptr, "nokey"});
  AddBoth("Keyed", "KeyedScan", {"400", "first 400"});
  AddBoth("Keyed", "KeyedScan", {"400", "second 400"});
  AddBoth("Keyed", "KeyedScan", {"500", "persisted"}, fh::kRowPersisted);
  AddBoth("Pair", "PairScan", {"1", nullptr});
  for (const char* name : {"Keyed", "KeyedScan"}) {
    // The persisted row is marked deleted and stays listed.
    ASSERT_TRUE(DeleteRowObjectByCriteria(name, "name = 'persisted'"));
    RowObject* first = GetTableDataByName(name)->firstRow.get();
    ASSERT_TRUE(UpdateRowObject(name, first, "NAME", "renamed", 8));
  }
  // A key column is not updated: the row keeps its place in the index.
  RowObject* first = GetTableDataByName("Keyed")->firstRow.get();
  const int32_t other = 299;
  EXPECT_FALSE(UpdateRowObject("Keyed", first, "Id", &other, 4));
  AddRow("ByReal", {"1", "zero", "-0", "2.5"});
  AddRow("ByReal", {"2", "one", "1", "2.5"});

  struct Case {
    const char* table;
    const char* twin;
    const char* criteria;
  };
  const Case cases[] = {
      {"Keyed", "KeyedScan", "id = 7"},  // the first row, renamed
      {"Keyed", "KeyedScan", "ID = 14"},
      {"Keyed", "KeyedScan", "iD = '21'"},
      {"Keyed", "KeyedScan", "id = 21.0"},
      {"Keyed", "KeyedScan", "id = 21.5"},
      {"Keyed", "KeyedScan", "id = 4294967317"},
      {"Keyed", "KeyedScan", "id = 'x'"},
      {"Keyed", "KeyedScan", "id = 400"},  // two rows with that key
      {"Keyed", "KeyedScan", "id = 500"},  // marked deleted, still listed
      {"Keyed", "KeyedScan", "id = 299"},
      {"Keyed", "KeyedScan", "id = 0"},
      {"Keyed", "KeyedScan", "id = 1000"},
      {"Keyed", "KeyedScan", "id = 14 and id = 14"},
      {"Keyed", "KeyedScan", "id = 14 and name = 'n2'"},
      {"Keyed", "KeyedScan", "id = 14 or id = 21"},
      {"Keyed", "KeyedScan", "id >= 298"},
      {"Keyed", "KeyedScan", "nope = 1"},
      {"Pair", "PairScan", "a = 3 and b = 'n3'"},
      {"Pair", "PairScan", "B = 'n3' AND A = 3"},
      {"Pair", "PairScan", "a = 3 and b = 'N3'"},
      {"Pair", "PairScan", "a = '4' and b = 'n4'"},
      {"Pair", "PairScan", "a = 70000 and b = 'n0'"},
      {"Pair", "PairScan", "a = 1 and b = ''"},
      {"Pair", "PairScan", "a = 4"},
      {"ByReal", "ByReal", "d = 0.0 and m = 2.500"},
      {"ByReal", "ByReal", "m = '2.5' and d = -0"},
  };
  const std::vector<std::string> singleColumns = {"id", "name", "d", "m"};
  const std::vector<std::string> pairColumns = {"a", "b"};
  for (const Case& c : cases) {
    const auto& columns = std::string(c.table) == "Pair" ? pairColumns : singleColumns;
    const std::vector<std::string> indexed = Answer(c.table, c.criteria, columns);
    SCOPED_TRACE(c.criteria);
    if (std::string(c.table) == "ByReal") {
      // No twin: the scan's answer is known.
      EXPECT_EQ(indexed, (std::vector<std::string>{"id:1", "name:zero", "d:-0.000000", "m:2.5"}));
      continue;
    }
    EXPECT_EQ(indexed, Answer(c.twin, c.criteria, columns));
  }
  // Every key, after the deletes moved rows within the index.
  std::string kept;
  for (int id = 0; id <= 500; ++id) {
    const std::string criteria = "id = " + std::to_string(id);
    const std::vector<std::string> scanned = Answer("KeyedScan", criteria.c_str(), {"name"});
    EXPECT_EQ(Answer("Keyed", criteria.c_str(), {"name"}), scanned) << criteria;
    if (scanned.size() == 1) kept = criteria;
  }
  // The table beside it unloaded, the keyed one still answers.
  ASSERT_FALSE(kept.empty());
  const std::vector<std::string> before = Answer("Keyed", kept.c_str(), {"name"});
  ASSERT_TRUE(UnLoadTable("KeyedScan"));
  EXPECT_EQ(Answer("Keyed", kept.c_str(), {"name"}), before);
}

}  // namespace
