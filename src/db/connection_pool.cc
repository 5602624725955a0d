#include "db/connection_pool.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "log/log.h"
#include "platform/clock.h"
#include "platform/mutex.h"
#include "platform/unix_time.h"

namespace {

struct ConnectionPoolEntry {
  std::string connectionName;
  std::vector<std::unique_ptr<ConnectionHandle>> handles;
};

struct PoolState {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<ConnectionPoolEntry>> entries GUARDED_BY(mutex);
  // Replaced single shared handles, closed by FreeConnectionPool.
  std::vector<std::unique_ptr<ConnectionHandle>> retired GUARDED_BY(mutex);
};

PoolState& State() {
  static PoolState state;
  return state;
}

constexpr int32_t kSharedOwnerKey = 1;
constexpr int kDefaultPoolSize = 5;
constexpr std::size_t kMaxDatabaseNameLength = 19;

// The pool entry named connectionName (none: the only entry, or the first
// when firstWhenUnnamed), or none.
ConnectionPoolEntry* FindPoolEntry(PoolState& state, const char* connectionName,
                                   bool firstWhenUnnamed) REQUIRES(state.mutex) {
  if (state.entries.empty()) return nullptr;
  if (connectionName == nullptr) {
    if (firstWhenUnnamed || state.entries.size() == 1) return state.entries.front().get();
    return nullptr;
  }
  for (const auto& entry : state.entries) {
    if (entry->connectionName == connectionName) return entry.get();
  }
  return nullptr;
}

int32_t OwnerKey(const ConnectionPoolEntry& entry) {
  if (entry.handles.size() == 1) return kSharedOwnerKey;
  return static_cast<int32_t>(GetCurrentThreadId());
}

// The handle key holds, else a free one claimed for key; none when every
// handle is held by other keys.
ConnectionHandle* Claim(ConnectionPoolEntry& entry, int32_t key) {
  for (const auto& handle : entry.handles) {
    if (handle->owner == key) return handle.get();
  }
  for (const auto& handle : entry.handles) {
    if (handle->owner == -1) {
      handle->owner = key;
      return handle.get();
    }
  }
  return nullptr;
}

// Replaces the stale handle of entry, held by key, with a newly opened one
// and returns it; none (the stale handle stays pooled and held) when it
// cannot be re-opened. The stale handle goes to *closeNow, or to the retired
// list when it is the data source's single shared handle.
ConnectionHandle* Reopen(PoolState& state, ConnectionPoolEntry& entry, ConnectionHandle* stale,
                         int32_t key, std::unique_ptr<ConnectionHandle>* closeNow)
    REQUIRES(state.mutex) {
  const ConnParamsEntry* parameters = GetConnParamsEntry(stale->connectionName.c_str());
  if (parameters == nullptr) {
    LogError("Cannot return connection handle. Error in fetching connection parameters.\n");
    return nullptr;
  }
  std::unique_ptr<ConnectionHandle> fresh = OpenDBConnection(parameters);
  if (!fresh) {
    LogError(
        "Cannot return connection handle. Error in opening connection while re-establishing "
        "connection hanlde.\n");
    LogError("Cannot open the connection %s again (data source %s).\n",
             stale->connectionName.c_str(), parameters->dsn ? parameters->dsn->c_str() : "");
    return nullptr;
  }
  fresh->owner = key;
  ConnectionHandle* result = fresh.get();
  try {
    for (auto it = entry.handles.begin(); it != entry.handles.end(); ++it) {
      if (it->get() != stale) continue;
      std::unique_ptr<ConnectionHandle> old = std::move(*it);
      entry.handles.erase(it);
      entry.handles.push_back(std::move(fresh));
      if (key == kSharedOwnerKey) {
        state.retired.push_back(std::move(old));
      } else {
        *closeNow = std::move(old);
      }
      break;
    }
    if (parameters->connectionName) entry.connectionName = *parameters->connectionName;
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory for connection pool\n");
    if (fresh) *closeNow = std::move(fresh);
    return nullptr;
  }
  LogDebug(" %s : Connection Established\n", entry.connectionName.c_str());
  return result;
}

// An empty pool entry for parameters' data source.
std::unique_ptr<ConnectionPoolEntry> NewPoolEntry(const ConnParamsEntry& parameters) {
  auto entry = std::make_unique<ConnectionPoolEntry>();
  if (parameters.connectionName) entry->connectionName = *parameters.connectionName;
  return entry;
}

bool AppendPoolEntry(std::unique_ptr<ConnectionPoolEntry> entry) {
  PoolState& state = State();
  fh::MutexLock lock(&state.mutex);
  state.entries.push_back(std::move(entry));
  return true;
}

bool IsValidDatabaseName(const char* name) {
  if (name == nullptr || *name == '\0' || std::strlen(name) > kMaxDatabaseNameLength) return false;
  for (const char* c = name; *c != '\0'; ++c) {
    if (!std::isalnum(static_cast<unsigned char>(*c)) && *c != '_') return false;
  }
  return true;
}

}  // namespace

