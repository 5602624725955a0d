// The native SQLite provider's prepared statements (the four prepared
// members of db/db_provider.h): a statement prepared once on a connection
// and run for row after row of bound values.
//
// Each value is stored exactly as the SQLITE dialect's literal of the same
// value stores it, so a value reads back alike whichever way it was
// written: integers as integers, doubles as doubles, unsigned 64-bit
// numbers as their decimal digits (the dialect keeps them as text), texts,
// decimals, dates and times as texts, binary values as blobs (an empty one
// as an empty blob, not NULL).
//
// A statement belongs to the connection it was prepared on: it is
// finalized by SqliteFinalizeStatement or when the handle's connection is
// closed or replaced, whichever comes first.
//
// Failures: "Preparing statement failed\n" (also for a text with no
// statement or with another number of markers than parameterCount) and
// "Executing statement failed\n", each followed by the diagnostics
// (db/sqlite/sqlite_errors.h); a failing row is then logged as
// "VALUES : %s\n" (error), its values written as literals. A failure that
// means the database file can no longer be used marks the handle broken.
//
// Thread safety: each member holds the handle's object lock
// (lock/object_lock.h) while it runs.
#pragma once

#include <sqlite3.h>

#include <cstdint>

#include "db/db_provider.h"

struct ConnectionHandle;

namespace fh::sqlite {

struct SqliteConnection;

// One prepared statement of a connection.
struct SqlitePrepared {
  SqliteConnection* owner = nullptr;
  sqlite3_stmt* statement = nullptr;
  int parameterCount = 0;
  int64_t lastRowCount = -1;  // the rows the last execution changed; -1: failed or none yet

  SqlitePrepared() = default;
  SqlitePrepared(const SqlitePrepared&) = delete;
  SqlitePrepared& operator=(const SqlitePrepared&) = delete;
  ~SqlitePrepared() { sqlite3_finalize(statement); }
};

}  // namespace fh::sqlite

namespace fh {
// The provider members; their contracts are those of db/db_provider.h.
PreparedStatement* SqlitePrepareStatement(ConnectionHandle* handle, const char* text,
                                          int parameterCount);
int SqliteExecutePrepared(ConnectionHandle* handle, PreparedStatement* statement,
                          const BoundValue* values, int rowCount, uint8_t* rowStatus);
int64_t SqlitePreparedRowCount(ConnectionHandle* handle, PreparedStatement* statement);
void SqliteFinalizeStatement(ConnectionHandle* handle, PreparedStatement* statement);
}  // namespace fh
