#include "db/connection.h"

#include <atomic>

#include "db/conn_params.h"
#include "db/db_result_set.h"
#include "log/log.h"
#include "platform/unix_time.h"

namespace {

const char* Shown(const char* text) { return text != nullptr ? text : "(null)"; }

// The provider that opened handle, or none when its slot is empty.
const DBProvider* ProviderOf(const ConnectionHandle* handle) {
  return handle != nullptr ? fh::GetDBProviderAt(handle->providerIndex) : nullptr;
}

// The statement checks shared by the forwarders: false (after the error
// line) when there is no handle or no text.
bool CanRun(const ConnectionHandle* handle, const char* text, const char* operation,
            const char* noTextLine) {
  if (handle == nullptr) {
    LogError("ConnectionHandle NULL in %s for Query %s \n", operation, Shown(text));
    return false;
  }
  if (text == nullptr) {
    LogError("%s", noTextLine);
    return false;
  }
  return true;
}

constexpr const char* kNoUpdateText = " No Query To be Updated \n";
constexpr const char* kNoQueryText = " No Query To be Executed \n";

}  // namespace

uint8_t fh::IsInTransaction(ConnectionHandle& handle) {
  return std::atomic_ref<uint8_t>(handle.inTransaction).load(std::memory_order_acquire);
}

void fh::SetInTransaction(ConnectionHandle& handle, uint8_t value) {
  std::atomic_ref<uint8_t>(handle.inTransaction).store(value, std::memory_order_release);
}

std::unique_ptr<ConnectionHandle> fh::NewConnectionHandle(
    const ConnParamsEntry& entry, std::unique_ptr<fh::ProviderConnection> connection) {
  auto handle = std::make_unique<ConnectionHandle>();
  handle->connectionName = entry.connectionName.value_or("");
  handle->connection = std::move(connection);
  return handle;
}

bool fh::IsConnectionBroken(ConnectionHandle& handle) {
  return std::atomic_ref<uint8_t>(handle.broken).load(std::memory_order_acquire) != 0;
}

void fh::MarkConnectionBroken(ConnectionHandle& handle) {
  std::atomic_ref<uint8_t>(handle.broken).store(1, std::memory_order_release);
}

std::unique_ptr<ConnectionHandle> OpenDBConnection(const ConnParamsEntry* entry) {
  LogTrace("## Inside OpenDBConnection ##\n");
  if (entry == nullptr || !entry->providerName) return nullptr;
  const int index = GetDBProviderIndex(entry->providerName->c_str());
  const DBProvider* provider = fh::GetDBProviderAt(index);
  if (provider == nullptr) return nullptr;
  std::unique_ptr<ConnectionHandle> handle = provider->OpenConnection(entry);
  if (!handle) return nullptr;
  handle->providerIndex = index;
  handle->owner = -1;
  handle->inTransaction = 0;
  handle->openedAt = static_cast<uint32_t>(GetUnixTimeSeconds());
  return handle;
}

bool CloseDBConnection(std::unique_ptr<ConnectionHandle> handle) {
  if (!handle) return true;
  if (const DBProvider* provider = ProviderOf(handle.get()))
    provider->CloseConnection(handle.get());
  return true;
}

int ExecuteUpdate(ConnectionHandle* handle, const char* text) {
  if (!CanRun(handle, text, "ExecuteUpdate", kNoUpdateText)) return 0;
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr ? provider->ExecuteUpdate(handle, text) : 0;
}

int64_t fh::ExecuteUpdateRowCount(ConnectionHandle* handle, const char* text) {
  if (!CanRun(handle, text, "ExecuteUpdateRowCount", kNoUpdateText)) return -1;
  const DBProvider* provider = ProviderOf(handle);
  if (provider == nullptr || provider->ExecuteUpdateRowCount == nullptr) return -1;
  return provider->ExecuteUpdateRowCount(handle, text);
}

int ExecuteUpdateBlob(ConnectionHandle* handle, const char* text, fh::BlobSupplier supplier,
                      void* context) {
  if (!CanRun(handle, text, "ExecuteUpdateBlob", kNoUpdateText)) return 0;
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr ? provider->ExecuteUpdateBlob(handle, text, supplier, context) : 0;
}

