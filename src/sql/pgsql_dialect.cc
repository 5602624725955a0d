#include "sql/pgsql_dialect.h"

#include "log/log.h"
#include "sql/sql_generator.h"

namespace {

std::string BinaryLiteral(const unsigned char* bytes, std::size_t length) {
  return "decode('" + fh::HexText(bytes, length) + "','hex')";
}

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
      return {"numeric(20)", true, false};
    case KES_SQL_FLOAT:
    case KES_SQL_REAL:
      return {"real", true, false};
    case KES_SQL_DOUBLE:
      return {"double precision", true, false};
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
      return {"numeric(38,10)", true, false};
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
      return {"varchar(" + std::to_string(column.maxSize + 1) + ")", true, false};
    case KES_SQL_TEXT:
      return {"text", false, true};
    case KES_SQL_DATETIME:
      return {"timestamp", false, false};
    case KES_SQL_DATE:
      return {"date", false, false};
    case KES_SQL_TIME:
      return {"time", false, false};
    case KES_SQL_BOOLEAN:
      return {"boolean", true, true};
    case KES_SQL_NOT_SUPPORTED_TYPE:  // raw bytes
    case KES_SQL_BLOB:
      return {"bytea", true, false};
    case KES_SQL_CLOB:
      return {"text", true, false};
    default:
      return {};
  }
}

}  // namespace

const fh::DialectWords kPgsqlWords = {
    "PGSQL",
    "Pgsql",
    "PgsqlGenDeleteQuery",
    fh::PagingForm::kLimitOffset,
    /*aliasKeyword=*/true,
    "'t'",
    "'f'",
    /*entryTraces=*/true,
    /*insertTrace=*/false,
    /*updateTraceBlank=*/false,
    ");",
    /*indexClause=*/false,
    "\n);\n\n",
    BinaryLiteral,
    Shape,
    fh::BinaryTextForm::kHexDigits,
    /*uniqueOnSoleKey=*/true,
    /*unsignedBigintAsText=*/false,
    /*numericTextComparand=*/nullptr,
    /*savepointsNest=*/false,
    /*tableCountHead=*/
    "select count(*) from information_schema.tables where table_schema = current_schema() "
    "and lower(table_name) = lower(",
};

const SQLDialect kPgsqlDialect = {
    kPgsqlWords.name,
    PgsqlGenSelectQuery,
    fh::PgsqlGenUpdateQuery,
    fh::PgsqlGenInsertQuery,
    PgsqlGenDeleteQuery,
    PgsqlGenCreateQuery,
    PgsqlConvResultsetToRowobject,
};

std::optional<std::string> PgsqlGenSelectQuery(SelectQuery* selectQuery) {
  return fh::GenSelectText(kPgsqlWords, selectQuery);
}

std::optional<std::string> fh::PgsqlGenUpdateQuery(const char* tableName, const RowObject* row) {
  return fh::GenUpdateText(kPgsqlWords, tableName, row);
}

std::optional<std::string> fh::PgsqlGenInsertQuery(const char* tableName, const RowObject* row) {
  return fh::GenInsertText(kPgsqlWords, tableName, row);
}

std::optional<std::string> PgsqlGenDeleteQuery(const char* tableName, const RowObject* row) {
  return fh::GenDeleteText(kPgsqlWords, tableName, row);
}

std::optional<std::string> PgsqlGenCreateQuery(const char* tableName) {
  return fh::GenCreateText(kPgsqlWords, tableName);
}

std::unique_ptr<RowObject> PgsqlConvResultsetToRowobject(const DBResultSet* resultSet,
                                                         const char* tableName) {
  if (kPgsqlWords.entryTraces) LogTrace("@@@ Inside PgsqlConvResultsetToRowobject @@@\n");
  return fh::ConvertResultRow(kPgsqlWords, resultSet, tableName);
}
