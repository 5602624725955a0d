#include "db/fetched_text.h"

#include <cstring>

#include "dictionary/column_types.h"

namespace fh {

namespace {

// Reads up to count numbers separated by the characters of separators the
// way scanf's "%d" conversions with those literals between them do: blanks
// before a number are skipped, a number is an optional sign and digits,
// reading stops at the first mismatch and the numbers not reached stay 0.
void ScanNumbers(const char* text, const char* separators, int* numbers, int count) {
  for (int index = 0; index < count; ++index) {
    if (index > 0) {
      const char separator = separators[index - 1];
      if (separator == ' ') {
        while (*text == ' ' || *text == '\t') ++text;
      } else if (*text++ != separator) {
        return;
      }
    }
    while (*text == ' ' || *text == '\t' || *text == '\n') ++text;
    bool negative = false;
    if (*text == '+' || *text == '-') negative = *text++ == '-';
    if (*text < '0' || *text > '9') return;
    uint64_t value = 0;  // wraps on overflow, as the date parsers do
    while (*text >= '0' && *text <= '9') value = value * 10 + static_cast<uint64_t>(*text++ - '0');
    numbers[index] = static_cast<int>(negative ? 0 - value : value);
  }
}

// A fetched text as a date, time or date-time value: "%d-%d-%d",
// "%d:%d:%d" or "%d-%d-%d %d:%d:%d".
ColumnValue DateTimeValue(const char* text, uint8_t columnType) {
  int parts[6] = {};
  KesDateTime value;
  if (columnType == KES_SQL_DATE) {
    ScanNumbers(text, "--", parts, 3);
    value.date = CreateKesDate(parts[0], parts[1], parts[2]);
  } else if (columnType == KES_SQL_TIME) {
    ScanNumbers(text, "::", parts, 3);
    value.time = CreateKesTime(parts[0], parts[1], parts[2]);
  } else {
    ScanNumbers(text, "-- ::", parts, 6);
    value.date = CreateKesDate(parts[0], parts[1], parts[2]);
    value.time = CreateKesTime(parts[3], parts[4], parts[5]);
  }
  return ColumnValue::FromDateTime(value);
}

}  // namespace

std::optional<ColumnValue> FetchedTextValue(const char* text, std::size_t length,
                                            uint8_t columnType) {
  if (IsDateTimeColumnType(columnType)) return DateTimeValue(text, columnType);
  if (columnType == KES_SQL_BOOLEAN) {
    int32_t unused = 0;
    const bool one = length == 1 && text[0] == '1';
    return ConvertStringToValue(one ? "TRUE" : "FALSE", KES_SQL_BOOLEAN, &unused);
  }
  auto size = static_cast<int32_t>(length);
  return ConvertStringToValue(text, columnType, &size);
}

}  // namespace fh
