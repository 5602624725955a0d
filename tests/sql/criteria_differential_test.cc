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

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/column_types.h"
#include "query/criteria_literal.h"
#include "query/criteria_parser.h"
#include "query/criteria_select.h"
#include "sql/sql_dialects.h"
#include "sql/sql_test_helpers.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"
#include "support/db_engines.h"
#include "support/sql_engine_fixture.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

constexpr int kRows = 150;

struct ColumnKind {
  const char* name;
  uint8_t type;
};

constexpr ColumnKind kColumns[] = {
    {"ti", KES_SQL_TINYINT},   {"us", KES_SQL_UNSIGNED_SMALLINT},
    {"i", KES_SQL_INT},        {"u4", KES_SQL_UNSIGNED_INT},
    {"bi", KES_SQL_BIGINT},    {"u8", KES_SQL_UNSIGNED_LONG_INT},
    {"f", KES_SQL_FLOAT},      {"d", KES_SQL_DOUBLE},
    {"num", KES_SQL_DECIMAL},  {"c", KES_SQL_CHAR},
    {"t", KES_SQL_TEXT},       {"cl", KES_SQL_CLOB},
    {"bin", KES_SQL_BLOB},     {"day", KES_SQL_DATE},
    {"tm", KES_SQL_TIME},      {"ts", KES_SQL_DATETIME},
    {"flag", KES_SQL_BOOLEAN},
};

__extension__ typedef __int128 Wide;

std::string WideText(Wide value) {
  std::string digits;
  for (Wide rest = value < 0 ? -value : value; digits.empty() || rest != 0; rest /= 10) {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(rest % 10)));
  }
  return value < 0 ? "-" + digits : digits;
}

bool IsNumeric(uint8_t type) {
  return fh::IsIntegerColumnType(type) || fh::IsFloatingColumnType(type) || type == KES_SQL_DECIMAL;
}

