// Connecting and disconnecting: the connect string, the ODBC handles of a
// connection and what a new connection asks its engine for first.
#include <strings.h>

#include <limits>
#include <new>
#include <optional>
#include <string>

#include "db/conn_params.h"
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "db/odbc/odbc_provider_internal.h"
#include "log/log.h"

namespace {

using fh::odbc::Fail;
using fh::odbc::FailStatement;
using fh::odbc::Odbc;
using fh::odbc::OdbcConnection;
using fh::odbc::SqlText;
using fh::odbc::Statement;
using fh::odbc::Succeeded;

bool NeedsBraces(const std::string& value) {
  return value.find_first_of(";{}") != std::string::npos;
}

void AppendPair(std::string& text, const char* key, const std::optional<std::string>& value) {
  if (!value) return;
  text += key;
  text += '=';
  if (!NeedsBraces(*value)) {
    text += *value;
  } else {
    text += '{';
    for (char c : *value) {
      text += c;
      if (c == '}') text += '}';
    }
    text += '}';
  }
  text += ';';
}

}  // namespace

fh::odbc::OdbcConnection::~OdbcConnection() {
  prepared.ReleaseAll();
  if (connected && !Succeeded(Odbc().SQLDisconnect(connection))) {
    // Refused inside a transaction: give it up and disconnect.
    Odbc().SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK);
    Odbc().SQLDisconnect(connection);
  }
  if (connection != SQL_NULL_HDBC) Odbc().SQLFreeHandle(SQL_HANDLE_DBC, connection);
  if (environment != SQL_NULL_HENV) Odbc().SQLFreeHandle(SQL_HANDLE_ENV, environment);
}

std::string fh::BuildODBCConnectString(const ConnParamsEntry& entry) {
  if (entry.useConnectString == 1) return entry.connectString.value_or("");
  std::string text;
  AppendPair(text, "DSN", entry.dsn);
  AppendPair(text, "UID", entry.user);
  AppendPair(text, "PWD", entry.password);
  if (!entry.dsn && entry.providerName) text += "Driver={" + *entry.providerName + "}";
  return text;
}

namespace {

// SQLite enforces foreign keys only when each connection asks for it, so a
// SQLITE connection turns them on at once, before any transaction. false
// when the engine refused.
bool EnforceSqliteForeignKeys(const ConnParamsEntry& entry, SQLHDBC connection) {
  if (!entry.dialectName || strcasecmp(entry.dialectName->c_str(), "SQLITE") != 0) return true;
  Statement statement(connection);
  if (!statement) return false;
  const SQLRETURN result =
      Odbc().SQLExecDirect(statement.get(), SqlText("PRAGMA foreign_keys = ON"), SQL_NTS);
  if (Succeeded(result)) return true;
  FailStatement("Enabling foreign keys failed\n", statement);
  return false;
}

// psqlODBC by default wraps every statement in a savepoint of its own and
// rolls back to it on an error. The framework keeps its own savepoints
// (statement batches), and after a failed prepared statement the driver's
// handling made them vanish (psqlODBC 13). Rollback level 0 ("Protocol=
// 7.4-0") leaves errors to the caller and saves a round trip per statement;
// a PGSQL connection asks for it after whatever its connect string says.
std::string WithCallerRollback(const ConnParamsEntry& entry, std::string connectString) {
  if (!entry.dialectName || strcasecmp(entry.dialectName->c_str(), "PGSQL") != 0) {
    return connectString;
  }
  if (!connectString.empty() && connectString.back() != ';') connectString += ';';
  return connectString + "Protocol=7.4-0;";
}

}  // namespace

std::unique_ptr<ConnectionHandle> ODBCOpenConnection(const ConnParamsEntry* entry) {
  if (entry == nullptr || !entry->dsn) {
    LogError("ODBC connection Parameter missing\n");
    return nullptr;
  }
  SQLHENV environment = SQL_NULL_HENV;
  if (!Succeeded(Odbc().SQLAllocEnv(&environment))) {
    LogError("Allocating Env Handle failed\n");
    return nullptr;
  }
  std::unique_ptr<OdbcConnection> cell;
  try {
    cell = std::make_unique<OdbcConnection>();
  } catch (const std::bad_alloc&) {
    LogError("Error in allocating SQLHDBC\n");
    Odbc().SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return nullptr;
  }
  cell->environment = environment;
  if (!Succeeded(Odbc().SQLAllocConnect(environment, &cell->connection))) {
    cell->connection = SQL_NULL_HDBC;
    Fail("Allocating connection Handle failed\n", SQL_HANDLE_ENV, environment);
    return nullptr;
  }
  try {
    const std::string connectString =
        WithCallerRollback(*entry, fh::BuildODBCConnectString(*entry));
    SQLCHAR out[1025] = {};
    SQLSMALLINT outLength = 0;
    const auto length =
        connectString.size() <= static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max())
            ? static_cast<SQLSMALLINT>(connectString.size())
            : static_cast<SQLSMALLINT>(SQL_NTS);
    const SQLRETURN result = Odbc().SQLDriverConnect(
        cell->connection, nullptr, SqlText(connectString.c_str()), length, out,
        static_cast<SQLSMALLINT>(sizeof out), &outLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(result)) {
      Fail("Connecting to driver failed\n", SQL_HANDLE_DBC, cell->connection);
      return nullptr;
    }
    cell->connected = true;
    if (!EnforceSqliteForeignKeys(*entry, cell->connection)) return nullptr;
    return fh::NewConnectionHandle(*entry, std::move(cell));
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return nullptr;
  }
}

bool ODBCCloseConnection(ConnectionHandle* handle) {
  if (handle != nullptr) handle->connection.reset();
  return true;
}
