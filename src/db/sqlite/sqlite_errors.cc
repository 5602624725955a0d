#include "db/sqlite/sqlite_errors.h"

#include "db/connection.h"
#include "log/log.h"

namespace fh {

bool sqlite::IsConnectionLevel(int code) {
  switch (code & 0xff) {
    case SQLITE_CANTOPEN:
    case SQLITE_NOTADB:
    case SQLITE_CORRUPT:
    case SQLITE_IOERR:
      return true;
    default:
      return false;
  }
}

void sqlite::ReportFailure(const char* line, ConnectionHandle* handle, sqlite3* db, int code) {
  const bool connectionLevel = IsConnectionLevel(code);
  const char* state = connectionLevel                      ? "08S01"
                      : (code & 0xff) == SQLITE_CONSTRAINT ? "23000"
                                                           : "HY000";
  const char* message = db != nullptr ? sqlite3_errmsg(db) : sqlite3_errstr(code);
  LogError("%s", line);
  LogError("STATE: %s\n", state);
  LogError("NAT: %ld\n", static_cast<long>(code));
  LogError("MSG: %s\n", message);
  if (connectionLevel && handle != nullptr) MarkConnectionBroken(*handle);
}

}  // namespace fh
