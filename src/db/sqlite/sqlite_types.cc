#include "db/sqlite/sqlite_types.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <iterator>

#include "dictionary/column_types.h"

namespace fh {

namespace {

struct DeclaredTypeMapping {
  const char* word;  // lower case
  uint8_t columnType;
};

// The SQLite ODBC driver's reading of declared types, turned into column
// type codes the way the ODBC provider maps the driver's SQL types.
// Searched in order for the declared type's leading word.
constexpr DeclaredTypeMapping kDeclaredTypes[] = {
    {"varchar", KES_SQL_NCHAR},
    {"nvarchar", KES_SQL_NCHAR},
    {"char", KES_SQL_NCHAR},
    {"nchar", KES_SQL_NCHAR},
    {"character", KES_SQL_NCHAR},
    {"text", KES_SQL_BLOB},
    {"clob", KES_SQL_BLOB},
    {"tinyint", KES_SQL_BOOLEAN},
    {"smallint", KES_SQL_SMALLINT},
    {"bigint", KES_SQL_BIGINT},
    {"int", KES_SQL_INT},
    {"integer", KES_SQL_INT},
    {"float", KES_SQL_DOUBLE},
    {"double", KES_SQL_DOUBLE},
    {"real", KES_SQL_DOUBLE},
    {"numeric", KES_SQL_DOUBLE},
    {"decimal", KES_SQL_DOUBLE},
    {"timestamp", KES_SQL_DATETIME},
    {"datetime", KES_SQL_DATETIME},
    {"date", KES_SQL_DATE},
    {"time", KES_SQL_TIME},
    {"blob", KES_SQL_BLOB},
    {"bool", KES_SQL_NOT_SUPPORTED_TYPE},
    {"boolean", KES_SQL_NOT_SUPPORTED_TYPE},
    {"bit", KES_SQL_NOT_SUPPORTED_TYPE},
};

}  // namespace

uint8_t MapSqliteDeclaredType(const char* declaredType) {
  if (declaredType == nullptr) return KES_SQL_NCHAR;
  while (*declaredType == ' ') ++declaredType;
  char word[16] = {};
  std::size_t length = 0;
  while (std::isalpha(static_cast<unsigned char>(declaredType[length])) != 0) {
    if (length + 1 >= sizeof word) return KES_SQL_NCHAR;
    word[length] =
        static_cast<char>(std::tolower(static_cast<unsigned char>(declaredType[length])));
    ++length;
  }
  for (const DeclaredTypeMapping& mapping : kDeclaredTypes) {
    if (std::strcmp(mapping.word, word) == 0) return mapping.columnType;
  }
  return KES_SQL_NCHAR;
}

uint8_t MapSqliteStorageClass(int storageClass) {
  switch (storageClass) {
    case SQLITE_INTEGER:
      return KES_SQL_INT;
    case SQLITE_FLOAT:
      return KES_SQL_DOUBLE;
    case SQLITE_BLOB:
      return KES_SQL_BLOB;
    default:
      return KES_SQL_NCHAR;
  }
}

}  // namespace fh
