// How the native SQLite provider reports a failure: one translation from a
// sqlite3 result code to the log lines the ODBC provider writes for its
// driver's diagnostics, and to what the failure means for the connection.
//
// Thread safety: the functions log through the framework log; they keep
// no state of their own.
#pragma once

#include <sqlite3.h>

struct ConnectionHandle;

namespace fh::sqlite {

// True when code (primary or extended) means the database file itself can
// no longer be used: SQLITE_CANTOPEN, SQLITE_NOTADB, SQLITE_CORRUPT and
// SQLITE_IOERR.
bool IsConnectionLevel(int code);

// Logs line (error), then "STATE: %s\n" (a SQLSTATE: "08S01" for a
// connection-level failure, "23000" for a constraint, "HY000" otherwise),
// "NAT: %ld\n" (the extended result code) and "MSG: %s\n" (the
// connection's message, or the code's text without a connection). Marks
// handle broken (when given) for a connection-level failure.
void ReportFailure(const char* line, ConnectionHandle* handle, sqlite3* db, int code);

}  // namespace fh::sqlite
