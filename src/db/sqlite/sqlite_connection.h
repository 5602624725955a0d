// The native SQLite provider's connection object, shared by its files: one
// open database and the prepared statements made on it
// (db/sqlite/sqlite_prepared.h). Destroying it finalizes those statements,
// rolls back an open transaction and closes the database.
//
// Thread safety: as the provider's (db/sqlite/sqlite_provider.h).
#pragma once

#include <sqlite3.h>

#include <memory>
#include <vector>

#include "db/connection.h"

namespace fh::sqlite {

struct SqlitePrepared;  // db/sqlite/sqlite_prepared.h

struct SqliteConnection : ProviderConnection {
  sqlite3* db = nullptr;
  // The statements PrepareStatement made on this connection and not yet
  // finalized; each is finalized before the database closes.
  std::vector<std::unique_ptr<SqlitePrepared>> prepared;

  SqliteConnection() = default;
  SqliteConnection(const SqliteConnection&) = delete;
  SqliteConnection& operator=(const SqliteConnection&) = delete;
  ~SqliteConnection() override;
};

// The provider's connection of handle; none for no handle or a handle
// another provider opened.
SqliteConnection* ConnectionOf(ConnectionHandle* handle);

// Outside a transaction, reads the database file's header through the
// connection's own file: false after line, "Database file unreadable\n"
// and the diagnostics (the handle marked broken) when it cannot be read or
// is no SQLite database. An empty file (a new database) and an in-memory
// database pass.
bool CheckDatabaseFile(ConnectionHandle* handle, sqlite3* db, const char* line);

}  // namespace fh::sqlite
