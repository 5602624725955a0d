// Every column type on every engine written twice: once as the generated
// literal texts, once as marker texts with bound values through the statement
// batch (prepared where the provider has prepared statements, the texts
// written from the bound form where it has not). Both tables must then hold
// the same values, stored alike to the last bit, after inserts, updates by
// key and deletes by key.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "framework/statement_batch.h"
#include "sql/bound_statements.h"
#include "sql/firebird_dialect.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sql_dialects.h"
#include "sql/sql_generator.h"
#include "sql/sql_test_helpers.h"
#include "sql/sqlite_dialect.h"
#include "sql/type_round_trip_helpers.h"
#include "support/db_engines.h"
#include "support/sql_engine_fixture.h"
#include "support/table_definitions.h"

namespace fhtest {
namespace {

class BoundStatementTest : public SqlEngineFixture {
 protected:
  void TearDown() override {
    for (const std::string& table : tables_) Update("drop table " + table);
    SqlEngineFixture::TearDown();
  }

  void CreateBoth(const TypeCase& c, const std::string& literal, const std::string& bound) {
    for (const std::string& table : {literal, bound}) {
      Update("drop table " + table);
      ASSERT_TRUE(DefineRoundTripTable(table, c, "conn"));
      const auto create = GenerateCreateTableQuery(table.c_str());
      ASSERT_TRUE(create.has_value());
      ASSERT_GE(Update(*create), 0) << *create;
      tables_.push_back(table);
    }
  }

  // Writes each row's statement of kind to literal as its text, and to
  // bound as its bound form in one batch.
  void WriteBoth(fh::RowStatementKind kind, const std::string& literal, const std::string& bound,
                 const std::vector<std::unique_ptr<RowObject>>& rows) {
    fh::RowStatementBinder binder;
    std::vector<fh::BatchStatement> batch;
    for (const auto& row : rows) {
      const auto text =
          kind == fh::RowStatementKind::kInsert   ? GenerateInsertQuery(literal.c_str(), row.get())
          : kind == fh::RowStatementKind::kUpdate ? GenerateUpdateQuery(literal.c_str(), row.get())
                                                  : GenerateDeleteQuery(literal.c_str(), row.get());
      ASSERT_TRUE(text.has_value());
      ASSERT_EQ(Update(*text), 1) << *text;
      std::optional<fh::BoundStatement> form = binder.Bind(kind, bound.c_str(), row.get());
      ASSERT_TRUE(form.has_value());
      fh::BatchStatement statement;
      statement.bound = std::make_shared<const fh::BoundStatement>(std::move(*form));
      batch.push_back(std::move(statement));
    }
    ConnectionHandle* handle = GetConnectionHandle("conn");
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(fh::RunStatementBatch(handle, batch, fh::BatchMode::kAllOrNothing),
              fh::BatchOutcome::kWritten);
    ReleaseConnectionHandle("conn");
  }

  // Each row of table ordered by id: its values as fetched and, on SQLite,
  // v as stored (its storage class and exact value).
  std::vector<std::pair<std::vector<std::optional<fh::ColumnValue>>, std::string>> Stored(
      const std::string& table) {
    std::vector<std::pair<std::vector<std::optional<fh::ColumnValue>>, std::string>> stored;
    for (const auto& row : Query("select * from " + table + " order by id", table)) {
      stored.emplace_back(row->values, "");
    }
    if (dialect_ != "SQLITE") return stored;
    ConnectionHandle* handle = GetConnectionHandle("conn");
    auto result = ExecuteQuery(
        handle, ("select typeof(v) || ' ' || quote(v) from " + table + " order by id").c_str());
    ReleaseConnectionHandle("conn");
    EXPECT_NE(result, nullptr);
    for (std::size_t i = 0; result != nullptr && i < result->rows.size() && i < stored.size();
         ++i) {
      stored[i].second = result->rows[i][0] ? result->rows[i][0]->text() : "";
    }
    return stored;
  }

