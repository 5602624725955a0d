#include "framework/table_saver.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/connection_pool.h"
#include "framework/config_files.h"
#include "framework/data_source_map.h"
#include "logging/log.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/object_lock.h"
#include "util/text_line.h"

namespace {

// One row's statement in a save.
struct PlannedStatement {
  RowObject* row = nullptr;
  std::string text;
  bool isDelete = false;
  bool failed = false;  // not written: the row keeps its state
};

std::optional<std::string> StatementFor(const char* tableName, const RowObject& row,
                                        bool* isDelete) {
  *isDelete = false;
  if ((row.state & kRowPersisted) != 0 && (row.state & kRowDeleted) != 0) {
    *isDelete = true;
    return GenerateDeleteQuery(tableName, &row);
  }
  if (row.state == (kRowPersisted | kRowUpdated)) return GenerateUpdateQuery(tableName, &row);
  if (row.state == kRowNew || row.state == (kRowNew | kRowUpdated)) {
    return GenerateInsertQuery(tableName, &row);
  }
  return std::nullopt;
}

bool HasStatement(const RowObject& row) {
  const bool deleted = (row.state & kRowPersisted) != 0 && (row.state & kRowDeleted) != 0;
  return deleted || row.state == (kRowPersisted | kRowUpdated) || row.state == kRowNew ||
         row.state == (kRowNew | kRowUpdated);
}

// The statements of every row that needs one, in list order. A row whose
// text cannot be generated is planned as failed.
std::vector<PlannedStatement> PlanSave(const TableData& table) {
  std::vector<PlannedStatement> plan;
  for (RowObject* row = table.firstRow.get(); row != nullptr; row = row->next.get()) {
    if (!HasStatement(*row)) continue;
    PlannedStatement statement;
    statement.row = row;
    std::optional<std::string> text =
        StatementFor(table.tableName.c_str(), *row, &statement.isDelete);
    if (text) {
      statement.text = std::move(*text);
    } else {
      LogError("Error in executing update query \n");
      LogError("QUERY : %s\n", "(none)");
      statement.failed = true;
    }
    plan.push_back(std::move(statement));
  }
  return plan;
}

// Runs the statements not yet failed; false at the first failure (logged,
// marked failed) when stopAtFailure, else after running them all.
bool RunStatements(ConnectionHandle* handle, std::vector<PlannedStatement>& plan,
                   bool stopAtFailure) {
  bool allRan = true;
  for (PlannedStatement& statement : plan) {
    if (statement.failed) continue;
    if (ExecuteUpdate(handle, statement.text.c_str()) == 1) continue;
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", statement.text.c_str());
    statement.failed = true;
    allRan = false;
    if (stopAtFailure) return false;
  }
  return allRan;
}

// Runs the plan in one transaction: after a failed statement the transaction
// is rolled back and run again without it, until one run succeeds whole.
// false when a transaction cannot be begun or committed.
bool RunInTransaction(ConnectionHandle* handle, std::vector<PlannedStatement>& plan) {
  for (;;) {
    if (BeginTransaction(handle) != 1) return false;
    if (RunStatements(handle, plan, true)) return CommitTransaction(handle) == 1;
    RollbackTransaction(handle);
  }
}

// Gives the written rows their new state: persisted, or removed and freed
// for a delete. Runs without the criteria lock, so listeners may select.
void ApplySaved(const char* tableName, const std::vector<PlannedStatement>& plan) {
  for (const PlannedStatement& statement : plan) {
    if (statement.failed) continue;
    if (statement.isDelete) {
      statement.row->state = kRowDeleted;
      DeleteRowObject(tableName, statement.row);
    } else {
      statement.row->state = kRowPersisted;
    }
  }
}

bool SaveLoadedTable(TableData& table) {
  const char* tableName = table.tableName.c_str();
  const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
  if (entry == nullptr) return false;
  const std::string connection = entry->connectionName;
  std::vector<PlannedStatement> plan;
  bool written = true;
  {
    ObjectLockGuard lock(CriteriaLockAddress());
    ConnectionHandle* handle = GetConnectionHandle(connection.c_str());
    if (handle == nullptr) return false;
    plan = PlanSave(table);
    if (IsInTransaction(*handle) != 0) {
      RunStatements(handle, plan, false);
    } else if (!plan.empty()) {
      written = RunInTransaction(handle, plan);
    }
    ReleaseConnectionHandle(connection.c_str());
  }
  if (!written) {
    LogError("Cannot commit the save of %s\n", tableName);
    return false;
  }
  ApplySaved(tableName, plan);
  return true;
}

}  // namespace

bool SaveTable(const char* tableName) {
  LogTrace("@@@ Inside SaveTable @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return false;
  try {
    return SaveLoadedTable(*table);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool SaveAllTables() {
  LogTrace("@@@ Inside SaveAllTables @@@\n");
  try {
    for (const std::string& name : GetLoadedTableNames()) SaveTable(name.c_str());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

bool SaveTablesFromList() {
  LogTrace("\t@@@@@ Inside SaveTablesFromList @@@@@\n");
  const std::optional<std::string> path =
      ComposeDataPath(DataDirectory::kTesselRoot, "savetableslist.txt");
  ConfigFileStream stream;
  if (path) {
    LogDebug("Opening %s\n", path->c_str());
    stream = OpenDataFileForRead(path->c_str());
  }
  if (stream == nullptr) {
    LogError("No tables to be saved.\n");
    return true;
  }
  try {
    std::string line;
    while (fh::ReadTextLine(stream.get(), line)) {
      const std::string name = line.substr(0, line.find(' '));
      if (!name.empty()) SaveTable(name.c_str());
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}
