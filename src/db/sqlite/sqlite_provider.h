// The native SQLite provider: the database provider (db/db_provider.h)
// registered as "SQLITE", on the sqlite3 C API, beside the ODBC provider.
// InitDBProvider loads it into the second provider slot. A connection
// parameters line chooses it with the provider name "SQLITE"; its DSN token
// names the database file (a relative name is taken from the data
// directory, db/conn_params.h), which is created when missing.
//
// Connecting: every connection enforces foreign keys, uses the WAL journal
// and waits up to kSqliteBusyTimeoutMs for a lock another connection or
// process holds, so several processes may share one file. Transactions
// begin IMMEDIATE (the write lock is taken at the begin, so two writers
// wait for each other instead of failing at their first write).
//
// Values are read straight into the types their result columns map to
// (MapSqliteDeclaredType): integers and doubles stored as such are taken
// as numbers, any other stored value as its text converted the way the
// ODBC provider converts fetched texts (db/fetched_text.h), so a query
// gives the same values through either SQLite provider. An update or
// delete that touches no row succeeds.
//
// Failures: each is its fixed error line followed by "STATE: %s\n",
// "NAT: %ld\n" and "MSG: %s\n" (db/sqlite/sqlite_errors.h). A failure that
// means the database file can no longer be used (cannot be opened, is not
// a database, is corrupt, an I/O error) marks the handle broken
// (MarkConnectionBroken, db/connection.h) for the pool to replace; a failed
// statement leaves the connection usable. Outside a transaction each
// operation first reads the file's header, so a file damaged in place is
// noticed although WAL mode keeps cached pages ("Database file
// unreadable\n" after the operation's own line).
//
// Thread safety: SqliteExecuteUpdate, SqliteExecuteUpdateRowCount and
// SqliteExecuteQuery hold the object lock (lock/object_lock.h) of the handle
// while they run; the blob and transaction operations take no lock: their
// callers serialise them on a handle. The sqlite3 connection itself is
// opened serialized.
#pragma once

#include <cstdint>
#include <memory>

#include "db/connection.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"

namespace fh {

// The provider's name in the registry and in connparams.txt.
inline constexpr char kSqliteProviderName[] = "SQLITE";
// How long a statement waits for another connection's lock.
inline constexpr int kSqliteBusyTimeoutMs = 10000;

}  // namespace fh

// The provider's table: "SQLITE" and the operations below, in slot order.
extern const DBProvider kSqliteProvider;

namespace fh {

// "SQLite connection Parameter missing\n" without an entry or a DSN (the
// database file); "Opening database failed\n" and the diagnostics when the
// file cannot be opened or set up. A new handle, or none.
std::unique_ptr<ConnectionHandle> SqliteOpenConnection(const ConnParamsEntry* entry);

// Runs every statement of text: 1, or 0 after "Preparing statement
// failed\n" or "Executing statement failed\n" and the diagnostics.
int SqliteExecuteUpdate(ConnectionHandle* handle, const char* text);

// As SqliteExecuteUpdate; the number of rows the last statement changed,
// or -1 on failure.
int64_t SqliteExecuteUpdateRowCount(ConnectionHandle* handle, const char* text);

// Runs the first statement of text and fetches every row: a new result
// set, or none after the failure's lines ("Value conversion failed for
// column %s\n" for a stored text that does not convert).
std::unique_ptr<DBResultSet> SqliteExecuteQuery(ConnectionHandle* handle, const char* text);

// As SqliteExecuteQuery (the same trace line, values and failure lines),
// handing the rows to sink one at a time (db/db_provider.h): kStreamDone,
// kStreamFailed or kStreamStopped. Rows are read in batches under the
// object lock and the connection's mutex; neither is held while the sink
// runs, so the sink may use the handle itself.
int SqliteStreamQuery(ConnectionHandle* handle, const char* text, const QueryRowSink& sink,
                      void* context);

// Closes the database (rolling back an open transaction); true.
bool SqliteCloseConnection(ConnectionHandle* handle);

// "BEGIN IMMEDIATE", "COMMIT", "ROLLBACK": 1 on success, else 0 after the
// fixed line ("Error in beginning transaction\n" / "Error in commiting
// transaction\n" / "Error in rollbacking transaction\n"), "Error in
// starting transaction\n" and the diagnostics. A failed commit (a deferred constraint, say) rolls
// the transaction back, so the connection never stays inside one.
int SqliteBeginTransaction(ConnectionHandle* handle);
int SqliteCommitTransaction(ConnectionHandle* handle);
int SqliteRollbackTransaction(ConnectionHandle* handle);

// Runs text with its one parameter bound to the binary value the supplier
// hands out in pieces (gathered first; zero bytes are kept). 0 after
// "Invalid blob piece\n" or a statement failure; else 1.
int SqliteExecuteUpdateBlob(ConnectionHandle* handle, const char* text, BlobSupplier supplier,
                            void* context);

// As SqliteExecuteQuery; columns of type KES_SQL_BLOB go to sink in pieces
// of at most 1024 bytes (then its end call) and hold SQL NULL in the result.
// The sink runs while the connection's mutex is held: it must not wait for
// another thread using the same handle.
std::unique_ptr<DBResultSet> SqliteExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                    BlobSink sink, void* context);

}  // namespace fh
