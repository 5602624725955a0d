// A fetched floating-point value read into an integer column: converted
// when the column's range holds it, refused (no value) otherwise.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "dictionary/column_types.h"
#include "sql/sql_generator.h"
#include "sql/sqlite_dialect.h"
#include "support/table_definitions.h"
#include "support/test_log.h"

namespace fhtest {
namespace {

TEST(ResultConversionTest, FetchedDoublesOutsideAnIntegerColumnsRangeGiveNoValue) {
  FreeAllTableDefns();
  TestLog log;
  struct Case {
    uint8_t type;
    double fetched;
    std::optional<int64_t> value;  // none: refused
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<Case> cases = {
      {KES_SQL_TINYINT, -128, -128},
      {KES_SQL_TINYINT, 127.9, 127},
      {KES_SQL_TINYINT, 128, std::nullopt},
      {KES_SQL_UNSIGNED_TINYINT, -1, std::nullopt},
      {KES_SQL_UNSIGNED_SMALLINT, 65535, 65535},
      {KES_SQL_INT, 2147483648.0, std::nullopt},
      {KES_SQL_INT, -2147483648.0, INT32_MIN},
      {KES_SQL_UNSIGNED_INT, 4294967295.0, UINT32_MAX},
      {KES_SQL_BIGINT, 9223372036854775808.0, std::nullopt},
      {KES_SQL_BIGINT, -9223372036854775808.0, INT64_MIN},
      {KES_SQL_UNSIGNED_LONG_INT, 18446744073709549568.0, -2048},  // 2^64 - 2048
      {KES_SQL_UNSIGNED_LONG_INT, 18446744073709551616.0, std::nullopt},
      {KES_SQL_BIGINT, nan, std::nullopt},
      {KES_SQL_INT, HUGE_VAL, std::nullopt},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    const Case& c = cases[i];
    const std::string table = "conv" + std::to_string(i);
    ASSERT_TRUE(DefineTable(table, {Column("n", c.type)}, {}));
    auto result =
        CreateDBResultSet({{fh::ColumnValue::FromDouble(c.fetched)}}, {{"n", KES_SQL_DOUBLE}}, 1);
    ASSERT_NE(NextDBResultSetRow(result.get()), nullptr);
    auto row = fh::ConvertResultRow(kSqliteWords, result.get(), table.c_str());
    ASSERT_NE(row, nullptr);
    const std::optional<fh::ColumnValue>& value = row->values[0];
    if (c.value) {
      ASSERT_TRUE(value.has_value()) << "case " << i;
      EXPECT_EQ(*value, fh::ColumnValue::FromInteger(c.type, *c.value)) << "case " << i;
    } else {
      EXPECT_FALSE(value.has_value()) << "case " << i;
    }
  }
  FreeAllTableDefns();
}

}  // namespace
}  // namespace fhtest
