#include "db/odbc/odbc_prepared.h"

#include <algorithm>
#include <cinttypes>
#include <cstring>
#include <new>
#include <string>

#include "db/bound_row_text.h"
#include "db/odbc/odbc_api.h"
#include "lock/object_lock.h"
#include "log/log.h"

namespace fh {

namespace odbc {

// One parameter's bound array: the values of a chunk's rows side by side
// (each element `width` bytes) and their lengths or SQL_NULL_DATA.
struct ParameterArray {
  std::vector<char> data;
  std::vector<SQLLEN> indicators;
};

struct OdbcPrepared {
  SQLHSTMT statement = SQL_NULL_HSTMT;
  int parameterCount = 0;
  int64_t rowCount = -1;
  bool arraysRefused = false;  // the driver would not take more than one row
  // The driver reads a binary parameter's length (or NULL) of every row of
  // an array from the first row's (SQLite's does): an array then holds only
  // rows whose binary values are alike in that.
  bool blobLengthPerArray = false;
  std::vector<ParameterArray> parameters;
  std::vector<SQLUSMALLINT> status = std::vector<SQLUSMALLINT>(kOdbcMaxArrayRows);
  SQLULEN processed = 0;

  OdbcPrepared() = default;
  OdbcPrepared(const OdbcPrepared&) = delete;
  OdbcPrepared& operator=(const OdbcPrepared&) = delete;
  ~OdbcPrepared() {
    if (statement != SQL_NULL_HSTMT) Odbc().SQLFreeHandle(SQL_HANDLE_STMT, statement);
  }
};

PreparedStatementSet::PreparedStatementSet() = default;
PreparedStatementSet::~PreparedStatementSet() { ReleaseAll(); }

PreparedStatement* PreparedStatementSet::Add(std::unique_ptr<OdbcPrepared> statement) {
  statements_.push_back(std::move(statement));
  return reinterpret_cast<PreparedStatement*>(statements_.back().get());
}

OdbcPrepared* PreparedStatementSet::Find(const PreparedStatement* pointer) const {
  for (const auto& statement : statements_) {
    if (reinterpret_cast<const PreparedStatement*>(statement.get()) == pointer) {
      return statement.get();
    }
  }
  return nullptr;
}

bool PreparedStatementSet::Remove(const PreparedStatement* pointer) {
  const auto found = std::find_if(statements_.begin(), statements_.end(), [&](const auto& entry) {
    return reinterpret_cast<const PreparedStatement*>(entry.get()) == pointer;
  });
  if (found == statements_.end()) return false;
  statements_.erase(found);
  return true;
}

void PreparedStatementSet::ReleaseAll() { statements_.clear(); }

}  // namespace odbc

namespace {

using odbc::kOdbcMaxArrayRows;
using odbc::Odbc;
using odbc::OdbcPrepared;
using odbc::ParameterArray;
using odbc::PreparedStatementSet;
using odbc::Succeeded;

// A failure: its fixed line, then the driver's records about the handle;
// a lost link marks the connection broken.
void Fail(ConnectionHandle* handle, const char* line, SQLSMALLINT handleType, SQLHANDLE odbc) {
  odbc::ReportOdbcFailure(line, handleType, odbc, handle);
}

// ---- how a kind travels

struct Binding {
  SQLSMALLINT cType;
  SQLSMALLINT sqlType;
  bool fixed;  // a number bound in its own width; otherwise bytes
};

Binding BindingOf(BoundKind kind) {
  switch (kind) {
    case BoundKind::kInteger:
      return {SQL_C_SBIGINT, SQL_BIGINT, true};
    case BoundKind::kDouble:
      return {SQL_C_DOUBLE, SQL_DOUBLE, true};
    case BoundKind::kUnsigned:
    case BoundKind::kDecimal:
      return {SQL_C_CHAR, SQL_DECIMAL, false};
    case BoundKind::kBlob:
      return {SQL_C_BINARY, SQL_LONGVARBINARY, false};
    case BoundKind::kDate:
      return {SQL_C_CHAR, SQL_TYPE_DATE, false};
    case BoundKind::kTime:
      return {SQL_C_CHAR, SQL_TYPE_TIME, false};
    case BoundKind::kDateTime:
      return {SQL_C_CHAR, SQL_TYPE_TIMESTAMP, false};
    case BoundKind::kNull:
    case BoundKind::kText:
      break;
  }
  return {SQL_C_CHAR, SQL_VARCHAR, false};
}

// The decimal digits of an unsigned value.
std::string UnsignedText(uint64_t value) { return std::to_string(value); }

// The bytes a value of a byte kind sends (unsigned values as their digits).
std::string_view BytesOf(const BoundValue& value, std::string& scratch) {
  if (value.kind == BoundKind::kUnsigned) {
    scratch = UnsignedText(value.unsignedInteger);
    return scratch;
  }
  if (value.bytes == nullptr) return {};
  return {value.bytes, value.length};
}

// Digits after the point of a decimal or time text (0 without one).
SQLSMALLINT FractionDigits(std::string_view text) {
  const std::size_t point = text.find('.');
  if (point == std::string_view::npos) return 0;
  return static_cast<SQLSMALLINT>(std::min<std::size_t>(text.size() - point - 1, 30));
}

// true when a binary value of row would be sent with the length (or the
// NULL) of the same parameter in the array's first row.
bool BlobDiffers(const BoundValue& value, const BoundValue& first) {
  const bool blob = value.kind == BoundKind::kBlob || first.kind == BoundKind::kBlob;
  return blob && (value.kind != first.kind || value.length != first.length);
}

// The number of rows from first (at most limit) that one array can carry:
// it ends before the first row in which a parameter has a kind other than
// the one earlier rows gave it (or, with sameBlobLength, a binary value of
// another length or nullness than in the first row). kinds receives each
// parameter's kind.
int UniformRows(const BoundValue* values, int parameterCount, int first, int limit,
                bool sameBlobLength, std::vector<BoundKind>& kinds) {
  const BoundValue* head = values + static_cast<std::ptrdiff_t>(first) * parameterCount;
  kinds.assign(static_cast<std::size_t>(parameterCount), BoundKind::kNull);
  int rows = 0;
  for (; rows < limit; ++rows) {
    const BoundValue* row = values + static_cast<std::ptrdiff_t>(first + rows) * parameterCount;
    bool fits = true;
    for (int column = 0; column < parameterCount && fits; ++column) {
      const BoundKind kind = row[column].kind;
      const BoundKind have = kinds[static_cast<std::size_t>(column)];
      fits = (kind == BoundKind::kNull || have == BoundKind::kNull || have == kind) &&
             !(sameBlobLength && BlobDiffers(row[column], head[column]));
    }
    if (!fits) break;
    for (int column = 0; column < parameterCount; ++column) {
      if (row[column].kind != BoundKind::kNull)
        kinds[static_cast<std::size_t>(column)] = row[column].kind;
    }
  }
  return std::max(rows, 1);
}

// Fills parameter column's array for rows [first, first + rows) and binds
// it. false after the failure's lines.
bool BindColumn(ConnectionHandle* handle, OdbcPrepared& prepared, const BoundValue* values,
                int first, int rows, int column, BoundKind kind) {
  const Binding binding = BindingOf(kind);
  ParameterArray& array = prepared.parameters[static_cast<std::size_t>(column)];
  const auto count = static_cast<std::size_t>(rows);
  array.indicators.assign(count, SQL_NULL_DATA);
  const int stride = prepared.parameterCount;
  auto valueAt = [&](std::size_t row) -> const BoundValue& {
    return values[(static_cast<std::size_t>(first) + row) * static_cast<std::size_t>(stride) +
                  static_cast<std::size_t>(column)];
  };
  std::size_t width = 0;
  SQLSMALLINT digits = 0;
  std::string scratch;
  if (binding.fixed) {
    width = sizeof(int64_t);
  } else {
    for (std::size_t row = 0; row < count; ++row) {
      if (valueAt(row).kind == BoundKind::kNull) continue;
      const std::string_view bytes = BytesOf(valueAt(row), scratch);
      width = std::max(width, bytes.size());
      if (kind != BoundKind::kText && kind != BoundKind::kBlob) {
        digits = std::max(digits, FractionDigits(bytes));
      }
    }
    width = std::max<std::size_t>(width, 1);
  }
  array.data.resize(width * count);
  for (std::size_t row = 0; row < count; ++row) {
    const BoundValue& value = valueAt(row);
    if (value.kind == BoundKind::kNull) continue;
    char* slot = array.data.data() + row * width;
    if (kind == BoundKind::kInteger) {
      std::memcpy(slot, &value.integer, sizeof value.integer);
      array.indicators[row] = sizeof value.integer;
    } else if (kind == BoundKind::kDouble) {
      std::memcpy(slot, &value.real, sizeof value.real);
      array.indicators[row] = sizeof value.real;
    } else {
      const std::string_view bytes = BytesOf(value, scratch);
      if (!bytes.empty()) std::memcpy(slot, bytes.data(), bytes.size());
      array.indicators[row] = static_cast<SQLLEN>(bytes.size());
    }
  }
  const SQLRETURN result = Odbc().SQLBindParameter(
      prepared.statement, static_cast<SQLUSMALLINT>(column + 1), SQL_PARAM_INPUT, binding.cType,
      binding.sqlType, binding.fixed ? 0 : static_cast<SQLULEN>(width), digits, array.data.data(),
      static_cast<SQLLEN>(width), array.indicators.data());
  if (Succeeded(result)) return true;
  Fail(handle, "SQLBindParameter failed\n", SQL_HANDLE_STMT, prepared.statement);
  return false;
}

// Sets how many rows the next SQLExecute sends; false when the driver
// refuses that many.
bool SetArraySize(OdbcPrepared& prepared, int rows) {
  const SQLRETURN result =
      Odbc().SQLSetStmtAttr(prepared.statement, SQL_ATTR_PARAMSET_SIZE,
                            reinterpret_cast<SQLPOINTER>(static_cast<SQLULEN>(rows)), 0);
  return Succeeded(result);
}

// What one chunk did.
struct ChunkOutcome {
  bool ran = false;     // every row ran
  bool retry = false;   // the array failed as a whole: run its rows one by one
  int64_t changed = 0;  // rows changed, when ran
};

// Whether row of the last array of rows ran. A driver that fills the
// status array says so per row (a status it left unavailable counts as ran
// when the call succeeded). One that leaves it untouched (SQLite's) ran
// every row when the call succeeded, and otherwise the rows it counts as
// processed; the next one failed.
bool RowRan(const OdbcPrepared& prepared, int row, int rows, bool callSucceeded) {
  const auto begin = prepared.status.begin();
  const bool filled = std::any_of(begin, begin + rows,
                                  [](SQLUSMALLINT status) { return status != SQL_PARAM_UNUSED; });
  if (!filled) {
    return callSucceeded || static_cast<SQLULEN>(row) < prepared.processed;
  }
  const SQLUSMALLINT status = prepared.status[static_cast<std::size_t>(row)];
  if (status == SQL_PARAM_SUCCESS || status == SQL_PARAM_SUCCESS_WITH_INFO) return true;
  return status == SQL_PARAM_DIAG_UNAVAILABLE && callSucceeded;
}

// Adds up the rows an executed array changed: a driver that keeps a count
// per row of the array hands out the next row's with SQLMoreResults.
bool CountChanged(SQLHSTMT statement, int64_t& changed) {
  changed = 0;
  SQLRETURN more = SQL_SUCCESS;
  while (Succeeded(more)) {
    SQLLEN count = 0;
    if (!Succeeded(Odbc().SQLRowCount(statement, &count))) return false;
    if (count > 0) changed += static_cast<int64_t>(count);
    more = Odbc().SQLMoreResults(statement);
  }
  return more == SQL_NO_DATA;
}

// Runs rows [first, first + rows) as one array and records each row's
// status. On failure logs the lines and the first failing row.
ChunkOutcome RunChunk(ConnectionHandle* handle, OdbcPrepared& prepared, const BoundValue* values,
                      int first, int rows, const std::vector<BoundKind>& kinds,
                      uint8_t* rowStatus) {
  // Fresh bindings each time: MariaDB's driver otherwise keeps what it made
  // of a parameter's earlier binding and sends garbage for a text.
  Odbc().SQLFreeStmt(prepared.statement, SQL_RESET_PARAMS);
  for (int column = 0; column < prepared.parameterCount; ++column) {
    if (!BindColumn(handle, prepared, values, first, rows, column,
                    kinds[static_cast<std::size_t>(column)])) {
      return {};
    }
  }
  std::fill_n(prepared.status.begin(), rows, static_cast<SQLUSMALLINT>(SQL_PARAM_UNUSED));
  prepared.processed = 0;
  const SQLRETURN result = Odbc().SQLExecute(prepared.statement);
  const bool succeeded = Succeeded(result) || result == SQL_NO_DATA;
  int ran = 0;
  int errors = 0;    // rows the driver marks failed
  int failing = -1;  // the first of them
  int skipped = -1;  // the first row that did not run
  for (int row = 0; row < rows; ++row) {
    const bool rowRan = rows == 1 ? succeeded : RowRan(prepared, row, rows, succeeded);
    if (rowStatus != nullptr) rowStatus[first + row] = rowRan ? 1 : 0;
    ran += rowRan ? 1 : 0;
    if (!rowRan && skipped < 0) skipped = row;
    if (rows > 1 && prepared.status[static_cast<std::size_t>(row)] == SQL_PARAM_ERROR) {
      if (errors++ == 0) failing = row;
    }
  }
  ChunkOutcome outcome;
  if (succeeded && skipped < 0) {
    if (result != SQL_NO_DATA && !CountChanged(prepared.statement, outcome.changed)) {
      Fail(handle, "No Rows Affected \n", SQL_HANDLE_STMT, prepared.statement);
    } else {
      outcome.ran = true;
    }
  } else if (rows > 1 && ran == 0 && IsInTransaction(*handle) == 0 &&
             odbc::ClassifyOdbcDiagnostics(odbc::ReadOdbcDiagnostics(
                 SQL_HANDLE_STMT, prepared.statement)) == odbc::OdbcFailure::kStatement) {
    // Nothing of the array stayed (the driver ran it as one statement):
    // one row at a time finds the failing row and keeps the rows before it.
    outcome.retry = true;
  } else {
    Fail(handle, "SQLExecute failed\n", SQL_HANDLE_STMT, prepared.statement);
    if (rows > 1 && errors != 1) failing = errors == 0 ? skipped : -1;
    if (rows == 1) failing = 0;
    if (failing >= 0) {
      const int number = first + failing;
      LogFailingBoundRow(values + static_cast<std::ptrdiff_t>(number) * prepared.parameterCount,
                         prepared.parameterCount, number);
    } else {
      LogError("Failing rows %d to %d: the array failed as a whole\n", first, first + rows - 1);
    }
  }
  Odbc().SQLFreeStmt(prepared.statement, SQL_CLOSE);
  return outcome;
}

// true when the driver's file name holds piece (any letter case): "sqlite"
// for the SQLite ODBC driver, "psqlodbc" for PostgreSQL's.
bool DriverNameHas(SQLHDBC connection, const char* piece) {
  char name[256] = {};
  SQLSMALLINT length = 0;
  if (!Succeeded(Odbc().SQLGetInfo(connection, SQL_DRIVER_NAME, name,
                                   static_cast<SQLSMALLINT>(sizeof name), &length))) {
    return false;
  }
  return strcasestr(name, piece) != nullptr;
}

// The statement behind pointer on handle, or none (logged when the handle
// is an ODBC one that does not hold it).
OdbcPrepared* Lookup(ConnectionHandle* handle, PreparedStatement* pointer) {
  SQLHDBC connection = SQL_NULL_HDBC;
  PreparedStatementSet* statements = nullptr;
  if (pointer == nullptr || !odbc::OdbcLinkOf(handle, &connection, &statements)) {
    return nullptr;
  }
  OdbcPrepared* prepared = statements->Find(pointer);
  if (prepared == nullptr) LogError("Unknown prepared statement\n");
  return prepared;
}

int ExecuteRows(ConnectionHandle* handle, OdbcPrepared& prepared, const BoundValue* values,
                int rowCount, uint8_t* rowStatus) {
  if (rowStatus != nullptr) std::fill_n(rowStatus, rowCount, 0);
  std::vector<BoundKind> kinds;
  int64_t changed = 0;
  int singleUntil = 0;  // rows before it run one at a time
  for (int first = 0; first < rowCount;) {
    const int limit = prepared.arraysRefused || first < singleUntil
                          ? 1
                          : std::min(kOdbcMaxArrayRows, rowCount - first);
    const int rows = UniformRows(values, prepared.parameterCount, first, limit,
                                 prepared.blobLengthPerArray, kinds);
    if (!SetArraySize(prepared, rows)) {
      if (rows == 1) {
        Fail(handle, "SQLExecute failed\n", SQL_HANDLE_STMT, prepared.statement);
        return 0;
      }
      prepared.arraysRefused = true;
      continue;
    }
    const ChunkOutcome outcome = RunChunk(handle, prepared, values, first, rows, kinds, rowStatus);
    if (outcome.retry) {
      singleUntil = first + rows;
      continue;
    }
    if (!outcome.ran) return 0;
    changed += outcome.changed;
    first += rows;
  }
  prepared.rowCount = changed;
  return 1;
}

}  // namespace

PreparedStatement* ODBCPrepareStatement(ConnectionHandle* handle, const char* text,
                                        int parameterCount) {
  SQLHDBC connection = SQL_NULL_HDBC;
  PreparedStatementSet* statements = nullptr;
  if (text == nullptr || parameterCount < 0 ||
      !odbc::OdbcLinkOf(handle, &connection, &statements)) {
    return nullptr;
  }
  ObjectLockGuard lock(handle);
  try {
    auto prepared = std::make_unique<OdbcPrepared>();
    if (!Succeeded(Odbc().SQLAllocStmt(connection, &prepared->statement))) {
      prepared->statement = SQL_NULL_HSTMT;
      Fail(handle, "Allocating Statement Handle failed\n", SQL_HANDLE_DBC, connection);
      return nullptr;
    }
    if (!Succeeded(Odbc().SQLPrepare(
            prepared->statement, reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)), SQL_NTS))) {
      Fail(handle, "SQLPrepare failed\n", SQL_HANDLE_STMT, prepared->statement);
      return nullptr;
    }
    prepared->parameterCount = parameterCount;
    prepared->parameters.resize(static_cast<std::size_t>(parameterCount));
    // Column-wise arrays; a driver without arrays may refuse the status
    // pointers, and then runs one row at a time.
    const SQLHSTMT statement = prepared->statement;
    const bool arrays = Succeeded(Odbc().SQLSetStmtAttr(
                            statement, SQL_ATTR_PARAM_BIND_TYPE,
                            reinterpret_cast<SQLPOINTER>(SQL_PARAM_BIND_BY_COLUMN), 0)) &&
                        Succeeded(Odbc().SQLSetStmtAttr(statement, SQL_ATTR_PARAM_STATUS_PTR,
                                                        prepared->status.data(), 0)) &&
                        Succeeded(Odbc().SQLSetStmtAttr(statement, SQL_ATTR_PARAMS_PROCESSED_PTR,
                                                        &prepared->processed, 0));
    prepared->arraysRefused = !arrays;
    prepared->blobLengthPerArray = DriverNameHas(connection, "sqlite");
    return statements->Add(std::move(prepared));
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int ODBCExecutePrepared(ConnectionHandle* handle, PreparedStatement* statement,
                        const BoundValue* values, int rowCount, uint8_t* rowStatus) {
  ObjectLockGuard lock(handle);
  OdbcPrepared* prepared = Lookup(handle, statement);
  if (prepared == nullptr) return 0;
  prepared->rowCount = -1;
  if (rowCount < 0 || (rowCount > 0 && prepared->parameterCount > 0 && values == nullptr)) {
    LogError("SQLBindParameter failed\n");
    return 0;
  }
  try {
    return ExecuteRows(handle, *prepared, values, rowCount, rowStatus);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return 0;
  }
}

int64_t ODBCPreparedRowCount(ConnectionHandle* handle, PreparedStatement* statement) {
  ObjectLockGuard lock(handle);
  const OdbcPrepared* prepared = Lookup(handle, statement);
  return prepared != nullptr ? prepared->rowCount : -1;
}

void ODBCFinalizeStatement(ConnectionHandle* handle, PreparedStatement* statement) {
  ObjectLockGuard lock(handle);
  SQLHDBC connection = SQL_NULL_HDBC;
  PreparedStatementSet* statements = nullptr;
  if (statement == nullptr || !odbc::OdbcLinkOf(handle, &connection, &statements)) return;
  if (!statements->Remove(statement)) LogError("Unknown prepared statement\n");
}

}  // namespace fh
