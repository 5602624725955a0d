#include "framework/statement_batch.h"

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "logging/log.h"
#include "sql/savepoint_sql.h"

namespace {

// How one pass over the batch ended.
enum class Pass {
  kAllRan,           // every statement not marked failed ran
  kSomeFailed,       // (savepoint pass) the failing ones marked, the rest ran
  kStatementFailed,  // (plain pass) stopped at a failing statement, now marked
  kControlFailed,    // a savepoint statement failed
  kLinkLost,         // the link went away after something ran
  kLinkDeadAtStart,  // the link was gone before anything ran
};

// Whether anything has run on the handle in this batch.
struct Progress {
  bool ranAny = false;
};

Pass LinkGone(const Progress& progress) {
  return progress.ranAny ? Pass::kLinkLost : Pass::kLinkDeadAtStart;
}

// Runs one statement and its follow-up. true when both succeeded.
bool RunOne(ConnectionHandle* handle, const BatchStatement& statement) {
  if (ExecuteUpdate(handle, statement.text.c_str()) != 1) return false;
  return !statement.followUp || statement.followUp(handle);
}

void MarkFailed(BatchStatement& statement) {
  LogError("Error in executing update query \n");
  LogError("QUERY : %s\n", statement.text.c_str());
  statement.failed = true;
}

// The statements not marked failed, plainly, stopping at the first failure.
Pass RunPlain(ConnectionHandle* handle, std::vector<BatchStatement>& batch, Progress& progress) {
  for (BatchStatement& statement : batch) {
    if (statement.failed) continue;
    if (!RunOne(handle, statement)) {
      if (IsConnectionBroken(*handle)) return LinkGone(progress);
      MarkFailed(statement);
      return Pass::kStatementFailed;
    }
    progress.ranAny = true;
  }
  return Pass::kAllRan;
}

// Runs a savepoint statement; the pass's end when it fails. It goes through
// ExecuteQuery, which runs a text directly (it is not prepared first):
// psqlODBC keeps savepoints of its own around each statement inside a
// transaction and loses track of them when a savepoint statement reaches it
// prepared. A statement without rows gives an empty result set.
bool RunControl(ConnectionHandle* handle, const std::string& text) {
  return ExecuteQuery(handle, text.c_str()) != nullptr;
}

// Where savepoints of one name nest, the statement savepoints are gathered
// under a group savepoint released (with every savepoint in it) after this
// many statements, so that few are open at any time.
constexpr int kGroupSize = 32;

// The statements not marked failed, each inside a savepoint: a failing one
// is rolled back alone and marked, and the pass goes on.
Pass RunGuarded(ConnectionHandle* handle, std::vector<BatchStatement>& batch, Progress& progress) {
  const ConnParamsEntry* parameters = GetConnParamsEntry(handle->connectionName.c_str());
  const char* dialect =
      parameters != nullptr && parameters->dialectName ? parameters->dialectName->c_str() : nullptr;
  const fh::SavepointSql savepoint = fh::MakeSavepointSql("fh_batch_statement", dialect);
  const fh::SavepointSql group = fh::MakeSavepointSql("fh_batch_group", dialect);
  bool anyFailed = false;
  int guarded = 0;  // statements run so far
  for (BatchStatement& statement : batch) {
    if (statement.failed) continue;
    bool ok = true;
    if (savepoint.nests && guarded % kGroupSize == 0) {
      ok = (guarded == 0 || RunControl(handle, group.release)) && RunControl(handle, group.set);
    }
    ok = ok && RunControl(handle, savepoint.set);
    ++guarded;
    if (ok) {
      const bool ran = RunOne(handle, statement);
      if (!ran && !IsConnectionBroken(*handle)) {
        MarkFailed(statement);
        anyFailed = true;
        ok = RunControl(handle, savepoint.rollbackTo) && RunControl(handle, savepoint.release);
      }
      progress.ranAny = progress.ranAny || ran;
    }
    if (IsConnectionBroken(*handle)) return LinkGone(progress);
    if (!ok) return Pass::kControlFailed;
  }
  if (savepoint.nests && guarded > 0 && !RunControl(handle, group.release)) {
    return IsConnectionBroken(*handle) ? LinkGone(progress) : Pass::kControlFailed;
  }
  return anyFailed ? Pass::kSomeFailed : Pass::kAllRan;
}

// The outcome of a pass whose statements ran (or failed) without writing.
BatchOutcome Unwritten(Pass pass) {
  switch (pass) {
    case Pass::kLinkLost:
      return BatchOutcome::kConnectionLost;
    case Pass::kLinkDeadAtStart:
      return BatchOutcome::kDeadBeforeStart;
    default:
      return BatchOutcome::kNotWritten;
  }
}

// Inside the caller's transaction: one pass, nothing begun or ended.
BatchOutcome RunInCallersTransaction(ConnectionHandle* handle, std::vector<BatchStatement>& batch,
                                     BatchMode mode) {
  Progress progress{true};  // the caller's transaction: never retried elsewhere
  const Pass pass = mode == BatchMode::kKeepGoing ? RunGuarded(handle, batch, progress)
                                                  : RunPlain(handle, batch, progress);
  if (pass == Pass::kAllRan) return BatchOutcome::kWritten;
  if (pass == Pass::kSomeFailed) return BatchOutcome::kSomeFailed;
  return Unwritten(pass);
}

// Commits a pass that ran; the outcome.
BatchOutcome Commit(ConnectionHandle* handle, Pass pass) {
  if (CommitTransaction(handle) != 1) {
    return IsConnectionBroken(*handle) ? BatchOutcome::kConnectionLost : BatchOutcome::kNotWritten;
  }
  return pass == Pass::kSomeFailed ? BatchOutcome::kSomeFailed : BatchOutcome::kWritten;
}

// One transaction for the pass, committed when it ran through. A plain pass
// stopped by a failing statement is rolled back and gives kSomeFailed (only
// a plain pass stops that way; a guarded one commits its failures).
BatchOutcome RunTransaction(ConnectionHandle* handle, std::vector<BatchStatement>& batch,
                            Progress& progress, bool guarded) {
  if (BeginTransaction(handle) != 1) {
    return IsConnectionBroken(*handle) ? Unwritten(LinkGone(progress)) : BatchOutcome::kNotWritten;
  }
  const Pass pass =
      guarded ? RunGuarded(handle, batch, progress) : RunPlain(handle, batch, progress);
  if (pass == Pass::kAllRan || pass == Pass::kSomeFailed) return Commit(handle, pass);
  RollbackTransaction(handle);
  if (pass == Pass::kStatementFailed) return BatchOutcome::kSomeFailed;  // the caller decides
  return Unwritten(pass);
}

bool HasWork(const std::vector<BatchStatement>& batch) {
  for (const BatchStatement& statement : batch) {
    if (!statement.failed) return true;
  }
  return false;
}

}  // namespace

