#include "util/memory_pool.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "platform/mutex.h"
#include "platform/thread_annotations.h"

// Layout: a pool is a chain of blocks, the newest first; pieces are cut from
// the newest block between cursor and end. A block starts with a header
// (its size and the next block); its payload follows, aligned to 8. Released
// blocks go to the allocator's free chain (newest first) and are reused by
// the first request they are large enough for.

namespace {

struct Block {
  Block* next;
  std::size_t size;  // whole block, header included
};

constexpr std::size_t RoundUp(std::size_t value, std::size_t multiple) {
  return (value + multiple - 1) / multiple * multiple;
}

constexpr std::size_t kHeaderSize = RoundUp(sizeof(Block), fh::kMemPoolAlignment);
// Released blocks beyond this total go back to the system.
constexpr std::size_t kMaxBytesKept = std::size_t{8} << 20;

char* PayloadOf(Block* block) { return reinterpret_cast<char*>(block) + kHeaderSize; }
char* EndOf(Block* block) { return reinterpret_cast<char*>(block) + block->size; }

// The process-wide block allocator.
class BlockAllocator {
 public:
  // A block whose payload holds at least payloadSize bytes; none when out
  // of memory.
  Block* Acquire(std::size_t payloadSize) {
    const std::size_t wanted = RoundUp(kHeaderSize + payloadSize, fh::kMemPoolMinBlockSize);
    {
      fh::MutexLock lock(&mutex_);
      Block** link = &free_;
      for (Block* block = free_; block != nullptr; link = &block->next, block = block->next) {
        if (block->size >= wanted) {
          *link = block->next;
          block->next = nullptr;
          --stats_.blocksKept;
          stats_.bytesKept -= block->size;
          return block;
        }
      }
    }
    void* memory = std::malloc(wanted);
    if (memory == nullptr) return nullptr;
    Block* block = static_cast<Block*>(memory);
    block->next = nullptr;
    block->size = wanted;
    fh::MutexLock lock(&mutex_);
    ++stats_.blocksFromSystem;
    return block;
  }

  // Takes back a chain of blocks (linked through next).
  void ReleaseChain(Block* chain) {
    fh::MutexLock lock(&mutex_);
    while (chain != nullptr) {
      Block* block = chain;
      chain = chain->next;
      if (stats_.bytesKept + block->size <= kMaxBytesKept) {
        block->next = free_;
        free_ = block;
        ++stats_.blocksKept;
        stats_.bytesKept += block->size;
      } else {
        --stats_.blocksFromSystem;
        std::free(block);
      }
    }
  }

  // Returns every kept block to the system.
  void FreeKept() {
    fh::MutexLock lock(&mutex_);
    while (free_ != nullptr) {
      Block* block = free_;
      free_ = block->next;
      std::free(block);
      --stats_.blocksFromSystem;
    }
    stats_.blocksKept = 0;
    stats_.bytesKept = 0;
  }

  fh::MemPoolAllocatorStats Stats() {
    fh::MutexLock lock(&mutex_);
    return stats_;
  }

 private:
  fh::Mutex mutex_;
  Block* free_ GUARDED_BY(mutex_) = nullptr;
  fh::MemPoolAllocatorStats stats_ GUARDED_BY(mutex_);
};

BlockAllocator& Allocator() {
  // Never destroyed: pools may outlive static destruction order.
  static BlockAllocator* allocator = new BlockAllocator;
  return *allocator;
}

// The root pool and its use count.
struct RootState {
  fh::Mutex mutex;
  MemPool* root GUARDED_BY(mutex) = nullptr;
  int useCount GUARDED_BY(mutex) = 0;
};

RootState& Root() {
  static RootState* state = new RootState;
  return *state;
}

// A registered cleanup, itself allocated in its pool.
struct PoolCleanup {
  void (*run)(void*);
  void* data;
  PoolCleanup* next;  // registered earlier
};

}  // namespace

