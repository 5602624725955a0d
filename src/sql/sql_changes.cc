// The insert, update-by-key and delete-by-key texts of a row
// (sql/sql_generator.h).
#include <new>

#include "log/log.h"
#include "sql/sql_generator.h"
#include "sql/sql_generator_internal.h"

namespace fh {

namespace {

using sqlgen::HasPrimaryKey;
using sqlgen::IsKeyColumn;
using sqlgen::kUnsupported;

const ColumnValue* RowValue(const RowObject& row, std::size_t index) {
  if (index >= row.values.size() || !row.values[index]) return nullptr;
  return &*row.values[index];
}

// The definition a statement is written for; none (silently) without one or
// without columns, or for a null row.
const TableDefn* StatementTable(const char* tableName, const RowObject* row) {
  if (tableName == nullptr || row == nullptr) return nullptr;
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr || table->columns.empty()) return nullptr;
  return table;
}

bool RequirePrimaryKey(const TableDefn& table) {
  if (HasPrimaryKey(table)) return true;
  LogError("Cannot generate query for table %s: it has no primary key.\n", table.tableName.c_str());
  return false;
}

}  // namespace

std::optional<std::string> GenUpdateText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenUpdateQuery @@@\n", words.prefix);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr || !RequirePrimaryKey(*table)) return std::nullopt;
  try {
    std::string sets;
    std::string where;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      const bool isKey = IsKeyColumn(*table, column.columnName);
      if (isKey) LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), column.dataType);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      if (isKey) {
        if (*literal == "NULL") continue;
        where += (where.empty() ? "" : " and ") + column.columnName + "=" + *literal;
      } else {
        sets += (sets.empty() ? "" : ",") + column.columnName + "=" + *literal;
      }
    }
    if (where.empty()) {
      LogError("Cannot generate query for table %s: its primary key is NULL.\n",
               table->tableName.c_str());
      return std::nullopt;
    }
    std::string text = "update " + table->tableName + " set " + sets + " where " + where;
    if (words.updateTraceBlank) {
      LogTrace("Update query is @@@ %s\n", text.c_str());
    } else {
      LogTrace("Update query is @@@%s\n", text.c_str());
    }
    return text;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
    return std::nullopt;
  }
}

std::optional<std::string> GenInsertText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenInsertQuery @@@\n", words.prefix);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr) return std::nullopt;
  try {
    std::string text = "insert into  " + table->tableName + " values(";
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), table->columns[i].dataType);
      text += (i == 0 ? "" : ",") + literal.value_or("NULL");
    }
    text += words.insertClose;
    if (words.insertTrace) LogTrace("Insert query is @@@%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
    return std::nullopt;
  }
}

std::optional<std::string> GenDeleteText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %s @@@\n", words.deleteName);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr || !RequirePrimaryKey(*table)) return std::nullopt;
  try {
    std::string where;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      if (!IsKeyColumn(*table, column.columnName)) continue;
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), column.dataType);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      where += (where.empty() ? "" : " and ") + column.columnName + "=" + *literal;
    }
    std::string text = "delete from " + table->tableName + "  where " + where;
    LogTrace("Delete query is @@@%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace fh
