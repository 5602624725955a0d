// Root tables reached through foreign keys (diamonds, cycles, unknown
// tables) and column indexes.
#include "framework/index_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <set>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "support/db_engines.h"

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
  ASSERT_NE(
      fh::AddTableDefn(fh::CreateTableDefn(name, std::nullopt, {id, ref}, std::move(constraints))),
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

// Index tables on every engine: the root "Dom_<pid>" (unique on a shared
// server) with its index table "Dom_<pid>_IDX", and "Part's" referring to it.
class IndexTableTest : public fhtest::DbTest, public testing::WithParamInterface<fhtest::Engine> {
 protected:
  void SetUp() override {
    FreeAllTableDefns();
    fh::ClearIndexedDominantTables();
    InitTableList();
    ASSERT_TRUE(AddConnParamsEntry(fhtest::MakeEngineEntry(GetParam(), dir_.path(), "conn")));
    ASSERT_TRUE(EstablishDBConnections());
    ColumnDefnEntry key;
    key.columnName = "CODE";
    key.dataType = KES_SQL_CHAR;
    ConstraintDefn rootKeys;
    rootKeys.primaryKeyColumns = {"CODE"};
    rootKeys.primaryKeyCount = 1;
    ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn(dom_, std::nullopt, {key}, rootKeys)), nullptr);
    ColumnDefnEntry id;
    id.columnName = "ID";
    id.dataType = KES_SQL_INT;
    ConstraintDefn childKeys;
    childKeys.foreignKeys = {{"CODE", "CODE", dom_}};
    ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn("Part's", std::nullopt, {id, key}, childKeys)),
              nullptr);
    ASSERT_TRUE(CreateTable("Part's"));
    Run("DROP TABLE " + idx_);
    ASSERT_EQ(Run("CREATE TABLE " + idx_ + "(CODE VARCHAR(20), TABLENAME VARCHAR(40))"), 1);
  }
  void TearDown() override {
    Run("DROP TABLE " + idx_);
    UnLoadAllTable();
    fh::ClearIndexedDominantTables();
    FreeAllTableDefns();
  }
  static int Run(const std::string& text) {
    ConnectionHandle* handle = GetConnectionHandle("conn");
    const int result = ExecuteUpdate(handle, text.c_str());
    ReleaseConnectionHandle("conn");
    return result;
  }
  std::string Index() const {
    ConnectionHandle* handle = GetConnectionHandle("conn");
    auto rows =
        ExecuteQuery(handle, ("select CODE, TABLENAME from " + idx_ + " order by CODE").c_str());
    ReleaseConnectionHandle("conn");
    std::string text;
    while (rows != nullptr && NextDBResultSetRow(rows.get()) != nullptr) {
      const fh::DBRow& row = rows->rows[static_cast<std::size_t>(rows->cursor)];
      text += std::string(row[0]->text()) + "/" + row[1]->text() + ";";
    }
    return text;
  }
  static RowObject* Add(int32_t id, const char* code, uint8_t state) {
    std::vector<std::optional<fh::ColumnValue>> values;
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id));
    values.push_back(fh::ColumnValue::FromText(code));
    std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
    row->state = state;
    RowObject* added = row.get();
    EXPECT_TRUE(AddNewRow("Part's", row));
    return added;
  }

  const std::string dom_ = fhtest::UniqueTableName("Dom");
  const std::string idx_ = dom_ + "_IDX";
};

TEST_P(IndexTableTest, InsertsAbsentPairsAndDeletesTheLastReference) {
  RowObject* first = Add(1, "o'k", fh::kRowNew);
  EXPECT_TRUE(AddEntryToIndexTable("Part's", first));
  EXPECT_EQ(Index(), "");       // the root is not indexed yet
  std::string lowerDom = dom_;  // registered names ignore letter case
  for (char& c : lowerDom) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  fh::RegisterIndexedDominantTable(lowerDom.c_str());
  EXPECT_TRUE(AddEntryToIndexTable("Part's", first));
  EXPECT_TRUE(AddEntryToIndexTable("Part's", first));  // present: not twice
  RowObject* second = Add(2, "o'k", fh::kRowNew | fh::kRowUpdated);
  EXPECT_TRUE(AddEntryToIndexTable("Part's", second));
  EXPECT_EQ(Index(), "o'k/Part's;");

  first->state = fh::kRowPersisted | fh::kRowDeleted;
  EXPECT_TRUE(AddEntryToIndexTable("Part's", first));
  EXPECT_EQ(Index(), "o'k/Part's;");  // the second row still refers to it
  second->state = fh::kRowPersisted | fh::kRowDeleted;
  EXPECT_TRUE(AddEntryToIndexTable("Part's", second));
  EXPECT_EQ(Index(), "");

  EXPECT_TRUE(AddEntryToIndexTable(dom_.c_str(), first));
  EXPECT_TRUE(log_.HasLine("[TRACE]", "No References.\n"));
  ASSERT_EQ(Run("DROP TABLE " + idx_), 1);
  EXPECT_FALSE(AddEntryToIndexTable("Part's", Add(3, "x", fh::kRowNew)));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot Add Entry Into Index Table\n"));
}

// Key values that would break out of a literal reach only their own entry:
// the count before each insert sees no other entry, so each gets its row.
TEST_P(IndexTableTest, HostileKeysReachOnlyTheirOwnEntry) {
  fh::RegisterIndexedDominantTable(dom_.c_str());
  std::set<std::string> expected;
  for (const char* code : {"keep", "x\\' or 1=1 #", "a';--", "b\\", "c\\\\' or 'k'='k", "d'/*"}) {
    SCOPED_TRACE(code);
    EXPECT_TRUE(AddEntryToIndexTable(
        "Part's", Add(static_cast<int32_t>(expected.size()), code, fh::kRowNew)));
    expected.insert(std::string(code) + "/Part's");
    std::set<std::string> entries;
    ConnectionHandle* handle = GetConnectionHandle("conn");
    auto rows = ExecuteQuery(handle, ("select CODE, TABLENAME from " + idx_).c_str());
    ReleaseConnectionHandle("conn");
    while (rows != nullptr && NextDBResultSetRow(rows.get()) != nullptr) {
      const fh::DBRow& row = rows->rows[static_cast<std::size_t>(rows->cursor)];
      entries.insert(std::string(row[0]->text()) + "/" + row[1]->text());
    }
    EXPECT_EQ(entries, expected);
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, IndexTableTest, testing::ValuesIn(fhtest::SelectedEngines()),
                         fhtest::EngineName);

}  // namespace
