// The connection pool: per configured data source (in the order of the
// connection parameters list, db/conn_params.h) a list of open connection
// handles, lent to the calling thread and given back.
//
// Owner keys: a data source with several handles lends each thread its own
// handle, keyed by the thread's id, and gives a thread the same handle back
// while it holds it; a data source with exactly one handle lends it to every
// caller under the key 1. GetConnectionHandle never waits: when every handle
// is held by other keys it returns none.
//
// Age: a handle opened more than kMaxConnectionAgeSeconds ago (by
// GetUnixTimeSeconds, platform/clock.h) is replaced by a newly opened one
// when it is next handed out, unless it is inside a transaction (then it is
// handed out as it is). A replaced handle held by one thread is closed at
// once; the single shared handle of a data source may still be in use by
// other threads, so it is closed when the pool is freed.
//
// Broken handles: a handle marked broken (its link to the database was found
// gone, db/connection.h) is replaced the same way when it is next handed
// out, again not while it is inside a transaction. The pool never probes a
// handle: the failed call that marked it is the only signal. When the new
// handle cannot be opened (the server is still down) the taker gets none and
// the broken handle stays, to be tried again on the next take.
//
// Ownership: the pool owns its handles; a handle handed out stays valid
// until FreeConnectionPool. Callers never close a pooled handle themselves.
//
// Thread safety: every function may be called from any thread. One internal
// mutex guards the pool: claiming a free handle and giving it back are
// atomic, so two threads never receive the same handle of a data source
// with several; a replacement is opened under the same mutex.
#pragma once

#include <cstdint>

struct ConnectionHandle;

namespace fh {

// The oldest a handle may be (in seconds) and still be handed out as it is.
inline constexpr uint32_t kMaxConnectionAgeSeconds = 27900;

}  // namespace fh

// Opens one handle per connection parameters entry, in list order, and
// pools it (" %s : Connection Established\n" at debug level for each). An
// entry that cannot be opened stops with "Cannot establish connection.\n"
// (error) and false; the entries pooled so far stay. false without a line for
// an empty list; "Unable to allocate memory for connection pool\n" and false
// when memory is exhausted.
bool EstablishDBConnections();

// Opens count handles (5 when count is 0) for each connection parameters
// entry, logging " %d : %s : Connection Established\n" (attempt from 0,
// connection name) for each opened one; a failed attempt is skipped. Empty
// list: "There is no entry in data source vector\n" (error) and false.
bool CreateConnectionPool(int count);

// Lends the calling thread a handle of the data source connectionName, or,
// for none, of the pool's only data source (none when the pool holds
// several). None when the pool is empty, the name is not pooled, every
// handle is held by other keys or a stale or broken handle cannot be
// re-opened ("Cannot return connection handle. Error in fetching connection
// parameters.\n" or "Cannot return connection handle. Error in opening
// connection while re-establishing connection hanlde.\n" followed by
// "Cannot open the connection %s again (data source %s).\n", error).
ConnectionHandle* GetConnectionHandle(const char* connectionName);

// Gives back the handle the calling thread's key holds of connectionName's
// data source (none: the pool's first data source). false when the pool is
// empty or no handle is held by that key.
bool ReleaseConnectionHandle(const char* connectionName);

// Closes every pooled handle through its provider and empties the pool.
void FreeConnectionPool();

namespace fh {

// The number of data sources pooled, and of handles pooled for
// connectionName (0 when it is not pooled).
int GetConnectionPoolEntryCount();
int GetPooledHandleCount(const char* connectionName);

}  // namespace fh

// Logs "@@ Inside CreateDB @@\n" (trace). Runs "create database <name>" on
// a handle of the pool's only data source. A name of more than 19
// characters, or with characters other than letters, digits and '_', is
// refused with "Cannot create database: invalid database name.\n" (error).
// No handle: "Cannot create DB.  Connection not established.\n"; a failed
// statement: "Cannot create database %s.\n"; both false.
bool CreateDB(const char* databaseName);