std::unique_ptr<DBResultSet> ExecuteQuery(ConnectionHandle* handle, const char* text) {
  if (!CanRun(handle, text, "ExecuteQuery", kNoQueryText)) return nullptr;
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr ? provider->ExecuteQuery(handle, text) : nullptr;
}

std::unique_ptr<DBResultSet> ExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                              fh::BlobSink sink, void* context) {
  if (!CanRun(handle, text, "ExecuteQueryBlob", kNoQueryText)) return nullptr;
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr ? provider->ExecuteQueryBlob(handle, text, sink, context) : nullptr;
}

bool fh::SupportsStreamedQueries(const ConnectionHandle* handle) {
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr && provider->StreamQuery != nullptr;
}

int fh::StreamQuery(ConnectionHandle* handle, const char* text, const fh::QueryRowSink& sink,
                    void* context) {
  if (!CanRun(handle, text, "StreamQuery", kNoQueryText)) return fh::kStreamFailed;
  if (!fh::SupportsStreamedQueries(handle)) return fh::kStreamFailed;
  return ProviderOf(handle)->StreamQuery(handle, text, sink, context);
}

bool fh::SupportsPreparedStatements(const ConnectionHandle* handle) {
  const DBProvider* provider = ProviderOf(handle);
  return provider != nullptr && provider->PrepareStatement != nullptr &&
         provider->ExecutePrepared != nullptr && provider->PreparedRowCount != nullptr &&
         provider->FinalizeStatement != nullptr;
}

fh::PreparedStatement* fh::PrepareStatement(ConnectionHandle* handle, const char* text,
                                            int parameterCount) {
  if (!CanRun(handle, text, "PrepareStatement", kNoUpdateText)) return nullptr;
  if (!fh::SupportsPreparedStatements(handle)) return nullptr;
  return ProviderOf(handle)->PrepareStatement(handle, text, parameterCount);
}

int fh::ExecutePrepared(ConnectionHandle* handle, fh::PreparedStatement* statement,
                        const fh::BoundValue* values, int rowCount, uint8_t* rowStatus) {
  if (statement == nullptr || !fh::SupportsPreparedStatements(handle)) return 0;
  return ProviderOf(handle)->ExecutePrepared(handle, statement, values, rowCount, rowStatus);
}

int64_t fh::PreparedRowCount(ConnectionHandle* handle, fh::PreparedStatement* statement) {
  if (statement == nullptr || !fh::SupportsPreparedStatements(handle)) return -1;
  return ProviderOf(handle)->PreparedRowCount(handle, statement);
}

void fh::FinalizeStatement(ConnectionHandle* handle, fh::PreparedStatement* statement) {
  if (statement == nullptr || !fh::SupportsPreparedStatements(handle)) return;
  ProviderOf(handle)->FinalizeStatement(handle, statement);
}

int BeginTransaction(ConnectionHandle* handle) {
  const DBProvider* provider = ProviderOf(handle);
  if (provider == nullptr) return 0;
  const int result = provider->BeginTransaction(handle);
  if (result == 1) fh::SetInTransaction(*handle, 1);
  return result;
}

int CommitTransaction(ConnectionHandle* handle) {
  const DBProvider* provider = ProviderOf(handle);
  if (provider == nullptr || fh::IsInTransaction(*handle) != 1) return 0;
  if (fh::IsConnectionBroken(*handle)) {
    fh::SetInTransaction(*handle, 0);
    return 0;
  }
  const int result = provider->CommitTransaction(handle);
  fh::SetInTransaction(*handle, 0);
  return result;
}

int RollbackTransaction(ConnectionHandle* handle) {
  const DBProvider* provider = ProviderOf(handle);
  if (provider == nullptr || fh::IsInTransaction(*handle) != 1) return 0;
  if (fh::IsConnectionBroken(*handle)) {
    fh::SetInTransaction(*handle, 0);
    return 0;
  }
  const int result = provider->RollbackTransaction(handle);
  fh::SetInTransaction(*handle, 0);
  return result;
}
