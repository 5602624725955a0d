// A batch of write statements run on one connection as one transaction. The
// table saver and the data object saver write their rows this way, so a save
// costs one commit.
//
// Each statement may carry a follow-up that runs right after it, inside the
// same transaction (an index table entry for the row): a follow-up that
// fails fails its statement.
//
// Two ways to treat a failing statement:
//   - kKeepGoing: the failing statement is left out and the others are
//     written. The batch runs once plainly; at its first failure the
//     transaction is rolled back and the batch runs once more, each statement
//     inside a savepoint (sql/savepoint_sql.h): a failure rolls back to its
//     savepoint only, and the transaction goes on (on PostgreSQL, where any
//     error aborts the whole transaction, the savepoint is the only way to
//     go on). So the work stays linear in the number of statements however
//     many fail.
//   - kAllOrNothing: the first failing statement rolls back the whole batch.
//
// A lost link (the handle marked broken by its provider, db/connection.h) is
// no statement failure: it ends the batch at once, the transaction abandoned
// and nothing written, and no statement is marked failed.
// RunStatementBatchOn tells a link found dead before anything ran on it
// (beginning the transaction or the first statement failed that way) from
// one lost after statements ran: the first is retried once on a fresh handle
// from the pool, the second ends the batch.
//
// When the handle is already inside a transaction (the caller's own),
// nothing is begun, committed or rolled back: with kKeepGoing every statement
// runs inside its savepoint, with kAllOrNothing the first failure stops the
// batch (the caller rolls back).
//
// A statement may carry its bound form (sql/bound_statements.h): a text with
// "?" markers and the values for them. On a handle whose provider has
// prepared statements (SupportsPreparedStatements, db/connection.h) such a
// statement is sent as its marker text with its values bound: each distinct
// marker text is prepared once per run, and consecutive statements of the
// same marker text without follow-ups go to the provider together, as one
// execution of many rows (the savepoint pass sends them one at a time). A
// statement whose marker text cannot be prepared is run as its text.
// Without prepared statements every statement runs as its text. The text of
// a statement with a bound form may be left empty: it is written from the
// bound form when it is needed (to run it, or for a failure's lines), so a
// large save does not build texts it never uses.
//
// Thread safety: the caller holds the handle (or, for RunStatementBatchOn,
// nothing: it takes and gives back the pool's handle itself) for the whole
// call; the batch is the caller's.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

struct ConnectionHandle;

namespace fh {

struct BoundStatement;
}

namespace fh {

struct BatchStatement {
  // The statement's text; may be empty when bound is set (written from it
  // when needed).
  std::string text;
  // The statement as a marker text and its values; none: only text. Its
  // row must stay unchanged while the batch runs.
  std::shared_ptr<const fh::BoundStatement> bound;
  // Runs after text succeeded, on the same handle and transaction; false
  // fails the statement. May be empty.
  std::function<bool(ConnectionHandle*)> followUp;
  // Set when the statement (or its follow-up) failed or was planned as
  // failed: it is not run, and its row keeps its state.
  bool failed = false;
};

enum class BatchMode { kKeepGoing, kAllOrNothing };

enum class BatchOutcome {
  kWritten,          // every statement not marked failed is written
  kSomeFailed,       // kKeepGoing: the statements not marked failed are written
  kNotWritten,       // a statement failed (kAllOrNothing), or a transaction or
                     // savepoint could not be begun or committed: nothing written
  kConnectionLost,   // the link went away: nothing written
  kDeadBeforeStart,  // the link was found gone before anything ran: nothing
                     // written (RunStatementBatch only; RunStatementBatchOn retries)
};

// Runs batch on handle as described above. Each failing statement is logged
// with "Error in executing update query \n" and "QUERY : %s\n" (error) and
// marked failed; a statement failing because the link is gone is not
// marked. The outcome says what was written.
BatchOutcome RunStatementBatch(ConnectionHandle* handle, std::vector<BatchStatement>& batch,
                               BatchMode mode);

// Takes a handle of connectionName from the pool (none: the pool's only data
// source), runs batch on it and gives it back. On kDeadBeforeStart it takes
// the (now replaced) handle again and runs once more. A lost link is logged
// once, "The connection to data source %s was lost; nothing of the batch was
// written.\n" (error); no handle: "No connection to data source %s.\n"
// (error) and kNotWritten. Never kDeadBeforeStart.
BatchOutcome RunStatementBatchOn(const char* connectionName, std::vector<BatchStatement>& batch,
                                 BatchMode mode);

}  // namespace fh
