#include "db/sqlite/sqlite_provider.h"

#include <sqlite3.h>

#include <cctype>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/fetched_text.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/sqlite/sqlite_errors.h"
#include "db/sqlite/sqlite_prepared.h"
#include "db/sqlite/sqlite_types.h"
#include "dictionary/column_types.h"
#include "lock/object_lock.h"
#include "log/log.h"

namespace {

using fh::sqlite::ReportFailure;
using fh::sqlite::SqliteConnection;

SqliteConnection* CellOf(ConnectionHandle* handle) { return fh::sqlite::ConnectionOf(handle); }

// A prepared statement, finalized on every path.
class Statement {
 public:
  Statement() = default;
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  sqlite3_stmt* get() const { return statement_; }
  sqlite3_stmt** out() {
    sqlite3_finalize(statement_);
    statement_ = nullptr;
    return &statement_;
  }

 private:
  sqlite3_stmt* statement_ = nullptr;
};

// One operation on one handle: where its failures are reported.
struct Operation {
  ConnectionHandle* handle;
  sqlite3* db;

  void Fail(const char* line, int code) const { ReportFailure(line, handle, db, code); }
};

bool CheckDatabaseFile(const Operation& op, const char* line) {
  return fh::sqlite::CheckDatabaseFile(op.handle, op.db, line);
}

bool IsBlankText(const char* text) {
  while (*text != '\0' && std::isspace(static_cast<unsigned char>(*text)) != 0) ++text;
  return *text == '\0';
}

// Steps a prepared statement to its end. false after the failure's lines.
bool StepToEnd(const Operation& op, sqlite3_stmt* statement) {
  for (;;) {
    const int code = sqlite3_step(statement);
    if (code == SQLITE_DONE) return true;
    if (code != SQLITE_ROW) {
      op.Fail("Executing statement failed\n", sqlite3_extended_errcode(op.db));
      return false;
    }
  }
}

// Runs every statement of text; the rows the last one changed, or -1.
int64_t RunUpdate(const Operation& op, const char* text) {
  if (!CheckDatabaseFile(op, "Executing statement failed\n")) return -1;
  int64_t changed = 0;
  const char* rest = text;
  while (!IsBlankText(rest)) {
    Statement statement;
    const char* tail = nullptr;
    const int code = sqlite3_prepare_v2(op.db, rest, -1, statement.out(), &tail);
    if (code != SQLITE_OK) {
      op.Fail("Preparing statement failed\n", sqlite3_extended_errcode(op.db));
      return -1;
    }
    rest = tail;
    if (statement.get() == nullptr) continue;  // a comment or a lone ";"
    if (!StepToEnd(op, statement.get())) return -1;
    changed = sqlite3_changes64(op.db);
  }
  return changed;
}

// ---- fetching

struct Fetch {
  const Operation& op;
  sqlite3_stmt* statement;
  BlobSink sink = nullptr;  // none: binary columns come back as values
  void* context = nullptr;
};

// Streams a binary column to the sink in pieces of at most 1024 bytes, then
// the end call.
void StreamBlob(const Fetch& fetch, int column) {
  constexpr int kPieceSize = 1024;
  const auto* bytes = static_cast<const char*>(sqlite3_column_blob(fetch.statement, column));
  const int length = sqlite3_column_bytes(fetch.statement, column);
  for (int at = 0; bytes != nullptr && at < length; at += kPieceSize) {
    const int piece = length - at < kPieceSize ? length - at : kPieceSize;
    fetch.sink(bytes + at, piece, fetch.context);
  }
  fetch.sink(nullptr, 0, fetch.context);
}

// The value of column in the current row, stored as the storage class
// stored, as columnType; none when a stored text does not convert.
std::optional<ColumnValue> ReadValue(sqlite3_stmt* statement, int column, int stored,
                                     uint8_t columnType) {
  if (columnType == KES_SQL_DOUBLE && (stored == SQLITE_FLOAT || stored == SQLITE_INTEGER)) {
    return ColumnValue::FromDouble(sqlite3_column_double(statement, column));
  }
  if (stored == SQLITE_INTEGER) {
    const int64_t number = sqlite3_column_int64(statement, column);
    if (columnType == KES_SQL_BOOLEAN)
      return ColumnValue::FromInteger(KES_SQL_BOOLEAN, number == 1);
    if (IsIntegerColumnType(columnType)) return ColumnValue::FromInteger(columnType, number);
  }
  if (columnType == KES_SQL_BLOB && stored == SQLITE_BLOB) {
    const void* bytes = sqlite3_column_blob(statement, column);
    return ColumnValue::FromBytes(
        bytes, static_cast<std::size_t>(sqlite3_column_bytes(statement, column)));
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
  const auto length = static_cast<std::size_t>(sqlite3_column_bytes(statement, column));
  return fh::FetchedTextValue(text != nullptr ? text : "", length, columnType);
}

// Reads the current row into row. false after the failure's lines.
bool ReadRow(const Fetch& fetch, const std::vector<DBColumnDescriptor>& columns, DBRow& row) {
  row.reserve(columns.size());
  for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
    const DBColumnDescriptor& descriptor = columns[static_cast<std::size_t>(column)];
    if (fetch.sink != nullptr && descriptor.dataType == KES_SQL_BLOB) {
      StreamBlob(fetch, column);
      row.emplace_back(std::nullopt);
      continue;
    }
    const int stored = sqlite3_column_type(fetch.statement, column);
    if (stored == SQLITE_NULL) {
      row.emplace_back(std::nullopt);
      continue;
    }
    std::optional<ColumnValue>& value =
        row.emplace_back(ReadValue(fetch.statement, column, stored, descriptor.dataType));
    if (!value) {
      LogError("Value conversion failed for column %s\n", descriptor.name.c_str());
      return false;
    }
  }
  return true;
}

std::unique_ptr<DBResultSet> RunQuery(const Operation& op, const char* text, BlobSink sink,
                                      void* context, bool blobMode) {
  if (!CheckDatabaseFile(op, "Executing statement failed\n")) return nullptr;
  Statement statement;
  int code = sqlite3_prepare_v2(op.db, text, -1, statement.out(), nullptr);
  if (code != SQLITE_OK) {
    op.Fail("Preparing statement failed\n", sqlite3_extended_errcode(op.db));
    return nullptr;
  }
  std::vector<DBColumnDescriptor> columns;
  std::vector<int> expressions;  // columns typed by their first value
  const int count = statement.get() != nullptr ? sqlite3_column_count(statement.get()) : 0;
  for (int column = 0; column < count; ++column) {
    const char* name = sqlite3_column_name(statement.get(), column);
    const char* declared = sqlite3_column_decltype(statement.get(), column);
    if (declared == nullptr) expressions.push_back(column);
    columns.push_back({name != nullptr ? name : "", fh::MapSqliteDeclaredType(declared)});
  }
  Fetch fetch{op, statement.get(), blobMode ? sink : nullptr, context};
  if (blobMode && sink == nullptr) fetch.sink = [](const void*, int32_t, void*) {};
  DBRows rows;
  while (statement.get() != nullptr && (code = sqlite3_step(statement.get())) == SQLITE_ROW) {
    if (rows.empty()) {
      for (int column : expressions) {
        columns[static_cast<std::size_t>(column)].dataType =
            fh::MapSqliteStorageClass(sqlite3_column_type(statement.get(), column));
      }
    }
    DBRow row;
    if (!ReadRow(fetch, columns, row)) return nullptr;
    rows.push_back(std::move(row));
  }
  if (statement.get() != nullptr && code != SQLITE_DONE) {
    op.Fail("Executing statement failed\n", sqlite3_extended_errcode(op.db));
    return nullptr;
  }
  return CreateDBResultSet(std::move(rows), std::move(columns), count);
}

// Runs one transaction statement; false after line, "Error in starting
// transaction\n" and the diagnostics.
bool RunTransactionStatement(const Operation& op, const char* statement, const char* line) {
  if (!CheckDatabaseFile(op, line)) return false;
  const int code = sqlite3_exec(op.db, statement, nullptr, nullptr, nullptr);
  if (code == SQLITE_OK) return true;
  LogError("%s", line);
  op.Fail("Error in starting transaction\n", sqlite3_extended_errcode(op.db));
  return false;
}

// Opens and sets up the database file; the open connection, or none after
// the failure's lines.
std::unique_ptr<SqliteConnection> OpenDatabase(const std::string& file) {
  auto cell = std::make_unique<SqliteConnection>();
  const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX;
  int code = sqlite3_open_v2(file.c_str(), &cell->db, flags, nullptr);
  if (code == SQLITE_OK) {
    sqlite3_extended_result_codes(cell->db, 1);
    sqlite3_busy_timeout(cell->db, kSqliteBusyTimeoutMs);
    // journal_mode reads the file, so a file that is no database fails here.
    code = sqlite3_exec(cell->db, "PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL;", nullptr,
                        nullptr, nullptr);
  }
  if (code != SQLITE_OK) {
    ReportFailure("Opening database failed\n", nullptr, cell->db,
                  cell->db != nullptr ? sqlite3_extended_errcode(cell->db) : code);
    return nullptr;
  }
  return cell;
}

}  // namespace

