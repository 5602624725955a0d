// A criteria means the same in memory and on every engine: random criteria
// trees (every comparison, every type a criteria compares, nested and/or, NULLs,
// boundary and out-of-range literals, quoted numbers, texts with quotes,
// line feeds and tabs as white space) over random rows select the same rows
// with SelectRows and with the generated SQL select, on SQLite (ODBC),
// PostgreSQL and MariaDB. One table load per engine, many queries.
//
// The seed is printed; FH_CRITERIA_SEED=<n> repeats a run and
// FH_CRITERIA_TREES=<n> changes the number of trees (default 3000).
//
// Where an engine's own semantics differ, the generated data keeps to what
// every engine agrees on; this is the one place that says so (the README's
// criteria section repeats it):
// - MariaDB's default collation ignores letter case and trailing blanks
//   and orders letters case-insensitively. Texts there are made of
//   lower-case letters, digits, quotes and inner blanks only, whose order
//   under that collation is the byte order; elsewhere texts also hold
//   upper-case letters, backslashes and trailing blanks.
// - MariaDB compares a DECIMAL column with a quoted literal as doubles, and
//   SQLite keeps DECIMAL values as doubles: there decimals keep to 12
//   significant digits (PostgreSQL: up to 30).
// - FLOAT columns are single precision on PostgreSQL and MariaDB and double
//   on SQLite: the values are multiples of 1/4, exact in both.
// - SQLite keeps integers above 2^63 - 1 of an unsigned 64-bit column as
//   approximate numbers: there those values stay below 2^53.
// - NULL never matches a comparison, "!=" included, in memory as in SQL; as
//   the language has no negation, that is the engines' where clause exactly.
#include <gtest/gtest.h>
#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/column_types.h"
#include "framework/data_source_map.h"
#include "query/criteria_parser.h"
#include "query/criteria_select.h"
#include "sql/sql_dialects.h"
#include "sql/sql_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"
#include "support/db_engines.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

constexpr int kRows = 150;

struct ColumnKind {
  const char* name;
  uint8_t type;
};

const std::vector<ColumnKind>& Columns() {
  static const std::vector<ColumnKind> columns = {
      {"ti", KES_SQL_TINYINT},   {"us", KES_SQL_UNSIGNED_SMALLINT},
      {"i", KES_SQL_INT},        {"u4", KES_SQL_UNSIGNED_INT},
      {"bi", KES_SQL_BIGINT},    {"u8", KES_SQL_UNSIGNED_LONG_INT},
      {"f", KES_SQL_FLOAT},      {"d", KES_SQL_DOUBLE},
      {"num", KES_SQL_DECIMAL},  {"c", KES_SQL_CHAR},
      {"t", KES_SQL_TEXT},       {"day", KES_SQL_DATE},
      {"tm", KES_SQL_TIME},      {"ts", KES_SQL_DATETIME},
      {"flag", KES_SQL_BOOLEAN}, {"cl", KES_SQL_CLOB},
      {"bin", KES_SQL_BLOB},
  };
  return columns;
}

__extension__ typedef __int128 Wide;

std::string WideText(Wide value) {
  if (value == 0) return "0";
  const bool negative = value < 0;
  std::string digits;
  for (; value != 0; value /= 10) {
    const int digit = static_cast<int>(value % 10);
    digits.insert(digits.begin(), static_cast<char>('0' + (digit < 0 ? -digit : digit)));
  }
  return negative ? "-" + digits : digits;
}

std::pair<Wide, Wide> Range(uint8_t type) {
  switch (type) {
    case KES_SQL_TINYINT:
      return {INT8_MIN, INT8_MAX};
    case KES_SQL_UNSIGNED_SMALLINT:
      return {0, UINT16_MAX};
    case KES_SQL_INT:
      return {INT32_MIN, INT32_MAX};
    case KES_SQL_UNSIGNED_INT:
      return {0, UINT32_MAX};
    case KES_SQL_BIGINT:
      return {INT64_MIN, INT64_MAX};
    default:
      return {0, static_cast<Wide>(UINT64_MAX)};
  }
}

