// Values as SQL literals of a column's type, and the parts of a literal a
// bound value carries instead (sql/sql_generator.h).
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "dictionary/column_types.h"
#include "dictionary/date_time.h"
#include "dictionary/sql_text.h"
#include "sql/sql_generator.h"
#include "sql/sql_generator_internal.h"

namespace fh {

std::string sqlgen::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) return {};
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

namespace {

using sqlgen::Format;

std::string IntegerLiteral(const ColumnValue& value, uint8_t dataType) {
  const int64_t number = GetIntegerValue(value, dataType).value_or(0);
  if (dataType == KES_SQL_UNSIGNED_LONG_INT)
    return Format("%" PRIu64, static_cast<uint64_t>(number));
  return Format("%" PRId64, number);
}

}  // namespace

std::optional<std::string> FloatingLiteralText(const ColumnValue& value, uint8_t dataType) {
  const std::optional<double> number = GetFloatingValue(value, dataType);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  // The shortest text that reads back to the same value (a long mantissa with
  // a large exponent overflows some engines' literal parsers).
  // A single-precision text must also lie inside the float range when read
  // as a double (an engine that checks the range in double precision
  // refuses 3.4028235e+38).
  const bool isDouble = dataType == KES_SQL_DOUBLE;
  for (int digits = 1; digits < 17; ++digits) {
    std::string text = Format("%.*g", digits, *number);
    const double read = std::strtod(text.c_str(), nullptr);
    if (isDouble ? read == *number
                 : static_cast<float>(read) == static_cast<float>(*number) &&
                       std::fabs(read) <= FLT_MAX) {
      return text;
    }
  }
  return Format("%.17g", *number);
}

std::size_t LiteralTextLength(const ColumnValue& value) {
  const auto* bytes = value.bytes();
  const auto length = static_cast<std::size_t>(value.length());
  const void* zero = std::memchr(bytes, 0, length);
  return zero == nullptr
             ? length
             : static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - bytes);
}

std::string HexText(const unsigned char* bytes, std::size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

namespace {

// The parts of value a column of dataType keeps: a DATE its date, a TIME its
// time, a DATETIME both (a missing time is midnight). An engine that keeps
// the text (SQLite) must see the same text the column's values read back
// as, or a key written from a record with more parts finds no row.
KesDateTime DateTimeOfType(const KesDateTime& value, uint8_t dataType) {
  KesDateTime kept = value;
  if (dataType == KES_SQL_DATE) kept.time.reset();
  if (dataType == KES_SQL_TIME) kept.date.reset();
  if (dataType == KES_SQL_DATETIME && kept.date && !kept.time) kept.time = KesTime{};
  return kept;
}

}  // namespace

std::optional<std::string> DateTimeLiteralText(const ColumnValue& value, uint8_t dataType) {
  if (!value.isDateTime()) return std::nullopt;
  return KesDateTimeToString(DateTimeOfType(*value.dateTime(), dataType));
}

std::string QuoteSqlText(const DialectWords& words, const char* text, std::size_t length) {
  return QuoteSqlText(std::string_view(text, length), words.backslashEscapes());
}

std::optional<std::string> WriteSqlLiteral(const DialectWords& words, const ColumnValue* value,
                                           uint8_t dataType) {
  if (value == nullptr) return "NULL";
  if (IsDateTimeColumnType(dataType)) {
    const auto text = DateTimeLiteralText(*value, dataType);
    if (!text) return std::nullopt;
    return QuoteSqlText(words, text->c_str(), text->size());
  }
  if (value->isDateTime()) return std::nullopt;
  if (IsIntegerColumnType(dataType)) {
    std::string text = IntegerLiteral(*value, dataType);
    if (dataType == KES_SQL_UNSIGNED_LONG_INT && words.unsignedBigintAsText) {
      return "'" + text + "'";
    }
    return text;
  }
  if (IsFloatingColumnType(dataType)) return FloatingLiteralText(*value, dataType);
  switch (dataType) {
    case KES_SQL_BOOLEAN:
      return value->length() > 0 && value->bytes()[0] != 0 ? words.trueLiteral : words.falseLiteral;
    case KES_SQL_BLOB:
      return words.binaryLiteral(value->bytes(), static_cast<std::size_t>(value->length()));
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
    case KES_SQL_CLOB:
    case KES_SQL_TEXT:
      return QuoteSqlText(words, value->text(), LiteralTextLength(*value));
    default:
      return std::nullopt;
  }
}

}  // namespace fh
