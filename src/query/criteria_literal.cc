#include "query/criteria_literal.h"

#include <strings.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <utility>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "query/criteria_node.h"

namespace fh {

namespace {

__extension__ typedef __int128 Wide;

// Literals beyond this magnitude compare like it: it lies outside every
// column's range.
constexpr int kMaxWideDigits = 30;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// The literal's text: a quoted operand's value, or the operand itself.
std::string_view LiteralText(const std::string& operand) {
  if (operand.size() >= 2 && operand.front() == '\'' && operand.back() == '\'') {
    return std::string_view(operand).substr(1, operand.size() - 2);
  }
  return operand;
}

struct IntegerRange {
  Wide low;
  Wide high;
};

IntegerRange RangeOf(uint8_t type) {
  switch (type) {
    case KES_SQL_TINYINT:
      return {INT8_MIN, INT8_MAX};
    case KES_SQL_UNSIGNED_TINYINT:
      return {0, UINT8_MAX};
    case KES_SQL_SMALLINT:
      return {INT16_MIN, INT16_MAX};
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

// The integer part of digits as a signed number (clamped far outside every
// column's range) and whether a fraction is left.
Wide IntegerPart(const DecimalDigits& digits) {
  Wide value = 0;
  if (digits.integer.size() > kMaxWideDigits) {
    value = 1;
    for (int i = 0; i < kMaxWideDigits; ++i) value *= 10;
  } else {
    for (char c : digits.integer) value = value * 10 + (c - '0');
  }
  return digits.negative ? -value : value;
}

// Rewrites "column code literal" into "column code' bound" with bound an
// integer of the column's range that every value of the column compares
// with the same way. false: the literal is no number.
bool ReadIntegerComparison(std::string_view text, uint8_t type, CriteriaComparison& out) {
  const std::optional<DecimalDigits> digits = ReadDecimalDigits(text);
  if (!digits) return false;
  const Wide truncated = IntegerPart(*digits);  // toward zero
  const bool hasFraction = !digits->fraction.empty();
  // floor and ceiling of the literal.
  const Wide floor = hasFraction && digits->negative ? truncated - 1 : truncated;
  const Wide ceiling = hasFraction && !digits->negative ? truncated + 1 : truncated;
  uint8_t code = out.code;
  Wide bound = 0;
  switch (code) {
    case kCriteriaLess:  // v < L  <=>  v < ceil(L)
      bound = ceiling;
      break;
    case kCriteriaLessEqual:  // v <= L  <=>  v <= floor(L)
      bound = floor;
      break;
    case kCriteriaGreater:  // v > L  <=>  v > floor(L)
      bound = floor;
      break;
    case kCriteriaGreaterEqual:  // v >= L  <=>  v >= ceil(L)
      bound = ceiling;
      break;
    default:  // = and != against a fraction: never equal
      bound = truncated;
      break;
  }
  const IntegerRange range = RangeOf(type);
  // Outcomes the same for every value: "always" is v >= low, "never" v < low.
  bool always = false;
  bool never = false;
  const bool fractionEqual = hasFraction && (code == kCriteriaEqual || code == kCriteriaNotEqual);
  switch (code) {
    case kCriteriaLess:
      always = bound > range.high;
      never = bound <= range.low;
      break;
    case kCriteriaLessEqual:
      always = bound >= range.high;
      never = bound < range.low;
      break;
    case kCriteriaGreater:
      always = bound < range.low;
      never = bound >= range.high;
      break;
    case kCriteriaGreaterEqual:
      always = bound <= range.low;
      never = bound > range.high;
      break;
    case kCriteriaEqual:
      never = fractionEqual || bound < range.low || bound > range.high;
      break;
    default:
      always = fractionEqual || bound < range.low || bound > range.high;
      break;
  }
  if (always || never) {
    code = always ? kCriteriaGreaterEqual : kCriteriaLess;
    bound = range.low;
  }
  out.code = code;
  out.valueType = type;
  out.value = ColumnValue::FromInteger(type, static_cast<int64_t>(static_cast<uint64_t>(bound)));
  return true;
}

bool ReadFloatingComparison(std::string_view text, CriteriaComparison& out) {
  const std::optional<DecimalDigits> digits = ReadDecimalDigits(text);
  if (!digits) return false;
  std::string_view number = text;
  if (!number.empty() && (number.front() == '+' || number.front() == '-')) number.remove_prefix(1);
  double value = 0;
  const auto result = std::from_chars(number.data(), number.data() + number.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    value = digits->integer.empty() ? 0.0 : HUGE_VAL;  // an underflow is (nearly) zero
  } else if (result.ec != std::errc() || result.ptr != number.data() + number.size()) {
    return false;
  }
  out.valueType = KES_SQL_DOUBLE;
  out.value = ColumnValue::FromDouble(digits->negative ? -value : value);
  return true;
}

// The canonical text of a decimal: "-" when negative, the integer digits
// (at least "0"), "." and the fraction digits when there are any.
bool ReadDecimalComparison(std::string_view text, uint8_t type, CriteriaComparison& out) {
  const std::optional<DecimalDigits> digits = ReadDecimalDigits(text);
  if (!digits) return false;
  std::string canonical = digits->negative ? "-" : "";
  canonical += digits->integer.empty() ? std::string_view("0") : digits->integer;
  if (!digits->fraction.empty()) (canonical += '.') += digits->fraction;
  out.valueType = type;
  out.value = ColumnValue::FromText(canonical);
  return true;
}

// Reads 1 to maxDigits digits of text at at.
bool ReadField(std::string_view text, std::size_t& at, std::size_t maxDigits, int& value) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && IsDigit(text[at]) && at - start < maxDigits) {
    value = value * 10 + (text[at++] - '0');
  }
  return at > start;
}

bool Expect(std::string_view text, std::size_t& at, char c) {
  if (at >= text.size() || text[at] != c) return false;
  ++at;
  return true;
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

std::optional<KesDate> ReadDate(std::string_view text, std::size_t& at) {
  int year = 0, month = 0, day = 0;
  if (!ReadField(text, at, 4, year) || !Expect(text, at, '-') || !ReadField(text, at, 2, month) ||
      !Expect(text, at, '-') || !ReadField(text, at, 2, day)) {
    return std::nullopt;
  }
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month)) {
    return std::nullopt;
  }
  return KesDate{static_cast<uint16_t>(year), static_cast<uint8_t>(month),
                 static_cast<uint8_t>(day)};
}

std::optional<KesTime> ReadTime(std::string_view text, std::size_t& at) {
  int hour = 0, minute = 0, second = 0;
  if (!ReadField(text, at, 2, hour) || !Expect(text, at, ':') || !ReadField(text, at, 2, minute) ||
      !Expect(text, at, ':') || !ReadField(text, at, 2, second)) {
    return std::nullopt;
  }
  if (hour > 23 || minute > 59 || second > 59) return std::nullopt;
  return KesTime{static_cast<uint8_t>(hour), static_cast<uint8_t>(minute),
                 static_cast<uint8_t>(second)};
}

bool ReadDateTimeComparison(std::string_view text, uint8_t type, CriteriaComparison& out) {
  KesDateTime value;
  std::size_t at = 0;
  if (type == KES_SQL_TIME) {
    value.time = ReadTime(text, at);
    if (!value.time) return false;
  } else {
    value.date = ReadDate(text, at);
    if (!value.date) return false;
    if (type == KES_SQL_DATETIME) {
      if (at < text.size()) {
        if (!Expect(text, at, ' ')) return false;
        value.time = ReadTime(text, at);
        if (!value.time) return false;
      } else {
        value.time = KesTime{};
      }
    }
  }
  if (at != text.size()) return false;
  out.valueType = type;
  out.value = ColumnValue::FromDateTime(value);
  out.selectValue = KesDateTimeToString(value).value_or("");
  return true;
}

bool ReadBooleanComparison(std::string_view text, CriteriaComparison& out) {
  const std::string word(text);
  int64_t flag = 0;
  if (word == "1" || strcasecmp(word.c_str(), "TRUE") == 0) {
    flag = 1;
  } else if (word != "0" && strcasecmp(word.c_str(), "FALSE") != 0) {
    return false;
  }
  out.valueType = KES_SQL_BOOLEAN;
  out.value = ColumnValue::FromInteger(KES_SQL_BOOLEAN, flag);
  return true;
}

const char* ExpectedForm(uint8_t type) {
  if (IsIntegerColumnType(type) || IsFloatingColumnType(type) || type == KES_SQL_DECIMAL ||
      type == KES_SQL_NUMERIC) {
    return "a number";
  }
  switch (type) {
    case KES_SQL_DATE:
      return "a date YYYY-MM-DD";
    case KES_SQL_TIME:
      return "a time HH:MM:SS";
    case KES_SQL_DATETIME:
      return "a date and time YYYY-MM-DD HH:MM:SS";
    case KES_SQL_BOOLEAN:
      return "TRUE, FALSE, 1 or 0";
    default:
      return "";
  }
}

}  // namespace

