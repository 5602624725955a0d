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
// other rows are written: the transaction is rolled back and redone without
// the failed rows. Row states change only after the commit succeeded: an
// inserted or updated row becomes persisted (1), a deleted row is removed
// from the table and freed. An update that matches no row counts as saved.
// When indexed dominant tables are registered (framework/index_table.h),
// each written row's index table entries follow its statement in the same
// transaction (AddEntryToIndexTableWithin); an entry that cannot be written
// fails its row like its own statement.
// When the caller's handle is already inside a transaction, the statements
// run in it and each row's state changes as its statement succeeds; the
// caller commits.
//
// Thread safety: the statements run under the criteria lock (CriteriaLock
// Address, store/table_data.h), so no criteria selection or deletion runs on
// any table meanwhile; the lock is released before rows are removed, so a
// change listener may select with a criteria. Callers serialise other
// changes to the table being saved.
#pragma once

// Logs "@@@ Inside SaveTable @@@\n" (trace). true when the table's data
// source was reached and the save committed (statement failures are logged
// and do not change the result). false for a table not in memory, a table
// without a data source map entry, no free handle, or a transaction that
// could not be begun or committed ("Cannot commit the save of %s\n", error;
// every row then keeps its state).
bool SaveTable(const char* tableName);

// Logs "@@@ Inside SaveAllTables @@@\n" (trace). SaveTable for every loaded
// table in list order (custom views are not saved); true.
bool SaveAllTables();

// Logs "\t@@@@@ Inside SaveTablesFromList @@@@@\n" (trace). Opens
// "<root>/data/savetableslist.txt" only (framework/tessel_root.h; "Opening
// %s\n" at debug level) and saves the table named by each line (the text
// before its first blank; lines of any length, LF or CRLF). A missing list
// (or no root) logs "No tables to be saved.\n" (error). true.
bool SaveTablesFromList();
