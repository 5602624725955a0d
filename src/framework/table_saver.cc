#include "framework/table_saver.h"

#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "config/data_source_map.h"
#include "db/connection.h"
#include "framework/row_statements.h"
#include "framework/statement_batch.h"
#include "lock/object_lock.h"
#include "log/log.h"
#include "sql/table_route.h"
#include "store/row_write.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/text_line.h"

namespace {

// The rows a save writes, parallel to its statement batch.
struct PlannedRow {
  RowObject* row = nullptr;
  bool isDelete = false;
};

struct SavePlan {
  std::vector<PlannedRow> rows;
  std::vector<fh::BatchStatement> batch;
};

// The statements of every row that needs one, in list order, each planned
// by fh::RowStatementPlanner (with the row's index table entries as its
// follow-up where indexed dominant tables exist). An invalid state is left
// alone, as a row without a write. A row whose statement cannot be made is
// planned as failed.
SavePlan PlanSave(const TableData& table, const std::string& connection) {
  SavePlan plan;
  const char* tableName = table.tableName.c_str();
  fh::RowStatementPlanner planner;
  for (RowObject* row = table.firstRow.get(); row != nullptr; row = row->next.get()) {
    const fh::RowWrite write = fh::WriteFor(row->state);
    if (write == fh::RowWrite::kNone || write == fh::RowWrite::kInvalid) continue;
    std::optional<fh::BatchStatement> statement =
        planner.Plan(write, tableName, row, [&connection] { return connection; });
    if (!statement) {
      LogError("Error in executing update query \n");
      LogError("QUERY : %s\n", "(none)");
      statement.emplace();
      statement->failed = true;
    }
    plan.rows.push_back(PlannedRow{row, write == fh::RowWrite::kDelete});
    plan.batch.push_back(std::move(*statement));
  }
  return plan;
}

// Gives the written rows their new state: persisted, or removed and freed
// for a delete. Runs without the criteria lock, so listeners may select.
void ApplySaved(const char* tableName, const SavePlan& plan) {
  for (std::size_t i = 0; i < plan.rows.size(); ++i) {
    if (plan.batch[i].failed) continue;
    RowObject* row = plan.rows[i].row;
    if (plan.rows[i].isDelete) {
      row->state = fh::kRowDeleted;
      DeleteRowObject(tableName, row);
    } else {
      row->state = fh::kRowPersisted;
    }
  }
}

std::size_t CountFailed(const SavePlan& plan) {
  std::size_t failed = 0;
  for (const fh::BatchStatement& statement : plan.batch) failed += statement.failed ? 1 : 0;
  return failed;
}

bool SaveLoadedTable(TableData& table) {
  const char* tableName = table.tableName.c_str();
  const fh::TableRoute route = fh::RouteOfTable(tableName, fh::RouteLookup::kMapQuietly);
  if (!route.routable) return false;
  const std::string connection = route.connection;
  SavePlan plan;
  fh::BatchOutcome outcome = fh::BatchOutcome::kNotWritten;
  {
    fh::ObjectLockGuard lock(fh::CriteriaLockAddress());
    plan = PlanSave(table, connection);
    outcome = fh::RunStatementBatchOn(connection.c_str(), plan.batch, fh::BatchMode::kKeepGoing);
  }
  if (outcome != fh::BatchOutcome::kWritten && outcome != fh::BatchOutcome::kSomeFailed) {
    LogError("Cannot commit the save of %s\n", tableName);
    return false;
  }
  ApplySaved(tableName, plan);
  const std::size_t failed = CountFailed(plan);
  if (failed == 0) return true;
  LogError("%zu of %zu rows of %s were not saved and keep their state.\n", failed,
           plan.batch.size(), tableName);
  return false;
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
  bool saved = true;
  try {
    for (const std::string& name : fh::GetLoadedTableNames())
      saved = SaveTable(name.c_str()) && saved;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return saved;
}

bool SaveTablesFromList() {
  LogTrace("\t@@@@@ Inside SaveTablesFromList @@@@@\n");
  const std::optional<std::string> path =
      fh::ComposeDataPath(fh::DataDirectory::kTesselRoot, "savetableslist.txt");
  fh::ConfigFileStream stream;
  if (path) {
    LogDebug("Opening %s\n", path->c_str());
    stream = fh::OpenDataFileForRead(path->c_str());
  }
  if (stream == nullptr) {
    LogError("No tables to be saved.\n");
    return true;
  }
  bool saved = true;
  try {
    std::string line;
    while (fh::ReadTextLine(stream.get(), line)) {
      const std::string name = line.substr(0, line.find(' '));
      if (!name.empty()) saved = SaveTable(name.c_str()) && saved;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return saved;
}
