// Database providers: the operation table every provider is written as, the
// process-wide registry of providers and the two provider slots that
// connections refer to by index.
//
// A provider is a constant DBProvider table (the ODBC provider's is in
// db/odbc/odbc_provider.h) that lives as long as the process; the registry
// and the slots refer to tables, never own them. Names are matched
// case-sensitively ("ODBC" is not "odbc").
//
// Thread safety: every function may be called from any thread; the registry
// and the slots are guarded by one internal mutex held for each call. A
// table handed out stays valid for the life of the process.
#pragma once

#include <cstdint>
#include <memory>

struct ConnParamsEntry;
struct ConnectionHandle;
struct DBResultSet;

// Hands the next piece of a binary value to ExecuteUpdateBlob: sets *piece
// and *length (bytes, not negative) and returns any value but
// kBlobNoMoreData, or returns kBlobNoMoreData when nothing is left (*piece
// and *length are then ignored). The piece must stay valid until the next
// call.
using BlobSupplier = int (*)(const void** piece, int32_t* length, void* context);
inline constexpr int kBlobNoMoreData = 2;

// Receives a binary column's value from ExecuteQueryBlob in pieces: each
// piece as (bytes, length > 0), then one end call (nullptr, 0) after the
// column's last piece. An SQL NULL or an empty value gets only the end call.
using BlobSink = void (*)(const void* piece, int32_t length, void* context);

// One provider's operations, in the order the interface defines them. Every
// operation takes a handle the provider itself opened.
struct DBProvider {
  const char* name;
  // A new handle with its connection and connection name set, or none.
  std::unique_ptr<ConnectionHandle> (*OpenConnection)(const ConnParamsEntry* entry);
  // Runs one statement that returns no rows: 1 on success, 0 on failure.
  int (*ExecuteUpdate)(ConnectionHandle* handle, const char* text);
  // Runs one query and fetches every row: a new result set, or none.
  std::unique_ptr<DBResultSet> (*ExecuteQuery)(ConnectionHandle* handle, const char* text);
  // Disconnects and releases the connection's resources; true.
  bool (*CloseConnection)(ConnectionHandle* handle);
  // Auto-commit off / commit and auto-commit on / roll back and auto-commit
  // on: 1 on success, 0 on failure.
  int (*BeginTransaction)(ConnectionHandle* handle);
  int (*CommitTransaction)(ConnectionHandle* handle);
  int (*RollbackTransaction)(ConnectionHandle* handle);
  // Runs one statement whose single parameter is a binary value pulled from
  // supplier: 1 on success, 0 on failure.
  int (*ExecuteUpdateBlob)(ConnectionHandle* handle, const char* text, BlobSupplier supplier,
                           void* context);
  // Runs one query; binary columns go to sink and hold SQL NULL in the
  // result set, the other columns come back as ExecuteQuery's do.
  std::unique_ptr<DBResultSet> (*ExecuteQueryBlob)(ConnectionHandle* handle, const char* text,
                                                   BlobSink sink, void* context);
  // Runs one statement that returns no rows and reports how many rows it
  // changed: the count (0 when it touched none), or -1 on failure. For
  // callers that must know, such as a compare-and-set update.
  int64_t (*ExecuteUpdateRowCount)(ConnectionHandle* handle, const char* text);
};

// Number of provider slots.
inline constexpr int kProviderSlotCount = 2;

// Appends provider to the registry; true (false for none or when memory is
// exhausted). The table must live as long as the process.
bool RegisterDBProvider(const DBProvider* provider);

// The first registered provider named name (case-sensitive), or none.
const DBProvider* FindRegisteredDBProvider(const char* name);

// "InitDBProvider Failed as already initialized\n" (error) and false when
// slot 0 is filled. Otherwise empties both slots, registers the ODBC
// provider and the native SQLite provider (db/sqlite/sqlite_provider.h),
// loads "ODBC" into slot 0 and "SQLITE" into slot 1, starts empty
// connection parameter and pool lists and returns true.
bool InitDBProvider();

// Puts the registered provider named name into the first empty slot. false
// when no slot is empty or no provider has that name (the slot stays empty).
bool LoadDBProvider(const char* name);

// The index of the slot holding the provider named name, scanning from slot
// 0 up to the first empty slot; -1 when none does.
int GetDBProviderIndex(const char* name);

// Empties the slot holding the provider named name (same scan); true when
// one did.
bool UnloadDBProvider(const char* name);

// The provider in slot index, or none (empty slot, index out of range).
const DBProvider* GetDBProviderAt(int index);

namespace fh {

// For tests: empties the registry and both slots (the state at process
// start), so InitDBProvider may run again.
void ResetDBProvidersForTesting();

}  // namespace fh
