// Prepared statements on every engine: values bound to a prepared insert
// must arrive exactly as the same values written as literal texts (the
// dialect's own literals), one row at a time and in parameter arrays up to
// and past the longest array; changed-row counts; a failing row; two
// tables side by side and a handle closed with statements still open.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/odbc/odbc_prepared.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/table_defn.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sql_generator.h"
#include "sql/sqlite_dialect.h"
#include "support/db_engines.h"
#include "support/engine_handle_test.h"
#include "support/server_session.h"

namespace fhtest {
namespace {

using namespace std::string_literals;

// A column of the test table: its type, how its values are bound and the
// boundary values it cycles through (as texts; a blob's bytes as written).
struct Column {
  const char* name;
  uint8_t dataType;
  fh::BoundKind kind;
  std::vector<std::string> samples;
};

const std::vector<Column>& Columns() {
  static const std::vector<Column> columns = {
      {"i", KES_SQL_INT, fh::BoundKind::kInteger, {"-2147483648", "2147483647", "0"}},
      {"bi",
       KES_SQL_BIGINT,
       fh::BoundKind::kInteger,
       {"-9223372036854775808", "9223372036854775807", "-1"}},
      {"u",
       KES_SQL_UNSIGNED_LONG_INT,
       fh::BoundKind::kUnsigned,
       {"18446744073709551615", "9223372036854775808", "0"}},
      {"d",
       KES_SQL_DOUBLE,
       fh::BoundKind::kDouble,
       {"0.1", "0.30000000000000004", "-1.7976931348623157e308", "2.2250738585072014e-308",
        "123456789.12345678"}},
      {"tx",
       KES_SQL_CHAR,
       fh::BoundKind::kText,
       {"O'Brien \\ 'q' \\'",
        "Gr\xc3\xbc\xc3\x9f"
        "e \xe2\x9c\x93",
        "", "a ? b"}},
      {"bl", KES_SQL_BLOB, fh::BoundKind::kBlob, {"\0\x01\xff\0"s, "x"s, "\0"s}},
      {"da", KES_SQL_DATE, fh::BoundKind::kDate, {"2024-02-29", "0001-01-01", "9999-12-31"}},
      {"tm", KES_SQL_TIME, fh::BoundKind::kTime, {"00:00:00", "23:59:59", "12:34:56"}},
      {"ts",
       KES_SQL_DATETIME,
       fh::BoundKind::kDateTime,
       {"2024-02-29 23:59:58", "1970-01-01 00:00:00", "9999-12-31 23:59:59"}},
      {"dc",
       KES_SQL_DECIMAL,
       fh::BoundKind::kDecimal,
       {"-1234567890123456789012345678.0123456789", "0", "3.5"}},
  };
  return columns;
}

const fh::DialectWords& WordsOf(const Engine& engine) {
  if (engine.name == "pgsql") return kPgsqlWords;
  if (engine.name == "mariadb") return kMysqlWords;
  return kSqliteWords;
}

// The value of column c in row r: NULL on a diagonal, else a sample. Every
// seventh row binds its unsigned value as a signed integer, so an array
// meets a parameter whose kind changes between rows.
struct Cell {
  bool null = false;
  std::string text;
  fh::BoundKind kind = fh::BoundKind::kNull;
};
Cell CellAt(int row, std::size_t c) {
  const Column& column = Columns()[c];
  if ((static_cast<std::size_t>(row) + c) % 5 == 4) return {true, "", fh::BoundKind::kNull};
  if (column.kind == fh::BoundKind::kUnsigned && row % 7 == 3)
    return {false, "7", fh::BoundKind::kInteger};
  return {false, column.samples[static_cast<std::size_t>(row) % column.samples.size()],
          column.kind};
}

fh::BoundValue Bind(const Cell& cell) {
  fh::BoundValue value;
  value.kind = cell.kind;
  if (cell.kind == fh::BoundKind::kInteger)
    value.integer = std::strtoll(cell.text.c_str(), nullptr, 10);
  if (cell.kind == fh::BoundKind::kUnsigned) {
    value.unsignedInteger = std::strtoull(cell.text.c_str(), nullptr, 10);
  }
  if (cell.kind == fh::BoundKind::kDouble) value.real = std::strtod(cell.text.c_str(), nullptr);
  value.bytes = cell.text.data();
  value.length = cell.text.size();
  return value;
}

// The dialect's literal for a cell, as the literal-text path writes it.
std::string Literal(const fh::DialectWords& words, const Cell& cell, uint8_t dataType) {
  if (cell.null) return "NULL";
  std::optional<fh::ColumnValue> value;
  if (dataType == KES_SQL_DOUBLE) {
    value = fh::ColumnValue::FromDouble(std::strtod(cell.text.c_str(), nullptr));
  } else if (dataType == KES_SQL_BLOB || dataType == KES_SQL_CHAR || dataType == KES_SQL_DECIMAL) {
    value = fh::ColumnValue::FromBytes(cell.text.data(), cell.text.size());
  } else {
    int32_t length = 0;
    value = ConvertStringToValue(cell.text.c_str(), dataType, &length);
  }
  return value ? fh::WriteSqlLiteral(words, &*value, dataType).value_or("?") : "?";
}

class PreparedStatementTest : public EngineHandleTest {
 protected:
  void SetUp() override {
    EngineHandleTest::SetUp();
    if (HasFatalFailure()) return;
    ASSERT_TRUE(fh::SupportsPreparedStatements(handle_.get()));
    for (const std::string* table : {&literal_, &bound_}) {
      Run("drop table if exists " + *table);
      std::string create = "create table " + *table + " (id int primary key";
      for (const Column& column : Columns()) {
        ColumnDefnEntry definition;
        definition.dataType = column.dataType;
        definition.maxSize = 200;
        create +=
            ", "s + column.name + " " + WordsOf(GetParam()).columnShape(definition, false).type;
      }
      ASSERT_EQ(Run(create + ")"), 1) << log_.Messages();
    }
  }
  void TearDown() override {
    if (handle_) {
      for (const std::string* table : {&literal_, &bound_}) Run("drop table if exists " + *table);
    }
    EngineHandleTest::TearDown();
  }
  std::string ColumnList() const {
    std::string list = "id";
    for (const Column& column : Columns()) list += ", "s + column.name;
    return list;
  }
  std::string InsertText(const std::string& table) const {
    std::string markers = "?";
    for (std::size_t c = 0; c < Columns().size(); ++c) markers += ", ?";
    return "insert into " + table + " (" + ColumnList() + ") values (" + markers + ")";
  }
  // Rows [first, first + count) written as literals into the literal table.
  void InsertLiterals(int first, int count) {
    std::string text = "insert into " + literal_ + " (" + ColumnList() + ") values ";
    for (int row = first; row < first + count; ++row) {
      text += (row > first ? ", (" : "(") + std::to_string(row);
      for (std::size_t c = 0; c < Columns().size(); ++c) {
        text += ", " + Literal(WordsOf(GetParam()), CellAt(row, c), Columns()[c].dataType);
      }
      text += ")";
    }
    ASSERT_EQ(Run(text), 1) << log_.Messages();
  }
  // Rows [first, first + count) bound (ids as given, or first + index).
  std::vector<fh::BoundValue> BoundRows(int first, int count, std::vector<Cell>& cells,
                                        const std::vector<int>& ids = {}) {
    const std::size_t width = Columns().size() + 1;
    cells.clear();
    cells.reserve(static_cast<std::size_t>(count) * width);
    std::vector<fh::BoundValue> values;
    for (int index = 0; index < count; ++index) {
      const int row = first + index;
      const int id = ids.empty() ? row : ids[static_cast<std::size_t>(index)];
      cells.push_back({false, std::to_string(id), fh::BoundKind::kInteger});
      for (std::size_t c = 0; c < Columns().size(); ++c) cells.push_back(CellAt(row, c));
    }
    for (const Cell& cell : cells) values.push_back(cell.null ? fh::BoundValue{} : Bind(cell));
    return values;
  }
  fh::DBRows Rows(const std::string& table) {
    auto result = ExecuteQuery(handle_.get(), ("select * from " + table + " order by id").c_str());
    return result ? result->rows : fh::DBRows{};
  }

