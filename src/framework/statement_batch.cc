#include "framework/statement_batch.h"

#include "db/connection.h"
#include "logging/log.h"

namespace {

bool RunOne(ConnectionHandle* handle, const BatchStatement& statement) {
  if (ExecuteUpdate(handle, statement.text.c_str()) != 1) return false;
  return !statement.followUp || statement.followUp(handle);
}

// Runs the statements not yet failed; false at the first failure (logged,
// marked failed) when stopAtFailure, else after running them all.
bool RunStatements(ConnectionHandle* handle, std::vector<BatchStatement>& batch,
                   bool stopAtFailure) {
  bool allRan = true;
  for (BatchStatement& statement : batch) {
    if (statement.failed || RunOne(handle, statement)) continue;
    LogError("Error in executing update query \n");
    LogError("QUERY : %s\n", statement.text.c_str());
    statement.failed = true;
    allRan = false;
    if (stopAtFailure) return false;
  }
  return allRan;
}

bool HasWork(const std::vector<BatchStatement>& batch) {
  for (const BatchStatement& statement : batch) {
    if (!statement.failed) return true;
  }
  return false;
}

}  // namespace

bool RunStatementBatch(ConnectionHandle* handle, std::vector<BatchStatement>& batch) {
  if (IsInTransaction(*handle) != 0) {
    RunStatements(handle, batch, false);
    return true;
  }
  // Each failed attempt marks one more statement failed, so this ends.
  while (HasWork(batch)) {
    if (BeginTransaction(handle) != 1) return false;
    if (RunStatements(handle, batch, true)) return CommitTransaction(handle) == 1;
    RollbackTransaction(handle);
  }
  return true;
}
