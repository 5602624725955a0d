// A row's statements in a save: its own insert, update or delete, and the
// follow-up that writes its index table entries (framework/index_table.h)
// inside the same transaction. The table saver and the data object saver
// plan their rows here and keep only their loops and how they give the
// written rows their new states.
//
// Thread safety: a planner is one caller's. It reads the table definitions,
// the dialects, the log settings and the indexed dominant tables, which
// guard themselves.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "framework/statement_batch.h"
#include "sql/bound_statements.h"
#include "store/row_object.h"
#include "store/row_write.h"

namespace fh {

class RowStatementPlanner {
 public:
  // Reads once whether indexed dominant tables exist and whether the
  // generated texts reach the log: both hold for every row planned.
  RowStatementPlanner();

  // The statement of row's write in tableName: its bound form where the
  // row has one; its text where it has none or the generated texts are
  // logged (otherwise the batch writes the text when it needs it). When
  // indexed dominant tables exist it is followed by row's index table
  // entries, written on the connection connection() names. connection is
  // called exactly once, after the statement is made, and not at all when
  // it is none.
  //
  // None when the row has neither a bound form nor a text, as for kNone and
  // kInvalid (nothing is logged here: the caller reports it).
  //
  // Ownership: the statement refers to tableName and row (its bound form
  // and its follow-up); both must outlive it, unchanged.
  std::optional<BatchStatement> Plan(RowWrite write, const char* tableName, const RowObject* row,
                                     const std::function<std::string()>& connection);

 private:
  RowStatementBinder binder_;
  bool indexed_;
  bool logsTexts_;
};

}  // namespace fh