bool EstablishDBConnections() {
  const int count = fh::GetConnParamsEntryCount();
  if (count == 0) return false;
  try {
    for (int index = 0; index < count; ++index) {
      const ConnParamsEntry* parameters = fh::GetConnParamsEntryAt(index);
      if (parameters == nullptr) break;
      std::unique_ptr<ConnectionPoolEntry> entry = NewPoolEntry(*parameters);
      std::unique_ptr<ConnectionHandle> handle = OpenDBConnection(parameters);
      if (!handle) {
        LogError("Cannot establish connection.\n");
        return false;
      }
      entry->handles.push_back(std::move(handle));
      LogDebug(" %s : Connection Established\n", entry->connectionName.c_str());
      AppendPoolEntry(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory for connection pool\n");
    return false;
  }
  return true;
}

bool CreateConnectionPool(int count) {
  const int entries = fh::GetConnParamsEntryCount();
  if (entries == 0) {
    LogError("There is no entry in data source vector\n");
    return false;
  }
  if (count == 0) count = kDefaultPoolSize;
  try {
    for (int index = 0; index < entries; ++index) {
      const ConnParamsEntry* parameters = fh::GetConnParamsEntryAt(index);
      if (parameters == nullptr) break;
      std::unique_ptr<ConnectionPoolEntry> entry = NewPoolEntry(*parameters);
      for (int attempt = 0; attempt < count; ++attempt) {
        std::unique_ptr<ConnectionHandle> handle = OpenDBConnection(parameters);
        if (!handle) continue;
        entry->handles.push_back(std::move(handle));
        LogDebug(" %d : %s : Connection Established\n", attempt, entry->connectionName.c_str());
      }
      AppendPoolEntry(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory for connection pool\n");
    return false;
  }
  return true;
}

ConnectionHandle* GetConnectionHandle(const char* connectionName) {
  std::unique_ptr<ConnectionHandle> closeNow;  // closed after the lock is released
  ConnectionHandle* result = nullptr;
  {
    PoolState& state = State();
    fh::MutexLock lock(&state.mutex);
    const auto now = static_cast<uint32_t>(GetUnixTimeSeconds());
    ConnectionPoolEntry* entry = FindPoolEntry(state, connectionName, false);
    if (entry == nullptr) return nullptr;
    const int32_t key = OwnerKey(*entry);
    ConnectionHandle* handle = Claim(*entry, key);
    if (handle == nullptr) return nullptr;
    const bool stale = static_cast<uint32_t>(now - handle->openedAt) > fh::kMaxConnectionAgeSeconds;
    if ((!stale && !fh::IsConnectionBroken(*handle)) || fh::IsInTransaction(*handle) == 1)
      return handle;
    result = Reopen(state, *entry, handle, key, &closeNow);
  }
  CloseDBConnection(std::move(closeNow));
  return result;
}

bool ReleaseConnectionHandle(const char* connectionName) {
  PoolState& state = State();
  fh::MutexLock lock(&state.mutex);
  ConnectionPoolEntry* entry = FindPoolEntry(state, connectionName, true);
  if (entry == nullptr) return false;
  const int32_t key = OwnerKey(*entry);
  for (const auto& handle : entry->handles) {
    if (handle->owner == key) {
      handle->owner = -1;
      return true;
    }
  }
  return false;
}

void FreeConnectionPool() {
  std::vector<std::unique_ptr<ConnectionPoolEntry>> entries;
  std::vector<std::unique_ptr<ConnectionHandle>> retired;
  {
    PoolState& state = State();
    fh::MutexLock lock(&state.mutex);
    entries.swap(state.entries);
    retired.swap(state.retired);
  }
  for (auto& entry : entries) {
    for (auto& handle : entry->handles) CloseDBConnection(std::move(handle));
  }
  for (auto& handle : retired) CloseDBConnection(std::move(handle));
}

int fh::GetConnectionPoolEntryCount() {
  PoolState& state = State();
  fh::MutexLock lock(&state.mutex);
  return static_cast<int>(state.entries.size());
}

int fh::GetPooledHandleCount(const char* connectionName) {
  if (connectionName == nullptr) return 0;
  PoolState& state = State();
  fh::MutexLock lock(&state.mutex);
  ConnectionPoolEntry* entry = FindPoolEntry(state, connectionName, false);
  return entry == nullptr ? 0 : static_cast<int>(entry->handles.size());
}

bool CreateDB(const char* databaseName) {
  LogTrace("@@ Inside CreateDB @@\n");
  if (!IsValidDatabaseName(databaseName)) {
    LogError("Cannot create database: invalid database name.\n");
    return false;
  }
  ConnectionHandle* handle = GetConnectionHandle(nullptr);
  if (handle == nullptr) {
    LogError("Cannot create DB.  Connection not established.\n");
    return false;
  }
  char statement[36];  // "create database " and at most 19 characters
  std::snprintf(statement, sizeof statement, "create database %s", databaseName);
  const int result = ExecuteUpdate(handle, statement);
  ReleaseConnectionHandle(nullptr);
  if (result != 1) {
    LogError("Cannot create database %s.\n", databaseName);
    return false;
  }
  return true;
}