fh::sqlite::SqliteConnection::~SqliteConnection() {
  prepared.clear();  // each statement finalized while the database is open
  if (db == nullptr) return;
  if (sqlite3_get_autocommit(db) == 0) sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close_v2(db);
}

fh::sqlite::SqliteConnection* fh::sqlite::ConnectionOf(ConnectionHandle* handle) {
  return handle != nullptr ? dynamic_cast<SqliteConnection*>(handle->connection.get()) : nullptr;
}

// In WAL mode a connection keeps its cached pages while the write-ahead
// log says nothing changed, so a database file damaged or replaced in
// place would go unnoticed. Outside a transaction every operation first
// reads the file's header through the connection's own file: a file that
// cannot be read or no longer starts with the SQLite header fails the
// operation as a connection failure. An empty file (a new database) passes.
bool fh::sqlite::CheckDatabaseFile(ConnectionHandle* handle, sqlite3* db, const char* line) {
  if (sqlite3_get_autocommit(db) == 0) return true;
  sqlite3_file* file = nullptr;
  if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK ||
      file == nullptr || file->pMethods == nullptr) {
    return true;  // an in-memory database
  }
  static constexpr char kHeader[16] = "SQLite format 3";
  char header[sizeof kHeader] = {};
  const int code = file->pMethods->xRead(file, header, sizeof header, 0);
  if (code == SQLITE_IOERR_SHORT_READ) {
    sqlite3_int64 size = 0;
    if (file->pMethods->xFileSize(file, &size) == SQLITE_OK && size == 0) return true;
  }
  if (code == SQLITE_OK && std::memcmp(header, kHeader, sizeof header) == 0) return true;
  LogError("%s", line);
  ReportFailure("Database file unreadable\n", handle, nullptr,
                code == SQLITE_OK ? SQLITE_NOTADB : code);
  return false;
}

