// Statements run directly: updates with their row counts, and queries.
#include <cstdint>
#include <new>

#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "db/odbc/odbc_provider_internal.h"
#include "lock/object_lock.h"
#include "log/log.h"

using fh::odbc::CellOf;
using fh::odbc::Fail;
using fh::odbc::FailStatement;
using fh::odbc::Odbc;
using fh::odbc::OdbcConnection;
using fh::odbc::Operation;
using fh::odbc::RunQuery;
using fh::odbc::SqlText;
using fh::odbc::Statement;
using fh::odbc::Succeeded;

int64_t fh::ODBCExecuteUpdateRowCount(ConnectionHandle* handle, const char* text) {
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return -1;
  Operation operation(handle);
  fh::ObjectLockGuard lock(handle);
  Statement statement(cell->connection);
  if (!statement) {
    Fail("Allocating Statement Handle failed\n", SQL_HANDLE_DBC, cell->connection);
    return -1;
  }
  // Run directly: a one-off text prepared first would cost the server a
  // second round trip (and a plan) it never uses again.
  const SQLRETURN result = Odbc().SQLExecDirect(statement.get(), SqlText(text), SQL_NTS);
  if (result == SQL_NO_DATA) return 0;  // an update or delete that touched no row
  if (!Succeeded(result)) {
    FailStatement("SQLExecute failed\n", statement);
    return -1;
  }
  SQLLEN rows = 0;
  if (!Succeeded(Odbc().SQLRowCount(statement.get(), &rows))) {
    FailStatement("No Rows Affected \n", statement);
    return -1;
  }
  return rows < 0 ? 0 : static_cast<int64_t>(rows);
}

int ODBCExecuteUpdate(ConnectionHandle* handle, const char* text) {
  return fh::ODBCExecuteUpdateRowCount(handle, text) < 0 ? 0 : 1;
}

std::unique_ptr<DBResultSet> ODBCExecuteQuery(ConnectionHandle* handle, const char* text) {
  LogTrace("Inside ODBCExecuteQuery\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  Operation operation(handle);
  fh::ObjectLockGuard lock(handle);
  try {
    return RunQuery(*cell, text, nullptr, nullptr, false);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}
