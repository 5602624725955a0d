// Saving an object: each changed row becomes one INSERT, UPDATE or DELETE in
// its table's dialect, run on a handle of its table's connection. Inserts and
// updates go parents first, deletes children first, so that foreign keys
// hold at every step. SaveDataObject plans every row's statement first
// (framework/row_statements.h) and then runs each connection's statements as
// one all-or-nothing batch (framework/statement_batch.h).
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_edit_internal.h"
#include "dataobject/data_object_route_internal.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "framework/row_statements.h"
#include "framework/statement_batch.h"
#include "log/log.h"
#include "sql/bound_statements.h"
#include "sql/sql_dialects.h"
#include "store/row_write.h"

namespace {

using Statement = fh::RowWrite;

bool RunOnTableConnection(const char* table, const std::string& text) {
  const char* connection = fh::dataobject::ConnectionForTable(table);
  ConnectionHandle* handle = GetConnectionHandle(connection);
  const int result = handle != nullptr ? ExecuteUpdate(handle, text.c_str()) : 0;
  if (handle != nullptr) ReleaseConnectionHandle(connection);
  if (result == 1) return true;
  LogError("Error in executing update query \n");
  LogError("QUERY : %s\n", text.c_str());
  return false;
}

bool WriteRow(RowUnit* row, DataObject* object, Statement statement) {
  std::unique_ptr<RowObject> full = GetRowObjectFromRowUnit(row, object);
  if (full == nullptr) {
    LogError("Cannot convert RowUnit to RowObject.\n");
    return false;
  }
  const std::optional<std::string> text =
      fh::RowStatementText(statement, row->tableName, full.get());
  if (!text) {
    LogError("QueryPtr is NULL.\n");
    return false;
  }
  if (!RunOnTableConnection(row->tableName, *text)) return false;
  // Written: the row now matches the database.
  row->state = statement == Statement::kDelete ? fh::kRowDeleted : fh::kRowPersisted;
  return true;
}

// Saves the rows of collection whose statement is one of wanted.
bool SaveRows(RowCollection* collection, DataObject* object, bool inserts, bool deletes) {
  bool saved = true;
  for (RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
    const Statement statement = fh::WriteFor(row->state);
    const bool isDelete = statement == Statement::kDelete;
    if (statement == Statement::kNone || (isDelete ? !deletes : !inserts)) continue;
    saved = SaveRowUnit(row, object) && saved;
  }
  return saved;
}

// The statements of one connection in a save, in save order, with the
// rows they write and the state each row gets once its statement is
// committed.
struct ConnectionBatch {
  std::string connection;
  std::vector<fh::BatchStatement> statements;
  std::vector<std::pair<RowUnit*, uint8_t>> rows;    // parallel to statements
  std::vector<std::unique_ptr<RowObject>> fullRows;  // kept for the index follow-ups
};
using SaveBatches = std::vector<ConnectionBatch>;

ConnectionBatch& BatchFor(SaveBatches& batches, const std::string& connection) {
  for (ConnectionBatch& batch : batches) {
    if (batch.connection == connection) return batch;
  }
  batches.push_back(ConnectionBatch{connection, {}, {}, {}});
  return batches.back();
}

// The connection a table's statements run on, by name (the pool's only data
// source when the data-source mode is off).
std::string ConnectionNameFor(const char* table) {
  const char* connection = fh::dataobject::ConnectionForTable(table);
  if (connection == nullptr) connection = GetDefaultConnectionName();
  return connection != nullptr ? connection : "";
}

// Plans the statements of collection's rows: its deletes when deletes, else
// its inserts and updates. false when a row's statement cannot be made
// (logged; the row keeps its state).
bool PlanRows(RowCollection* collection, DataObject* object, bool deletes, SaveBatches& batches) {
  bool planned = true;
  fh::RowStatementPlanner planner;
  for (RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
    const Statement statement = fh::WriteFor(row->state);
    if (!deletes) {  // each row reported once, in the first pass
      LogDebug("RowState %d\n", row->state);
      if (statement == Statement::kInvalid) {
        LogError("Invalid State for keyStr.  Cannot Save.\n");
        planned = false;
      }
    }
    if (statement == Statement::kNone || (statement == Statement::kDelete) != deletes) continue;
    std::unique_ptr<RowObject> full = GetRowObjectFromRowUnit(row, object);
    if (full == nullptr) {
      LogError("Cannot convert RowUnit to RowObject.\n");
      planned = false;
      continue;
    }
    const char* table = row->tableName;
    std::string connection;
    std::optional<fh::BatchStatement> next = planner.Plan(statement, table, full.get(), [&] {
      connection = ConnectionNameFor(table);
      return connection;
    });
    if (!next) {
      LogError("QueryPtr is NULL.\n");
      planned = false;
      continue;
    }
    ConnectionBatch& batch = BatchFor(batches, connection);
    batch.statements.push_back(std::move(*next));
    batch.rows.emplace_back(row,
                            statement == Statement::kDelete ? fh::kRowDeleted : fh::kRowPersisted);
    batch.fullRows.push_back(std::move(full));
  }
  return planned;
}

// Runs each connection's statements as one transaction, all or nothing, and
// gives the rows of a committed one their new state. Stops at the first
// connection whose share is not written (its rows and those of the
// connections after it keep their states): false then.
bool RunBatches(SaveBatches& batches) {
  for (ConnectionBatch& batch : batches) {
    const char* connection = batch.connection.empty() ? nullptr : batch.connection.c_str();
    const fh::BatchOutcome outcome =
        fh::RunStatementBatchOn(connection, batch.statements, fh::BatchMode::kAllOrNothing);
    if (outcome != fh::BatchOutcome::kWritten) {
      LogError("Cannot commit the save of the data object on %s\n", batch.connection.c_str());
      return false;
    }
    for (auto& [row, state] : batch.rows) row->state = state;
  }
  return true;
}

}  // namespace

