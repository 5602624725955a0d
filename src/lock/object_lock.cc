// The object lock keeps the addresses currently locked in a table split into
// shards by a hash of the address. Each shard has its own small mutex, array
// of addresses and condition variable, on cache lines of its own, so threads
// that lock different addresses almost never meet. A thread that finds its
// address listed retries briefly, then sleeps on its shard's condition
// variable and is woken when an address of that shard is removed.
#include "lock/object_lock.h"

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

#include "platform/no_destructor.h"
#include "platform/thread_annotations.h"

namespace fh {

namespace {

// Tells the processor this is a spin-wait loop.
inline void CpuPause() {
#if defined(__x86_64__) || defined(__i386__)
  __builtin_ia32_pause();
#endif
}

inline constexpr int kLockRetriesBeforeSleeping = 16;
inline constexpr int kPausesPerRetry = 32;
inline constexpr int kShardBits = 6;
inline constexpr std::size_t kShardCount = std::size_t{1} << kShardBits;
inline constexpr std::size_t kCacheLine = 64;

// The mutex of one shard: held for a few instructions only, so its
// uncontended path is inline (one compare-and-swap to lock, one exchange to
// unlock); a contended locker spins briefly, then sleeps on the state word.
// States: 0 free, 1 held, 2 held with sleepers. BasicLockable, so the
// shard's condition variable waits on it directly.
class CAPABILITY("mutex") ShardMutex {
 public:
  void lock() ACQUIRE() {
    int expected = 0;
    if (!state_.compare_exchange_strong(expected, 1, std::memory_order_acquire)) LockContended();
  }
  void unlock() RELEASE() {
    if (state_.exchange(0, std::memory_order_release) == 2) state_.notify_one();
  }

 private:
  void LockContended() {
    for (int spin = 0; spin < kSpins; ++spin) {
      int expected = 0;
      if (state_.load(std::memory_order_relaxed) == 0 &&
          state_.compare_exchange_weak(expected, 1, std::memory_order_acquire)) {
        return;
      }
      CpuPause();
    }
    while (state_.exchange(2, std::memory_order_acquire) != 0) state_.wait(2);
  }
  static constexpr int kSpins = 64;
  std::atomic<int> state_{0};
};

// Holds a shard's mutex for one scope; Unlock()/Lock() step out for a while.
class SCOPED_CAPABILITY ShardLock {
 public:
  explicit ShardLock(ShardMutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->lock(); }
  ~ShardLock() RELEASE() {
    if (held_) mutex_->unlock();
  }
  ShardLock(const ShardLock&) = delete;
  ShardLock& operator=(const ShardLock&) = delete;

  void Unlock() RELEASE() {
    mutex_->unlock();
    held_ = false;
  }
  void Lock() ACQUIRE() {
    mutex_->lock();
    held_ = true;
  }

 private:
  ShardMutex* mutex_;
  bool held_ = true;
};

// The addresses of one shard that are locked at this moment. The array keeps
// its capacity when addresses are removed, so steady-state locking
// allocates nothing.
struct alignas(kCacheLine) Shard {
  bool Contains(const void* address) const REQUIRES(mutex) {
    for (const void* listed : addresses) {
      if (listed == address) return true;
    }
    return false;
  }

  // kObjectLocked, or kObjectBusy when listed or when the array cannot grow.
  int Enter(const void* address) REQUIRES(mutex) {
    if (Contains(address)) return kObjectBusy;
    try {
      addresses.push_back(address);
    } catch (const std::bad_alloc&) {
      return kObjectBusy;
    }
    return kObjectLocked;
  }

  // kObjectUnlocked (waking the sleepers), or kObjectBusy when not listed.
  int Remove(const void* address) REQUIRES(mutex) {
    for (const void*& listed : addresses) {
      if (listed != address) continue;
      listed = addresses.back();  // order is of no interest: swap with the last
      addresses.pop_back();
      if (waiters > 0) released.notify_all();
      return kObjectUnlocked;
    }
    return kObjectBusy;
  }

  ShardMutex mutex;
  std::vector<const void*> addresses GUARDED_BY(mutex);
  int waiters GUARDED_BY(mutex) = 0;     // threads sleeping on released
  std::condition_variable_any released;  // notified when an address is removed
};

using ShardTable = std::array<Shard, kShardCount>;

ShardTable& Shards() {
  static NoDestructor<ShardTable> shards;
  return shards.get();
}

// Neighbouring addresses (the fields of one structure, the elements of an
// array) land in different shards: the top bits of a multiplicative hash.
Shard& ShardOf(const void* address) {
  const auto key = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(address));
  return Shards()[(key * 0x9E3779B97F4A7C15ull) >> (64 - kShardBits)];
}

}  // namespace

}  // namespace fh

void InitMutex() { fh::Shards(); }

void fh::CloseMutex() {
  for (fh::Shard& shard : fh::Shards()) {
    fh::ShardLock hold(&shard.mutex);
    if (shard.addresses.empty()) std::vector<const void*>().swap(shard.addresses);
  }
}

int TryLockObject(const void* address, int action) {
  fh::Shard& shard = fh::ShardOf(address);
  fh::ShardLock hold(&shard.mutex);
  switch (action) {
    case fh::kObjectLockAction:
      return shard.Enter(address);
    case fh::kObjectUnlockAction:
      return shard.Remove(address);
    default:
      return fh::kObjectBusy;
  }
}

void LockObject(const void* address) {
  fh::Shard& shard = fh::ShardOf(address);
  fh::ShardLock hold(&shard.mutex);
  // Holders keep an address for a short while (one log line, one vector
  // operation), so a waiter first retries briefly before it sleeps: the
  // hand-over then costs no wake-up.
  for (int attempt = 0; attempt < fh::kLockRetriesBeforeSleeping; ++attempt) {
    if (shard.Enter(address) == fh::kObjectLocked) return;
    hold.Unlock();
    for (int pause = 0; pause < fh::kPausesPerRetry; ++pause) fh::CpuPause();
    hold.Lock();
  }
  for (;;) {
    if (shard.Enter(address) == fh::kObjectLocked) return;
    ++shard.waiters;
    if (shard.Contains(address)) {
      shard.released.wait(shard.mutex);
    } else {
      // The array could not grow: memory is short, so retry a little later
      // rather than wait for an unlock that may never come.
      shard.released.wait_for(shard.mutex, std::chrono::milliseconds(1));
    }
    --shard.waiters;
  }
}

int UnlockObject(const void* address) { return TryLockObject(address, fh::kObjectUnlockAction); }

int fh::LockedObjectCount() {
  int count = 0;
  for (fh::Shard& shard : fh::Shards()) {
    fh::ShardLock hold(&shard.mutex);
    count += static_cast<int>(shard.addresses.size());
  }
  return count;
}
