// Prepared statements of the ODBC provider: the four prepared-statement
// members of kODBCProvider (contracts in db/db_provider.h) and the set of
// statements each ODBC connection keeps.
//
// A statement is prepared once (SQLPrepare) and run with its values bound
// (SQLBindParameter, SQLExecute). Rows are sent as parameter arrays
// (SQL_ATTR_PARAMSET_SIZE, bound column-wise) of at most kOdbcMaxArrayRows
// rows; a longer request runs in chunks, and a chunk ends early where a
// parameter's kind changes from one row to the next (a NULL fits any kind).
// A driver that refuses arrays gets one row at a time. The SQLite driver
// reads every row's binary length (or NULL) from an array's first row, so
// there a chunk also ends where a binary value's length changes. The rows
// changed are summed over the array (SQLRowCount, then SQLMoreResults for
// a driver that counts each row apart, as psqlODBC does).
//
// How each kind travels, so that a value arrives as its literal text would
// store it: kInteger as a signed 64-bit number (SQL_BIGINT); kDouble as a
// double (SQL_DOUBLE); kUnsigned and kDecimal as their decimal digits in
// text typed SQL_DECIMAL (a server converts them to its numeric or text
// column without going through a double); kText as text (SQL_VARCHAR);
// kBlob as bytes (SQL_LONGVARBINARY, zero bytes kept); kDate, kTime and
// kDateTime as their texts typed SQL_TYPE_DATE, SQL_TYPE_TIME and
// SQL_TYPE_TIMESTAMP; kNull as an SQL NULL of the kind the other rows of
// the chunk give the parameter (text when every row is NULL).
//
// Failures log the operation's line ("Allocating Statement Handle
// failed\n", "SQLPrepare failed\n", "SQLBindParameter failed\n",
// "SQLExecute failed\n", "No Rows Affected \n") and the driver's diagnostic
// records, then "Failing row %d: %s\n" (the row's number from 0 and its
// values). A lost link marks the handle broken (MarkConnectionBroken). A
// statement pointer that the handle does not hold gets "Unknown prepared
// statement\n".
//
// PostgreSQL and MariaDB refuse a failing row's whole array. Outside a
// transaction such an array is run again one row at a time, so the rows
// before the failing one are stored, it is named, and the rest do not run.
// Inside a transaction (where PostgreSQL refuses every later statement)
// the array's rows all get status 0, and when the driver does not say
// which row failed the line is "Failing rows %d to %d: the array failed as
// a whole\n". No further chunk runs after a failure.
//
// Thread safety: the members hold the handle's object lock
// (lock/object_lock.h) while they run, as ODBCExecuteUpdate does.
#pragma once

#include <sql.h>
#include <sqlext.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "db/connection.h"
#include "db/db_provider.h"

namespace fh::odbc {

// The most rows sent in one parameter array.
inline constexpr int kOdbcMaxArrayRows = 1000;

struct OdbcPrepared;

// The prepared statements of one connection, owned by its connection
// object. Not thread-safe by itself: the members above serialise on the
// handle.
class PreparedStatementSet {
 public:
  PreparedStatementSet();
  ~PreparedStatementSet();
  PreparedStatementSet(const PreparedStatementSet&) = delete;
  PreparedStatementSet& operator=(const PreparedStatementSet&) = delete;

  // Takes statement over; the pointer callers hold for it.
  PreparedStatement* Add(std::unique_ptr<OdbcPrepared> statement);
  // The statement behind pointer, or none when this set does not hold it.
  OdbcPrepared* Find(const PreparedStatement* pointer) const;
  // Frees pointer's ODBC statement; false when this set does not hold it.
  bool Remove(const PreparedStatement* pointer);
  // Frees every statement. Call before the connection is disconnected.
  void ReleaseAll();

 private:
  std::vector<std::unique_ptr<OdbcPrepared>> statements_;
};

// What the prepared statements need of an ODBC connection: its connection
// handle and its statement set. Defined beside the connection object
// (odbc_provider.cc); false for a handle the ODBC provider did not open.
bool OdbcLinkOf(ConnectionHandle* handle, SQLHDBC* connection, PreparedStatementSet** statements);

}  // namespace fh::odbc

namespace fh {
PreparedStatement* ODBCPrepareStatement(ConnectionHandle* handle, const char* text,
                                        int parameterCount);
int ODBCExecutePrepared(ConnectionHandle* handle, PreparedStatement* statement,
                        const BoundValue* values, int rowCount, uint8_t* rowStatus);
int64_t ODBCPreparedRowCount(ConnectionHandle* handle, PreparedStatement* statement);
void ODBCFinalizeStatement(ConnectionHandle* handle, PreparedStatement* statement);
}  // namespace fh