  std::string literal_ = UniqueTableName("fh_prep_lit");
  std::string bound_ = UniqueTableName("fh_prep_bound");
};

TEST_P(PreparedStatementTest, BoundValuesArriveAsTheirLiteralTexts) {
  fh::PreparedStatement* insert = fh::PrepareStatement(handle_.get(), InsertText(bound_).c_str(),
                                                       static_cast<int>(Columns().size() + 1));
  ASSERT_NE(insert, nullptr) << log_.Messages();
  int first = 0;
  for (int count : {1, fh::odbc::kOdbcMaxArrayRows, fh::odbc::kOdbcMaxArrayRows + 1}) {
    SCOPED_TRACE("rows " + std::to_string(count));
    InsertLiterals(first, count);
    std::vector<Cell> cells;
    const std::vector<fh::BoundValue> values = BoundRows(first, count, cells);
    std::vector<uint8_t> status(static_cast<std::size_t>(count), 0);
    ASSERT_EQ(BeginTransaction(handle_.get()), 1);
    ASSERT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), count, status.data()), 1)
        << log_.Messages();
    ASSERT_EQ(CommitTransaction(handle_.get()), 1);
    EXPECT_EQ(fh::PreparedRowCount(handle_.get(), insert), count);
    EXPECT_EQ(std::vector<uint8_t>(status.size(), 1), status);
    first += count;
    const fh::DBRows literal = Rows(literal_);
    const fh::DBRows bound = Rows(bound_);
    ASSERT_EQ(literal.size(), static_cast<std::size_t>(first));
    ASSERT_EQ(bound.size(), literal.size());
    for (std::size_t row = 0; row < literal.size(); ++row) {
      for (std::size_t c = 0; c < literal[row].size(); ++c) {
        ASSERT_EQ(bound[row][c], literal[row][c])
            << "row " << row << " column " << c << " "
            << (literal[row][c] ? ConvertValueToString(&*literal[row][c], KES_SQL_CHAR).value_or("")
                                : "NULL");
      }
    }
  }
  fh::FinalizeStatement(handle_.get(), insert);
}

