#include "dictionary/column_values.h"

#include <strings.h>

#include <cfloat>
#include <charconv>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "dictionary/column_types.h"
#include "util/memory_pool.h"

namespace {

// A decimal integer with an optional leading sign, accumulated in 64 bits
// (wrapping, never overflowing). Any other character, as well as a text
// without digits, gives 0.
uint64_t ReadDecimalInteger(const char* text) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  uint64_t value = 0;
  for (; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return 0;
    value = value * 10u + static_cast<uint64_t>(*p - '0');
  }
  return negative ? 0u - value : value;
}

// Optional sign, digits, optional "." and digits; any other form gives 0.
double ReadDecimalNumber(const char* text) {
  const char* p = text;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  const char* start = p;
  while (*p >= '0' && *p <= '9') ++p;
  if (*p == '.') {
    ++p;
    while (*p >= '0' && *p <= '9') ++p;
  }
  if (*p != '\0') return 0.0;
  // from_chars wants at least one digit and never a lone point.
  if (p == start || (p - start == 1 && *start == '.')) return 0.0;
  double value = 0.0;
  const std::from_chars_result result = std::from_chars(start, p, value);
  if (result.ec == std::errc::result_out_of_range) value = HUGE_VAL;
  return negative ? -value : value;
}

float ToFloat(double value) {
  if (value > FLT_MAX) return HUGE_VALF;
  if (value < -FLT_MAX) return -HUGE_VALF;
  return static_cast<float>(value);
}

// The first size bytes of a byte value as an unsigned number; a shorter
// value reads as if zero-extended.
uint64_t ReadUnsigned(const fh::ColumnValue& value, int32_t size) {
  const int32_t available = value.length() < size ? value.length() : size;
  uint64_t result = 0;
  switch (size) {
    case 1: {
      uint8_t v = 0;
      std::memcpy(&v, value.bytes(), available);
      result = v;
      break;
    }
    case 2: {
      uint16_t v = 0;
      std::memcpy(&v, value.bytes(), available);
      result = v;
      break;
    }
    case 4: {
      uint32_t v = 0;
      std::memcpy(&v, value.bytes(), available);
      result = v;
      break;
    }
    default: {
      uint64_t v = 0;
      std::memcpy(&v, value.bytes(), available);
      result = v;
      break;
    }
  }
  return result;
}

int64_t SignExtend(uint64_t value, int32_t size) {
  switch (size) {
    case 1:
      return static_cast<int8_t>(value);
    case 2:
      return static_cast<int16_t>(value);
    case 4:
      return static_cast<int32_t>(value);
    default:
      return static_cast<int64_t>(value);
  }
}

