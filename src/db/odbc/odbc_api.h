// The one road from the ODBC provider to the ODBC driver manager: a table of
// the ODBC functions the provider calls, and the one reader of ODBC
// diagnostic records.
//
// Every ODBC call of the provider goes through Odbc(), so a test can swap in
// a table whose entries fail on purpose (a full disk, a dropped connection)
// and reach the provider's failure paths against a real driver, the way
// SQLite's system-call table does. The default table is unixODBC's
// functions; SQLConfigDataSource is looked up in the installer library
// ("libodbcinst.so.2") on first use. Data sources of drivers without a setup
// routine (none of the packaged Linux drivers has one) are written into the
// user's odbc.ini (the file $ODBCINI names) by the installer's profile calls.
//
// Include only in the provider's own sources: the ODBC headers define
// Windows type names of their own.
//
// Thread safety: Odbc() may be called from any thread. Swap tables only
// while no statement runs.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <string>
#include <vector>

struct ConnectionHandle;

namespace fh::odbc {

using DriverConnectCall = SQLRETURN(SQLHDBC connection, SQLHWND window, SQLCHAR* in,
                                    SQLSMALLINT inLength, SQLCHAR* out, SQLSMALLINT outMax,
                                    SQLSMALLINT* outLength, SQLUSMALLINT completion);
using BindParameterCall = SQLRETURN(SQLHSTMT statement, SQLUSMALLINT number, SQLSMALLINT ioType,
                                    SQLSMALLINT cType, SQLSMALLINT sqlType, SQLULEN columnSize,
                                    SQLSMALLINT digits, SQLPOINTER value, SQLLEN bufferLength,
                                    SQLLEN* indicator);
using DescribeColCall = SQLRETURN(SQLHSTMT statement, SQLUSMALLINT column, SQLCHAR* name,
                                  SQLSMALLINT nameMax, SQLSMALLINT* nameLength,
                                  SQLSMALLINT* sqlType, SQLULEN* size, SQLSMALLINT* digits,
                                  SQLSMALLINT* nullable);
using GetDataCall = SQLRETURN(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType,
                              SQLPOINTER buffer, SQLLEN bufferLength, SQLLEN* indicator);
using SetConnectAttrCall = SQLRETURN(SQLHDBC connection, SQLINTEGER attribute, SQLPOINTER value,
                                     SQLINTEGER length);
using BindColCall = SQLRETURN(SQLHSTMT statement, SQLUSMALLINT column, SQLSMALLINT cType,
                              SQLPOINTER buffer, SQLLEN bufferLength, SQLLEN* indicator);
using SetStmtAttrCall = SQLRETURN(SQLHSTMT statement, SQLINTEGER attribute, SQLPOINTER value,
                                  SQLINTEGER length);
using SetPosCall = SQLRETURN(SQLHSTMT statement, SQLSETPOSIROW row, SQLUSMALLINT operation,
                             SQLUSMALLINT lock);
using GetInfoCall = SQLRETURN(SQLHDBC connection, SQLUSMALLINT type, SQLPOINTER value,
                              SQLSMALLINT valueMax, SQLSMALLINT* valueLength);
using GetDiagRecCall = SQLRETURN(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT record,
                                 SQLCHAR* state, SQLINTEGER* native, SQLCHAR* message,
                                 SQLSMALLINT messageMax, SQLSMALLINT* messageLength);
// The installer's call, attributes given as "KEY=value;" pairs: TRUE (1)
// on success.
using ConfigDataSourceCall = int(void* window, unsigned short request, const char* driver,
                                 const char* attributes);

struct OdbcApi {
  SQLRETURN (*SQLAllocEnv)(SQLHENV* environment);
  SQLRETURN (*SQLAllocConnect)(SQLHENV environment, SQLHDBC* connection);
  SQLRETURN (*SQLAllocStmt)(SQLHDBC connection, SQLHSTMT* statement);
  DriverConnectCall* SQLDriverConnect;
  SQLRETURN (*SQLPrepare)(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
  SQLRETURN (*SQLExecute)(SQLHSTMT statement);
  SQLRETURN (*SQLExecDirect)(SQLHSTMT statement, SQLCHAR* text, SQLINTEGER length);
  BindParameterCall* SQLBindParameter;
  SQLRETURN (*SQLParamData)(SQLHSTMT statement, SQLPOINTER* token);
  SQLRETURN (*SQLPutData)(SQLHSTMT statement, SQLPOINTER data, SQLLEN length);
  SQLRETURN (*SQLNumResultCols)(SQLHSTMT statement, SQLSMALLINT* count);
  DescribeColCall* SQLDescribeCol;
  SQLRETURN (*SQLFetch)(SQLHSTMT statement);
  GetDataCall* SQLGetData;
  SQLRETURN (*SQLRowCount)(SQLHSTMT statement, SQLLEN* count);
  SetConnectAttrCall* SQLSetConnectAttr;
  SQLRETURN (*SQLEndTran)(SQLSMALLINT handleType, SQLHANDLE handle, SQLSMALLINT completion);
  GetDiagRecCall* SQLGetDiagRec;
  SQLRETURN (*SQLCloseCursor)(SQLHSTMT statement);
  SQLRETURN (*SQLFreeStmt)(SQLHSTMT statement, SQLUSMALLINT option);
  SQLRETURN (*SQLFreeHandle)(SQLSMALLINT handleType, SQLHANDLE handle);
  SQLRETURN (*SQLDisconnect)(SQLHDBC connection);
  ConfigDataSourceCall* SQLConfigDataSource;
  SetStmtAttrCall* SQLSetStmtAttr;
  GetInfoCall* SQLGetInfo;
  SQLRETURN (*SQLMoreResults)(SQLHSTMT statement);
  // Block fetches into bound columns.
  BindColCall* SQLBindCol;
  SetPosCall* SQLSetPos;
};

// The table in use.
const OdbcApi& Odbc();
// The driver manager's own table.
const OdbcApi& DefaultOdbcApi();
// For tests: every later ODBC call of the provider goes through api (which
// must outlive its use); none restores the default table.
void SetOdbcApiForTesting(const OdbcApi* api);

// true for SQL_SUCCESS and SQL_SUCCESS_WITH_INFO.
inline bool Succeeded(SQLRETURN result) {
  return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO;
}

// One diagnostic record of a handle.
struct OdbcDiagnostic {
  std::string state;     // the five-character SQLSTATE
  long nativeError = 0;  // the driver's or database's own code
  std::string message;
};

// Every diagnostic record the last call on handle left (at most 16).
std::vector<OdbcDiagnostic> ReadOdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// What a failed call's diagnostics say about the connection it ran on.
enum class OdbcFailure {
  kStatement,       // the statement (or call) failed; the connection is usable
  kConnectionLost,  // the link to the database is gone: nothing more runs on it
};

// The one translation of diagnostics into a failure kind. The link is gone
// when any record says so:
//   - an SQLSTATE of class 08 (connection exception), every driver;
//   - 57P01, 57P02, 57P03: PostgreSQL ended the session (a terminated
//     backend, a server shutting down or starting); psqlODBC reports these
//     first and 08S01 for every later call;
//   - psqlODBC's message "The connection has been lost" (or libpq's "server
//     closed the connection unexpectedly", "no connection to the server"),
//     which it pairs with S1000 when the link is found gone while a
//     statement is prepared;
//   - MariaDB Connector/ODBC ("[ma-" messages) with the client codes 2006
//     (server has gone away), 2013 (lost connection during query) or 2055
//     (lost connection at a stage), whatever SQLSTATE it pairs them with
//     (it uses S1001 and HY000 as well as 08S01);
//   - the SQLite driver ("[SQLite]" messages) with the result codes 10
//     (disk I/O error), 11 (malformed image), 14 (cannot open) or 26 (not a
//     database): the database file can no longer be read.
OdbcFailure ClassifyOdbcDiagnostics(const std::vector<OdbcDiagnostic>& records);

// Logs each diagnostic record of handle as the error lines "STATE: %s\n",
// "NAT: %ld\n" and "MSG: %s\n" (nothing when there is none) and returns
// what they say (ClassifyOdbcDiagnostics).
OdbcFailure LogOdbcDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The one report of a failed ODBC call, for every ODBC operation: line as an
// error line, then the diagnostics of handle (LogOdbcDiagnostics); when they
// say the link is gone, connection (when given) is marked broken
// (MarkConnectionBroken, db/connection.h) for the pool to replace.
void ReportOdbcFailure(const char* line, SQLSMALLINT handleType, SQLHANDLE handle,
                       ConnectionHandle* connection);

}  // namespace fh::odbc