  std::vector<std::string> tables_;
};

TEST_P(BoundStatementTest, BoundValuesAreStoredAsTheirLiterals) {
  // The SQLite ODBC driver hands doubles out at 15 significant digits (the
  // largest double then rounds beyond the range).
  const int doubleDigits = GetParam().name == "sqlite" ? 15 : 17;
  std::vector<TypeCase> cases = TypeCases();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    TypeCase& c = cases[k];
    if (c.type == KES_SQL_DOUBLE && doubleDigits < 17) {
      std::erase_if(c.values, [](const auto& v) {
        return std::fabs(*fh::GetFloatingValue(*v, KES_SQL_DOUBLE)) == DBL_MAX;
      });
    }
    SCOPED_TRACE(c.name);
    const std::string literal = UniqueTableName("lit" + std::to_string(k));
    const std::string bound = UniqueTableName("bnd" + std::to_string(k));
    CreateBoth(c, literal, bound);
    if (HasFatalFailure()) return;
    std::vector<std::optional<fh::ColumnValue>> values = c.values;
    if (!c.key) values.push_back(std::nullopt);
    std::vector<std::unique_ptr<RowObject>> rows;
    std::vector<std::unique_ptr<RowObject>> changed;
    for (std::size_t i = 0; i < values.size(); ++i) {
      rows.push_back(RoundTripRow(static_cast<int>(i) + 1, values[i], static_cast<int>(i)));
      changed.push_back(
          RoundTripRow(static_cast<int>(i) + 1, values[i], 100 + static_cast<int>(i)));
    }
    WriteBoth(fh::RowStatementKind::kInsert, literal, bound, rows);
    const auto inserted = Stored(bound);
    ASSERT_EQ(inserted.size(), rows.size());
    EXPECT_EQ(inserted, Stored(literal));
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_TRUE(SameValue(inserted[i].first[1], values[i], c.type, doubleDigits))
          << "value " << i;
    }

    // Updated and deleted by key, the key given with more date-time parts
    // than the column keeps.
    WriteBoth(fh::RowStatementKind::kUpdate, literal, bound, changed);
    const auto updated = Stored(bound);
    EXPECT_EQ(updated, Stored(literal));
    for (std::size_t i = 0; i < updated.size(); ++i) {
      EXPECT_EQ(updated[i].first[2], Int(KES_SQL_INT, 100 + static_cast<int>(i))) << i;
    }
    changed.pop_back();
    WriteBoth(fh::RowStatementKind::kDelete, literal, bound, changed);
    const auto left = Stored(bound);
    EXPECT_EQ(left, Stored(literal));
    EXPECT_EQ(left.size(), 1u);
  }
}

// A boolean is bound as the value its dialect's literal holds: a quoted
// literal as its text, a number as that number (engines type booleans
// differently, and a server that types its parameters must get what the
// literal would have given it).
TEST(BoundBooleanTest, EachDialectBindsWhatItsLiteralHolds) {
  FreeAllTableDefns();
  ASSERT_TRUE(DefineTable(
      "flags", {Column("id", KES_SQL_INT, 0, false), Column("b", KES_SQL_BOOLEAN)}, {"id"}));
  const TableDefn* table = GetTableDefn("flags");
  ASSERT_NE(table, nullptr);
  for (const fh::DialectWords* words :
       {&kMysqlWords, &kPgsqlWords, &kFirebirdWords, &kSqliteWords}) {
    for (int flag : {1, 0}) {
      SCOPED_TRACE(std::string(words->name) + " " + std::to_string(flag));
      const auto value = Int(KES_SQL_BOOLEAN, flag);
      const auto row = MakeRow({Int(KES_SQL_INT, 1), value});
      fh::BoundStatement statement;
      ASSERT_TRUE(
          fh::BindRowValues(*words, fh::RowStatementKind::kInsert, *table, *row, statement));
      ASSERT_EQ(statement.values.size(), 2u);
      const fh::BoundValue& bound = statement.values[1];
      const std::string held = bound.kind == fh::BoundKind::kText
                                   ? "'" + std::string(bound.bytes, bound.length) + "'"
                                   : std::to_string(bound.integer);
      EXPECT_TRUE(bound.kind == fh::BoundKind::kText || bound.kind == fh::BoundKind::kInteger);
      EXPECT_EQ(held, fh::WriteSqlLiteral(*words, &*value, KES_SQL_BOOLEAN));
    }
  }
  FreeAllTableDefns();
}

INSTANTIATE_TEST_SUITE_P(Engines, BoundStatementTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