std::string FormatFloating(double value) {
  char small[64];
  const int needed = std::snprintf(small, sizeof small, "%f", value);
  if (needed < 0) return std::string();
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  std::snprintf(text.data(), text.size(), "%f", value);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

std::optional<fh::ColumnValue> IntegerValue(uint8_t dataType, const char* text, int32_t* length) {
  if (text == nullptr) return std::nullopt;
  fh::ColumnValue value =
      fh::ColumnValue::FromInteger(dataType, static_cast<int64_t>(ReadDecimalInteger(text)));
  if (length != nullptr) *length = value.length();
  return value;
}

std::optional<fh::ColumnValue> FloatingValue(uint8_t dataType, const char* text, int32_t* length) {
  if (text == nullptr) return std::nullopt;
  const double number = ReadDecimalNumber(text);
  fh::ColumnValue value = dataType == KES_SQL_DOUBLE ? fh::ColumnValue::FromDouble(number)
                                                     : fh::ColumnValue::FromFloat(ToFloat(number));
  if (length != nullptr) *length = value.length();
  return value;
}

std::optional<fh::ColumnValue> BooleanValue(const char* text, int32_t* length) {
  if (text == nullptr) return std::nullopt;
  int64_t flag = 0;
  if (strcasecmp(text, "TRUE") == 0) {
    flag = 1;
  } else if (strcasecmp(text, "FALSE") != 0) {
    return std::nullopt;
  }
  if (length != nullptr) *length = 1;
  return fh::ColumnValue::FromInteger(KES_SQL_BOOLEAN, flag);
}

std::optional<fh::ColumnValue> ConvertOrThrow(const char* text, uint8_t dataType, int32_t* length) {
  switch (dataType) {
    case KES_SQL_NOT_SUPPORTED_TYPE:
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
    case KES_SQL_BLOB:
    case KES_SQL_CLOB: {
      const int32_t given = length != nullptr && *length > 0 ? *length : 0;
      if (text == nullptr && given > 0) return std::nullopt;
      return fh::ColumnValue::FromBytes(text, static_cast<std::size_t>(given));
    }
    case KES_SQL_TINYINT:
    case KES_SQL_UNSIGNED_TINYINT:
    case KES_SQL_SMALLINT:
    case KES_SQL_UNSIGNED_SMALLINT:
    case KES_SQL_INT:
    case KES_SQL_UNSIGNED_INT:
    case KES_SQL_BIGINT:
    case KES_SQL_UNSIGNED_LONG_INT:
      return IntegerValue(dataType, text, length);
    case KES_SQL_FLOAT:
    case KES_SQL_DOUBLE:
    case KES_SQL_REAL:
      return FloatingValue(dataType, text, length);
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
    case KES_SQL_TEXT: {
      if (text == nullptr) return std::nullopt;
      fh::ColumnValue value = fh::ColumnValue::FromText(text);
      if (length != nullptr) *length = value.length();
      return value;
    }
    case KES_SQL_DATE:
    case KES_SQL_TIME:
    case KES_SQL_DATETIME: {
      if (text == nullptr) return std::nullopt;
      std::optional<KesDateTime> dateTime = ConvertStringToKesDateTime(text);
      if (!dateTime) return std::nullopt;
      if (length != nullptr) *length = fh::kKesDateTimeValueLength;
      return fh::ColumnValue::FromDateTime(*dateTime);
    }
    case KES_SQL_BOOLEAN:
      return BooleanValue(text, length);
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ValueTextOrThrow(const fh::ColumnValue& value, uint8_t dataType) {
  if (dataType == KES_SQL_NOT_SUPPORTED_TYPE || dataType > fh::kMaxColumnTypeCode)
    return std::nullopt;
  if (fh::IsDateTimeColumnType(dataType)) {
    if (!value.isDateTime()) return std::nullopt;
    return KesDateTimeToString(*value.dateTime());
  }
  if (value.isDateTime()) return std::nullopt;
  if (fh::IsIntegerColumnType(dataType)) {
    const int32_t size = fh::GetColumnTypeSize(dataType);
    const uint64_t bits = ReadUnsigned(value, size);
    char buffer[32];
    if (dataType == KES_SQL_BIGINT) {
      std::snprintf(buffer, sizeof buffer, "%" PRId64, static_cast<int64_t>(bits));
    } else if (dataType == KES_SQL_UNSIGNED_LONG_INT) {
      std::snprintf(buffer, sizeof buffer, "%" PRIu64, bits);
    } else if (fh::IsSignedIntegerColumnType(dataType)) {
      std::snprintf(buffer, sizeof buffer, "%d", static_cast<int>(SignExtend(bits, size)));
    } else {
      std::snprintf(buffer, sizeof buffer, "%u", static_cast<unsigned>(bits));
    }
    return std::string(buffer);
  }
  if (fh::IsFloatingColumnType(dataType)) {
    return FormatFloating(*fh::GetFloatingValue(value, dataType));
  }
  if (dataType == KES_SQL_BOOLEAN) {
    return std::string(value.length() > 0 && value.bytes()[0] == 1 ? "'t'" : "'f'");
  }
  // Decimal, numeric, char, nchar, blob, clob, text: the stored text.
  return std::string(value.text(), strnlen(value.text(), static_cast<std::size_t>(value.length())));
}

}  // namespace

namespace fh {

ColumnValue::ColumnValue() : storage_(ValueBytes(nullptr, 0)) {}

ColumnValue ColumnValue::FromBytes(const void* bytes, std::size_t length) {
  ColumnValue value;
  value.storage_ = ValueBytes(bytes, bytes == nullptr ? 0 : length);
  return value;
}

ColumnValue ColumnValue::FromText(std::string_view text) {
  return FromBytes(text.data(), text.size());
}

ColumnValue ColumnValue::FromDateTime(const KesDateTime& dateTime) {
  ColumnValue value;
  value.storage_ = dateTime;
  return value;
}

ColumnValue ColumnValue::FromInteger(uint8_t dataType, int64_t number) {
  if (dataType == KES_SQL_BOOLEAN) {
    const unsigned char flag = number != 0 ? 1 : 0;
    return FromBytes(&flag, 1);
  }
  const int32_t size = IsIntegerColumnType(dataType) ? GetColumnTypeSize(dataType) : 8;
  switch (size) {
    case 1: {
      const auto v = static_cast<uint8_t>(number);
      return FromBytes(&v, sizeof v);
    }
    case 2: {
      const auto v = static_cast<uint16_t>(number);
      return FromBytes(&v, sizeof v);
    }
    case 4: {
      const auto v = static_cast<uint32_t>(number);
      return FromBytes(&v, sizeof v);
    }
    default: {
      const auto v = static_cast<uint64_t>(number);
      return FromBytes(&v, sizeof v);
    }
  }
}

ColumnValue ColumnValue::FromFloat(float number) { return FromBytes(&number, sizeof number); }

ColumnValue ColumnValue::FromDouble(double number) { return FromBytes(&number, sizeof number); }

int32_t ColumnValue::length() const {
  if (isDateTime()) return kKesDateTimeValueLength;
  // A moved-from value has no storage at all: it reads as the empty value.
  return static_cast<int32_t>(std::get<ValueBytes>(storage_).size());
}

bool ColumnValue::isDateTime() const { return std::holds_alternative<KesDateTime>(storage_); }

const unsigned char* ColumnValue::bytes() const {
  static constexpr unsigned char kEmptyBytes[1] = {0};
  const auto* storage = std::get_if<ValueBytes>(&storage_);
  if (storage == nullptr) return nullptr;
  return storage->hasStorage() ? storage->data() : kEmptyBytes;
}

unsigned char* ColumnValue::mutableBytes() {
  auto* storage = std::get_if<ValueBytes>(&storage_);
  // A moved-from value has no storage and nothing to write (its length is 0).
  return storage != nullptr ? storage->data() : nullptr;
}

const char* ColumnValue::text() const { return reinterpret_cast<const char*>(bytes()); }

const KesDateTime* ColumnValue::dateTime() const { return std::get_if<KesDateTime>(&storage_); }

KesDateTime* ColumnValue::mutableDateTime() { return std::get_if<KesDateTime>(&storage_); }

}  // namespace fh

std::optional<fh::ColumnValue> ConvertStringToValue(const char* text, uint8_t dataType,
                                                    int32_t* length) {
  try {
    std::optional<fh::ColumnValue> value = ConvertOrThrow(text, dataType, length);
    if (!value && length != nullptr) *length = 0;
    return value;
  } catch (const std::bad_alloc&) {
    if (length != nullptr) *length = 0;
    return std::nullopt;
  }
}

std::optional<std::string> ConvertValueToString(const fh::ColumnValue* value, uint8_t dataType) {
  try {
    if (value == nullptr) return std::string("NULL");
    return ValueTextOrThrow(*value, dataType);
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> ConvertValueToString(const std::optional<fh::ColumnValue>& value,
                                                uint8_t dataType) {
  return ConvertValueToString(value ? &*value : nullptr, dataType);
}

const char* fh::ConvertValueToStringInPool(const fh::ColumnValue* value, uint8_t dataType,
                                           MemPool* pool) {
  if (pool == nullptr) return nullptr;
  const bool supported =
      (dataType >= KES_SQL_TINYINT && dataType <= KES_SQL_NCHAR) || dataType == KES_SQL_BOOLEAN;
  if (value != nullptr && !supported) return nullptr;
  const std::optional<std::string> text = ConvertValueToString(value, dataType);
  if (!text) return nullptr;
  return fh::MemPoolMemDup(pool, text->data(), text->size());
}

std::optional<int64_t> fh::GetIntegerValue(const fh::ColumnValue& value, uint8_t dataType) {
  if (value.isDateTime()) return std::nullopt;
  if (dataType == KES_SQL_BOOLEAN) return static_cast<int64_t>(ReadUnsigned(value, 1));
  if (!fh::IsIntegerColumnType(dataType)) return std::nullopt;
  const int32_t size = fh::GetColumnTypeSize(dataType);
  const uint64_t bits = ReadUnsigned(value, size);
  if (fh::IsSignedIntegerColumnType(dataType)) return SignExtend(bits, size);
  return static_cast<int64_t>(bits);
}

std::optional<double> fh::GetFloatingValue(const fh::ColumnValue& value, uint8_t dataType) {
  if (value.isDateTime() || !fh::IsFloatingColumnType(dataType)) return std::nullopt;
  if (dataType == KES_SQL_DOUBLE) {
    double number = 0.0;
    std::memcpy(&number, value.bytes(), value.length() < 8 ? value.length() : 8);
    return number;
  }
  float number = 0.0f;
  std::memcpy(&number, value.bytes(), value.length() < 4 ? value.length() : 4);
  return static_cast<double>(number);
}
