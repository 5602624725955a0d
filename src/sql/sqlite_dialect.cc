#include "sql/sqlite_dialect.h"

#include "log/log.h"
#include "sql/sql_generator.h"

namespace {

std::string BinaryLiteral(const unsigned char* bytes, std::size_t length) {
  return "X'" + fh::HexText(bytes, length) + "'";
}

// Declared types decide SQLite's affinity: integers up to 64 signed bits are
// INTEGER; unsigned 64-bit values, decimals, dates and times are kept as
// their texts (a NUMERIC affinity would turn a value beyond 64 signed bits
// or 15 significant digits into an approximate REAL).
fh::ColumnShape Shape(const ColumnDefnEntry& column, bool /*isKey*/) {
  switch (column.dataType) {
    case KES_SQL_TINYINT:
    case KES_SQL_UNSIGNED_TINYINT:
    case KES_SQL_SMALLINT:
    case KES_SQL_UNSIGNED_SMALLINT:
    case KES_SQL_INT:
      return {"int", true, false};
    case KES_SQL_UNSIGNED_INT:
    case KES_SQL_BIGINT:
      return {"bigint", true, false};
    case KES_SQL_UNSIGNED_LONG_INT:
      return {"varchar(20)", true, false};
    case KES_SQL_FLOAT:
    case KES_SQL_REAL:
      return {"real", true, false};
    case KES_SQL_DOUBLE:
      return {"double", true, false};
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
      return {"varchar(50)", true, false};
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
      return {"varchar(" + std::to_string(column.maxSize) + ")", true, false};
    case KES_SQL_TEXT:
      return {"text", false, true};
    case KES_SQL_DATETIME:
    case KES_SQL_DATE:
    case KES_SQL_TIME:
      return {"varchar(30)", false, false};
    case KES_SQL_BOOLEAN:
      return {"boolean", true, true};
    case KES_SQL_NOT_SUPPORTED_TYPE:  // raw bytes
    case KES_SQL_BLOB:
      return {"blob", true, false};
    case KES_SQL_CLOB:
      return {"text", true, false};
    default:
      return {};
  }
}

}  // namespace

const fh::DialectWords kSqliteWords = {
    "SQLITE",
    "Sqlite",
    "SqliteGenDeleteQuery",
    fh::PagingForm::kLimitOffset,
    /*aliasKeyword=*/true,
    "1",
    "0",
    /*entryTraces=*/false,
    /*insertTrace=*/false,
    /*updateTraceBlank=*/false,
    ");",
    /*indexClause=*/false,
    "\n);\n\n",
    BinaryLiteral,
    Shape,
    fh::BinaryTextForm::kQuotedHex,
    /*uniqueOnSoleKey=*/true,
    /*unsignedBigintAsText=*/true,
    /*numericTextComparand=*/"CAST(%s AS NUMERIC)",
    /*savepointsNest=*/true,
    /*tableCountHead=*/
    "select count(*) from sqlite_master where type = 'table' and lower(name) = lower(",
};

const SQLDialect kSqliteDialect = {
    kSqliteWords.name,
    SqliteGenSelectQuery,
    fh::SqliteGenUpdateQuery,
    fh::SqliteGenInsertQuery,
    fh::SqliteGenDeleteQuery,
    fh::SqliteGenCreateQuery,
    fh::SqliteConvResultsetToRowobject,
};

std::optional<std::string> SqliteGenSelectQuery(SelectQuery* selectQuery) {
  return fh::GenSelectText(kSqliteWords, selectQuery);
}

std::optional<std::string> fh::SqliteGenUpdateQuery(const char* tableName, const RowObject* row) {
  return fh::GenUpdateText(kSqliteWords, tableName, row);
}

std::optional<std::string> fh::SqliteGenInsertQuery(const char* tableName, const RowObject* row) {
  return fh::GenInsertText(kSqliteWords, tableName, row);
}

std::optional<std::string> fh::SqliteGenDeleteQuery(const char* tableName, const RowObject* row) {
  return fh::GenDeleteText(kSqliteWords, tableName, row);
}

std::optional<std::string> fh::SqliteGenCreateQuery(const char* tableName) {
  return fh::GenCreateText(kSqliteWords, tableName);
}

std::unique_ptr<RowObject> fh::SqliteConvResultsetToRowobject(const DBResultSet* resultSet,
                                                              const char* tableName) {
  if (kSqliteWords.entryTraces) LogTrace("@@@ Inside SqliteConvResultsetToRowobject @@@\n");
  return fh::ConvertResultRow(kSqliteWords, resultSet, tableName);
}