std::optional<DecimalDigits> ReadDecimalDigits(std::string_view text) {
  DecimalDigits digits;
  std::size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) digits.negative = text[at++] == '-';
  const std::size_t integerStart = at;
  while (at < text.size() && IsDigit(text[at])) ++at;
  if (at == integerStart) return std::nullopt;
  std::string_view integer = text.substr(integerStart, at - integerStart);
  std::string_view fraction;
  if (at < text.size() && text[at] == '.') {
    const std::size_t fractionStart = ++at;
    while (at < text.size() && IsDigit(text[at])) ++at;
    if (at == fractionStart) return std::nullopt;
    fraction = text.substr(fractionStart, at - fractionStart);
  }
  if (at != text.size()) return std::nullopt;
  while (!integer.empty() && integer.front() == '0') integer.remove_prefix(1);
  while (!fraction.empty() && fraction.back() == '0') fraction.remove_suffix(1);
  digits.integer = integer;
  digits.fraction = fraction;
  if (integer.empty() && fraction.empty()) digits.negative = false;
  return digits;
}

int CompareDecimalDigits(const DecimalDigits& a, const DecimalDigits& b) {
  if (a.negative != b.negative) return a.negative ? -1 : 1;
  int magnitude = 0;  // |a| against |b|
  if (a.integer.size() != b.integer.size()) {
    magnitude = a.integer.size() < b.integer.size() ? -1 : 1;
  } else if (const int order = a.integer.compare(b.integer); order != 0) {
    magnitude = order < 0 ? -1 : 1;
  } else if (const int fractions = a.fraction.compare(b.fraction); fractions != 0) {
    // Without trailing zeros, the lexically smaller fraction is the smaller.
    magnitude = fractions < 0 ? -1 : 1;
  }
  return a.negative ? -magnitude : magnitude;
}

