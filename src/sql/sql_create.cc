// The create-table text of a table definition: columns with their defaults
// and constraints, the primary key and the foreign keys
// (sql/sql_generator.h).
#include <new>
#include <vector>

#include "dictionary/foreign_keys.h"
#include "log/log.h"
#include "sql/sql_generator.h"
#include "sql/sql_generator_internal.h"

namespace fh {

namespace {

using sqlgen::Format;
using sqlgen::HasPrimaryKey;
using sqlgen::IsKeyColumn;

std::string DefaultText(const DialectWords& words, const ColumnDefnEntry& column) {
  if (!column.defaultValue) return " ";
  const auto literal = WriteSqlLiteral(words, &*column.defaultValue, column.dataType);
  if (!literal || *literal == "NULL") return " ";
  return "DEFAULT " + *literal;
}

void TraceColumn(const ColumnDefnEntry& column) {
  LogTrace("Column Name : %s\n", column.columnName.c_str());
  LogTrace("Column Type : %d\n", column.dataType);
  LogTrace("Unique Flag : %s\n", column.isUnique ? "TRUE" : "FALSE");
  LogTrace("Description : %s\n", column.description.value_or("").c_str());
  LogTrace("---------------------------------------\n\n");
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

// One constraint per foreign key (fh::GroupForeignKeys); ON DELETE CASCADE
// only where the dictionary asks for it.
std::string ForeignKeys(const DialectWords& words, const TableDefn& table) {
  const std::vector<ForeignKey> keys = GroupForeignKeys(table);
  std::string text = ",\n";
  for (std::size_t group = 0; group < keys.size(); ++group) {
    const ForeignKey& key = keys[group];
    const std::string local = Joined(key.localColumns);
    text += Format("\tFOREIGN KEY(%s) REFERENCES %s (%s)", local.c_str(),
                   key.referenceTable.c_str(), Joined(key.referenceColumns).c_str());
    if (key.onDeleteCascade) text += " ON DELETE CASCADE";
    if (words.indexClause) {
      text +=
          ",\n" + Format("\tINDEX %s_IDX%zu (%s)", table.tableName.c_str(), group, local.c_str());
    }
    if (group + 1 < keys.size()) text += ",\n";
  }
  return text;
}

}  // namespace

std::optional<std::string> GenCreateText(const DialectWords& words, const char* tableName) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenCreateQuery @@@\n", words.prefix);
  if (tableName == nullptr) return std::nullopt;
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr || table->columns.empty()) return std::nullopt;
  try {
    LogTrace("Table Name : %s\n", table->tableName.c_str());
    LogTrace("Description: %s\n", table->description.value_or("").c_str());
    LogTrace("---------------------------------------\n\n");
    const bool hasKey = HasPrimaryKey(*table);
    std::string text = "CREATE TABLE " + table->tableName + "(\n";
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      TraceColumn(column);
      const ColumnShape shape = words.columnShape(column, IsKeyColumn(*table, column.columnName));
      if (!shape.type.empty()) {
        text += "\t" + column.columnName + " " + shape.type;
        if (shape.takesDefault) text += " " + DefaultText(words, column);
        if (shape.trailingBlank) text += " ";
      }
      if (!column.isNullable) text += " NOT NULL";
      const bool soleKey = hasKey && table->constraints->primaryKeyColumns.size() == 1 &&
                           IsKeyColumn(*table, column.columnName);
      if (column.isUnique && (words.uniqueOnSoleKey || !soleKey)) text += " UNIQUE";
      text += i + 1 < table->columns.size() || hasKey ? ",\n" : "\n";
    }
    if (hasKey) {
      text += "\tPRIMARY KEY(";
      const auto& keys = table->constraints->primaryKeyColumns;
      for (std::size_t i = 0; i < keys.size(); ++i) {
        LogTrace("Primary key : %s\n\n", keys[i].c_str());
        text += (i == 0 ? "" : ", ") + keys[i];
      }
      text += ")";
    }
    if (table->constraints && !table->constraints->foreignKeys.empty()) {
      LogTrace("Foreign key Constraints\n");
      LogTrace("********************************\n");
      text += ForeignKeys(words, *table);
      LogTrace("********************************\n");
    }
    text += words.createEnd;
    LogTrace("Create query is\n%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("@@@ Query String Copy falied @@@\n");
    return std::nullopt;
  }
}

}  // namespace fh
