// The provider's table from ODBC SQL types to column type codes.
#include <iterator>

#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "dictionary/column_types.h"

namespace fh {

namespace {

struct SqlTypeMapping {
  SQLSMALLINT sqlType;
  uint8_t columnType;
};

// Searched in order. SQL_FLOAT is double precision in ODBC; the wide text
// types of Unicode drivers read as texts like their narrow twins.
constexpr SqlTypeMapping kSqlTypeTable[] = {
    {SQL_BIGINT, KES_SQL_BIGINT},
    {SQL_SMALLINT, KES_SQL_SMALLINT},
    {SQL_INTEGER, KES_SQL_INT},
    {SQL_FLOAT, KES_SQL_DOUBLE},
    {SQL_DOUBLE, KES_SQL_DOUBLE},
    {SQL_NUMERIC, KES_SQL_NUMERIC},
    {SQL_CHAR, KES_SQL_CHAR},
    {SQL_VARCHAR, KES_SQL_NCHAR},
    {SQL_DATE, KES_SQL_DATE},
    {SQL_TIME, KES_SQL_TIME},
    {SQL_TIMESTAMP, KES_SQL_DATETIME},
    {SQL_TINYINT, KES_SQL_BOOLEAN},
    {SQL_LONGVARCHAR, KES_SQL_BLOB},
    {SQL_BINARY, KES_SQL_BLOB},
    {SQL_VARBINARY, KES_SQL_BLOB},
    {SQL_LONGVARBINARY, KES_SQL_BLOB},
    {SQL_REAL, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_DECIMAL, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_GUID, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_WCHAR, KES_SQL_CHAR},
    {SQL_WVARCHAR, KES_SQL_NCHAR},
    {SQL_WLONGVARCHAR, KES_SQL_BLOB},
    {SQL_BIT, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MONTH, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR_TO_MONTH, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_HOUR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
};
static_assert(std::size(kSqlTypeTable) == 36);

}  // namespace

uint8_t MapODBCSqlType(int sqlType) {
  for (const SqlTypeMapping& mapping : kSqlTypeTable) {
    if (mapping.sqlType == sqlType) return mapping.columnType;
  }
  return KES_SQL_NOT_SUPPORTED_TYPE;
}

}  // namespace fh
