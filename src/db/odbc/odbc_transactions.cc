// Transactions through the connection's auto-commit attribute.
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "db/odbc/odbc_provider_internal.h"
#include "log/log.h"

using fh::odbc::CellOf;
using fh::odbc::Odbc;
using fh::odbc::OdbcConnection;
using fh::odbc::Operation;
using fh::odbc::Succeeded;

namespace {

// The transaction operations' failure report.
void FailTransaction(const char* line, SQLHDBC connection) {
  LogError("%s", line);
  fh::odbc::Fail("Error in starting transaction\n", SQL_HANDLE_DBC, connection);
}

// Switches auto-commit on or off; false after the failure's error lines.
bool SetAutoCommit(SQLHDBC connection, bool on) {
  const auto value = static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
  const SQLRETURN result = Odbc().SQLSetConnectAttr(
      connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), SQL_IS_INTEGER);
  if (Succeeded(result)) return true;
  FailTransaction(
      on ? "Error in setting SQL_AUTOCOMMIT_ON\n" : "Error in setting SQL_AUTOCOMMIT_OFF\n",
      connection);
  return false;
}

}  // namespace

int ODBCBeginTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCBeginTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  return SetAutoCommit(cell->connection, false) ? 1 : 0;
}

int ODBCCommitTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCCommitTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  if (!Succeeded(Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_COMMIT))) {
    FailTransaction("Error in commiting transaction\n", cell->connection);
    Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_ROLLBACK);
    SetAutoCommit(cell->connection, true);
    return 0;
  }
  return SetAutoCommit(cell->connection, true) ? 1 : 0;
}

int ODBCRollbackTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCRollbackTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  if (!Succeeded(Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_ROLLBACK))) {
    FailTransaction("Error in rollbacking transaction\n", cell->connection);
    SetAutoCommit(cell->connection, true);
    return 0;
  }
  return SetAutoCommit(cell->connection, true) ? 1 : 0;
}
