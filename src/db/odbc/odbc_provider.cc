// The provider's table, the connection object behind a handle, and the scope
// of one public operation with its failure report. The operations live
// beside it: odbc_connect.cc, odbc_statements.cc, odbc_fetch.cc,
// odbc_blobs.cc, odbc_transactions.cc, odbc_types.cc, odbc_prepared.cc.
#include "db/odbc/odbc_provider.h"

#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_prepared.h"
#include "db/odbc/odbc_provider_internal.h"

const DBProvider kODBCProvider = {
    "ODBC",
    ODBCOpenConnection,
    ODBCExecuteUpdate,
    ODBCExecuteQuery,
    ODBCCloseConnection,
    ODBCBeginTransaction,
    ODBCCommitTransaction,
    ODBCRollbackTransaction,
    ODBCExecuteUpdateBlob,
    ODBCExecuteQueryBlob,
    fh::ODBCExecuteUpdateRowCount,
    fh::ODBCPrepareStatement,
    fh::ODBCExecutePrepared,
    fh::ODBCPreparedRowCount,
    fh::ODBCFinalizeStatement,
};

namespace fh::odbc {

OdbcConnection* CellOf(ConnectionHandle* handle) {
  return handle != nullptr ? dynamic_cast<OdbcConnection*>(handle->connection.get()) : nullptr;
}

namespace {

thread_local ConnectionHandle* t_operationHandle = nullptr;

}  // namespace

Operation::Operation(ConnectionHandle* handle) : previous_(t_operationHandle) {
  t_operationHandle = handle;
}

Operation::~Operation() { t_operationHandle = previous_; }

void Fail(const char* line, SQLSMALLINT handleType, SQLHANDLE handle) {
  ReportOdbcFailure(line, handleType, handle, t_operationHandle);
}

void FailStatement(const char* line, const Statement& statement) {
  Fail(line, SQL_HANDLE_STMT, statement.get());
}

}  // namespace fh::odbc

bool fh::odbc::OdbcLinkOf(ConnectionHandle* handle, SQLHDBC* connection,
                          PreparedStatementSet** statements) {
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return false;
  *connection = cell->connection;
  *statements = &cell->prepared;
  return true;
}