const DBProvider kSqliteProvider = {
    kSqliteProviderName,     SqliteOpenConnection,        SqliteExecuteUpdate,
    SqliteExecuteQuery,      SqliteCloseConnection,       SqliteBeginTransaction,
    SqliteCommitTransaction, SqliteRollbackTransaction,   SqliteExecuteUpdateBlob,
    SqliteExecuteQueryBlob,  SqliteExecuteUpdateRowCount, SqlitePrepareStatement,
    SqliteExecutePrepared,   SqlitePreparedRowCount,      SqliteFinalizeStatement,
};

std::unique_ptr<ConnectionHandle> SqliteOpenConnection(const ConnParamsEntry* entry) {
  if (entry == nullptr || !entry->dsn || entry->dsn->empty()) {
    LogError("SQLite connection Parameter missing\n");
    return nullptr;
  }
  try {
    std::unique_ptr<SqliteConnection> cell = OpenDatabase(*entry->dsn);
    if (cell == nullptr) return nullptr;
    auto handle = std::make_unique<ConnectionHandle>();
    handle->connectionName = entry->connectionName.value_or("");
    handle->connection = std::move(cell);
    return handle;
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return nullptr;
  }
}

int64_t SqliteExecuteUpdateRowCount(ConnectionHandle* handle, const char* text) {
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return -1;
  ObjectLockGuard lock(handle);
  return RunUpdate(Operation{handle, cell->db}, text);
}

