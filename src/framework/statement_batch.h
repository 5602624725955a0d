// A batch of write statements run on one connection handle as one
// transaction, in which a statement that fails is left out while the others
// are written: the transaction is rolled back and run again without it,
// until one run commits whole. The table saver and the data object saver
// write their rows this way, so a save is fast (one commit) and a failing
// row never takes the others down with it.
//
// Each statement may carry a follow-up that runs right after it, inside the
// same transaction (an index table entry for the row): a follow-up that
// fails fails its statement. Statements and follow-ups may run more than
// once (once per attempt); only the committed attempt counts.
//
// When the handle is already inside a transaction (the caller's own), the
// statements run once in it, in order, each failure marked, and nothing is
// begun, committed or rolled back.
//
// Thread safety: the caller holds the handle (db/connection_pool.h) for the
// whole call; the batch is the caller's.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ConnectionHandle;

struct BatchStatement {
  std::string text;
  // Runs after text succeeded, on the same handle and transaction; false
  // fails the statement. May be empty.
  std::function<bool(ConnectionHandle*)> followUp;
  // Set when the statement (or its follow-up) failed or was planned as
  // failed: it is not run, and its row keeps its state.
  bool failed = false;
};

// Runs batch on handle as described above; each failing statement is logged
// with "Error in executing update query \n" and "QUERY : %s\n" (error) and
// marked failed. true when the statements not marked failed are written
// (committed, or run inside the caller's transaction); false when a
// transaction cannot be begun or committed (then nothing of the batch is
// written, unless the handle was already in a transaction).
bool RunStatementBatch(ConnectionHandle* handle, std::vector<BatchStatement>& batch);