// Random values and literals for one engine.
class Generator {
 public:
  Generator(uint64_t seed, const std::string& engine)
      : random_(seed), mariadb_(engine == "mariadb"), sqlite_(engine == "sqlite") {}

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }

  // The integers a column of type holds in these rows: its boundaries, small
  // numbers around zero.
  Wide IntegerValue(uint8_t type) {
    auto [low, high] = Range(type);
    if (type == KES_SQL_UNSIGNED_LONG_INT && sqlite_) high = (Wide{1} << 53);
    const Wide candidates[] = {low, low + 1, high - 1, high, 0, 1, 2, 7};
    Wide value = Chance(0.4) ? candidates[Pick(0, 7)] : Wide{Pick(-10, 10)};
    return std::clamp(value, low, high);
  }

  // The literal compared with an integer column: a value of the rows, one
  // beside it, with a fraction or outside the column's range; sometimes
  // quoted.
  std::string IntegerLiteral(uint8_t type) {
    const auto [low, high] = Range(type);
    Wide value = IntegerValue(type);
    std::string text;
    switch (Pick(0, 5)) {
      case 0:
        value += Pick(-1, 1);
        break;
      case 1:
        value = Chance(0.5) ? high + 1 : low - 1;
        break;
      case 2: {
        text = WideText(value) + ".5";
        if (value == 0 && Chance(0.5)) text = "-0.5";
        break;
      }
      case 3:
        text = Chance(0.5) ? "100000000000000000000000000" : "-100000000000000000000000000";
        break;
      default:
        break;
    }
    if (text.empty()) text = WideText(value);
    return Chance(0.2) ? "'" + text + "'" : text;
  }

  std::string FloatText(double value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
  }
  double FloatingValue(uint8_t type) {
    return type == KES_SQL_FLOAT ? Pick(-40, 40) / 4.0 : Pick(-80, 80) / 8.0;
  }
  std::string FloatingLiteral(uint8_t type) {
    double value = FloatingValue(type);
    if (Chance(0.3)) value += 0.1;
    std::string text = FloatText(value);
    if (text.find('e') != std::string::npos) text = "0";
    return Chance(0.2) ? "'" + text + "'" : text;
  }

  std::string DecimalValue() {
    const int integerDigits = Pick(0, mariadb_ || sqlite_ ? 8 : 20);
    const int fractionDigits = Pick(0, 4);
    std::string text = Chance(0.3) ? "-" : "";
    if (integerDigits == 0) text += "0";
    for (int i = 0; i < integerDigits; ++i) text += static_cast<char>('0' + Pick(i == 0, 9));
    if (fractionDigits > 0) text += ".";
    for (int i = 0; i < fractionDigits; ++i) text += static_cast<char>('0' + Pick(0, 9));
    if (Chance(0.3))
      text = std::vector<std::string>{"0", "2.5", "-2.5", "10", "0.0001"}[Pick(0, 4)];
    return text;
  }
  std::string DecimalLiteral(const std::string& seen) {
    std::string text = Chance(0.5) && !seen.empty() ? seen : DecimalValue();
    if (Chance(0.3)) text += text.find('.') == std::string::npos ? ".0" : "00";
    return Chance(0.3) ? "'" + text + "'" : text;
  }

  std::string TextValue() {
    static const std::vector<std::string> pool = {"", "a", "ab", "o'b", "b", "a b", "12", "'"};
    if (Chance(0.4)) return pool[static_cast<std::size_t>(Pick(0, 7))];
    const std::string alphabet = mariadb_ ? "ab z19' " : "abzAZ19' \\";
    std::string text;
    for (int n = Pick(0, 5); n > 0; --n) {
      text += alphabet[static_cast<std::size_t>(Pick(0, static_cast<int>(alphabet.size()) - 1))];
    }
    if (mariadb_) {
      while (!text.empty() && text.back() == ' ') text.pop_back();
    }
    return text;
  }
  // A text written as a criteria literal: quoted with quotes doubled, or
  // bare when it is a number.
  static std::string Quoted(const std::string& text) {
    const bool digits =
        !text.empty() && text.size() < 4 &&
        std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits) return text;
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
  }

  KesDateTime DateTimeValue(uint8_t type) {
    KesDateTime value;
    if (type != KES_SQL_TIME) {
      const int years[] = {1999, 2000, 2024};
      const int month = Pick(1, 12);
      value.date = KesDate{static_cast<uint16_t>(years[Pick(0, 2)]), static_cast<uint8_t>(month),
                           static_cast<uint8_t>(Pick(1, month == 2 ? 28 : 30))};
    }
    if (type != KES_SQL_DATE) {
      const int seconds[] = {0, 30, 59};
      value.time =
          KesTime{static_cast<uint8_t>(Pick(0, 23)), static_cast<uint8_t>(seconds[Pick(0, 2)]),
                  static_cast<uint8_t>(seconds[Pick(0, 2)])};
    }
    return value;
  }
  // Dates without leading zeros sometimes; a date-time literal sometimes a
  // date alone.
  std::string DateTimeLiteral(uint8_t type, const KesDateTime& near) {
    KesDateTime value = Chance(0.5) ? near : DateTimeValue(type);
    char date[32] = "";
    char time[32] = "";
    if (value.date) {
      std::snprintf(date, sizeof date, Chance(0.2) ? "%d-%d-%d" : "%04d-%02d-%02d",
                    value.date->year, value.date->month, value.date->day);
    }
    if (value.time) {
      std::snprintf(time, sizeof time, "%02d:%02d:%02d", value.time->hour, value.time->minute,
                    value.time->second);
    }
    std::string text = type == KES_SQL_TIME ? time : date;
    if (type == KES_SQL_DATETIME && Chance(0.8)) text += std::string(" ") + time;
    return "'" + text + "'";
  }

  std::string BooleanLiteral() {
    static const char* const forms[] = {"1", "0", "'true'", "'FALSE'", "'True'", "'0'"};
    return forms[Pick(0, 5)];
  }

 private:
  std::mt19937_64 random_;
  bool mariadb_;
  bool sqlite_;
};

