// The statements the savers plan for a row: which write its state asks for,
// its bound form and text, and whether its index table entries follow it.
// No database: the default dialect writes every statement.
#include "framework/row_statements.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "dictionary/column_types.h"
#include "framework/index_table.h"
#include "sql/sql_dialects.h"
#include "store/row_object.h"
#include "support/table_definitions.h"
#include "support/test_log.h"

namespace fhtest {
namespace {

class RowStatementsTest : public testing::Test {
 protected:
  RowStatementsTest() {
    Reset();
    InitSQLDialects();
    DefineTable("plan_items", {Column("id", KES_SQL_INT, 0, false), Column("qty", KES_SQL_INT)},
                {"id"});
    DefineTable("plan_keys", {Column("a", KES_SQL_INT, 0, false)}, {"a"});
  }
  ~RowStatementsTest() override { Reset(); }
  static void Reset() {
    FreeAllTableDefns();
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    fh::ResetSQLDialectsForTesting();
    fh::ClearIndexedDominantTables();
  }

  static std::unique_ptr<RowObject> Row(std::vector<std::optional<int32_t>> ints, uint8_t state) {
    std::vector<std::optional<fh::ColumnValue>> values;
    for (const std::optional<int32_t>& v : ints) {
      if (v)
        values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, *v));
      else
        values.emplace_back();
    }
    std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
    row->state = state;
    return row;
  }
};

struct PlanCase {
  const char* name;
  const char* table;
  std::vector<std::optional<int32_t>> values;
  uint8_t state;
  bool indexed;                         // an indexed dominant table exists
  bool logsTexts;                       // the generated texts reach the log
  std::optional<fh::RowWrite> planned;  // none: no statement
  bool bound;                           // planned with a bound form
};

TEST_F(RowStatementsTest, RowStateAndIndexTablesDecideTheStatement) {
  using W = fh::RowWrite;
  const char* items = "plan_items";
  const std::optional<int32_t> null;
  const uint8_t fresh = fh::kRowNew, changed = fh::kRowPersisted | fh::kRowUpdated;
  const uint8_t gone = fh::kRowPersisted | fh::kRowDeleted;
  const bool on = true, off = false;
  const std::optional<W> none;
  // name, table, values, state, indexed, logs texts, write planned, bound
  const PlanCase cases[] = {
      {"new", items, {1, 2}, fresh, off, off, W::kInsert, true},
      {"new, indexed", items, {1, 2}, fresh, on, off, W::kInsert, true},
      {"new and updated", items, {1, 2}, fresh | fh::kRowUpdated, on, off, W::kInsert, true},
      {"updated", items, {1, 2}, changed, off, off, W::kUpdate, true},
      {"updated, indexed", items, {1, 2}, changed, on, off, W::kUpdate, true},
      {"deleted", items, {1, 2}, gone, off, off, W::kDelete, true},
      {"deleted, indexed", items, {1, 2}, gone, on, off, W::kDelete, true},
      {"updated and deleted", items, {1, 2}, gone | fh::kRowUpdated, off, off, W::kDelete, true},
      {"logged texts", items, {1, 2}, changed, off, on, W::kUpdate, true},
      // No bound form: the text alone, or nothing when there is none.
      {"deleted with a NULL key", items, {null, 2}, gone, on, off, W::kDelete, false},
      {"update of a key-only table", "plan_keys", {3}, changed, on, off, W::kUpdate, false},
      {"insert into an undefined table", "plan_nowhere", {1}, fresh, on, off, none, false},
      {"unchanged", items, {1, 2}, fh::kRowPersisted, on, off, none, false},
      {"nothing set", items, {1, 2}, 0, on, off, none, false},
      {"removed already", items, {1, 2}, fh::kRowDeleted, on, off, none, false},
      {"made and dropped", items, {1, 2}, fresh | fh::kRowDeleted, on, off, none, false},
      {"invalid", items, {1, 2}, fh::kRowUpdated, on, on, none, false},
      {"new and persisted", items, {1, 2}, fresh | fh::kRowPersisted, on, on, none, false},
  };
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.name);
    fh::ClearIndexedDominantTables();
    if (c.indexed) fh::RegisterIndexedDominantTable("plan_root");
    std::optional<TestLog> log;
    if (c.logsTexts) log.emplace();
    std::unique_ptr<RowObject> row = Row(c.values, c.state);
    fh::RowStatementPlanner planner;
    int asked = 0;
    std::optional<fh::BatchStatement> statement =
        planner.Plan(fh::WriteFor(c.state), c.table, row.get(), [&asked] {
          ++asked;
          return std::string("conn");
        });
    ASSERT_EQ(statement.has_value(), c.planned.has_value());
    EXPECT_EQ(asked, statement ? 1 : 0);
    if (!statement) continue;
    EXPECT_FALSE(statement->failed);
    EXPECT_EQ(static_cast<bool>(statement->followUp), c.indexed);
    ASSERT_EQ(statement->bound != nullptr, c.bound);
    if (statement->bound) {
      EXPECT_EQ(statement->bound->kind, *c.planned);
      EXPECT_EQ(statement->bound->row, row.get());
      EXPECT_STREQ(statement->bound->tableName, c.table);
    }
    // A text is written now only where there is no bound form or the log
    // shows the texts, and it is the generator's text of the same write.
    if (!c.bound || c.logsTexts) {
      EXPECT_EQ(statement->text, fh::RowStatementText(*c.planned, c.table, row.get()).value());
    } else {
      EXPECT_EQ(statement->text, "");
    }
  }
}

}  // namespace
}  // namespace fhtest
