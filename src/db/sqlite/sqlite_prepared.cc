#include "db/sqlite/sqlite_prepared.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "db/bound_row_text.h"
#include "db/sqlite/sqlite_connection.h"
#include "db/sqlite/sqlite_errors.h"
#include "lock/object_lock.h"
#include "log/log.h"

namespace fh {

namespace {

using sqlite::SqliteConnection;
using sqlite::SqlitePrepared;

// The prepared statements are the provider's own objects behind the
// interface's opaque type.
SqlitePrepared* Own(PreparedStatement* statement) {
  return reinterpret_cast<SqlitePrepared*>(statement);
}

PreparedStatement* Opaque(SqlitePrepared* statement) {
  return reinterpret_cast<PreparedStatement*>(statement);
}

// The statement when it was prepared on handle's connection; none otherwise.
SqlitePrepared* StatementOf(ConnectionHandle* handle, PreparedStatement* statement) {
  SqliteConnection* cell = sqlite::ConnectionOf(handle);
  if (cell == nullptr || statement == nullptr) return nullptr;
  SqlitePrepared* own = Own(statement);
  for (const auto& prepared : cell->prepared) {
    if (prepared.get() == own) return own;
  }
  return nullptr;
}

// A never-null pointer for a value's bytes, so an empty text or blob binds
// as an empty value and not as NULL.
const char* BytesOf(const BoundValue& value) { return value.bytes != nullptr ? value.bytes : ""; }

// Binds value to parameter (1-based) the way the SQLITE dialect's literal
// of it would be stored.
int Bind(sqlite3_stmt* statement, int parameter, const BoundValue& value) {
  switch (value.kind) {
    case BoundKind::kNull:
      return sqlite3_bind_null(statement, parameter);
    case BoundKind::kInteger:
      return sqlite3_bind_int64(statement, parameter, value.integer);
    case BoundKind::kUnsigned: {
      char digits[24];
      const int length = std::snprintf(digits, sizeof digits, "%" PRIu64, value.unsignedInteger);
      return sqlite3_bind_text(statement, parameter, digits, length, SQLITE_TRANSIENT);
    }
    case BoundKind::kDouble:
      return sqlite3_bind_double(statement, parameter, value.real);
    case BoundKind::kBlob:
      return sqlite3_bind_blob64(statement, parameter, BytesOf(value), value.length, SQLITE_STATIC);
    case BoundKind::kText:
    case BoundKind::kDate:
    case BoundKind::kTime:
    case BoundKind::kDateTime:
    case BoundKind::kDecimal:
      return sqlite3_bind_text64(statement, parameter, BytesOf(value), value.length, SQLITE_STATIC,
                                 SQLITE_UTF8);
  }
  return SQLITE_MISUSE;
}

// Runs statement once with row's values; the rows it changed, or -1 after
// the failure's lines.
int64_t RunRow(ConnectionHandle* handle, sqlite3* db, SqlitePrepared& prepared,
               const BoundValue* row, int number) {
  sqlite3_stmt* statement = prepared.statement;
  int code = SQLITE_OK;
  for (int i = 0; i < prepared.parameterCount && code == SQLITE_OK; ++i) {
    code = Bind(statement, i + 1, row[i]);
  }
  if (code != SQLITE_OK) {
    sqlite::ReportFailure("Binding parameter failed\n", handle, db, sqlite3_extended_errcode(db));
  } else {
    while ((code = sqlite3_step(statement)) == SQLITE_ROW) {
    }
    if (code != SQLITE_DONE) {
      sqlite::ReportFailure("Executing statement failed\n", handle, db,
                            sqlite3_extended_errcode(db));
    }
  }
  sqlite3_reset(statement);
  if (code == SQLITE_DONE) return sqlite3_changes64(db);
  LogFailingBoundRow(row, prepared.parameterCount, number);
  return -1;
}

}  // namespace

PreparedStatement* SqlitePrepareStatement(ConnectionHandle* handle, const char* text,
                                          int parameterCount) {
  SqliteConnection* cell = sqlite::ConnectionOf(handle);
  if (cell == nullptr || text == nullptr || parameterCount < 0) return nullptr;
  ObjectLockGuard lock(handle);
  const char* line = "Preparing statement failed\n";
  if (!sqlite::CheckDatabaseFile(handle, cell->db, line)) return nullptr;
  try {
    auto prepared = std::make_unique<SqlitePrepared>();
    const int code = sqlite3_prepare_v2(cell->db, text, -1, &prepared->statement, nullptr);
    if (code != SQLITE_OK) {
      sqlite::ReportFailure(line, handle, cell->db, sqlite3_extended_errcode(cell->db));
      return nullptr;
    }
    if (prepared->statement == nullptr ||
        sqlite3_bind_parameter_count(prepared->statement) != parameterCount) {
      sqlite::ReportFailure(line, handle, nullptr, SQLITE_RANGE);
      return nullptr;
    }
    prepared->owner = cell;
    prepared->parameterCount = parameterCount;
    cell->prepared.push_back(std::move(prepared));
    return Opaque(cell->prepared.back().get());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int SqliteExecutePrepared(ConnectionHandle* handle, PreparedStatement* statement,
                          const BoundValue* values, int rowCount, uint8_t* rowStatus) {
  if (sqlite::ConnectionOf(handle) == nullptr) return 0;
  ObjectLockGuard lock(handle);
  SqlitePrepared* prepared = StatementOf(handle, statement);
  if (prepared == nullptr || rowCount < 0 ||
      (values == nullptr && rowCount > 0 && prepared->parameterCount > 0)) {
    return 0;
  }
  sqlite3* db = prepared->owner->db;
  prepared->lastRowCount = -1;
  if (rowStatus != nullptr) std::fill(rowStatus, rowStatus + rowCount, uint8_t{0});
  if (!sqlite::CheckDatabaseFile(handle, db, "Executing statement failed\n")) return 0;
  int64_t changed = 0;
  for (int row = 0; row < rowCount; ++row) {
    const int64_t rowChanged =
        RunRow(handle, db, *prepared,
               values + static_cast<std::ptrdiff_t>(row) * prepared->parameterCount, row);
    if (rowChanged < 0) return 0;
    changed += rowChanged;
    if (rowStatus != nullptr) rowStatus[row] = 1;
  }
  prepared->lastRowCount = changed;
  return 1;
}

int64_t SqlitePreparedRowCount(ConnectionHandle* handle, PreparedStatement* statement) {
  if (sqlite::ConnectionOf(handle) == nullptr) return -1;
  ObjectLockGuard lock(handle);
  SqlitePrepared* prepared = StatementOf(handle, statement);
  return prepared != nullptr ? prepared->lastRowCount : -1;
}

void SqliteFinalizeStatement(ConnectionHandle* handle, PreparedStatement* statement) {
  SqliteConnection* cell = sqlite::ConnectionOf(handle);
  if (cell == nullptr || statement == nullptr) return;
  ObjectLockGuard lock(handle);
  SqlitePrepared* own = Own(statement);
  std::erase_if(cell->prepared, [own](const auto& prepared) { return prepared.get() == own; });
}

}  // namespace fh
