// Connection handles: one open database connection each, opened through the
// provider its connection parameters name, and the operations that forward
// statements and transactions to the provider that opened a handle.
//
// Ownership: OpenDBConnection returns a handle the caller owns (normally the
// connection pool, db/connection_pool.h); CloseDBConnection takes it back and
// frees it. The handle owns its provider connection object.
//
// Thread safety: a handle may be used by several threads only as its
// provider allows (the ODBC provider serialises ExecuteUpdate and
// ExecuteQuery on one handle; blob and transaction operations must be
// serialised by the callers). The forwarders keep no state of their own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/db_provider.h"

namespace fh {

// A provider's own connection object; each provider derives its own.
// Destroying it disconnects and releases what the provider allocated.
struct ProviderConnection {
  virtual ~ProviderConnection() = default;
};

}  // namespace fh

struct ConnectionHandle {
  std::unique_ptr<fh::ProviderConnection> connection;  // set by the provider
  std::string connectionName;                          // set by the provider
  int32_t providerIndex = -1;                          // slot of the provider that opened it
  int32_t owner = -1;                                  // owner key of the holder; -1 when free
  uint8_t inTransaction = 0;  // 1 between a begin and its commit or rollback
  uint32_t openedAt = 0;      // seconds since 1970 (low 32 bits) at opening
  uint8_t broken = 0;         // 1 once a call found the link gone
};

namespace fh {

// The handle's inTransaction flag, read and written atomically: the pool
// reads it while another thread sharing the handle may begin or end a
// transaction.
uint8_t IsInTransaction(ConnectionHandle& handle);
void SetInTransaction(ConnectionHandle& handle, uint8_t value);

// The broken mark, read and set atomically. A provider sets it when a call
// on the handle failed because the link to the database is gone (not
// because of the statement); nothing clears it. The pool replaces a broken
// handle by a newly opened one when it is next taken, unless it is inside a
// transaction (db/connection_pool.h).
bool IsConnectionBroken(ConnectionHandle& handle);
void MarkConnectionBroken(ConnectionHandle& handle);

// A handle for a connection a provider has just opened: it owns connection
// and is named after entry's connection (empty when the entry names none);
// the other fields are OpenDBConnection's to fill. Throws std::bad_alloc.
std::unique_ptr<ConnectionHandle> NewConnectionHandle(
    const ConnParamsEntry& entry, std::unique_ptr<ProviderConnection> connection);

}  // namespace fh

// Logs "## Inside OpenDBConnection ##\n" (trace). Opens a connection with the
// provider the entry names (which must be loaded in a slot) and fills
// providerIndex, owner (-1), inTransaction (0) and openedAt (now). None when
// entry is none, its provider is not loaded or the provider fails.
std::unique_ptr<ConnectionHandle> OpenDBConnection(const ConnParamsEntry* entry);

// Closes the connection through its provider and frees the handle; true.
// The provider stays loaded. A handle whose slot is empty is freed as well.
bool CloseDBConnection(std::unique_ptr<ConnectionHandle> handle);

// Forward to the handle's provider. No handle: "ConnectionHandle NULL in
// ExecuteUpdate for Query %s \n" (error, with the text) and 0; no text:
// " No Query To be Updated \n" and 0. The blob variant names
// ExecuteUpdateBlob in its line.
int ExecuteUpdate(ConnectionHandle* handle, const char* text);
int ExecuteUpdateBlob(ConnectionHandle* handle, const char* text, fh::BlobSupplier supplier,
                      void* context);

namespace fh {

// As ExecuteUpdate (the same lines, naming ExecuteUpdateRowCount), but
// reports the number of rows the statement changed: 0 or more, or -1 when
// it failed or the handle's provider cannot count rows.
int64_t ExecuteUpdateRowCount(ConnectionHandle* handle, const char* text);

}  // namespace fh

// As above with "ConnectionHandle NULL in ExecuteQuery for Query %s \n" /
// "ConnectionHandle NULL in ExecuteQueryBlob for Query %s \n" and
// " No Query To be Executed \n"; the provider's result set or none.
std::unique_ptr<DBResultSet> ExecuteQuery(ConnectionHandle* handle, const char* text);
std::unique_ptr<DBResultSet> ExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                              fh::BlobSink sink, void* context);

namespace fh {

// Streamed queries, forwarded to the handle's provider (the member's
// contract is in db/db_provider.h). SupportsStreamedQueries is false
// without a handle or when its provider has none; StreamQuery then gives
// kStreamFailed without a line. No handle or no text: the ExecuteQuery
// lines naming StreamQuery, and kStreamFailed.
bool SupportsStreamedQueries(const ConnectionHandle* handle);
int StreamQuery(ConnectionHandle* handle, const char* text, const QueryRowSink& sink,
                void* context);

// Prepared statements, forwarded to the handle's provider (the members'
// contracts are in db/db_provider.h). SupportsPreparedStatements is false
// without a handle or when its provider has none; then PrepareStatement
// returns none without a line, ExecutePrepared 0, PreparedRowCount -1.
// No handle or no text: the ExecuteUpdate lines naming the operation.
bool SupportsPreparedStatements(const ConnectionHandle* handle);
PreparedStatement* PrepareStatement(ConnectionHandle* handle, const char* text, int parameterCount);
int ExecutePrepared(ConnectionHandle* handle, PreparedStatement* statement,
                    const BoundValue* values, int rowCount, uint8_t* rowStatus = nullptr);
int64_t PreparedRowCount(ConnectionHandle* handle, PreparedStatement* statement);
// Does nothing for no statement.
void FinalizeStatement(ConnectionHandle* handle, PreparedStatement* statement);

}  // namespace fh

// The provider's result; a result of 1 sets inTransaction.
int BeginTransaction(ConnectionHandle* handle);
// 0 without calling the provider unless inTransaction is 1; otherwise the
// provider's result, inTransaction cleared whatever it is. On a broken
// handle the transaction is abandoned without a call (the server dropped it
// with the link): inTransaction is cleared and the result is 0.
int CommitTransaction(ConnectionHandle* handle);
int RollbackTransaction(ConnectionHandle* handle);
