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

#include <cstddef>
#include <cstdint>
#include <memory>

#include "db/db_result_set.h"

struct ConnParamsEntry;
struct ConnectionHandle;

namespace fh {

struct PreparedStatement;  // a provider's own prepared statement, opaque to callers

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

// Receives the rows of StreamQuery one at a time, on the caller's thread,
// while the query runs. Both members must be set.
//  - Columns is called once, before the first row (or after the end when no
//    row came), with the result's columnCount descriptors typed as
//    ExecuteQuery's result set types them.
//  - Row is called for each row with its values in column order, read as
//    ExecuteQuery reads them. The sink may move values out of row; the
//    provider reuses the row afterwards.
// Either returning false stops the query at once (StreamQuery then gives
// kStreamStopped and logs nothing).
struct QueryRowSink {
  bool (*Columns)(const DBColumnDescriptor* columns, int32_t columnCount, void* context);
  bool (*Row)(DBRow& row, void* context);
};

// What StreamQuery reports.
inline constexpr int kStreamFailed = 0;   // the query failed (logged)
inline constexpr int kStreamDone = 1;     // every row was handed over
inline constexpr int kStreamStopped = 2;  // the sink stopped it

// What a bound parameter value is, and so how the provider sends it. The
// text kinds kDate, kTime, kDateTime and kDecimal hold exactly the text the
// handle's SQL dialect writes between the quotes of that value's literal
// (a decimal: its digits, sign and point); naming them lets a server that
// types its parameters convert them as the column expects.
enum class BoundKind : uint8_t {
  kNull,
  kInteger,   // integer
  kUnsigned,  // unsignedInteger
  kDouble,    // real
  kText,      // bytes, length
  kBlob,      // bytes, length (zero bytes kept)
  kDate,      // bytes, length, as above
  kTime,
  kDateTime,
  kDecimal,
};

// One parameter's value. The bytes belong to the caller and need to stay
// valid only for the call they are passed to.
struct BoundValue {
  BoundKind kind = BoundKind::kNull;
  union {
    int64_t integer = 0;
    uint64_t unsignedInteger;
    double real;
  };
  const char* bytes = nullptr;
  size_t length = 0;
};

}  // namespace fh

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
  int (*ExecuteUpdateBlob)(ConnectionHandle* handle, const char* text, fh::BlobSupplier supplier,
                           void* context);
  // Runs one query; binary columns go to sink and hold SQL NULL in the
  // result set, the other columns come back as ExecuteQuery's do.
  std::unique_ptr<DBResultSet> (*ExecuteQueryBlob)(ConnectionHandle* handle, const char* text,
                                                   fh::BlobSink sink, void* context);
  // Runs one statement that returns no rows and reports how many rows it
  // changed: the count (0 when it touched none), or -1 on failure. For
  // callers that must know, such as a compare-and-set update.
  int64_t (*ExecuteUpdateRowCount)(ConnectionHandle* handle, const char* text);

  // Prepared statements. A provider without them leaves these four members
  // null; callers then write their values into statement texts instead.
  //
  // Prepares text, one statement whose parameters are "?" markers
  // (parameterCount of them), on handle. The statement belongs to the
  // handle: it stays valid until FinalizeStatement or until the handle is
  // closed (which finalizes what is left). None on failure (logged; a lost
  // link marks the handle broken).
  fh::PreparedStatement* (*PrepareStatement)(ConnectionHandle* handle, const char* text,
                                             int parameterCount);
  // Runs statement once for each of rowCount rows of bound values, given
  // row after row (rowCount * parameterCount values). A provider may send
  // the rows together (parameter arrays). 1 when every row ran; 0 when one
  // failed (logged, with the failing row's values; a lost link marks the
  // handle broken): the rows before it ran, the rest did not, and inside a
  // transaction the caller rolls back or goes back to a savepoint. Inside a
  // transaction a failing row may take the other rows sent together with it
  // (some engines run an array as one statement), and the log may then name
  // the rows of that array instead of the one row. When rowStatus is given
  // it receives one entry per row: 1 ran, 0 did not.
  int (*ExecutePrepared)(ConnectionHandle* handle, fh::PreparedStatement* statement,
                         const fh::BoundValue* values, int rowCount, uint8_t* rowStatus);
  // The number of rows the last ExecutePrepared of statement changed, all
  // its rows together (0 when none), or -1 when it failed.
  int64_t (*PreparedRowCount)(ConnectionHandle* handle, fh::PreparedStatement* statement);
  // Releases statement; it must not be used again.
  void (*FinalizeStatement)(ConnectionHandle* handle, fh::PreparedStatement* statement);

  // Runs one query and hands its rows to sink one at a time instead of
  // gathering them: the same values and failures (logged alike) as
  // ExecuteQuery, without holding every row at once. kStreamDone,
  // kStreamFailed or kStreamStopped. A provider without it leaves it null;
  // callers then use ExecuteQuery.
  int (*StreamQuery)(ConnectionHandle* handle, const char* text, const fh::QueryRowSink& sink,
                     void* context) = nullptr;
};

namespace fh {

// Number of provider slots.
inline constexpr int kProviderSlotCount = 2;

}  // namespace fh

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

namespace fh {

// The provider in slot index, or none (empty slot, index out of range).
const DBProvider* GetDBProviderAt(int index);

// For tests: empties the registry and both slots (the state at process
// start), so InitDBProvider may run again.
void ResetDBProvidersForTesting();

}  // namespace fh