uint64_t RunSeed() {
  static const uint64_t seed = []() -> uint64_t {
    const char* given = std::getenv("FH_CRITERIA_SEED");
    if (given != nullptr && *given != '\0') return std::strtoull(given, nullptr, 10);
    return (static_cast<uint64_t>(std::random_device{}()) << 32) ^ std::random_device{}();
  }();
  return seed;
}

int TreeCount() {
  const char* given = std::getenv("FH_CRITERIA_TREES");
  return given != nullptr && *given != '\0' ? std::atoi(given) : 3000;
}

class CriteriaDifferentialTest : public DbTest, public testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    FreeAllTableDefns();
    FreeAllDataSourceMapEntries();
    ResetSQLDialectsForTesting();
    InitSQLDialects();
    InitTableList();
    ASSERT_TRUE(InitializeMemPool());
    auto entry = MakeEngineEntry(GetParam(), dir_.path(), "conn");
    ASSERT_NE(entry, nullptr);
    ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
    ASSERT_TRUE(EstablishDBConnections());
    ASSERT_TRUE(SetDialectModeFromConnParams());
    dialect_ = GetDialectNameForConnection("conn");
    std::vector<ColumnDefnEntry> columns = {Column("id", KES_SQL_INT, 0, false)};
    for (const ColumnKind& column : Columns()) {
      columns.push_back(Column(column.name, column.type, column.type == KES_SQL_TEXT ? 300 : 20));
    }
    ASSERT_TRUE(DefineTable(table_, std::move(columns), {"id"}));
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table_.c_str(), "conn")));
    Run("drop table " + table_);
  }
  void TearDown() override {
    Run("drop table " + table_);
    UnLoadAllTable();
    ResetMemPoolForTest();
    FreeAllTableDefns();
    FreeAllDataSourceMapEntries();
    ResetSQLDialectsForTesting();
  }

  bool Run(const std::string& text) {
    ConnectionHandle* handle = GetConnectionHandle("conn");
    const int result = ExecuteUpdate(handle, text.c_str());
    ReleaseConnectionHandle("conn");
    return result == 1;
  }

  // One random row; its values are also kept for the literals.
  std::vector<std::optional<ColumnValue>> RandomRow(Generator& generate, int id) {
    std::vector<std::optional<ColumnValue>> values = {Int(KES_SQL_INT, id)};
    for (const ColumnKind& column : Columns()) {
      std::optional<ColumnValue> value;
      if (!generate.Chance(0.15)) {
        const uint8_t type = column.type;
        if (IsIntegerColumnType(type)) {
          value = ColumnValue::FromInteger(
              type, static_cast<int64_t>(static_cast<uint64_t>(generate.IntegerValue(type))));
        } else if (type == KES_SQL_FLOAT) {
          value = ColumnValue::FromFloat(static_cast<float>(generate.FloatingValue(type)));
        } else if (type == KES_SQL_DOUBLE) {
          value = ColumnValue::FromDouble(generate.FloatingValue(type));
        } else if (type == KES_SQL_DECIMAL) {
          value = ColumnValue::FromText(generate.DecimalValue());
        } else if (IsDateTimeColumnType(type)) {
          value = ColumnValue::FromDateTime(generate.DateTimeValue(type));
        } else if (type == KES_SQL_BOOLEAN) {
          value = ColumnValue::FromInteger(type, generate.Pick(0, 1));
        } else {
          value = ColumnValue::FromText(generate.TextValue());
        }
      }
      values.push_back(std::move(value));
    }
    return values;
  }

  // Loads the same rows into the engine's table and into memory.
  void LoadRows(Generator& generate) {
    ASSERT_TRUE(Run(*GenerateCreateTableQuery(table_.c_str())));
    ASSERT_TRUE(CreateTable(table_.c_str()));
    for (int id = 0; id < kRows; ++id) {
      rows_.push_back(RandomRow(generate, id));
      std::unique_ptr<RowObject> row = MakeRow(rows_.back());
      const auto insert = GenerateInsertQuery(table_.c_str(), row.get());
      ASSERT_TRUE(insert.has_value());
      ASSERT_TRUE(Run(*insert)) << *insert;
      ASSERT_TRUE(AddNewRow(table_.c_str(), row));
    }
  }

  // A literal for column (its index among Columns()).
  std::string Literal(Generator& generate, std::size_t column) {
    const uint8_t type = Columns()[column].type;
    const std::optional<ColumnValue>& seen =
        rows_[static_cast<std::size_t>(generate.Pick(0, kRows - 1))][column + 1];
    if (IsIntegerColumnType(type)) return generate.IntegerLiteral(type);
    if (IsFloatingColumnType(type)) return generate.FloatingLiteral(type);
    if (type == KES_SQL_DECIMAL) return generate.DecimalLiteral(seen ? seen->text() : "");
    if (IsDateTimeColumnType(type)) {
      return generate.DateTimeLiteral(type,
                                      seen ? *seen->dateTime() : generate.DateTimeValue(type));
    }
    if (type == KES_SQL_BOOLEAN) return generate.BooleanLiteral();
    return Generator::Quoted(seen && generate.Chance(0.6) ? std::string(seen->text())
                                                          : generate.TextValue());
  }

  // A random criteria text of at most depth levels of connectives, with
  // random white space and sometimes without the parentheses that the right
  // grouping makes needless.
  std::string Criteria(Generator& generate, int depth) {
    static const char* const spaces[] = {" ", "\n", "\t", "  "};
    auto space = [&] { return std::string(spaces[generate.Pick(0, 3)]); };
    if (depth == 0 || generate.Chance(0.3)) {
      static const char* const operators[] = {"<", ">", "<=", ">=", "=", "!="};
      const auto column =
          static_cast<std::size_t>(generate.Pick(0, static_cast<int>(Columns().size()) - 1));
      const std::string name = generate.Chance(0.1) ? "ID" : Columns()[column].name;
      const std::string op = operators[generate.Pick(0, 5)];
      if (name == "ID") return name + space() + op + space() + generate.IntegerLiteral(KES_SQL_INT);
      const std::string literal = Literal(generate, column);
      return generate.Chance(0.2) ? literal + space() + op + space() + name
                                  : name + space() + op + space() + literal;
    }
    auto side = [&] {
      const std::string text = Criteria(generate, depth - 1);
      return generate.Chance(0.8) ? "(" + text + ")" : text;
    };
    const std::string left = side();
    return left + space() + (generate.Chance(0.5) ? "and" : "or") + space() + side();
  }

  std::vector<int64_t> InMemory(const std::string& criteria) {
    std::unique_ptr<ResultData> result = SelectRows(table_.c_str(), criteria.c_str());
    std::vector<int64_t> ids;
    if (result == nullptr) return {-1};
    for (ResultNode* node = result->first.get(); node != nullptr; node = node->next.get()) {
      ids.push_back(*GetIntegerValue(*node->row->values[0], KES_SQL_INT));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  std::vector<int64_t> OnEngine(const std::string& criteria, std::string* text) {
    SelectQuery* query = CreateSelectQuery();
    AddColumnToSelectQuery(query, CreateColumnRef(nullptr, nullptr, "id", nullptr, 0, KES_SQL_INT,
                                                  kAggregateNone, query->pool));
    AddTable(query, CreateTableRef(table_.c_str(), nullptr, query->pool));
    std::unique_ptr<CriteriaNode> tree = ParseCriteria(criteria.c_str());
    const TableDefn* definition = GetTableDefn(table_.c_str());
    const CriteriaColumnFinder find = [&](const std::string& name) {
      std::optional<CriteriaColumn> found;
      for (const ColumnDefnEntry& column : definition->columns) {
        if (strcasecmp(column.columnName.c_str(), name.c_str()) == 0) {
          found = CriteriaColumn{nullptr, column.columnName.c_str(), column.dataType};
        }
      }
      return found;
    };
    SelectCriteria* where = tree ? SelectCriteriaFromTree(tree.get(), find, query->pool) : nullptr;
    std::vector<int64_t> ids;
    const auto generated =
        where != nullptr ? (SetCriteria(query, where), GenerateSelectQuery(query)) : std::nullopt;
    FreeSelectQuery(query);
    if (!generated) return {-1};
    *text = *generated;
    ConnectionHandle* handle = GetConnectionHandle("conn");
    auto result = ExecuteQuery(handle, generated->c_str());
    ReleaseConnectionHandle("conn");
    if (result == nullptr) return {-2};
    while (NextDBResultSetRow(result.get()) != nullptr) {
      auto row = ConvertResultSet(result.get(), dialect_.c_str(), table_.c_str());
      ids.push_back(row && row->values[0] ? *GetIntegerValue(*row->values[0], KES_SQL_INT) : -3);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  std::string table_ = UniqueTableName("critdiff");
  std::string dialect_;
  std::vector<std::vector<std::optional<ColumnValue>>> rows_;
};

std::string Ids(const std::vector<int64_t>& ids) {
  std::string text;
  for (int64_t id : ids) text += (text.empty() ? "" : ",") + std::to_string(id);
  return "{" + text + "}";
}

TEST_P(CriteriaDifferentialTest, RandomCriteriaSelectTheSameRowsInMemoryAndOnTheEngine) {
  const uint64_t seed = RunSeed();
  std::printf("criteria differential on %s: seed %" PRIu64 " (FH_CRITERIA_SEED=%" PRIu64
              " repeats it), %d trees\n",
              GetParam().name.c_str(), seed, seed, TreeCount());
  Generator generate(seed, GetParam().name);
  LoadRows(generate);
  if (HasFatalFailure()) return;
  int failures = 0;
  int selecting = 0;  // trees that select some but not all rows
  int refused = 0;    // every literal generated is one its column takes
  for (int n = 0; n < TreeCount() && failures < 5; ++n) {
    const std::string criteria = Criteria(generate, generate.Pick(0, 4));
    std::string text;
    const std::vector<int64_t> memory = InMemory(criteria);
    const std::vector<int64_t> engine = OnEngine(criteria, &text);
    if (!memory.empty() && memory.size() < static_cast<std::size_t>(kRows)) ++selecting;
    if (memory == std::vector<int64_t>{-1}) ++refused;
    if (memory != engine) {
      ++failures;
      ADD_FAILURE() << "seed " << seed << ", tree " << n << "\ncriteria: " << criteria
                    << "\nSQL: " << text << "\nin memory: " << Ids(memory)
                    << "\non the engine: " << Ids(engine);
    }
  }
  // The trees must discriminate: most select some rows and not others.
  EXPECT_GT(selecting, TreeCount() / 3);
  EXPECT_EQ(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(Engines, CriteriaDifferentialTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
