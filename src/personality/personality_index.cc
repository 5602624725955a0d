#include "personality/personality_index.h"

#include <strings.h>

#include <new>

#include "db/connection.h"
#include "db/connection_pool.h"
#include "framework/index_table.h"
#include "log/log.h"
#include "sql/index_table_sql.h"

namespace {

bool NameIs(const std::string& name, const char* expected) {
  return strcasecmp(name.c_str(), expected) == 0;
}

// One dominant table's index table; false when it was not created. The
// index table is named after the definition's own spelling of the table,
// as the table saver names it.
bool CreateOneIndexTable(const std::string& dominantTable) {
  fh::RegisterIndexedDominantTable(dominantTable.c_str());
  const auto keys = GetPKColumnInfo(dominantTable.c_str());
  const auto columns = keys ? ConstructPKColumnString(*keys) : std::nullopt;
  bool created = false;
  if (columns) {
    const std::string text =
        fh::IndexTableCreateText(GetTableDefn(dominantTable.c_str())->tableName, *columns);
    const char* connection = fh::GetIndexTableConnection(dominantTable.c_str());
    if (ConnectionHandle* handle = GetConnectionHandle(connection); handle != nullptr) {
      created = ExecuteUpdate(handle, text.c_str()) == 1;
      ReleaseConnectionHandle(connection);
    }
  }
  if (!created) LogError("Cannot create Index Table for %s\n", dominantTable.c_str());
  return created;
}

}  // namespace

std::optional<std::vector<const ColumnDefnEntry*>> GetPKColumnInfo(const char* tableName) {
  LogTrace("@@@@ Inside GetPKColumnInfo @@@@\n");
  if (tableName == nullptr) {
    LogError("Cannot get PKColumnInfo.  TableName is NULL\n");
    return std::nullopt;
  }
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr) {
    LogError("No table definition found for %s.\n", tableName);
    return std::nullopt;
  }
  if (!table->constraints || table->constraints->primaryKeyColumns.empty()) {
    LogError("No constraints for table %s\n", tableName);
    return std::nullopt;
  }
  std::vector<const ColumnDefnEntry*> keys;
  for (const std::string& key : table->constraints->primaryKeyColumns) {
    for (const ColumnDefnEntry& column : table->columns) {
      if (column.columnName == key) keys.push_back(&column);
    }
  }
  return keys;
}

std::optional<std::string> ConstructPKColumnString(
    const std::vector<const ColumnDefnEntry*>& keys) {
  LogTrace("@@@@ Inside ConstructPKColumnString @@@@\n");
  std::string text;
  for (const ColumnDefnEntry* column : keys) {
    const auto type = fh::IndexKeyColumnType(*column);
    if (!type) {
      LogError("Cannot create index column for %s: unsupported key type %d\n",
               column->columnName.c_str(), column->dataType);
      return std::nullopt;
    }
    text += column->columnName + " " + *type + ", ";
  }
  return text;
}

bool CreateIndexTable(const std::vector<DoNode>& nodes) {
  LogTrace("@@@@ Inside CreateIndexTable @@@@\n");
  bool allCreated = true;
  try {
    for (const DoNode& node : nodes) {
      if (!NameIs(node.name, "DominantTableConfig")) continue;
      std::optional<std::string> dominantTable;
      bool indexed = false;
      for (const auto& [name, value] : node.attributes) {
        if (NameIs(name, "dominanttableid")) dominantTable = value;
        if (NameIs(name, "isindexed")) indexed = value == "true";
      }
      if (!indexed || !dominantTable) continue;
      if (!CreateOneIndexTable(*dominantTable)) allCreated = false;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return allCreated;
}

std::optional<std::string> ConstructPKValueString(const char* dominantTable, const RowUnit* row) {
  LogTrace("@@@@ Inside ConstructPKValueString @@@@\n");
  const TableDefn* table = dominantTable != nullptr ? GetTableDefn(dominantTable) : nullptr;
  if (table == nullptr) {
    LogError("No table definition found for %s\n", dominantTable != nullptr ? dominantTable : "");
    return std::nullopt;
  }
  if (!table->constraints || table->constraints->primaryKeyColumns.empty()) {
    LogError("No primary columns in the dominant table.\n");
    return std::nullopt;
  }
  try {
    std::string condition;
    for (const std::string& key : table->constraints->primaryKeyColumns) {
      const int index = GetColIndex(key.c_str(), nullptr, table);
      const auto position = static_cast<std::size_t>(index);
      std::optional<std::string> literal;
      if (index >= 0 && row != nullptr && position < row->values.size() && row->values[position]) {
        literal = fh::IndexKeyLiteral(&*row->values[position], table->columns[position].dataType,
                                      fh::GetIndexTableConnection(table->tableName.c_str()));
      }
      if (!literal) {
        LogError("Key column %s of %s has no value in the row.\n", key.c_str(),
                 table->tableName.c_str());
        return std::nullopt;
      }
      if (!condition.empty()) condition += " AND ";
      condition += key + " = " + *literal + " ";
    }
    return condition;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}
