// A fetched row turned into a row of a table's column types
// (sql/sql_generator.h).
#include <strings.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string_view>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/date_time.h"
#include "log/log.h"
#include "sql/sql_generator.h"
#include "sql/sql_generator_internal.h"

namespace fh {

namespace {

using sqlgen::Format;

// The fetched value as text (dates and times in their text forms).
std::string FetchedText(const ColumnValue& value, uint8_t fetchedType) {
  if (value.isDateTime()) return KesDateTimeToString(*value.dateTime()).value_or("");
  if (IsIntegerColumnType(fetchedType) || fetchedType == KES_SQL_BOOLEAN) {
    return Format("%" PRId64, GetIntegerValue(value, fetchedType).value_or(0));
  }
  if (IsFloatingColumnType(fetchedType)) {
    return Format("%.17g", GetFloatingValue(value, fetchedType).value_or(0));
  }
  return std::string(value.text(), LiteralTextLength(value));
}

bool TextIsTrue(const std::string& text) {
  return text == "1" || strcasecmp(text.c_str(), "t") == 0 || strcasecmp(text.c_str(), "true") == 0;
}

std::optional<ColumnValue> ToDateTime(const ColumnValue& value, uint8_t fetchedType,
                                      uint8_t columnType) {
  KesDateTime parsed;
  if (value.isDateTime()) {
    parsed = *value.dateTime();
  } else {
    const std::string text = FetchedText(value, fetchedType);
    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    if (columnType == KES_SQL_TIME) {
      if (std::sscanf(text.c_str(), "%d:%d:%d", &a, &b, &c) != 3) return std::nullopt;
      parsed.time =
          KesTime{static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c)};
    } else {
      const int read = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &d, &e, &f);
      if (read < 3) return std::nullopt;
      parsed.date =
          KesDate{static_cast<uint16_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c)};
      parsed.time =
          KesTime{static_cast<uint8_t>(d), static_cast<uint8_t>(e), static_cast<uint8_t>(f)};
    }
  }
  if (columnType == KES_SQL_DATE) parsed.time.reset();
  if (columnType == KES_SQL_TIME) parsed.date.reset();
  return ColumnValue::FromDateTime(parsed);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a binary value the driver handed out as text; the value as it
// is when it is not in the dialect's text form.
ColumnValue DecodeBinary(const ColumnValue& value, BinaryTextForm form) {
  if (form == BinaryTextForm::kRawBytes || value.isDateTime()) return value;
  std::string_view text(reinterpret_cast<const char*>(value.bytes()),
                        static_cast<std::size_t>(value.length()));
  if (form == BinaryTextForm::kQuotedHex) {
    if (text.size() < 3 || (text[0] != 'X' && text[0] != 'x') || text[1] != '\'' ||
        text.back() != '\'') {
      return value;
    }
    text = text.substr(2, text.size() - 3);
  } else if (text.substr(0, 2) == "\\x") {
    text.remove_prefix(2);
  }
  if (text.size() % 2 != 0) return value;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return value;
    bytes += static_cast<char>(high * 16 + low);
  }
  return ColumnValue::FromBytes(bytes.data(), bytes.size());
}

// The integer a fetched floating-point value stands for in a column of
// columnType; none (with an error line) when it is not finite or lies
// outside the column's range, where the conversion would be undefined or
// wrap.
std::optional<int64_t> FloatingToInteger(double number, uint8_t columnType) {
  double low = -9223372036854775808.0;  // -2^63
  double high = 9223372036854775808.0;  // 2^63, exclusive
  if (columnType == KES_SQL_BOOLEAN) return number != 0 ? 1 : 0;
  if (!IsSignedIntegerColumnType(columnType)) low = 0;
  if (columnType == KES_SQL_UNSIGNED_LONG_INT) high = 18446744073709551616.0;  // 2^64
  const int32_t size = GetColumnTypeSize(columnType);
  if (size < 8) {
    const double span = std::ldexp(1.0, size * 8);
    high = IsSignedIntegerColumnType(columnType) ? span / 2 : span;
    low = IsSignedIntegerColumnType(columnType) ? -span / 2 : 0;
  }
  if (!(number >= low && number < high)) {
    LogError("Fetched value %.17g is out of range for a column of type %s.\n", number,
             GetColumnTypeSymbol(columnType));
    return std::nullopt;
  }
  if (columnType == KES_SQL_UNSIGNED_LONG_INT)
    return static_cast<int64_t>(static_cast<uint64_t>(number));
  return static_cast<int64_t>(number);
}

