#include "dictionary/column_types.h"

#include <strings.h>

#include <array>

namespace {

struct TypeName {
  const char* name;
  uint8_t code;
};

// Every data-type text a dictionary file may use. KES_SQL_BIGINT,
// KES_SQL_NCHAR and KES_SQL_BOOLEAN are deliberately absent: they name
// codes 7, 15 and 19 in code only.
constexpr TypeName kTypeNames[] = {
    {"KES_SQL_NOT_SUPPORTED_TYPE", KES_SQL_NOT_SUPPORTED_TYPE},
    {"KES_SQL_TINYINT", KES_SQL_TINYINT},
    {"KES_SQL_UNSIGNED_TINYINT", KES_SQL_UNSIGNED_TINYINT},
    {"KES_SQL_SMALLINT", KES_SQL_SMALLINT},
    {"KES_SQL_UNSIGNED_SMALLINT", KES_SQL_UNSIGNED_SMALLINT},
    {"KES_SQL_INT", KES_SQL_INT},
    {"INTEGER", KES_SQL_INT},
    {"LONG", KES_SQL_INT},
    {"KES_SQL_UNSIGNED_INT", KES_SQL_UNSIGNED_INT},
    {"BIGINT", KES_SQL_BIGINT},
    {"KES_SQL_UNSIGNED_LONG_INT", KES_SQL_UNSIGNED_LONG_INT},
    {"KES_SQL_FLOAT", KES_SQL_FLOAT},
    {"FLOAT", KES_SQL_FLOAT},
    {"KES_SQL_DOUBLE", KES_SQL_DOUBLE},
    {"KES_SQL_REAL", KES_SQL_REAL},
    {"KES_SQL_DECIMAL", KES_SQL_DECIMAL},
    {"KES_SQL_NUMERIC", KES_SQL_NUMERIC},
    {"KES_SQL_CHAR", KES_SQL_CHAR},
    {"CHAR", KES_SQL_NCHAR},
    {"NCHAR", KES_SQL_NCHAR},
    {"KES_SQL_DATE", KES_SQL_DATE},
    {"DATE", KES_SQL_DATE},
    {"KES_SQL_TIME", KES_SQL_TIME},
    {"TIME", KES_SQL_TIME},
    {"KES_SQL_DATETIME", KES_SQL_DATETIME},
    {"DATETIME", KES_SQL_DATETIME},
    {"TIMESTAMP", KES_SQL_DATETIME},
    {"BOOLEAN", KES_SQL_BOOLEAN},
    {"KES_SQL_BLOB", KES_SQL_BLOB},
    {"BLOB", KES_SQL_BLOB},
    {"KES_SQL_CLOB", KES_SQL_CLOB},
    {"CLOB", KES_SQL_CLOB},
    {"KES_SQL_TEXT", KES_SQL_TEXT},
    {"TEXT", KES_SQL_TEXT},
};

constexpr std::array<const char*, fh::kMaxColumnTypeCode + 1> kSymbols = {
    "KES_SQL_NOT_SUPPORTED_TYPE",
    "KES_SQL_TINYINT",
    "KES_SQL_UNSIGNED_TINYINT",
    "KES_SQL_SMALLINT",
    "KES_SQL_UNSIGNED_SMALLINT",
    "KES_SQL_INT",
    "KES_SQL_UNSIGNED_INT",
    "KES_SQL_BIGINT",
    "KES_SQL_UNSIGNED_LONG_INT",
    "KES_SQL_FLOAT",
    "KES_SQL_DOUBLE",
    "KES_SQL_REAL",
    "KES_SQL_DECIMAL",
    "KES_SQL_NUMERIC",
    "KES_SQL_CHAR",
    "KES_SQL_NCHAR",
    "KES_SQL_DATE",
    "KES_SQL_TIME",
    "KES_SQL_DATETIME",
    "KES_SQL_BOOLEAN",
    "KES_SQL_BLOB",
    "KES_SQL_CLOB",
    "KES_SQL_TEXT",
};

constexpr std::array<int32_t, fh::kMaxColumnTypeCode + 1> kSizes = {
    0,              // not supported: as given
    1,  1,  2,  2,  // tiny and small integers
    4,  4,  8,  8,  // int, bigint
    4,  8,  4,      // float, double, real
    0,  0,  0,  0,  // decimal, numeric, char, nchar
    11, 11, 11,     // date, time, datetime
    1,              // boolean
    0,  0,  0,      // blob, clob, text
};

}  // namespace

uint8_t GetColumnTypeFromName(const char* dataTypeName) {
  if (dataTypeName == nullptr) return KES_SQL_NOT_SUPPORTED_TYPE;
  for (const TypeName& entry : kTypeNames) {
    if (strcasecmp(entry.name, dataTypeName) == 0) return entry.code;
  }
  return KES_SQL_NOT_SUPPORTED_TYPE;
}

const char* fh::GetColumnTypeSymbol(uint8_t dataType) {
  return dataType <= fh::kMaxColumnTypeCode ? kSymbols[dataType] : "UNKNOWN";
}

int32_t fh::GetColumnTypeSize(uint8_t dataType) {
  return dataType <= fh::kMaxColumnTypeCode ? kSizes[dataType] : 0;
}

bool fh::IsIntegerColumnType(uint8_t dataType) {
  return dataType >= KES_SQL_TINYINT && dataType <= KES_SQL_UNSIGNED_LONG_INT;
}

bool fh::IsSignedIntegerColumnType(uint8_t dataType) {
  return dataType == KES_SQL_TINYINT || dataType == KES_SQL_SMALLINT || dataType == KES_SQL_INT ||
         dataType == KES_SQL_BIGINT;
}

bool fh::IsFloatingColumnType(uint8_t dataType) {
  return dataType >= KES_SQL_FLOAT && dataType <= KES_SQL_REAL;
}

bool fh::IsTextColumnType(uint8_t dataType) {
  return (dataType >= KES_SQL_DECIMAL && dataType <= KES_SQL_NCHAR) || dataType == KES_SQL_TEXT;
}

bool fh::IsDateTimeColumnType(uint8_t dataType) {
  return dataType >= KES_SQL_DATE && dataType <= KES_SQL_DATETIME;
}

uint8_t fh::WidenColumnType(uint8_t dataType, int32_t maxSize) {
  if ((dataType == KES_SQL_CHAR || dataType == KES_SQL_NCHAR) &&
      maxSize >= fh::kCharWideningMaxSize) {
    return KES_SQL_TEXT;
  }
  return dataType;
}