int SqliteExecuteUpdate(ConnectionHandle* handle, const char* text) {
  return SqliteExecuteUpdateRowCount(handle, text) < 0 ? 0 : 1;
}

std::unique_ptr<DBResultSet> SqliteExecuteQuery(ConnectionHandle* handle, const char* text) {
  LogTrace("Inside SqliteExecuteQuery\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  ObjectLockGuard lock(handle);
  try {
    return RunQuery(Operation{handle, cell->db}, text, nullptr, nullptr, false);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

std::unique_ptr<DBResultSet> SqliteExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                    BlobSink sink, void* context) {
  LogTrace("Inside SqliteExecuteQuery\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  try {
    return RunQuery(Operation{handle, cell->db}, text, sink, context, true);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int SqliteExecuteUpdateBlob(ConnectionHandle* handle, const char* text, BlobSupplier supplier,
                            void* context) {
  LogTrace("Inside SqliteExecuteUpdateBlob\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return 0;
  const Operation op{handle, cell->db};
  try {
    std::string value;
    for (;;) {
      if (supplier == nullptr) break;
      const void* piece = nullptr;
      int32_t length = 0;
      if (supplier(&piece, &length, context) == kBlobNoMoreData) break;
      if (length < 0 || (piece == nullptr && length > 0)) {
        LogError("Invalid blob piece\n");
        return 0;
      }
      value.append(static_cast<const char*>(piece), static_cast<std::size_t>(length));
    }
    if (!CheckDatabaseFile(op, "Executing statement failed\n")) return 0;
    Statement statement;
    if (sqlite3_prepare_v2(op.db, text, -1, statement.out(), nullptr) != SQLITE_OK) {
      op.Fail("Preparing statement failed\n", sqlite3_extended_errcode(op.db));
      return 0;
    }
    // value.data() is never null, so an empty value binds as an empty blob.
    if (sqlite3_bind_blob64(statement.get(), 1, value.data(), value.size(), SQLITE_STATIC) !=
        SQLITE_OK) {
      op.Fail("Binding parameter failed\n", sqlite3_extended_errcode(op.db));
      return 0;
    }
    return StepToEnd(op, statement.get()) ? 1 : 0;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return 0;
  }
}

bool SqliteCloseConnection(ConnectionHandle* handle) {
  if (handle != nullptr) handle->connection.reset();
  return true;
}

int SqliteBeginTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteBeginTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  return RunTransactionStatement(Operation{handle, cell->db}, "BEGIN IMMEDIATE",
                                 "Error in beginning transaction\n")
             ? 1
             : 0;
}

int SqliteCommitTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteCommitTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  const Operation op{handle, cell->db};
  if (RunTransactionStatement(op, "COMMIT", "Error in commiting transaction\n")) return 1;
  if (sqlite3_get_autocommit(op.db) == 0)
    sqlite3_exec(op.db, "ROLLBACK", nullptr, nullptr, nullptr);
  return 0;
}

int SqliteRollbackTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteRollbackTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  return RunTransactionStatement(Operation{handle, cell->db}, "ROLLBACK",
                                 "Error in rollbacking transaction\n")
             ? 1
             : 0;
}