// A decimal's text in its shortest form: the zeros that end its fraction
// dropped, and the point when no digit follows it ("500.0000000000" is
// "500"). An engine that declares a fixed scale pads every value to it; this
// way the same value reads back as the same text on every engine.
std::string ShortestDecimalText(std::string text) {
  if (text.find('.') == std::string::npos || text.find_first_of("eE") != std::string::npos)
    return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text.empty() || text == "-" || text == "+") return "0";
  return text;
}

std::optional<ColumnValue> ToColumnType(const DialectWords& words,
                                        const std::optional<ColumnValue>& fetched,
                                        uint8_t fetchedType, uint8_t columnType) {
  if (!fetched) return std::nullopt;
  const ColumnValue& value = *fetched;
  if (columnType == KES_SQL_BLOB) return DecodeBinary(value, words.binaryText);
  if (IsDateTimeColumnType(columnType)) {
    auto converted = ToDateTime(value, fetchedType, columnType);
    return converted ? converted : fetched;
  }
  if (IsIntegerColumnType(columnType) || columnType == KES_SQL_BOOLEAN) {
    int64_t number = 0;
    if (!value.isDateTime() &&
        (IsIntegerColumnType(fetchedType) || fetchedType == KES_SQL_BOOLEAN)) {
      number = GetIntegerValue(value, fetchedType).value_or(0);
    } else if (!value.isDateTime() && IsFloatingColumnType(fetchedType)) {
      const auto converted =
          FloatingToInteger(GetFloatingValue(value, fetchedType).value_or(0), columnType);
      if (!converted) return std::nullopt;
      number = *converted;
    } else {
      const std::string text = FetchedText(value, fetchedType);
      if (TextIsTrue(text)) {
        number = 1;
      } else if (columnType == KES_SQL_UNSIGNED_LONG_INT) {
        number = static_cast<int64_t>(std::strtoull(text.c_str(), nullptr, 10));
      } else {
        number = std::strtoll(text.c_str(), nullptr, 10);
      }
    }
    if (columnType == KES_SQL_BOOLEAN) number = number != 0 ? 1 : 0;
    return ColumnValue::FromInteger(columnType, number);
  }
  if (IsFloatingColumnType(columnType)) {
    double number = 0;
    if (!value.isDateTime() && IsFloatingColumnType(fetchedType)) {
      number = GetFloatingValue(value, fetchedType).value_or(0);
    } else {
      number = std::strtod(FetchedText(value, fetchedType).c_str(), nullptr);
    }
    return columnType == KES_SQL_DOUBLE ? ColumnValue::FromDouble(number)
                                        : ColumnValue::FromFloat(static_cast<float>(number));
  }
  if ((columnType == KES_SQL_DECIMAL || columnType == KES_SQL_NUMERIC) && !value.isDateTime())
    return ColumnValue::FromText(ShortestDecimalText(FetchedText(value, fetchedType)));
  if (value.isDateTime() || (columnType != KES_SQL_BLOB && (IsIntegerColumnType(fetchedType) ||
                                                            IsFloatingColumnType(fetchedType)))) {
    return ColumnValue::FromText(FetchedText(value, fetchedType));
  }
  return value;
}

}  // namespace

std::unique_ptr<RowObject> ConvertResultRow(const DialectWords& words, const DBResultSet* resultSet,
                                            const char* tableName) {
  if (resultSet == nullptr || resultSet->cursor < 0 ||
      resultSet->cursor >= static_cast<int64_t>(resultSet->rows.size())) {
    return nullptr;
  }
  try {
    const DBRow& fetched = resultSet->rows[static_cast<std::size_t>(resultSet->cursor)];
    const TableDefn* table = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    std::vector<std::optional<ColumnValue>> values;
    std::vector<int32_t> lengths;
    const std::size_t count =
        std::min(fetched.size(), static_cast<std::size_t>(std::max(resultSet->columnCount, 0)));
    for (std::size_t i = 0; i < count; ++i) {
      const uint8_t fetchedType =
          i < resultSet->columns.size() ? resultSet->columns[i].dataType : 0;
      std::optional<ColumnValue> value = fetched[i];
      if (table != nullptr && i < table->columns.size()) {
        value = ToColumnType(words, fetched[i], fetchedType, table->columns[i].dataType);
      }
      lengths.push_back(value ? value->length() : 0);
      values.push_back(std::move(value));
    }
    auto row = CreateNewRowObject(std::move(values), std::move(lengths));
    if (row != nullptr) row->state = kRowPersisted;
    return row;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

}  // namespace fh
