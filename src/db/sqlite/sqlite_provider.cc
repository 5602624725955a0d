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
  fh::BlobSink sink = nullptr;  // none: binary columns come back as values
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

bool IsPlainText(uint8_t type) {
  return type == KES_SQL_CHAR || type == KES_SQL_NCHAR || type == KES_SQL_TEXT;
}

// A text column's value: the text up to its first zero byte, as the
// fetched-text conversion reads it, without its detours. false when memory
// is exhausted.
bool PlainTextValue(const char* text, std::optional<fh::ColumnValue>& value) {
  try {
    value.emplace(fh::ColumnValue::FromText(text != nullptr ? text : ""));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Reads a column of the current row (cell, sqlite3_column_value's), stored
// as the storage class stored, into value as columnType (built in place:
// no value is moved on the way). false when a stored text does not
// convert. Reading through the value takes no lock per call: the caller
// holds the connection's mutex.
bool ReadValue(sqlite3_value* cell, int stored, uint8_t columnType,
               std::optional<fh::ColumnValue>& value) {
  if (columnType == KES_SQL_DOUBLE && (stored == SQLITE_FLOAT || stored == SQLITE_INTEGER)) {
    value.emplace(fh::ColumnValue::FromDouble(sqlite3_value_double(cell)));
    return true;
  }
  if (stored == SQLITE_INTEGER) {
    const int64_t number = sqlite3_value_int64(cell);
    if (columnType == KES_SQL_BOOLEAN) {
      value.emplace(fh::ColumnValue::FromInteger(KES_SQL_BOOLEAN, number == 1));
      return true;
    }
    if (fh::IsIntegerColumnType(columnType)) {
      value.emplace(fh::ColumnValue::FromInteger(columnType, number));
      return true;
    }
  }
  if (columnType == KES_SQL_BLOB && stored == SQLITE_BLOB) {
    const void* bytes = sqlite3_value_blob(cell);
    value.emplace(
        fh::ColumnValue::FromBytes(bytes, static_cast<std::size_t>(sqlite3_value_bytes(cell))));
    return true;
  }
  const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(cell));
  const auto length = static_cast<std::size_t>(sqlite3_value_bytes(cell));
  if (IsPlainText(columnType)) return PlainTextValue(text, value);
  value = fh::FetchedTextValue(text != nullptr ? text : "", length, columnType);
  return value.has_value();
}

// Holds a connection's own mutex for one scope (nothing for a connection
// opened without one); it is recursive, so the sqlite3 calls made inside
// take it again cheaply.
class ConnectionMutex {
 public:
  explicit ConnectionMutex(sqlite3* db) : mutex_(sqlite3_db_mutex(db)) {
    sqlite3_mutex_enter(mutex_);
  }
  ~ConnectionMutex() { sqlite3_mutex_leave(mutex_); }
  ConnectionMutex(const ConnectionMutex&) = delete;
  ConnectionMutex& operator=(const ConnectionMutex&) = delete;

 private:
  sqlite3_mutex* mutex_;
};

// Reads the current row into row. false after the failure's lines.
bool ReadRow(const Fetch& fetch, const std::vector<fh::DBColumnDescriptor>& columns,
             fh::DBRow& row) {
  ConnectionMutex hold(fetch.op.db);
  row.reserve(columns.size());
  for (int column = 0; column < static_cast<int>(columns.size()); ++column) {
    const fh::DBColumnDescriptor& descriptor = columns[static_cast<std::size_t>(column)];
    if (fetch.sink != nullptr && descriptor.dataType == KES_SQL_BLOB) {
      StreamBlob(fetch, column);
      row.emplace_back(std::nullopt);
      continue;
    }
    sqlite3_value* cell = sqlite3_column_value(fetch.statement, column);
    const int stored = sqlite3_value_type(cell);
    std::optional<fh::ColumnValue>& value = row.emplace_back();
    if (stored == SQLITE_NULL) {
      continue;
    }
    if (!ReadValue(cell, stored, descriptor.dataType, value)) {
      LogError("Value conversion failed for column %s\n", descriptor.name.c_str());
      return false;
    }
  }
  return true;
}

// A prepared query and its result columns.
struct Query {
  Statement statement;
  std::vector<fh::DBColumnDescriptor> columns;
  std::vector<int> expressions;  // columns typed by their first value
  int count = 0;
  bool typed = false;  // the expressions typed (a row was read)
};

// Prepares text and describes its columns. false after the failure's lines.
bool PrepareQuery(const Operation& op, const char* text, Query& query) {
  if (!CheckDatabaseFile(op, "Executing statement failed\n")) return false;
  if (sqlite3_prepare_v2(op.db, text, -1, query.statement.out(), nullptr) != SQLITE_OK) {
    op.Fail("Preparing statement failed\n", sqlite3_extended_errcode(op.db));
    return false;
  }
  sqlite3_stmt* statement = query.statement.get();
  query.count = statement != nullptr ? sqlite3_column_count(statement) : 0;
  for (int column = 0; column < query.count; ++column) {
    const char* name = sqlite3_column_name(statement, column);
    const char* declared = sqlite3_column_decltype(statement, column);
    if (declared == nullptr) query.expressions.push_back(column);
    query.columns.push_back({name != nullptr ? name : "", fh::MapSqliteDeclaredType(declared)});
  }
  return true;
}

enum class Step { kRow, kEnd, kFailed };

// Steps query to its next row and reads it into row (emptied first); the
// first row types the expression columns. kFailed after the failure's
// lines.
Step NextRow(const Fetch& fetch, Query& query, fh::DBRow& row) {
  sqlite3_stmt* statement = query.statement.get();
  if (statement == nullptr) return Step::kEnd;  // a comment or a lone ";"
  const int code = sqlite3_step(statement);
  if (code == SQLITE_DONE) return Step::kEnd;
  if (code != SQLITE_ROW) {
    fetch.op.Fail("Executing statement failed\n", sqlite3_extended_errcode(fetch.op.db));
    return Step::kFailed;
  }
  if (!query.typed) {
    for (int column : query.expressions) {
      query.columns[static_cast<std::size_t>(column)].dataType =
          fh::MapSqliteStorageClass(sqlite3_column_type(statement, column));
    }
    query.typed = true;
  }
  row.clear();
  return ReadRow(fetch, query.columns, row) ? Step::kRow : Step::kFailed;
}

std::unique_ptr<DBResultSet> RunQuery(const Operation& op, const char* text, fh::BlobSink sink,
                                      void* context, bool blobMode) {
  Query query;
  if (!PrepareQuery(op, text, query)) return nullptr;
  Fetch fetch{op, query.statement.get(), blobMode ? sink : nullptr, context};
  if (blobMode && sink == nullptr) fetch.sink = [](const void*, int32_t, void*) {};
  fh::DBRows rows;
  for (;;) {
    fh::DBRow row;
    const Step step = NextRow(fetch, query, row);
    if (step == Step::kFailed) return nullptr;
    if (step == Step::kEnd) break;
    rows.push_back(std::move(row));
  }
  return CreateDBResultSet(std::move(rows), std::move(query.columns), query.count);
}

// How many rows a streamed query reads under the handle's lock before it
// hands them over; the rows' storage is reused for the next ones.
constexpr std::size_t kStreamBatchRows = 64;

// Reads the next rows of query into batch under the handle's lock (taken
// here, with the connection's mutex): the number read; *step says whether
// the query went on, ended or failed after them.
std::size_t ReadBatch(const Operation& op, Query& query, std::vector<fh::DBRow>& batch,
                      Step* step) {
  fh::ObjectLockGuard lock(op.handle);
  ConnectionMutex hold(op.db);
  const Fetch fetch{op, query.statement.get(), nullptr, nullptr};
  std::size_t filled = 0;
  *step = Step::kRow;
  while (filled < batch.size() && (*step = NextRow(fetch, query, batch[filled])) == Step::kRow) {
    ++filled;
  }
  return filled;
}

bool PrepareLocked(const Operation& op, const char* text, Query& query) {
  fh::ObjectLockGuard lock(op.handle);
  return PrepareQuery(op, text, query);
}

// Runs text handing its rows to sink. The handle's lock is held while rows
// are read, never while the sink runs, so the sink may use the handle too.
int StreamRows(const Operation& op, const char* text, const fh::QueryRowSink& sink, void* context) {
  Query query;
  if (!PrepareLocked(op, text, query)) return fh::kStreamFailed;
  std::vector<fh::DBRow> batch(kStreamBatchRows);
  for (bool started = false;;) {
    Step step = Step::kRow;
    const std::size_t filled = ReadBatch(op, query, batch, &step);
    if (step == Step::kFailed) return fh::kStreamFailed;
    if (!started && !sink.Columns(query.columns.data(), query.count, context)) {
      return fh::kStreamStopped;
    }
    started = true;
    for (std::size_t at = 0; at < filled; ++at) {
      if (!sink.Row(batch[at], context)) return fh::kStreamStopped;
    }
    if (step == Step::kEnd) return fh::kStreamDone;
  }
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
    sqlite3_busy_timeout(cell->db, fh::kSqliteBusyTimeoutMs);
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

namespace fh {

sqlite::SqliteConnection* sqlite::ConnectionOf(ConnectionHandle* handle) {
  return handle != nullptr ? dynamic_cast<SqliteConnection*>(handle->connection.get()) : nullptr;
}

// In WAL mode a connection keeps its cached pages while the write-ahead
// log says nothing changed, so a database file damaged or replaced in
// place would go unnoticed. Outside a transaction every operation first
// reads the file's header through the connection's own file: a file that
// cannot be read or no longer starts with the SQLite header fails the
// operation as a connection failure. An empty file (a new database) passes.
bool sqlite::CheckDatabaseFile(ConnectionHandle* handle, sqlite3* db, const char* line) {
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

}  // namespace fh

const DBProvider kSqliteProvider = {
    fh::kSqliteProviderName,     fh::SqliteOpenConnection,        fh::SqliteExecuteUpdate,
    fh::SqliteExecuteQuery,      fh::SqliteCloseConnection,       fh::SqliteBeginTransaction,
    fh::SqliteCommitTransaction, fh::SqliteRollbackTransaction,   fh::SqliteExecuteUpdateBlob,
    fh::SqliteExecuteQueryBlob,  fh::SqliteExecuteUpdateRowCount, fh::SqlitePrepareStatement,
    fh::SqliteExecutePrepared,   fh::SqlitePreparedRowCount,      fh::SqliteFinalizeStatement,
    fh::SqliteStreamQuery,
};

std::unique_ptr<ConnectionHandle> fh::SqliteOpenConnection(const ConnParamsEntry* entry) {
  if (entry == nullptr || !entry->dsn || entry->dsn->empty()) {
    LogError("SQLite connection Parameter missing\n");
    return nullptr;
  }
  try {
    std::unique_ptr<SqliteConnection> cell = OpenDatabase(*entry->dsn);
    if (cell == nullptr) return nullptr;
    return fh::NewConnectionHandle(*entry, std::move(cell));
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return nullptr;
  }
}

int64_t fh::SqliteExecuteUpdateRowCount(ConnectionHandle* handle, const char* text) {
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return -1;
  fh::ObjectLockGuard lock(handle);
  return RunUpdate(Operation{handle, cell->db}, text);
}

int fh::SqliteExecuteUpdate(ConnectionHandle* handle, const char* text) {
  return fh::SqliteExecuteUpdateRowCount(handle, text) < 0 ? 0 : 1;
}

std::unique_ptr<DBResultSet> fh::SqliteExecuteQuery(ConnectionHandle* handle, const char* text) {
  LogTrace("Inside SqliteExecuteQuery\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  fh::ObjectLockGuard lock(handle);
  try {
    return RunQuery(Operation{handle, cell->db}, text, nullptr, nullptr, false);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int fh::SqliteStreamQuery(ConnectionHandle* handle, const char* text, const fh::QueryRowSink& sink,
                          void* context) {
  LogTrace("Inside SqliteExecuteQuery\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return fh::kStreamFailed;
  try {
    return StreamRows(Operation{handle, cell->db}, text, sink, context);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return fh::kStreamFailed;
  }
}

std::unique_ptr<DBResultSet> fh::SqliteExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                        fh::BlobSink sink, void* context) {
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

int fh::SqliteExecuteUpdateBlob(ConnectionHandle* handle, const char* text,
                                fh::BlobSupplier supplier, void* context) {
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
      if (supplier(&piece, &length, context) == fh::kBlobNoMoreData) break;
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

bool fh::SqliteCloseConnection(ConnectionHandle* handle) {
  if (handle != nullptr) handle->connection.reset();
  return true;
}

int fh::SqliteBeginTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteBeginTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  return RunTransactionStatement(Operation{handle, cell->db}, "BEGIN IMMEDIATE",
                                 "Error in beginning transaction\n")
             ? 1
             : 0;
}

int fh::SqliteCommitTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteCommitTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  const Operation op{handle, cell->db};
  if (RunTransactionStatement(op, "COMMIT", "Error in commiting transaction\n")) return 1;
  if (sqlite3_get_autocommit(op.db) == 0)
    sqlite3_exec(op.db, "ROLLBACK", nullptr, nullptr, nullptr);
  return 0;
}

int fh::SqliteRollbackTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ SqliteRollbackTransaction() @@@@@\n");
  SqliteConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  return RunTransactionStatement(Operation{handle, cell->db}, "ROLLBACK",
                                 "Error in rollbacking transaction\n")
             ? 1
             : 0;
}
