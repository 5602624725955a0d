// Saving in-memory tables (store/table_data.h) back to their databases: each
// row's state chooses its statement, written by the table's dialect
// (sql/sql_dialects.h):
//   state 5 (persisted, updated)        -> update
//   flags 1 and 8 (persisted, deleted)  -> delete
//   state 2 (new) or 6 (new, updated)   -> insert
//   any other state (1 among them)      -> nothing
//
// One save is one transaction on the table's connection (the one the data
// source map gives the table, whatever the data-source mode). A statement
// that fails is logged ("Error in executing update query \n" and "QUERY :
// %s\n", error) and its row keeps its state for the next save, while the
// other rows are written: the batch is redone once with a savepoint around
// each statement (framework/statement_batch.h), so a save stays linear in
// its rows however many fail. Row states change only after the commit
// succeeded: an inserted or updated row becomes persisted (1), a deleted row
// is removed from the table and freed. An update that matches no row counts
// as saved.
// A lost link to the database ends the save at once: nothing is written,
// every row keeps its state, one line names the data source. A link found
// dead before the save ran anything (after a server restart or a killed
// session) is replaced by a fresh one from the pool and the save goes on.
// When indexed dominant tables are registered (framework/index_table.h),
// each written row's index table entries follow its statement in the same
// transaction (AddEntryToIndexTableWithin); an entry that cannot be written
// fails its row like its own statement.
// When the caller's handle is already inside a transaction, the statements
// run in it (each inside its savepoint) and the rows' states change as their
// statements succeed; the caller commits.
//
// Thread safety: the statements run under the criteria lock (the one
// CriteriaLockAddress names, store/table_data.h), so no criteria selection
// or deletion runs on any table meanwhile; the lock is released before rows
// are removed, so a change listener may select with a criteria. Callers
// serialise other changes to the table being saved.
#pragma once

// Logs "@@@ Inside SaveTable @@@\n" (trace). true when every row that
// needed a statement was written. false for a table not in memory, a table
// without a data source map entry, no handle, a lost link or a transaction
// that could not be begun or committed ("Cannot commit the save of %s\n",
// error; every row then keeps its state), and when some rows failed: the
// others are written and "%zu of %zu rows of %s were not saved and keep
// their state.\n" (error) counts the failed ones.
bool SaveTable(const char* tableName);

// Logs "@@@ Inside SaveAllTables @@@\n" (trace). SaveTable for every loaded
// table in list order (custom views are not saved); true when every save
// returned true (a failed save does not stop the others).
bool SaveAllTables();

// Logs "\t@@@@@ Inside SaveTablesFromList @@@@@\n" (trace). Opens
// "<root>/data/savetableslist.txt" only (config/tessel_root.h; "Opening
// %s\n" at debug level) and saves the table named by each line (the text
// before its first blank; lines of any length, LF or CRLF). A missing list
// (or no root) logs "No tables to be saved.\n" (error) and gives true;
// otherwise true when every save returned true.
bool SaveTablesFromList();
