#include "sql/firebird_dialect.h"

#include "log/log.h"
#include "sql/sql_generator.h"

namespace {

std::string BinaryLiteral(const unsigned char* bytes, std::size_t length) {
  return "X'" + fh::HexText(bytes, length) + "'";
}

// Firebird has no text type: long texts are text blobs, which cannot be
// indexed, so a key column keeps a varchar.
fh::ColumnShape Shape(const ColumnDefnEntry& column, bool isKey) {
  const std::string varchar = "varchar(" + std::to_string(column.maxSize) + ")";
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
    case KES_SQL_UNSIGNED_LONG_INT:  // no Firebird 3 type holds 2^64 - 1
      return {"varchar(20)", true, false};
    case KES_SQL_FLOAT:
    case KES_SQL_REAL:
      return {"float", true, false};
    case KES_SQL_DOUBLE:
      return {"double precision", true, false};
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
      return {"decimal(18,6)", true, false};
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
      return {varchar, true, false};
    case KES_SQL_TEXT:
      return isKey ? fh::ColumnShape{varchar, true, false}
                   : fh::ColumnShape{"BLOB SUB_TYPE TEXT", false, true};
    case KES_SQL_DATETIME:
      return {"timestamp", false, false};
    case KES_SQL_DATE:
      return {"date", false, false};
    case KES_SQL_TIME:
      return {"time", false, false};
    case KES_SQL_BOOLEAN:
      return {"SMALLINT", true, true};
    case KES_SQL_NOT_SUPPORTED_TYPE:  // raw bytes
    case KES_SQL_BLOB:
      return {"BLOB SUB_TYPE BINARY", true, false};
    case KES_SQL_CLOB:
      return {"BLOB SUB_TYPE TEXT", true, false};
    default:
      return {};
  }
}

}  // namespace

const fh::DialectWords kFirebirdWords = {
    "FIREBIRD",
    "Firebird",
    "FirebirdGenDeleteQuery",
    fh::PagingForm::kFirstSkip,
    /*aliasKeyword=*/false,
    "1",
    "0",
    /*entryTraces=*/true,
    /*insertTrace=*/false,
    /*updateTraceBlank=*/false,
    ");",
    /*indexClause=*/false,
    "\n);\n\n",
    BinaryLiteral,
    Shape,
    fh::BinaryTextForm::kRawBytes,
    /*uniqueOnSoleKey=*/false,
    /*unsignedBigintAsText=*/true,
    /*numericTextComparand=*/nullptr,
    /*savepointsNest=*/false,
    /*tableCountHead=*/nullptr,
};

const SQLDialect kFirebirdDialect = {
    kFirebirdWords.name,
    FirebirdGenSelectQuery,
    FirebirdGenUpdateQuery,
    fh::FirebirdGenInsertQuery,
    fh::FirebirdGenDeleteQuery,
    fh::FirebirdGenCreateQuery,
    FirebirdConvResultsetToRowobject,
};

std::optional<std::string> FirebirdGenSelectQuery(SelectQuery* selectQuery) {
  return fh::GenSelectText(kFirebirdWords, selectQuery);
}

std::optional<std::string> FirebirdGenUpdateQuery(const char* tableName, const RowObject* row) {
  return fh::GenUpdateText(kFirebirdWords, tableName, row);
}

std::optional<std::string> fh::FirebirdGenInsertQuery(const char* tableName, const RowObject* row) {
  return fh::GenInsertText(kFirebirdWords, tableName, row);
}

std::optional<std::string> fh::FirebirdGenDeleteQuery(const char* tableName, const RowObject* row) {
  return fh::GenDeleteText(kFirebirdWords, tableName, row);
}

std::optional<std::string> fh::FirebirdGenCreateQuery(const char* tableName) {
  return fh::GenCreateText(kFirebirdWords, tableName);
}

std::unique_ptr<RowObject> FirebirdConvResultsetToRowobject(const DBResultSet* resultSet,
                                                            const char* tableName) {
  if (kFirebirdWords.entryTraces) LogTrace("@@@ Inside FirebirdConvResultsetToRowobject @@@\n");
  return fh::ConvertResultRow(kFirebirdWords, resultSet, tableName);
}
