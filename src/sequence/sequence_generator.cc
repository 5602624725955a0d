#include "sequence/sequence_generator.h"

#include <strings.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "db/bound_update.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/sql_text.h"
#include "lock/object_lock.h"
#include "log/log.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "util/string_hash_map.h"

namespace {

constexpr std::size_t kSequenceMapBuckets = 50;
constexpr const char* kInstanceIdKey = "INSTANCE_ID";
// The largest stored batch end from which one more batch can be reserved
// while every number of it, and the one after it, fits in 32 bits.
constexpr int64_t kMaxBatchEndBeforeReserve =
    std::numeric_limits<int32_t>::max() - fh::kSeqBatchSize - 1;

// The sequence map and the batches its entries point at (the map does not
// own them). Batches are never freed before the map, so an entry's value
// stays valid while the entry does.
struct SequenceState {
  fh::Mutex mutex;
  std::unique_ptr<fh::StringHashMap> map GUARDED_BY(mutex);
  std::vector<std::unique_ptr<SeqBatch>> batches GUARDED_BY(mutex);
  std::atomic<int64_t> statements{0};
};

SequenceState& State() {
  static fh::NoDestructor<SequenceState> state;
  return state.get();
}

bool EnsureMapLocked(SequenceState& state) REQUIRES(state.mutex) {
  if (state.map) return true;
  try {
    state.map = std::make_unique<fh::StringHashMap>(kSequenceMapBuckets);
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// Records {next, end} for sequenceName, in place when it has a batch.
bool RecordBatch(const char* sequenceName, int32_t next, int32_t end) {
  SequenceState& state = State();
  fh::MutexLock lock(&state.mutex);
  try {
    if (!EnsureMapLocked(state)) return false;
    if (auto* batch = static_cast<SeqBatch*>(state.map->GetValue(sequenceName))) {
      batch->next = next;
      batch->end = end;
      return true;
    }
    state.batches.push_back(std::make_unique<SeqBatch>(SeqBatch{next, end}));
    if (state.map->Put(sequenceName, state.batches.back().get())) return true;
    state.batches.pop_back();
  } catch (const std::bad_alloc&) {
  }
  return false;
}

// The sequence's map entry, or none. The entry lives until FreeSequenceMap.
const fh::StringHashMapEntry* FindEntry(const char* key) {
  SequenceState& state = State();
  fh::MutexLock lock(&state.mutex);
  return state.map ? state.map->GetEntry(key) : nullptr;
}

// The sequence name as a text literal in the dialect of the connection
// that holds the sequence's table.
std::string QuotedSequenceName(const char* sequenceName, const char* connectionName) {
  const char* dialect =
      connectionName != nullptr ? GetDialectNameForConnection(connectionName) : nullptr;
  return fh::QuoteSqlText(sequenceName, fh::DialectReadsBackslashEscapes(dialect));
}

template <typename... Args>
std::string Format(const char* format, Args... args) {
  const int length = std::snprintf(nullptr, 0, format, args...);
  std::string text(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
  std::snprintf(text.data(), text.size() + 1, format, args...);
  return text;
}

std::unique_ptr<DBResultSet> RunQuery(ConnectionHandle* handle, const std::string& text) {
  State().statements.fetch_add(1, std::memory_order_relaxed);
  return ExecuteQuery(handle, text.c_str());
}

int64_t RunUpdate(ConnectionHandle* handle, const fh::BoundUpdate& statement) {
  State().statements.fetch_add(1, std::memory_order_relaxed);
  return fh::RunBoundUpdate(handle, statement);
}

fh::BoundValue IntegerValue(int64_t number) {
  fh::BoundValue value;
  value.kind = fh::BoundKind::kInteger;
  value.integer = number;
  return value;
}

fh::BoundValue TextValue(const char* text) {
  fh::BoundValue value;
  value.kind = fh::BoundKind::kText;
  value.bytes = text;
  value.length = std::strlen(text);
  return value;
}

// CURRENTBATCHEND of the cursor row, when it is an integer from which
// another batch can be reserved.
std::optional<int64_t> ReadBatchEnd(const DBResultSet& resultSet) {
  const fh::ColumnValue* value = GetDBResultSetValue("CURRENTBATCHEND", nullptr, &resultSet);
  if (value == nullptr) return std::nullopt;  // SQL NULL or no such column
  uint8_t type = KES_SQL_NOT_SUPPORTED_TYPE;
  for (const fh::DBColumnDescriptor& column : resultSet.columns) {
    if (strcasecmp(column.name.c_str(), "CURRENTBATCHEND") == 0) type = column.dataType;
  }
  std::optional<int64_t> end;
  if (fh::IsIntegerColumnType(type)) {
    end = fh::GetIntegerValue(*value, type);
  } else if (value->text() != nullptr && value->text()[0] != 0) {
    // A driver that reports the column as text or as a decimal number.
    errno = 0;
    char* rest = nullptr;
    const long long parsed = std::strtoll(value->text(), &rest, 10);
    if (errno == 0 && *rest == 0) end = parsed;
  }
  if (!end || *end < 0 || *end > kMaxBatchEndBeforeReserve) return std::nullopt;
  return end;
}

enum class Reservation { kReserved, kLostRace, kFailed };

// One read of the sequence's row and one attempt to claim the batch after
// it. *batch receives the claimed batch.
Reservation TryReserve(ConnectionHandle* handle, const char* sequenceName,
                       const std::string& quoted, bool insertFailedBefore, bool* insertFailed,
                       SeqBatch* batch) {
  const std::string query = Format("select * from SeqGenState where SEQNAME = %s;", quoted.c_str());
  LogTrace("Query %s\n", query.c_str());
  std::unique_ptr<DBResultSet> resultSet = RunQuery(handle, query);
  if (!resultSet) {
    LogError("Table doesn't Exists for UpdateSeqGen\n");
    return Reservation::kFailed;
  }
  if (NextDBResultSetRow(resultSet.get()) != nullptr) {
    const std::optional<int64_t> end = ReadBatchEnd(*resultSet);
    if (!end) {
      LogError("Invalid CURRENTBATCHEND for sequence %s\n", sequenceName);
      return Reservation::kFailed;
    }
    const auto oldEnd = static_cast<int32_t>(*end);
    const fh::BoundValue values[] = {IntegerValue(oldEnd + fh::kSeqBatchSize),
                                     TextValue(sequenceName), IntegerValue(oldEnd)};
    const fh::BoundUpdate update{
        "update SeqGenState set CURRENTBATCHEND = ? where SEQNAME = ? and CURRENTBATCHEND = ?",
        values,
        Format("update SeqGenState set CURRENTBATCHEND = %d where SEQNAME = %s and "
               "CURRENTBATCHEND = %d;",
               oldEnd + fh::kSeqBatchSize, quoted.c_str(), oldEnd)};
    LogTrace("Update Query %s\n", update.literalText.c_str());
    const int64_t changed = RunUpdate(handle, update);
    if (changed < 0) {
      LogError("ExecuteUpdate Failed for update\n");
      return Reservation::kFailed;
    }
    if (changed != 1) return Reservation::kLostRace;
    *batch = {oldEnd + 1, oldEnd + fh::kSeqBatchSize};
    return Reservation::kReserved;
  }
  // No row yet. After an insert failed and the row is still missing, the
  // failure was not another process's insert.
  const fh::BoundValue values[] = {TextValue(sequenceName), IntegerValue(fh::kSeqBatchSize)};
  const fh::BoundUpdate insert{
      "insert into SeqGenState values (?,?)", values,
      Format("insert into SeqGenState values (%s,%d);", quoted.c_str(), fh::kSeqBatchSize)};
  LogTrace("Insert Query %s\n", insert.literalText.c_str());
  if (!insertFailedBefore && RunUpdate(handle, insert) == 1) {
    *batch = {1, fh::kSeqBatchSize};
    return Reservation::kReserved;
  }
  if (insertFailedBefore) {
    LogError("ExecuteUpdate Failed for insert\n");
    return Reservation::kFailed;
  }
  *insertFailed = true;
  return Reservation::kLostRace;
}

// The take step of GenerateID, under the entry's object lock: the next
// number of key's batch in *number, or why there is none.
enum class Draw { kNumber, kUsedUp, kFailed };

Draw DrawNumber(const char* key, const fh::StringHashMapEntry* entry, int32_t* number) {
  SequenceState& state = State();
  fh::MutexLock lock(&state.mutex);
  auto* batch = static_cast<SeqBatch*>(entry->value);
  if (batch == nullptr) {
    LogError("No Value for AutoId key %s \n", key);
    return Draw::kFailed;
  }
  if (batch->end < batch->next) return Draw::kUsedUp;
  *number = batch->next++;
  return Draw::kNumber;
}

int32_t GenerateFrom(const char* tableName, const char* key, bool primeWhenUnknown) {
  for (;;) {
    LogTrace("AutoId Key %s\n", key);
    const fh::StringHashMapEntry* entry = FindEntry(key);
    if (entry == nullptr) {
      if (primeWhenUnknown) {
        primeWhenUnknown = false;
        SequenceState& state = State();
        fh::ObjectLockGuard mapLock(&state);
        if (FindEntry(key) == nullptr && !UpdateSeqGen(tableName, key)) return -1;
        continue;
      }
      LogTrace("Cannot generate ID for key %s.\n", key);
      return -1;
    }
    fh::ObjectLockGuard lock(entry);
    int32_t number = -1;
    switch (DrawNumber(key, entry, &number)) {
      case Draw::kNumber:
        LogTrace("AutoGenerated Value %d \n", number);
        return number;
      case Draw::kFailed:
        return -1;
      case Draw::kUsedUp:
        if (!UpdateSeqGen(tableName, key)) return -1;
        break;
    }
  }
}

}  // namespace

bool fh::InitSequenceMap() {
  SequenceState& state = State();
  fh::MutexLock lock(&state.mutex);
  return EnsureMapLocked(state);
}

void fh::FreeSequenceMap() {
  SequenceState& state = State();
  fh::MutexLock lock(&state.mutex);
  state.map.reset();
  state.batches.clear();
}

bool SequenceGenerator() {
  LogTrace("Inside SequenceGenerator\n");
  for (const TableDefn* table : GetTableDefnList()) {
    if (table->columns.empty()) return false;
    for (const ColumnDefnEntry& column : table->columns) {
      if (!column.generatorName) continue;
      // The lock is keyed on the process's sequence state, which holds the map.
      fh::ObjectLockGuard lock(&State());
      UpdateSeqGen(table->tableName.c_str(), column.generatorName->c_str());
    }
  }
  return true;
}

bool UpdateSeqGen(const char* tableName, const char* sequenceName) {
  LogTrace("Inside UpdateSeqGen \n");
  if (sequenceName == nullptr) return false;
  const char* connectionName = GetConnectionNameForTable(tableName);
  std::string quoted;
  try {
    quoted = QuotedSequenceName(sequenceName, connectionName);
  } catch (const std::bad_alloc&) {
    LogError("Memory allocation Failed\n");
    return false;
  }
  ConnectionHandle* handle = GetConnectionHandle(connectionName);
  SeqBatch batch;
  Reservation outcome = Reservation::kLostRace;
  bool insertFailed = false;
  int attempt = 0;
  for (; attempt < fh::kSeqReserveAttempts && outcome == Reservation::kLostRace; ++attempt) {
    const bool insertFailedBefore = insertFailed;
    outcome = TryReserve(handle, sequenceName, quoted, insertFailedBefore, &insertFailed, &batch);
  }
  if (handle != nullptr) ReleaseConnectionHandle(connectionName);
  if (outcome == Reservation::kLostRace) {
    LogError("Cannot reserve a batch for sequence %s after %d attempts\n", sequenceName, attempt);
    return false;
  }
  if (outcome == Reservation::kFailed) return false;
  if (!RecordBatch(sequenceName, batch.next, batch.end)) {
    LogError("Memory allocation Failed\n");
    return false;
  }
  return true;
}

int32_t GenerateID(const char* tableName, const ColumnDefnEntry* column) {
  LogTrace("Inside GenerateID \n");
  if (column == nullptr || !column->generatorName) return -1;
  return GenerateFrom(tableName, column->generatorName->c_str(), false);
}

int32_t GenerateInstanceID() {
  LogTrace("Inside GenerateInstanceID \n");
  return GenerateFrom(nullptr, kInstanceIdKey, true);
}

namespace fh {

void ResetSequenceMapForTesting() { FreeSequenceMap(); }

int64_t SequenceStatementCount() { return State().statements.load(std::memory_order_relaxed); }

}  // namespace fh
