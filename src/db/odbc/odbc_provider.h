// The ODBC provider: the database provider (db/db_provider.h) registered as
// "ODBC". It connects through the ODBC driver manager (unixODBC) with the
// data source of a connection parameters entry, runs statements and
// queries, turns fetched values into column values (dictionary/column_values.h),
// streams binary values in pieces both ways and drives transactions through
// the connection's auto-commit attribute.
//
// Connecting: the connect string is the entry's connect string when it uses
// one; otherwise "DSN=<dsn>;UID=<user>;PWD=<password>;" with each pair
// present only when its value is, a value holding ';', '{' or '}' written in
// braces with '}' doubled. A DSN is required either way. The password is
// never logged.
//
// Values: every value arrives whole (texts of any length, read in pieces);
// floating-point columns are read as doubles, every other column as its text
// converted by the column type the ODBC type maps to (MapODBCSqlType). An
// update or delete that touches no row succeeds.
//
// Failures: each is its fixed error line followed by the driver's diagnostic
// records ("STATE: %s\n", "NAT: %ld\n", "MSG: %s\n"); statement handles are
// freed on every path and a failed statement leaves the connection usable.
// When the diagnostics say the link itself is gone (ClassifyOdbcDiagnostics,
// db/odbc/odbc_api.h) the operation marks its handle broken
// (MarkConnectionBroken, db/connection.h) for the pool to replace.
//
// Thread safety: ODBCExecuteUpdate and ODBCExecuteQuery hold the object lock
// (lock/object_lock.h) of the handle while they run, so threads sharing one
// handle run their statements one after the other. The blob and transaction
// operations take no lock: their callers serialise them on a handle.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/connection.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"

// The provider's table: "ODBC" and the operations below, in slot order.
extern const DBProvider kODBCProvider;

// "ODBC connection Parameter missing\n" without an entry or a DSN; the
// allocation and connection failures log "Allocating Env Handle failed\n",
// "Error in allocating SQLHDBC\n", "Allocating connection Handle failed\n",
// "Unable to allocate memory\n" or "Connecting to driver failed\n". A new
// handle holding the connection and a copy of the connection name, or none.
std::unique_ptr<ConnectionHandle> ODBCOpenConnection(const ConnParamsEntry* entry);

// Runs text directly (SQLExecDirect, never prepared on the server first).
// 1 when the statement ran (also when it touched no row), else 0 after
// "Allocating Statement Handle failed\n", "SQLExecute failed\n" or
// "No Rows Affected \n".
int ODBCExecuteUpdate(ConnectionHandle* handle, const char* text);

namespace fh {

// As ODBCExecuteUpdate (same lines, same lock), but gives the number of rows
// the statement changed (0 when it touched none), or -1 on failure.
int64_t ODBCExecuteUpdateRowCount(ConnectionHandle* handle, const char* text);

}  // namespace fh

// Logs "Inside ODBCExecuteQuery\n" (trace). A new result set with every row,
// or none after "SQLExecDirect failed\n", "No Rows Affected\n",
// "SQLNumResultCols Failed\n", "SQLDescribeCol failed\n", "SQLFetch failed\n",
// "SQLGetData failed\n" or "Value conversion failed for column %s\n".
std::unique_ptr<DBResultSet> ODBCExecuteQuery(ConnectionHandle* handle, const char* text);

// Disconnects (rolling back an open transaction first when the driver
// refuses to disconnect inside one) and frees the ODBC handles; true.
bool ODBCCloseConnection(ConnectionHandle* handle);

// Trace lines "\t@@@@@ ODBCBeginTransaction() @@@@@\n" and the commit and
// rollback twins. Begin switches auto-commit off ("Error in setting
// SQL_AUTOCOMMIT_OFF\n"); commit and rollback end the transaction ("Error in
// commiting transaction\n", "Error in rollbacking transaction\n") and switch
// auto-commit on again ("Error in setting SQL_AUTOCOMMIT_ON\n"). A failed
// commit rolls back and still switches auto-commit on, so the connection
// never stays in manual-commit mode. Each failure logs "Error in starting
// transaction\n" and the diagnostics. true (1) on success.
int ODBCBeginTransaction(ConnectionHandle* handle);
int ODBCCommitTransaction(ConnectionHandle* handle);
int ODBCRollbackTransaction(ConnectionHandle* handle);

// Logs "Inside ODBCExecuteUpdateBlob\n" (trace). Runs text with its one
// parameter (a binary value) sent in the pieces supplier provides until it
// returns kBlobNoMoreData. The pieces are gathered (copied) before the
// statement runs, since some drivers need the value's total length first. 0 after "Allocating
// Statement Handle failed\n", "SQLPrepare failed\n", "SQLBindParameter failed\n", "SQLExecute
// failed\n", "SQLParamData failed\n", "SQLPutData failed\n", "Invalid blob piece\n" (a negative
// length, or no bytes for a positive one) or "No Rows Affected \n"; else 1.
int ODBCExecuteUpdateBlob(ConnectionHandle* handle, const char* text, fh::BlobSupplier supplier,
                          void* context);

// As ODBCExecuteQuery, prepared and executed ("SQLPrepare failed\n",
// "SQLExecute failed\n"); columns of type KES_SQL_BLOB are read in pieces of
// at most 1024 bytes and pushed to sink (then its end call) and hold SQL NULL
// in the result set.
std::unique_ptr<DBResultSet> ODBCExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                  fh::BlobSink sink, void* context);

namespace fh {

// The column type code for an ODBC SQL type: the provider's fixed table of
// 36 types; 0 (KES_SQL_NOT_SUPPORTED_TYPE) for any other type, whose values
// come back as their text.
uint8_t MapODBCSqlType(int sqlType);

// The connect string ODBCOpenConnection uses for entry (see the top of this
// file). Holds the password: never log it.
std::string BuildODBCConnectString(const ConnParamsEntry& entry);

}  // namespace fh
