#include "framework/statement_batch.h"

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "log/log.h"
#include "sql/bound_statements.h"
#include "sql/savepoint_sql.h"

namespace fh {

namespace {

// How one pass over the batch ended.
enum class Pass {
  kAllRan,           // every statement not marked failed ran
  kSomeFailed,       // (savepoint pass) the failing ones marked, the rest ran
  kStatementFailed,  // (plain pass) stopped at a failing statement, now marked
  kArrayFailed,      // (plain pass) stopped at an execution of several rows
                     // that failed as a whole: which row failed is not known,
                     // nothing is marked
  kControlFailed,    // a savepoint statement failed
  kLinkLost,         // the link went away after something ran
  kLinkDeadAtStart,  // the link was gone before anything ran
};

// Whether anything has run on the handle in this batch.
struct Progress {
  bool ranAny = false;
  bool arrayFailed = false;  // the last plain pass ended with kArrayFailed
};

Pass LinkGone(const Progress& progress) {
  return progress.ranAny ? Pass::kLinkLost : Pass::kLinkDeadAtStart;
}

// The prepared statements of one run on one handle, one per distinct marker
// text, finalized when the run ends. Empty and unused when the handle's
// provider has no prepared statements.
class PreparedSet {
 public:
  explicit PreparedSet(ConnectionHandle* handle)
      : handle_(handle), enabled_(SupportsPreparedStatements(handle)) {}
  PreparedSet(const PreparedSet&) = delete;
  PreparedSet& operator=(const PreparedSet&) = delete;
  ~PreparedSet() {
    for (const Entry& entry : entries_) FinalizeStatement(handle_, entry.statement);
  }

  // Whether statement goes to the provider in its bound form.
  bool Sends(const BatchStatement& statement) const {
    return enabled_ && statement.bound != nullptr && statement.bound->markerText != nullptr;
  }

  // Whether consecutive statements of one marker text go as one execution
  // of several rows. Off where a failing row must be known at once.
  bool SendsArrays() const { return enabled_ && arrays_; }
  void SendOneRowAtATime() { arrays_ = false; }

  // The prepared statement of bound's marker text; none when it could not
  // be prepared (tried once per run).
  PreparedStatement* Get(const BoundStatement& bound) {
    const std::string& text = *bound.markerText;
    for (const Entry& entry : entries_) {
      if (entry.text.get() == &text || *entry.text == text) return entry.statement;
    }
    PreparedStatement* statement =
        PrepareStatement(handle_, text.c_str(), static_cast<int>(bound.values.size()));
    entries_.push_back(Entry{bound.markerText, statement});
    return statement;
  }

