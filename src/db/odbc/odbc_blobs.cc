// Binary values both ways: a statement whose one parameter is sent in
// pieces, and a query whose binary columns go to a sink in pieces.
#include <new>
#include <string>
#include <vector>

#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "db/odbc/odbc_provider_internal.h"
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

namespace {

// The pieces of a binary parameter, copied as the supplier hands them out.
// Some drivers (SQLite's) must know a data-at-execution value's total
// length before the first piece arrives, so the pieces are gathered first.
struct BlobPieces {
  std::vector<std::string> pieces;
  SQLLEN total = 0;
};

// Gathers every piece of supplier. false (after the error line) for a piece
// with a negative length or with no bytes but a positive length.
bool GatherPieces(fh::BlobSupplier supplier, void* context, BlobPieces& gathered) {
  if (supplier == nullptr) return true;
  for (;;) {
    const void* piece = nullptr;
    int32_t length = 0;
    if (supplier(&piece, &length, context) == fh::kBlobNoMoreData) return true;
    if (length < 0 || (piece == nullptr && length > 0)) {
      LogError("Invalid blob piece\n");
      return false;
    }
    if (length == 0) continue;
    gathered.pieces.emplace_back(static_cast<const char*>(piece), static_cast<std::size_t>(length));
    gathered.total += length;
  }
}

// Sends the gathered pieces of the parameter the driver asks for. false
// after the failure's error lines.
bool SendPieces(const Statement& statement, const BlobPieces& gathered) {
  for (const std::string& piece : gathered.pieces) {
    if (!Succeeded(Odbc().SQLPutData(statement.get(), const_cast<char*>(piece.data()),
                                     static_cast<SQLLEN>(piece.size())))) {
      FailStatement("SQLPutData failed\n", statement);
      return false;
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<DBResultSet> ODBCExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                  fh::BlobSink sink, void* context) {
  LogTrace("Inside ODBCExecuteQuery\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  Operation operation(handle);
  try {
    return RunQuery(*cell, text, sink, context, true);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int ODBCExecuteUpdateBlob(ConnectionHandle* handle, const char* text, fh::BlobSupplier supplier,
                          void* context) {
  LogTrace("Inside ODBCExecuteUpdateBlob\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return 0;
  Operation operation(handle);
  Statement statement(cell->connection);
  if (!statement) {
    Fail("Allocating Statement Handle failed\n", SQL_HANDLE_DBC, cell->connection);
    return 0;
  }
  if (!Succeeded(Odbc().SQLPrepare(statement.get(), SqlText(text), SQL_NTS))) {
    FailStatement("SQLPrepare failed\n", statement);
    return 0;
  }
  BlobPieces gathered;
  if (!GatherPieces(supplier, context, gathered)) return 0;
  SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(gathered.total);
  if (!Succeeded(Odbc().SQLBindParameter(statement.get(), 1, SQL_PARAM_INPUT, SQL_C_BINARY,
                                         SQL_LONGVARBINARY, 0, 0, reinterpret_cast<SQLPOINTER>(1),
                                         0, &indicator))) {
    FailStatement("SQLBindParameter failed\n", statement);
    return 0;
  }
  SQLRETURN result = Odbc().SQLExecute(statement.get());
  const char* failedCall = "SQLExecute failed\n";
  while (result == SQL_NEED_DATA) {
    SQLPOINTER token = nullptr;
    result = Odbc().SQLParamData(statement.get(), &token);
    failedCall = "SQLParamData failed\n";
    if (result == SQL_NEED_DATA && !SendPieces(statement, gathered)) return 0;
  }
  if (result == SQL_NO_DATA) return 1;  // touched no row
  if (!Succeeded(result)) {
    FailStatement(failedCall, statement);
    return 0;
  }
  SQLLEN rows = 0;
  if (!Succeeded(Odbc().SQLRowCount(statement.get(), &rows))) {
    FailStatement("No Rows Affected \n", statement);
    return 0;
  }
  return 1;
}