TEST_P(PreparedStatementTest, CountsTheRowsUpdatesAndDeletesChange) {
  fh::PreparedStatement* insert = fh::PrepareStatement(handle_.get(), InsertText(bound_).c_str(),
                                                       static_cast<int>(Columns().size() + 1));
  std::vector<Cell> cells;
  const std::vector<fh::BoundValue> rows = BoundRows(0, 12, cells);
  ASSERT_EQ(fh::ExecutePrepared(handle_.get(), insert, rows.data(), 12), 1) << log_.Messages();
  fh::PreparedStatement* update = fh::PrepareStatement(
      handle_.get(), ("update " + bound_ + " set tx = ? where id >= ? and id < ?").c_str(), 3);
  fh::PreparedStatement* remove =
      fh::PrepareStatement(handle_.get(), ("delete from " + bound_ + " where id < ?").c_str(), 1);
  ASSERT_NE(update, nullptr) << log_.Messages();
  ASSERT_NE(remove, nullptr) << log_.Messages();
  auto number = [](int64_t n) {
    fh::BoundValue value;
    value.kind = fh::BoundKind::kInteger;
    value.integer = n;
    return value;
  };
  fh::BoundValue text;
  text.kind = fh::BoundKind::kText;
  text.bytes = "changed";
  text.length = 7;
  fh::BoundValue again = text;
  again.bytes = "again";
  again.length = 5;
  // Each case: the statement, its rows of values, and the rows it changes.
  const struct {
    fh::PreparedStatement* statement;
    std::vector<fh::BoundValue> values;
    int rowCount;
    int64_t changed;
  } cases[] = {
      {update, {text, number(100), number(200)}, 1, 0},
      {update, {text, number(0), number(5), text, number(5), number(12)}, 2, 12},
      {update, {again, number(3), number(4), again, number(50), number(60)}, 2, 1},
      {remove, {number(5)}, 1, 5},
      {remove, {number(2)}, 1, 0},
      {remove, {number(7), number(9), number(-1)}, 3, 4},
  };
  for (const auto& test : cases) {
    ASSERT_EQ(fh::ExecutePrepared(handle_.get(), test.statement, test.values.data(), test.rowCount),
              1)
        << log_.Messages();
    EXPECT_EQ(fh::PreparedRowCount(handle_.get(), test.statement), test.changed);
  }
  EXPECT_EQ(Rows(bound_).size(), 3u);
  fh::FinalizeStatement(handle_.get(), update);
  fh::FinalizeStatement(handle_.get(), remove);
  fh::FinalizeStatement(handle_.get(), insert);
}

