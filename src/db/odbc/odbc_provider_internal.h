// What the ODBC provider's files share (odbc_provider.cc, odbc_connect.cc,
// odbc_statements.cc, odbc_fetch.cc, odbc_blobs.cc, odbc_transactions.cc):
// the connection object a handle holds, the statement handle that frees
// itself, the scope of one public operation and its failure report, and the
// query runner. Not installed; include only in those files (the ODBC
// headers define Windows type names of their own).
//
// Thread safety: an Operation scope belongs to the thread that opened it;
// the rest is as db/odbc/odbc_provider.h says.
#pragma once

#include <memory>
#include <optional>

#include "db/connection.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_prepared.h"

namespace fh::odbc {

// The provider's connection object: the environment and connection handles
// of one connection, released when it is destroyed.
struct OdbcConnection : ProviderConnection {
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  bool connected = false;
  fh::odbc::PreparedStatementSet prepared;  // released before the disconnect
  // The driver's SQL_GETDATA_EXTENSIONS, asked on the first query.
  std::optional<SQLUINTEGER> getDataExtensions;

  OdbcConnection() = default;
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;
  ~OdbcConnection() override;  // disconnects and frees the handles (odbc_connect.cc)
};

// A statement handle of one connection, freed (its cursor closed) on every
// path when it goes out of scope.
class Statement {
 public:
  explicit Statement(SQLHDBC connection) {
    if (!Succeeded(Odbc().SQLAllocStmt(connection, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ == SQL_NULL_HSTMT) return;
    Odbc().SQLFreeStmt(handle_, SQL_CLOSE);
    Odbc().SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return handle_ != SQL_NULL_HSTMT; }
  SQLHSTMT get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

// The provider's connection object of handle; none for a null handle or one
// another provider opened.
OdbcConnection* CellOf(ConnectionHandle* handle);

inline SQLCHAR* SqlText(const char* text) {
  return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text));
}

// The connection handle whose operation runs on this thread, set for the
// length of each public operation (scopes nest), so that a failure found
// deep inside one marks the handle broken when its diagnostics say the link
// is gone.
class Operation {
 public:
  explicit Operation(ConnectionHandle* handle);
  ~Operation();
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  ConnectionHandle* previous_;
};

// A failure: its fixed line, then what the driver says about handle
// (ReportOdbcFailure, for the operation's connection on this thread).
void Fail(const char* line, SQLSMALLINT handleType, SQLHANDLE handle);
void FailStatement(const char* line, const Statement& statement);

// Runs a query (prepared and executed in blob mode, directly otherwise) and
// fetches every row: a new result set, or none after the failure's error
// lines. In blob mode binary columns go to sink in pieces (odbc_fetch.cc).
// May throw std::bad_alloc.
std::unique_ptr<DBResultSet> RunQuery(OdbcConnection& cell, const char* text, BlobSink sink,
                                      void* context, bool blobMode);

}  // namespace fh::odbc