struct MemPool {
  fh::Mutex mutex;
  PoolCleanup* cleanups GUARDED_BY(mutex) = nullptr;  // the last registered first
  // The links to the parent and the siblings change under the parent's mutex.
  MemPool* parent = nullptr;
  MemPool* firstChild GUARDED_BY(mutex) = nullptr;  // children, linked through the sibling fields
  MemPool* previousSibling = nullptr;
  MemPool* nextSibling = nullptr;
  Block* blocks GUARDED_BY(mutex) = nullptr;  // newest first
  char* cursor GUARDED_BY(mutex) = nullptr;   // free space of the newest block: [cursor, end)
  char* end GUARDED_BY(mutex) = nullptr;
};

namespace {

// Unlinks child from its parent's chain.
void UnlinkChild(MemPool* parent, MemPool* child) REQUIRES(parent->mutex) {
  if (child->previousSibling != nullptr) {
    child->previousSibling->nextSibling = child->nextSibling;
  } else {
    parent->firstChild = child->nextSibling;
  }
  if (child->nextSibling != nullptr) child->nextSibling->previousSibling = child->previousSibling;
  child->previousSibling = nullptr;
  child->nextSibling = nullptr;
  child->parent = nullptr;
}

void DestroyDetached(MemPool* pool);

// Destroys every child of pool.
void DestroyChildren(MemPool* pool) REQUIRES(pool->mutex) {
  while (pool->firstChild != nullptr) {
    MemPool* child = pool->firstChild;
    UnlinkChild(pool, child);
    DestroyDetached(child);
  }
}

// Destroys the children of pool and runs its cleanups, the pool's own lock
// released while a cleanup runs (a cleanup may allocate in the pool; what it
// registers runs too). On return the pool's lock is held again.
void RunDestruction(MemPool* pool) REQUIRES(pool->mutex) {
  for (;;) {
    DestroyChildren(pool);
    PoolCleanup* cleanups = pool->cleanups;
    pool->cleanups = nullptr;
    if (cleanups == nullptr) return;
    pool->mutex.Unlock();
    for (PoolCleanup* cleanup = cleanups; cleanup != nullptr; cleanup = cleanup->next) {
      cleanup->run(cleanup->data);
    }
    pool->mutex.Lock();
  }
}

// Destroys a pool already unlinked from its parent.
void DestroyDetached(MemPool* pool) {
  {
    fh::MutexLock lock(&pool->mutex);
    RunDestruction(pool);
    Allocator().ReleaseChain(pool->blocks);
    pool->blocks = nullptr;
  }
  delete pool;
}

// Makes room for size bytes in pool's newest block.
bool EnsureRoom(MemPool* pool, std::size_t size) REQUIRES(pool->mutex) {
  if (pool->cursor != nullptr && static_cast<std::size_t>(pool->end - pool->cursor) >= size) {
    return true;
  }
  Block* block = Allocator().Acquire(size);
  if (block == nullptr) return false;
  block->next = pool->blocks;
  pool->blocks = block;
  pool->cursor = PayloadOf(block);
  pool->end = EndOf(block);
  return true;
}

}  // namespace

bool InitializeMemPool() {
  RootState& state = Root();
  fh::MutexLock lock(&state.mutex);
  if (state.useCount == 0) {
    state.root = fh::CreateMemPool(nullptr);
    if (state.root == nullptr) return false;
  }
  ++state.useCount;
  return true;
}

void fh::ReleaseMemPool() {
  RootState& state = Root();
  MemPool* root = nullptr;
  {
    fh::MutexLock lock(&state.mutex);
    if (state.useCount == 0) return;
    if (--state.useCount > 0) return;
    root = state.root;
    state.root = nullptr;
  }
  // Destroyed outside the lock: the cleanups of objects placed in the pools
  // may ask for the root pool or the use count.
  fh::DestroyMemPool(root);
  Allocator().FreeKept();
}

MemPool* fh::GetRootMemPool() {
  RootState& state = Root();
  fh::MutexLock lock(&state.mutex);
  return state.root;
}

