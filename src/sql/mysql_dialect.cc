#include "sql/mysql_dialect.h"

#include "log/log.h"
#include "sql/sql_generator.h"

namespace {

std::string BinaryLiteral(const unsigned char* bytes, std::size_t length) {
  return "X'" + fh::HexText(bytes, length) + "'";
}

fh::ColumnShape Shape(const ColumnDefnEntry& column, bool isKey) {
  const std::string varchar = "varchar(" + std::to_string(column.maxSize) + ")";
  switch (column.dataType) {
    case KES_SQL_TINYINT:
    case KES_SQL_SMALLINT:
    case KES_SQL_INT:
      return {"int", true, false};
    case KES_SQL_UNSIGNED_TINYINT:
    case KES_SQL_UNSIGNED_SMALLINT:
    case KES_SQL_UNSIGNED_INT:
      return {"int unsigned", true, false};
    case KES_SQL_BIGINT:
      return {"bigint", true, false};
    case KES_SQL_UNSIGNED_LONG_INT:
      return {"bigint unsigned", true, false};
    case KES_SQL_FLOAT:
    case KES_SQL_REAL:  // MariaDB hands out a float at 6 digits; a double keeps every float
      return {"double", true, false};
    case KES_SQL_DOUBLE:
      return {"double", true, false};
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
      return {"decimal(38,10)", true, false};
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
      return {varchar, true, false};
    case KES_SQL_TEXT:
      return isKey ? fh::ColumnShape{varchar, true, false} : fh::ColumnShape{"text", false, true};
    case KES_SQL_DATETIME:
      return {"datetime", false, false};
    case KES_SQL_DATE:
      return {"date", false, false};
    case KES_SQL_TIME:
      return {"time", false, false};
    case KES_SQL_BOOLEAN:
      return {"tinyint", true, true};
    case KES_SQL_NOT_SUPPORTED_TYPE:  // raw bytes
    case KES_SQL_BLOB:
      return {"blob", true, false};
    case KES_SQL_CLOB:
      return {"longtext", true, false};
    default:
      return {};
  }
}

}  // namespace

const fh::DialectWords kMysqlWords = {
    "MYSQL",
    "Mysql",
    "MysqlGenDelteQuery",
    fh::PagingForm::kMysqlLimit,
    /*aliasKeyword=*/true,
    "1",
    "0",
    /*entryTraces=*/true,
    /*insertTrace=*/true,
    /*updateTraceBlank=*/true,
    ")",
    /*indexClause=*/true,
    "\n) ENGINE = InnoDB;\n\n",
    BinaryLiteral,
    Shape,
    fh::BinaryTextForm::kRawBytes,
    /*uniqueOnSoleKey=*/true,
    /*unsignedBigintAsText=*/false,
    /*numericTextComparand=*/nullptr,
    /*savepointsNest=*/false,
    /*tableCountHead=*/
    "select count(*) from information_schema.tables where table_schema = database() and "
    "lower(table_name) = lower(",
};

const SQLDialect kMysqlDialect = {
    kMysqlWords.name,   MysqlGenSelectQuery, MysqlGenUpdateQuery,           MysqlGenInsertQuery,
    MysqlGenDelteQuery, MysqlGenCreateQuery, MysqlConvResultsetToRowobject,
};

std::optional<std::string> MysqlGenSelectQuery(SelectQuery* selectQuery) {
  return fh::GenSelectText(kMysqlWords, selectQuery);
}

std::optional<std::string> MysqlGenUpdateQuery(const char* tableName, const RowObject* row) {
  return fh::GenUpdateText(kMysqlWords, tableName, row);
}

std::optional<std::string> MysqlGenInsertQuery(const char* tableName, const RowObject* row) {
  return fh::GenInsertText(kMysqlWords, tableName, row);
}

std::optional<std::string> MysqlGenDelteQuery(const char* tableName, const RowObject* row) {
  return fh::GenDeleteText(kMysqlWords, tableName, row);
}

std::optional<std::string> MysqlGenCreateQuery(const char* tableName) {
  return fh::GenCreateText(kMysqlWords, tableName);
}

std::unique_ptr<RowObject> MysqlConvResultsetToRowobject(const DBResultSet* resultSet,
                                                         const char* tableName) {
  if (kMysqlWords.entryTraces) LogTrace("@@@ Inside MysqlConvResultsetToRowobject @@@\n");
  return fh::ConvertResultRow(kMysqlWords, resultSet, tableName);
}
