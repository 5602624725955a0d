#include "sql/index_table_sql.h"

#include "dictionary/column_types.h"
#include "dictionary/sql_text.h"

namespace fh {

std::string IndexTableName(std::string_view rootTable) {
  std::string name(rootTable);
  name += "_IDX";
  return name;
}

std::optional<std::string> IndexKeyColumnType(const ColumnDefnEntry& column) {
  switch (column.dataType) {
    case KES_SQL_TINYINT:
    case KES_SQL_UNSIGNED_TINYINT:
    case KES_SQL_SMALLINT:
    case KES_SQL_UNSIGNED_SMALLINT:
    case KES_SQL_INT:
      return "INT";
    case KES_SQL_UNSIGNED_INT:
    case KES_SQL_BIGINT:
    case KES_SQL_UNSIGNED_LONG_INT:
      return "BIGINT";
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
    case KES_SQL_TEXT:
      if (column.maxSize <= 0) return "TEXT";
      return "VARCHAR(" + std::to_string(column.maxSize) + ")";
    default:
      return std::nullopt;
  }
}

std::string IndexTableCreateText(std::string_view rootTable, std::string_view keyColumns) {
  std::string text = "CREATE TABLE " + IndexTableName(rootTable) + "(";
  text += keyColumns;
  text += " TABLENAME VARCHAR(40))";
  return text;
}

std::string IndexTableSelectText(std::string_view rootTable, std::string_view condition) {
  std::string text = "SELECT TABLENAME FROM " + IndexTableName(rootTable) + " WHERE ";
  text += condition;
  return text;
}

std::string IndexTextLiteral(const DialectWords* words, std::string_view text) {
  return QuoteSqlText(text, words != nullptr && words->backslashEscapes());
}

IndexEntrySql MakeIndexEntrySql(const DialectWords* words, std::string_view rootTable,
                                std::string_view keyColumn, std::string_view keyLiteral,
                                std::string_view tableName) {
  const std::string index = IndexTableName(rootTable);
  const std::string table = IndexTextLiteral(words, tableName);
  std::string pair(keyColumn);
  pair += " = ";
  pair += keyLiteral;
  pair += " AND TABLENAME = " + table;
  IndexEntrySql sql;
  sql.count = "SELECT count(*) FROM " + index + " WHERE " + pair;
  sql.insert = "INSERT INTO " + index + " VALUES (";
  sql.insert += keyLiteral;
  sql.insert += ", " + table + ")";
  sql.boundInsert = "INSERT INTO " + index + " VALUES (?, ?)";
  sql.remove = "DELETE FROM " + index + " WHERE " + pair;
  sql.boundRemove = "DELETE FROM " + index + " WHERE ";
  sql.boundRemove += keyColumn;
  sql.boundRemove += " = ? AND TABLENAME = ?";
  return sql;
}

}  // namespace fh