BatchOutcome RunStatementBatch(ConnectionHandle* handle, std::vector<BatchStatement>& batch,
                               BatchMode mode) {
  if (handle == nullptr) return BatchOutcome::kNotWritten;
  if (IsInTransaction(*handle) != 0) return RunInCallersTransaction(handle, batch, mode);
  if (!HasWork(batch)) return BatchOutcome::kWritten;
  Progress progress;
  const BatchOutcome plain = RunTransaction(handle, batch, progress, false);
  // A plain pass that stopped at a failing statement was rolled back.
  const bool stopped = plain == BatchOutcome::kSomeFailed;
  if (!stopped) return plain;
  if (mode == BatchMode::kAllOrNothing) return BatchOutcome::kNotWritten;
  progress.ranAny = true;  // a lost link from here on is no dead start
  return RunTransaction(handle, batch, progress, true);
}

BatchOutcome RunStatementBatchOn(const char* connectionName, std::vector<BatchStatement>& batch,
                                 BatchMode mode) {
  const char* shown = connectionName != nullptr ? connectionName : "(default)";
  for (int attempt = 0;; ++attempt) {
    ConnectionHandle* handle = GetConnectionHandle(connectionName);
    if (handle == nullptr) {
      LogError("No connection to data source %s.\n", shown);
      return BatchOutcome::kNotWritten;
    }
    BatchOutcome outcome = RunStatementBatch(handle, batch, mode);
    ReleaseConnectionHandle(connectionName);
    if (outcome == BatchOutcome::kDeadBeforeStart && attempt == 0) continue;  // a fresh handle
    if (outcome == BatchOutcome::kDeadBeforeStart) outcome = BatchOutcome::kConnectionLost;
    if (outcome == BatchOutcome::kConnectionLost) {
      LogError("The connection to data source %s was lost; nothing of the batch was written.\n",
               shown);
    }
    return outcome;
  }
}