// Random value texts and literals for one engine, as the criteria language
// writes them.
class Generator {
 public:
  Generator(uint64_t seed, const Engine& engine)
      : random_(seed), mariadb_(engine.name == "mariadb"), sqlite_(IsSqlite(engine)) {}

  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(random_) < p; }
  int Pick(int low, int high) { return std::uniform_int_distribution<int>(low, high)(random_); }
  std::string Format(const char* format, int a, int b, int c) {
    char text[32];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
  }

  // A value of a column of type: boundaries and small numbers, quarters and
  // eighths, decimals, dates and times, texts with quotes.
  std::string Value(uint8_t type) {
    if (fh::IsIntegerColumnType(type)) {
      const int bits = 8 * fh::GetColumnTypeSize(type);
      const bool isSigned = fh::IsSignedIntegerColumnType(type);
      const Wide low = isSigned ? -(Wide{1} << (bits - 1)) : 0;
      Wide high = isSigned ? -low - 1 : (Wide{1} << bits) - 1;
      if (type == KES_SQL_UNSIGNED_LONG_INT && sqlite_) high = Wide{1} << 53;
      const Wide candidates[] = {low, low + 1, high - 1, high, 0, 1, 2, 7};
      return WideText(
          std::clamp(Chance(0.4) ? candidates[Pick(0, 7)] : Wide{Pick(-10, 10)}, low, high));
    }
    if (fh::IsFloatingColumnType(type)) {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g",
                    type == KES_SQL_FLOAT ? Pick(-40, 40) / 4.0 : Pick(-80, 80) / 8.0);
      return text;
    }
    if (type == KES_SQL_DECIMAL) {
      std::string text = Chance(0.3) ? "-" : "";
      text += std::to_string(Pick(0, 9));
      for (int n = Pick(0, mariadb_ || sqlite_ ? 7 : 20); n > 0; --n)
        text += char('0' + Pick(0, 9));
      if (Chance(0.6)) text += Format(".%d%d", Pick(0, 9), Pick(0, 9), 0);
      return text;
    }
    if (type == KES_SQL_DATE || type == KES_SQL_DATETIME) {
      const int month = Pick(1, 12);
      std::string text = Format("%04d-%02d-%02d", std::vector<int>{1999, 2000, 2024}[Pick(0, 2)],
                                month, Pick(1, month == 2 ? 28 : 30));
      return type == KES_SQL_DATE ? text : text + " " + Value(KES_SQL_TIME);
    }
    if (type == KES_SQL_TIME) {
      return Format("%02d:%02d:%02d", Pick(0, 23), std::vector<int>{0, 30, 59}[Pick(0, 2)],
                    Pick(0, 1) * 59);
    }
    if (type == KES_SQL_BOOLEAN) return Chance(0.5) ? "1" : "0";
    static const char* const pool[] = {"", "a", "ab", "o'b", "b", "a b", "12", "'"};
    if (Chance(0.4)) return pool[Pick(0, 7)];
    const std::string alphabet = mariadb_ && type != KES_SQL_BLOB ? "ab z19' " : "abzAZ19' \\";
    std::string text;
    for (int n = Pick(0, 5); n > 0; --n) text += alphabet[Pick(0, int(alphabet.size()) - 1)];
    while (mariadb_ && type != KES_SQL_BLOB && !text.empty() && text.back() == ' ') text.pop_back();
    return text;
  }

  // A literal near value: the value itself or, for a number, one with a
  // fraction or a trailing zero, of the other sign, ten times it or far out
  // of every range, quoted at times; texts quoted with quotes doubled (or
  // bare when they are a number), dates at times without leading zeros,
  // date-times at times as a date alone.
  std::string Literal(uint8_t type, std::string value) {
    if (type == KES_SQL_BOOLEAN) {
      static const char* const forms[] = {"1", "0", "'true'", "'FALSE'", "'True'", "'0'"};
      return forms[Pick(0, 5)];
    }
    if (IsNumeric(type)) {
      const bool fraction = value.find('.') != std::string::npos;
      switch (Pick(0, 6)) {
        case 2:
          value += fraction ? "0" : ".5";
          break;
        case 3:
          value = value[0] == '-' ? value.substr(1) : "-" + value;
          break;
        case 4:
          if (!fraction) value += "0";
          break;
        case 5:
          value = Chance(0.5) ? "100000000000000000000000000" : "-100000000000000000000000000";
          break;
        default:
          break;
      }
      return Chance(0.2) ? "'" + value + "'" : value;
    }
    if (fh::IsDateTimeColumnType(type)) {
      if (type == KES_SQL_DATETIME && Chance(0.2)) value.resize(10);
      if (type != KES_SQL_TIME && Chance(0.2)) {
        for (std::size_t at; (at = value.find("-0")) != std::string::npos;) value.erase(at + 1, 1);
      }
      return "'" + value + "'";
    }
    if (!value.empty() && value.size() < 4 &&
        value.find_first_not_of("0123456789") == std::string::npos) {
      return value;
    }
    std::string quoted = "'";
    for (char c : value) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return quoted + "'";
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

class CriteriaDifferentialTest : public SqlEngineFixture {
 protected:
  void SetUp() override {
    SqlEngineFixture::SetUp();
    if (HasFatalFailure()) return;
    std::vector<ColumnDefnEntry> columns = {Column("id", KES_SQL_INT, 0, false)};
    for (const ColumnKind& column : kColumns) {
      columns.push_back(Column(column.name, column.type, column.type == KES_SQL_TEXT ? 300 : 20));
    }
    ASSERT_TRUE(DefineTable(table_, std::move(columns), {"id"}));
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table_.c_str(), "conn")));
    DropAtEnd(table_);
  }

  // Loads the same random rows into the engine's table and into memory;
  // values_ keeps each column's value texts for the literals.
  void LoadRows(Generator& generate) {
    ASSERT_TRUE(Run(*GenerateCreateTableQuery(table_.c_str())));
    ASSERT_TRUE(CreateTable(table_.c_str()));
    for (int id = 0; id < kRows; ++id) {
      std::vector<std::optional<fh::ColumnValue>> values = {Int(KES_SQL_INT, id)};
      for (std::size_t k = 0; k < std::size(kColumns); ++k) {
        values.emplace_back();
        if (generate.Chance(0.15)) continue;
        values_[k].push_back(generate.Value(kColumns[k].type));
        auto read = fh::ReadCriteriaComparison("'" + values_[k].back() + "'", fh::kCriteriaEqual,
                                               kColumns[k].type, nullptr);
        ASSERT_TRUE(read.has_value()) << values_[k].back();
        values.back() = kColumns[k].type == KES_SQL_FLOAT
                            ? fh::ColumnValue::FromFloat(
                                  float(*fh::GetFloatingValue(read->value, KES_SQL_DOUBLE)))
                            : read->value;
      }
      std::unique_ptr<RowObject> row = MakeRow(std::move(values));
      const auto insert = GenerateInsertQuery(table_.c_str(), row.get());
      ASSERT_TRUE(insert.has_value());
      ASSERT_TRUE(Run(*insert)) << *insert;
      ASSERT_TRUE(AddNewRow(table_.c_str(), row));
    }
  }

  // A random criteria text of at most depth levels of connectives, with
  // random white space and sometimes without the parentheses that the right
  // grouping makes needless.
  std::string Criteria(Generator& generate, int depth) {
    static const char* const spaces[] = {" ", "\n", "\t", "  "};
    auto space = [&] { return std::string(spaces[generate.Pick(0, 3)]); };
    if (depth == 0 || generate.Chance(0.3)) {
      static const char* const operators[] = {"<", ">", "<=", ">=", "=", "!="};
      const auto k = static_cast<std::size_t>(generate.Pick(0, int(std::size(kColumns)) - 1));
      const bool id = generate.Chance(0.1);  // the key, named in another letter case
      const std::string name = id ? "ID" : kColumns[k].name;
      const std::string op = operators[generate.Pick(0, 5)];
      const uint8_t type = id ? KES_SQL_INT : kColumns[k].type;
      const std::string value = id || values_[k].empty() || generate.Chance(0.3)
                                    ? generate.Value(type)
                                    : values_[k][generate.Pick(0, int(values_[k].size()) - 1)];
      const std::string literal = generate.Literal(type, value);
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
    for (fh::ResultNode* node = result->first.get(); node != nullptr; node = node->next.get()) {
      ids.push_back(*fh::GetIntegerValue(*node->row->values[0], KES_SQL_INT));
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  std::vector<int64_t> OnEngine(const std::string& criteria, std::string* text) {
    SelectQuery* query = CreateSelectQuery();
    AddColumnToSelectQuery(query, CreateColumnRef(nullptr, nullptr, "id", nullptr, 0, KES_SQL_INT,
                                                  fh::kAggregateNone, query->pool));
    AddTable(query, CreateTableRef(table_.c_str(), nullptr, query->pool));
    std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(criteria.c_str());
    const TableDefn* definition = GetTableDefn(table_.c_str());
    const fh::CriteriaColumnFinder find = [&](const std::string& name) {
      std::optional<fh::CriteriaColumn> found;
      for (const ColumnDefnEntry& column : definition->columns) {
        if (strcasecmp(column.columnName.c_str(), name.c_str()) == 0) {
          found = fh::CriteriaColumn{nullptr, column.columnName.c_str(), column.dataType};
        }
      }
      return found;
    };
    fh::SelectCriteria* where =
        tree ? fh::SelectCriteriaFromTree(tree.get(), find, query->pool) : nullptr;
    std::vector<int64_t> ids;
    const auto generated =
        where != nullptr ? (SetCriteria(query, where), GenerateSelectQuery(query)) : std::nullopt;
    FreeSelectQuery(query);
    if (!generated) return {-1};
    *text = *generated;
    for (const auto& row : Query(*generated, table_)) {
      ids.push_back(row && row->values[0] ? *fh::GetIntegerValue(*row->values[0], KES_SQL_INT)
                                          : -3);
    }
    std::sort(ids.begin(), ids.end());
    return ids;
  }

  std::string table_ = UniqueTableName("critdiff");
  std::vector<std::string> values_[std::size(kColumns)];
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
  Generator generate(seed, GetParam());
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
