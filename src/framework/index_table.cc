#include "framework/index_table.h"

#include <strings.h>

#include <algorithm>

#include "logging/log.h"

namespace {

bool Walk(const std::string& table, const std::string& column, std::vector<std::string>& path,
          std::vector<std::string>& rootTables, std::vector<std::string>& rootColumns) {
  const TableDefn* definition = GetTableDefn(table.c_str());
  if (definition == nullptr) {
    LogError("No table definition found for %s\n", table.c_str());
    return false;
  }
  const bool onPath = std::any_of(path.begin(), path.end(), [&](const std::string& name) {
    return strcasecmp(name.c_str(), table.c_str()) == 0;
  });
  if (onPath) {
    LogError("Foreign key cycle at table %s\n", table.c_str());
    return false;
  }
  if (!definition->constraints || definition->constraints->foreignKeys.empty()) {
    for (std::size_t i = 0; i < rootTables.size(); ++i) {
      if (strcasecmp(rootTables[i].c_str(), table.c_str()) == 0 && rootColumns[i] == column)
        return true;
    }
    rootTables.push_back(definition->tableName);
    rootColumns.push_back(column);
    return true;
  }
  path.push_back(table);
  for (const ForeignKeyDefn& key : definition->constraints->foreignKeys) {
    if (!Walk(key.referenceTable, key.referenceColumn, path, rootTables, rootColumns)) {
      return false;
    }
  }
  path.pop_back();
  return true;
}

}  // namespace

bool FindRootTable(const char* tableName, const char* columnName,
                   std::vector<std::string>& rootTables, std::vector<std::string>& rootColumns) {
  LogTrace("@@@ Inside FindRootTable @@@\n");
  if (tableName == nullptr) return false;
  std::vector<std::string> path;
  return Walk(tableName, columnName != nullptr ? columnName : "", path, rootTables, rootColumns);
}

int GetColIndex(const char* columnName, const char* tableName, const TableDefn* tableDefn) {
  LogTrace("@@@ Inside GetColIndex @@@\n");
  if (tableDefn == nullptr && tableName != nullptr) tableDefn = GetTableDefn(tableName);
  if (tableDefn == nullptr || columnName == nullptr) return -1;
  for (std::size_t i = 0; i < tableDefn->columns.size(); ++i) {
    if (tableDefn->columns[i].columnName == columnName) return static_cast<int>(i);
  }
  return -1;
}