 private:
  struct Entry {
    std::shared_ptr<const std::string> text;
    PreparedStatement* statement;
  };
  ConnectionHandle* handle_;
  bool enabled_;
  bool arrays_ = true;
  std::vector<Entry> entries_;
};

// The statement's text, written from its bound form when it has none yet.
const std::string& TextOf(BatchStatement& statement) {
  if (statement.text.empty() && statement.bound != nullptr) {
    statement.text = LiteralText(*statement.bound).value_or("");
  }
  return statement.text;
}

// Runs one statement (bound when it can) and its follow-up. true when both
// succeeded.
bool RunOne(ConnectionHandle* handle, BatchStatement& statement, PreparedSet& prepared) {
  const bool sends = prepared.Sends(statement);
  PreparedStatement* bound = sends ? prepared.Get(*statement.bound) : nullptr;
  if (bound != nullptr) {
    if (ExecutePrepared(handle, bound, statement.bound->values.data(), 1) != 1) return false;
  } else {
    if (sends && IsConnectionBroken(*handle)) return false;  // preparing found the link gone
    if (ExecuteUpdate(handle, TextOf(statement).c_str()) != 1) return false;
  }
  return !statement.followUp || statement.followUp(handle);
}

void MarkFailed(BatchStatement& statement) {
  LogError("Error in executing update query \n");
  LogError("QUERY : %s\n", TextOf(statement).c_str());
  statement.failed = true;
}

// The failing row of an execution that failed as a whole.
constexpr std::size_t kUnknownRow = static_cast<std::size_t>(-1);

// At most this many rows go to the provider in one execution.
constexpr std::size_t kMaxRowsPerExecution = 1000;

// Whether next may run in one execution with first: both bound to the same
// marker text, neither with a follow-up, next not marked failed.
bool SameExecution(const BatchStatement& first, const BatchStatement& next) {
  if (next.failed || next.followUp || next.bound == nullptr) return false;
  const BoundStatement& a = *first.bound;
  const BoundStatement& b = *next.bound;
  return b.markerText != nullptr && a.values.size() == b.values.size() &&
         (a.markerText == b.markerText || *a.markerText == *b.markerText);
}

// The end of the run of statements from batch[at] that go to the provider
// in one execution (at + 1 when batch[at] goes alone).
std::size_t ExecutionEnd(const std::vector<BatchStatement>& batch, std::size_t at,
                         const PreparedSet& prepared) {
  const BatchStatement& first = batch[at];
  std::size_t end = at + 1;
  if (!prepared.SendsArrays() || !prepared.Sends(first) || first.followUp) return end;
  while (end < batch.size() && end - at < kMaxRowsPerExecution &&
         SameExecution(first, batch[end])) {
    ++end;
  }
  return end;
}

// Runs batch[at, end), statements of one marker text, as one execution.
// Where one fails, *failedAt is set to it when it ran alone, else to
// kUnknownRow: inside a transaction the engines differ in what they report
// of a failed array (PostgreSQL and MariaDB refuse it whole, psqlODBC may
// count rows it did not keep), so no row of it is trusted.
bool RunExecution(ConnectionHandle* handle, std::vector<BatchStatement>& batch, std::size_t at,
                  std::size_t end, PreparedSet& prepared, std::size_t* failedAt,
                  Progress& progress) {
  PreparedStatement* statement = prepared.Get(*batch[at].bound);
  if (statement == nullptr) {  // run one by one as texts
    for (std::size_t i = at; i < end; ++i) {
      if (!RunOne(handle, batch[i], prepared)) {
        *failedAt = i;
        return false;
      }
      progress.ranAny = true;
    }
    return true;
  }
  const std::size_t count = batch[at].bound->values.size();
  std::vector<BoundValue> values;
  values.reserve((end - at) * count);
  for (std::size_t i = at; i < end; ++i) {
    const std::vector<BoundValue>& row = batch[i].bound->values;
    values.insert(values.end(), row.begin(), row.end());
  }
  std::vector<uint8_t> ran(end - at, 0);
  const int rows = static_cast<int>(end - at);
  if (ExecutePrepared(handle, statement, values.data(), rows, ran.data()) == 1) {
    progress.ranAny = true;
    return true;
  }
  std::size_t first = 0;
  while (first < ran.size() && ran[first] == 1) ++first;
  progress.ranAny = progress.ranAny || first > 0;
  *failedAt = kUnknownRow;
  return false;
}

// The statements not marked failed, plainly, stopping at the first failure.
Pass RunPlain(ConnectionHandle* handle, std::vector<BatchStatement>& batch, Progress& progress,
              PreparedSet& prepared) {
  for (std::size_t at = 0; at < batch.size();) {
    if (batch[at].failed) {
      ++at;
      continue;
    }
    const std::size_t end = ExecutionEnd(batch, at, prepared);
    std::size_t failedAt = at;
    bool ran = false;
    if (end - at > 1) {
      ran = RunExecution(handle, batch, at, end, prepared, &failedAt, progress);
    } else {
      ran = RunOne(handle, batch[at], prepared);
      progress.ranAny = progress.ranAny || ran;
    }
    if (!ran) {
      if (IsConnectionBroken(*handle)) return LinkGone(progress);
      if (failedAt == kUnknownRow) {
        progress.arrayFailed = true;
        return Pass::kArrayFailed;
      }
      MarkFailed(batch[failedAt]);
      return Pass::kStatementFailed;
    }
    at = end;
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
Pass RunGuarded(ConnectionHandle* handle, std::vector<BatchStatement>& batch, Progress& progress,
                PreparedSet& prepared) {
  const ConnParamsEntry* parameters = GetConnParamsEntry(handle->connectionName.c_str());
  const char* dialect =
      parameters != nullptr && parameters->dialectName ? parameters->dialectName->c_str() : nullptr;
  const SavepointSql savepoint = MakeSavepointSql("fh_batch_statement", dialect);
  const SavepointSql group = MakeSavepointSql("fh_batch_group", dialect);
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
      const bool ran = RunOne(handle, statement, prepared);
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
  PreparedSet prepared(handle);
  prepared.SendOneRowAtATime();  // a failing row cannot be looked for again here
  const Pass pass = mode == BatchMode::kKeepGoing ? RunGuarded(handle, batch, progress, prepared)
                                                  : RunPlain(handle, batch, progress, prepared);
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
                            Progress& progress, PreparedSet& prepared, bool guarded) {
  if (BeginTransaction(handle) != 1) {
    return IsConnectionBroken(*handle) ? Unwritten(LinkGone(progress)) : BatchOutcome::kNotWritten;
  }
  const Pass pass = guarded ? RunGuarded(handle, batch, progress, prepared)
                            : RunPlain(handle, batch, progress, prepared);
  if (pass == Pass::kAllRan || pass == Pass::kSomeFailed) return Commit(handle, pass);
  RollbackTransaction(handle);
  if (pass == Pass::kStatementFailed || pass == Pass::kArrayFailed) {
    return BatchOutcome::kSomeFailed;  // the caller decides
  }
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
  PreparedSet prepared(handle);
  const BatchOutcome plain = RunTransaction(handle, batch, progress, prepared, false);
  // A plain pass that stopped at a failing statement was rolled back.
  const bool stopped = plain == BatchOutcome::kSomeFailed;
  if (!stopped) return plain;
  progress.ranAny = true;  // a lost link from here on is no dead start
  if (mode == BatchMode::kKeepGoing) return RunTransaction(handle, batch, progress, prepared, true);
  if (!progress.arrayFailed) return BatchOutcome::kNotWritten;
  // Which row failed is not known: once more one row at a time, which
  // stops at (and reports) the failing one.
  prepared.SendOneRowAtATime();
  const BatchOutcome again = RunTransaction(handle, batch, progress, prepared, false);
  return again == BatchOutcome::kSomeFailed ? BatchOutcome::kNotWritten : again;
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

}  // namespace fh