std::unique_ptr<RowObject> GetRowObjectFromRowUnit(const RowUnit* row, const DataObject* object) {
  LogTrace("@@@@  Inside GetRowObjectFromRowUnit @@@@\n");
  const RowCollection* collection =
      row != nullptr ? fh::dataobject::FindCollection(object, row->tableName) : nullptr;
  if (collection == nullptr || collection->tableDefn == nullptr) return nullptr;
  try {
    std::unique_ptr<RowObject> full = fh::dataobject::RowForEvaluation(row, collection);
    if (full == nullptr) return nullptr;
    const std::vector<ColumnDefnEntry>& columns = collection->tableDefn->columns;
    for (std::size_t c = 0; c < columns.size(); ++c) {
      if (fh::dataobject::CollectionColumnIndex(collection, columns[c].columnName.c_str()) >= 0)
        continue;
      if (columns[c].defaultValue) {
        full->values[c] = *columns[c].defaultValue;
        full->lengths[c] = full->values[c]->length();
      } else if (!columns[c].isNullable) {
        LogError(
            "Cannot save RowUnit. Column %s is not not nullable and does not have a default "
            "value\n",
            columns[c].columnName.c_str());
        return nullptr;
      }
    }
    return full;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

bool SaveRowUnit(RowUnit* row, DataObject* object) {
  LogTrace("@@@@  Inside SaveRowUnit @@@@\n");
  if (row == nullptr || object == nullptr) return false;
  LogDebug("RowState %d\n", row->state);
  const Statement statement = fh::WriteFor(row->state);
  if (statement == Statement::kInvalid) {
    LogError("Invalid State for keyStr.  Cannot Save.\n");
    return false;
  }
  if (statement == Statement::kNone) return true;
  try {
    return WriteRow(row, object, statement);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool SaveRowCollection(RowCollection* collection, DataObject* object) {
  LogTrace("@@@@  Inside SaveRowCollection @@@@\n");
  if (collection == nullptr || object == nullptr) return false;
  return SaveRows(collection, object, true, true);
}

bool SaveDataObject(DataObject* object) {
  LogTrace("@@@@  Inside SaveDataObject @@@@\n");
  if (object == nullptr || !SortTableByFK(object)) return false;
  try {
    std::vector<RowCollection*> ordered;
    for (VectorNode* node = object->tableList->head.get(); node != nullptr;
         node = node->next.get()) {
      RowCollection* collection =
          fh::dataobject::FindCollection(object, static_cast<const char*>(node->data));
      if (collection != nullptr) ordered.push_back(collection);
    }
    SaveBatches batches;
    bool planned = true;
    for (RowCollection* collection : ordered)
      planned = PlanRows(collection, object, false, batches) && planned;
    for (auto it = ordered.rbegin(); it != ordered.rend(); ++it)
      planned = PlanRows(*it, object, true, batches) && planned;
    if (!planned) {
      LogError("The data object is not saved: some of its rows cannot be written.\n");
      return false;
    }
    return RunBatches(batches);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}
