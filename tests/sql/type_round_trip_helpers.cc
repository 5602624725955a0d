#include "sql/type_round_trip_helpers.h"

#include <cfloat>
#include <cstdio>
#include <cstring>
#include <limits>

#include "config/data_source_map.h"
#include "dictionary/column_types.h"
#include "sql/sql_test_helpers.h"

namespace fhtest {
namespace {

std::optional<fh::ColumnValue> Bytes(const std::string& bytes) {
  return fh::ColumnValue::FromBytes(bytes.data(), bytes.size());
}

// A decimal's text without trailing zeros of its fraction (nor a bare ".").
std::string DecimalText(const fh::ColumnValue& value) {
  std::string text(value.text(), strnlen(value.text(), static_cast<std::size_t>(value.length())));
  if (text.find('.') == std::string::npos) return text;
  while (!text.empty() && text.back() == '0') text.pop_back();
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string Repeated(const std::string& piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

}  // namespace

std::vector<TypeCase> TypeCases() {
  using L = std::numeric_limits<int64_t>;
  const std::string zeros("\0a\0\xff'\\\0", 7);
  return {
      {"TINYINT", KES_SQL_TINYINT, 0, true, {Int(1, -128), Int(1, 127), Int(1, 0)}},
      {"UNSIGNED_TINYINT", KES_SQL_UNSIGNED_TINYINT, 0, true, {Int(2, 0), Int(2, 255)}},
      {"SMALLINT", KES_SQL_SMALLINT, 0, true, {Int(3, -32768), Int(3, 32767)}},
      {"UNSIGNED_SMALLINT", KES_SQL_UNSIGNED_SMALLINT, 0, true, {Int(4, 0), Int(4, 65535)}},
      {"INT", KES_SQL_INT, 0, true, {Int(5, INT32_MIN), Int(5, INT32_MAX)}},
      {"UNSIGNED_INT", KES_SQL_UNSIGNED_INT, 0, true, {Int(6, 0), Int(6, UINT32_MAX)}},
      {"BIGINT", KES_SQL_BIGINT, 0, true, {Int(7, L::min()), Int(7, L::max()), Int(7, -1)}},
      {"UNSIGNED_LONG_INT",
       KES_SQL_UNSIGNED_LONG_INT,
       0,
       true,
       {Int(8, -1) /* 2^64 - 1 */, Int(8, L::min()) /* 2^63 */, Int(8, 0), Int(8, 10)}},
      {"FLOAT",
       KES_SQL_FLOAT,
       0,
       false,
       {fh::ColumnValue::FromFloat(FLT_MAX), fh::ColumnValue::FromFloat(-FLT_MIN),
        fh::ColumnValue::FromFloat(0.1F)}},
      {"REAL", KES_SQL_REAL, 0, false, {fh::ColumnValue::FromFloat(16777217.0F)}},
      {"DOUBLE",
       KES_SQL_DOUBLE,
       0,
       false,
       {fh::ColumnValue::FromDouble(DBL_MAX), fh::ColumnValue::FromDouble(-DBL_MIN),
        fh::ColumnValue::FromDouble(0.1), fh::ColumnValue::FromDouble(1.0 / 3)}},
      {"DECIMAL",
       KES_SQL_DECIMAL,
       0,
       true,
       {Text("12345678901234567890.1234567891"), Text("-0.0000000001"), Text("9007199254740993"),
        Text("0")}},
      {"NUMERIC", KES_SQL_NUMERIC, 0, false, {Text("-98765432109876543.21")}},
      {"CHAR",
       KES_SQL_CHAR,
       40,
       true,
       {Text(""), Text("O'Brien \\ 'quoted'"), Text("Grüße, ☃ 日本語"), Text(Repeated("x", 40))}},
      {"NCHAR", KES_SQL_NCHAR, 20, true, {Text("ñandú"), Text("plain")}},
      {"TEXT",
       KES_SQL_TEXT,
       5000,
       false,
       {Text(Repeated("long ünïcødé text, ", 200)), Text("line\nbreak\ttab")}},
      {"CLOB", KES_SQL_CLOB, 0, false, {Text(Repeated("Ω", 3000))}},
      {"DATE",
       KES_SQL_DATE,
       0,
       true,
       {DateTime(2024, 2, 29, 13, 14, 15), Date(1000, 1, 1), DateTime(9999, 12, 31, 23, 59, 59)}},
      {"TIME",
       KES_SQL_TIME,
       0,
       true,
       {DateTime(2026, 1, 2, 0, 0, 0), Time(23, 59, 59), Time(12, 0, 1)}},
      {"DATETIME",
       KES_SQL_DATETIME,
       0,
       true,
       {DateTime(1000, 1, 1, 0, 0, 0), DateTime(9999, 12, 31, 23, 59, 59), Date(2026, 12, 8)}},
      {"BOOLEAN", KES_SQL_BOOLEAN, 0, false, {Int(KES_SQL_BOOLEAN, 1), Int(KES_SQL_BOOLEAN, 0)}},
      {"BLOB", KES_SQL_BLOB, 0, false, {Bytes(zeros), Bytes(Repeated(zeros, 500))}},
  };
}

bool DefineRoundTripTable(const std::string& table, const TypeCase& c,
                          const std::string& connection) {
  std::vector<std::string> key{"id"};
  if (c.key) key.push_back("v");
  return DefineTable(table,
                     {Column("id", KES_SQL_INT, 0, false), Column("v", c.type, c.maxSize, !c.key),
                      Column("n", KES_SQL_INT)},
                     key) &&
         AddDataSourceMapEntry(CreateDataSourceMapEntry(table.c_str(), connection.c_str()));
}

std::unique_ptr<RowObject> RoundTripRow(int id, const std::optional<fh::ColumnValue>& v, int n) {
  return MakeRow({Int(KES_SQL_INT, id), v, Int(KES_SQL_INT, n)});
}

fh::ColumnValue KeptValue(const fh::ColumnValue& value, uint8_t type) {
  if (!value.isDateTime()) return value;
  KesDateTime kept = *value.dateTime();
  if (type == KES_SQL_DATE) kept.time.reset();
  if (type == KES_SQL_TIME) kept.date.reset();
  if (type == KES_SQL_DATETIME && !kept.time) kept.time = KesTime{};
  return fh::ColumnValue::FromDateTime(kept);
}

bool SameValue(const std::optional<fh::ColumnValue>& got,
               const std::optional<fh::ColumnValue>& written, uint8_t type, int doubleDigits) {
  if (!got || !written) return !got && !written;
  if (type == KES_SQL_DOUBLE && doubleDigits < 17) {
    char a[40];
    char b[40];
    std::snprintf(a, sizeof a, "%.*g", doubleDigits, *fh::GetFloatingValue(*got, type));
    std::snprintf(b, sizeof b, "%.*g", doubleDigits, *fh::GetFloatingValue(*written, type));
    return std::strcmp(a, b) == 0;
  }
  if (type == KES_SQL_DECIMAL || type == KES_SQL_NUMERIC)
    return !got->isDateTime() && DecimalText(*got) == DecimalText(*written);
  return *got == KeptValue(*written, type);
}

}  // namespace fhtest