std::optional<CriteriaComparison> ReadCriteriaComparison(const std::string& operand, uint8_t code,
                                                         uint8_t columnType, std::string* reason) {
  const std::string_view text = LiteralText(operand);
  CriteriaComparison comparison;
  comparison.code = code;
  bool read = false;
  if (code < kCriteriaLess || code > kCriteriaNotEqual) {
    if (reason != nullptr) *reason = "unknown comparison";
    return std::nullopt;
  }
  if (IsIntegerColumnType(columnType)) {
    read = ReadIntegerComparison(text, columnType, comparison);
  } else if (IsFloatingColumnType(columnType)) {
    read = ReadFloatingComparison(text, comparison);
  } else if (columnType == KES_SQL_DECIMAL || columnType == KES_SQL_NUMERIC) {
    read = ReadDecimalComparison(text, columnType, comparison);
  } else if (IsDateTimeColumnType(columnType)) {
    read = ReadDateTimeComparison(text, columnType, comparison);
  } else if (columnType == KES_SQL_BOOLEAN) {
    read = ReadBooleanComparison(text, comparison);
  } else if (columnType == KES_SQL_CHAR || columnType == KES_SQL_NCHAR ||
             columnType == KES_SQL_TEXT || columnType == KES_SQL_CLOB ||
             columnType == KES_SQL_BLOB) {
    comparison.valueType = columnType;
    comparison.value = ColumnValue::FromText(text);
    read = true;
  }
  if (!read) {
    if (reason != nullptr) {
      const std::string expected = ExpectedForm(columnType);
      *reason = expected.empty() ? "the column's type cannot be compared" : "expected " + expected;
    }
    return std::nullopt;
  }
  if (!comparison.value.isDateTime()) {
    comparison.selectValue.assign(reinterpret_cast<const char*>(comparison.value.bytes()),
                                  static_cast<std::size_t>(comparison.value.length()));
  }
  return comparison;
}

std::optional<CriteriaComparison> ReadLeafComparison(const CriteriaNode& leaf, uint8_t columnType) {
  if (!leaf.isLeaf()) return std::nullopt;
  std::string reason;
  std::optional<CriteriaComparison> comparison =
      ReadCriteriaComparison(*leaf.operand, leaf.operatorCode, columnType, &reason);
  if (!comparison) {
    LogError("Criteria value %s cannot be compared with column %s: %s\n", leaf.operand->c_str(),
             leaf.columnName->c_str(), reason.c_str());
  }
  return comparison;
}

}  // namespace fh
