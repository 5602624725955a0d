// The memory pool: a region allocator for the many small pieces of a select
// query, a parsed criteria tree, a generated statement or a data object,
// released all at once.
//
// A pool hands out pieces rounded up to a multiple of 8 bytes (and aligned to
// 8) from blocks of at least 8 KB. Blocks come from one process-wide
// allocator, which keeps released blocks for reuse (up to a bounded total;
// the rest goes back to the system). A pool may have child pools: destroying
// or clearing a pool destroys its children first. Clearing releases every
// piece of the pool at once and keeps the pool usable.
//
// The root pool: InitializeMemPool creates the root pool under a use count
// (the first call creates it, later calls only count); each ReleaseMemPool
// gives one count back, and the last one destroys the root pool with all its
// children and returns the allocator's kept blocks to the system.
//
// Ownership: a pool made with a parent belongs to the parent (destroy it
// early with DestroyMemPool, or let the parent's destruction take it); a pool
// made without a parent belongs to the caller, who must DestroyMemPool it.
// The pieces belong to their pool: never free or delete them. An object
// placed with MemPoolNew is never destroyed (only trivially destructible
// types are accepted); one placed with MemPoolMake is destroyed when its pool
// is cleared or destroyed, after the pool's children and in the reverse
// order of placement, so a Vector, a std::string or a ColumnValue may live
// in a pool.
//
// Thread safety: every function may be called from any thread; each pool
// has its own lock, so threads may allocate from one pool concurrently and
// create children of one parent (the root pool) concurrently. Destroying or
// clearing a pool while another thread still uses it or one of its
// descendants is the caller's error.
#pragma once

#include <cstddef>
#include <new>
#include <type_traits>
#include <utility>

struct MemPool;

namespace fh {

// Every piece is a multiple of this size and aligned to it.
inline constexpr std::size_t kMemPoolAlignment = 8;
// The smallest block a pool takes from the allocator, in bytes.
inline constexpr std::size_t kMemPoolMinBlockSize = 8192;

}  // namespace fh

// Takes one use count; the first call creates the root pool. true on
// success; false when the root pool cannot be allocated (nothing is counted).
bool InitializeMemPool();

namespace fh {

// Gives one use count back; when the count returns to 0 the root pool and
// all its descendants are destroyed and the allocator's kept blocks freed.
// GetRootMemPool gives none before the destruction starts, so cleanups that
// run during it may call the functions here. Nothing happens when the count
// is already 0.
void ReleaseMemPool();

// The root pool, or none when InitializeMemPool has not run (or the last
// ReleaseMemPool has). Not owning.
MemPool* GetRootMemPool();

// The current use count.
int GetMemPoolUseCount();

// A new empty pool, a child of parent (or top-level when parent is none).
// None when out of memory. See Ownership above.
MemPool* CreateMemPool(MemPool* parent);

// Destroys pool: its children first, then every piece; its blocks go back
// to the allocator and it is unlinked from its parent. A null pool is
// ignored.
void DestroyMemPool(MemPool* pool);

// Destroys the children of pool and releases every piece allocated in it;
// the pool stays usable. A null pool is ignored.
void ClearMemPool(MemPool* pool);

// A piece of at least size bytes (a multiple of 8, at least 8), aligned to
// 8, uninitialised. None when pool is none or memory is exhausted.
void* MemPoolAlloc(MemPool* pool, std::size_t size);

// As MemPoolAlloc, with the piece filled with zero bytes.
void* MemPoolAllocZeroed(MemPool* pool, std::size_t size);

// A zero-terminated copy of text in pool; none when either is none or
// memory is exhausted.
char* MemPoolStrDup(MemPool* pool, const char* text);

// A copy of length bytes followed by one zero byte; none when pool is none,
// bytes is none with a nonzero length, or memory is exhausted.
char* MemPoolMemDup(MemPool* pool, const void* bytes, std::size_t length);

}  // namespace fh

// Constructs a T in pool; none when out of memory. T's destructor never runs.
template <typename T, typename... Args>
T* MemPoolNew(MemPool* pool, Args&&... args) {
  static_assert(std::is_trivially_destructible_v<T>, "pool objects are never destroyed");
  static_assert(alignof(T) <= fh::kMemPoolAlignment, "pool pieces are aligned to 8 bytes");
  void* piece = fh::MemPoolAlloc(pool, sizeof(T));
  if (piece == nullptr) return nullptr;
  return new (piece) T(std::forward<Args>(args)...);
}

namespace fh {

// Registers cleanup(data) to run when pool is cleared or destroyed (after its
// children are destroyed, before its memory is released; the last
// registered runs first). A cleanup may allocate in its own pool, never in
// an ancestor of it. false when
// pool or cleanup is none or memory is exhausted (nothing is registered).
bool MemPoolAddCleanup(MemPool* pool, void (*cleanup)(void*), void* data);

}  // namespace fh

// Constructs a T in pool and registers its destruction; none when out of
// memory (also when T's constructor throws std::bad_alloc; other exceptions
// of the constructor reach the caller). Nothing is left constructed then.
template <typename T, typename... Args>
T* MemPoolMake(MemPool* pool, Args&&... args) {
  static_assert(alignof(T) <= fh::kMemPoolAlignment, "pool pieces are aligned to 8 bytes");
  void* piece = fh::MemPoolAlloc(pool, sizeof(T));
  if (piece == nullptr) return nullptr;
  T* object = nullptr;
  try {
    object = new (piece) T(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  if (!std::is_trivially_destructible_v<T> &&
      !fh::MemPoolAddCleanup(
          pool, [](void* data) { static_cast<T*>(data)->~T(); }, object)) {
    object->~T();
    return nullptr;
  }
  return object;
}

namespace fh {

// What the process-wide allocator holds, for tests and diagnostics.
struct MemPoolAllocatorStats {
  std::size_t blocksFromSystem = 0;  // blocks currently obtained from the system
  std::size_t blocksKept = 0;        // of those, released blocks kept for reuse
  std::size_t bytesKept = 0;         // their total size
};
MemPoolAllocatorStats GetMemPoolAllocatorStats();

// Tests only: destroys the root pool whatever its count, sets the count to 0
// and frees the kept blocks. Top-level pools made by callers are untouched.
void ResetMemPoolForTest();

}  // namespace fh