TEST_P(PreparedStatementTest, AFailingRowStopsTheArrayAndIsReported) {
  fh::PreparedStatement* insert = fh::PrepareStatement(handle_.get(), InsertText(bound_).c_str(),
                                                       static_cast<int>(Columns().size() + 1));
  std::vector<Cell> cells;
  std::vector<fh::BoundValue> values = BoundRows(0, 3, cells);
  ASSERT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), 3), 1) << log_.Messages();
  // Outside a transaction: the rows before the failing one ran, the rest
  // did not, and the failing row is named.
  values = BoundRows(11, 5, cells, {10, 11, 2, 13, 14});  // id 2 is taken
  std::vector<uint8_t> status(5, 9);
  EXPECT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), 5, status.data()), 0);
  EXPECT_EQ(fh::PreparedRowCount(handle_.get(), insert), -1);
  EXPECT_EQ(status, std::vector<uint8_t>({1, 1, 0, 0, 0}));
  EXPECT_TRUE(
      log_.Contains(GetParam().viaOdbc ? "SQLExecute failed" : "Executing statement failed"))
      << log_.Messages();
  EXPECT_TRUE(log_.Contains("Failing row 2: (2, ")) << log_.Messages();
  EXPECT_EQ(Rows(bound_).size(), 5u);
  // Inside a transaction the failing row's array may take its other rows
  // with it; what the status says ran is what a rollback undoes.
  ASSERT_EQ(BeginTransaction(handle_.get()), 1);
  values = BoundRows(21, 5, cells, {20, 21, 22, 1, 24});
  EXPECT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), 5, status.data()), 0);
  EXPECT_EQ(std::vector<uint8_t>(status.begin() + 3, status.end()), std::vector<uint8_t>(2, 0));
  RollbackTransaction(handle_.get());
  EXPECT_EQ(Rows(bound_).size(), 5u);
  values = BoundRows(30, 1, cells);
  EXPECT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), 1), 1) << log_.Messages();
  EXPECT_EQ(fh::PreparedRowCount(handle_.get(), insert), 1);
}

TEST_P(PreparedStatementTest, TwoTablesSideBySideAndAHandleClosedWithOpenStatements) {
  const int width = static_cast<int>(Columns().size() + 1);
  fh::PreparedStatement* first =
      fh::PrepareStatement(handle_.get(), InsertText(literal_).c_str(), width);
  fh::PreparedStatement* second =
      fh::PrepareStatement(handle_.get(), InsertText(bound_).c_str(), width);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  ASSERT_NE(first, second);
  std::vector<Cell> cells;
  for (int row = 0; row < 4; ++row) {
    const std::vector<fh::BoundValue> values = BoundRows(row, 1, cells);
    ASSERT_EQ(fh::ExecutePrepared(handle_.get(), row % 2 == 0 ? first : second, values.data(), 1),
              1)
        << log_.Messages();
  }
  fh::FinalizeStatement(handle_.get(), first);
  fh::FinalizeStatement(handle_.get(), nullptr);
  const std::vector<fh::BoundValue> values = BoundRows(4, 2, cells);
  ASSERT_EQ(fh::ExecutePrepared(handle_.get(), second, values.data(), 2), 1) << log_.Messages();
  const fh::DBRows odd = Rows(bound_);
  EXPECT_EQ(Rows(literal_).size(), 2u);
  ASSERT_EQ(odd.size(), 4u);
  fh::PrepareStatement(handle_.get(), ("delete from " + bound_ + " where id = ?").c_str(), 1);
  CloseDBConnection(std::move(handle_));  // two statements still open
  handle_ = OpenDBConnection(entry_.get());
  ASSERT_NE(handle_, nullptr);
  EXPECT_EQ(Rows(bound_), odd);
}

INSTANTIATE_TEST_SUITE_P(Engines, PreparedStatementTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

// Only on the database servers: a session ended by the server.
class PreparedServerTest : public PreparedStatementTest {};

TEST_P(PreparedServerTest, ALostLinkMarksTheHandleBroken) {
  fh::PreparedStatement* insert = fh::PrepareStatement(handle_.get(), InsertText(bound_).c_str(),
                                                       static_cast<int>(Columns().size() + 1));
  ASSERT_NE(insert, nullptr) << log_.Messages();
  auto killer = OpenDBConnection(entry_.get());
  ASSERT_NE(killer, nullptr);
  const std::optional<int64_t> session = SessionId(GetParam(), handle_.get());
  ASSERT_TRUE(session.has_value());
  ASSERT_TRUE(EndSession(GetParam(), killer.get(), *session));
  std::vector<Cell> cells;
  const std::vector<fh::BoundValue> values = BoundRows(0, 3, cells);
  EXPECT_FALSE(fh::IsConnectionBroken(*handle_));
  EXPECT_EQ(fh::ExecutePrepared(handle_.get(), insert, values.data(), 3), 0);
  EXPECT_TRUE(fh::IsConnectionBroken(*handle_)) << log_.Messages();
  CloseDBConnection(std::move(handle_));  // the statement is freed with it
  handle_ = std::move(killer);
}

GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(PreparedServerTest);
INSTANTIATE_TEST_SUITE_P(Engines, PreparedServerTest, testing::ValuesIn(ServerEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