int fh::GetMemPoolUseCount() {
  RootState& state = Root();
  fh::MutexLock lock(&state.mutex);
  return state.useCount;
}

MemPool* fh::CreateMemPool(MemPool* parent) {
  MemPool* pool = new (std::nothrow) MemPool;
  if (pool == nullptr) return nullptr;
  if (parent != nullptr) {
    fh::MutexLock lock(&parent->mutex);
    pool->parent = parent;
    pool->nextSibling = parent->firstChild;
    if (parent->firstChild != nullptr) parent->firstChild->previousSibling = pool;
    parent->firstChild = pool;
  }
  return pool;
}

void fh::DestroyMemPool(MemPool* pool) {
  if (pool == nullptr) return;
  MemPool* parent = nullptr;
  {
    fh::MutexLock lock(&pool->mutex);
    parent = pool->parent;
  }
  if (parent != nullptr) {
    fh::MutexLock lock(&parent->mutex);
    UnlinkChild(parent, pool);
  }
  DestroyDetached(pool);
}

void fh::ClearMemPool(MemPool* pool) {
  if (pool == nullptr) return;
  fh::MutexLock lock(&pool->mutex);
  RunDestruction(pool);
  if (pool->blocks == nullptr) return;
  // Keep the newest block for the pieces to come; the others go back.
  Block* kept = pool->blocks;
  Allocator().ReleaseChain(kept->next);
  kept->next = nullptr;
  pool->cursor = PayloadOf(kept);
  pool->end = EndOf(kept);
}

void* fh::MemPoolAlloc(MemPool* pool, std::size_t size) {
  if (pool == nullptr) return nullptr;
  if (size > SIZE_MAX - fh::kMemPoolMinBlockSize - kHeaderSize) return nullptr;
  const std::size_t rounded =
      size == 0 ? fh::kMemPoolAlignment : RoundUp(size, fh::kMemPoolAlignment);
  fh::MutexLock lock(&pool->mutex);
  if (!EnsureRoom(pool, rounded)) return nullptr;
  void* piece = pool->cursor;
  pool->cursor += rounded;
  return piece;
}

void* fh::MemPoolAllocZeroed(MemPool* pool, std::size_t size) {
  void* piece = fh::MemPoolAlloc(pool, size);
  if (piece != nullptr && size > 0) std::memset(piece, 0, size);
  return piece;
}

char* fh::MemPoolStrDup(MemPool* pool, const char* text) {
  if (text == nullptr) return nullptr;
  return fh::MemPoolMemDup(pool, text, std::strlen(text));
}

char* fh::MemPoolMemDup(MemPool* pool, const void* bytes, std::size_t length) {
  if (bytes == nullptr && length > 0) return nullptr;
  if (length == SIZE_MAX) return nullptr;
  char* copy = static_cast<char*>(fh::MemPoolAlloc(pool, length + 1));
  if (copy == nullptr) return nullptr;
  if (length > 0) std::memcpy(copy, bytes, length);
  copy[length] = '\0';
  return copy;
}

bool fh::MemPoolAddCleanup(MemPool* pool, void (*cleanup)(void*), void* data) {
  if (pool == nullptr || cleanup == nullptr) return false;
  auto* record = static_cast<PoolCleanup*>(fh::MemPoolAlloc(pool, sizeof(PoolCleanup)));
  if (record == nullptr) return false;
  fh::MutexLock lock(&pool->mutex);
  record->run = cleanup;
  record->data = data;
  record->next = pool->cleanups;
  pool->cleanups = record;
  return true;
}

fh::MemPoolAllocatorStats fh::GetMemPoolAllocatorStats() { return Allocator().Stats(); }

void fh::ResetMemPoolForTest() {
  RootState& state = Root();
  MemPool* root = nullptr;
  {
    fh::MutexLock lock(&state.mutex);
    root = state.root;
    state.root = nullptr;
    state.useCount = 0;
  }
  fh::DestroyMemPool(root);
  Allocator().FreeKept();
}
