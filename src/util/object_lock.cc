// The object lock keeps the addresses currently locked in one small array
// guarded by one mutex. A thread that finds its address listed sleeps on a
// condition variable and is woken when an address is removed, so a wait
// costs nothing while it lasts and ends as soon as the holder unlocks.
#include "util/object_lock.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "platform/no_destructor.h"

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

// The mutex that guards the list: held for a few instructions only, so its
// uncontended path is inline (one compare-and-swap to lock, one exchange to
// unlock); a contended locker spins briefly, then sleeps on the state word.
// States: 0 free, 1 held, 2 held with sleepers.
class ListMutex {
 public:
  void lock() {
    int expected = 0;
    if (!state_.compare_exchange_strong(expected, 1, std::memory_order_acquire)) LockContended();
  }
  void unlock() {
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

// The process-wide list of locked addresses. The array keeps its capacity
// when addresses are removed, so steady-state locking allocates nothing.
class LockedObjectList {
 public:
  LockedObjectList() { addresses_.reserve(kInitialCapacity); }

  // REQUIRES: mutex_ held by the caller (the public functions below).
  bool Contains(const void* address) const {
    return std::find(addresses_.begin(), addresses_.end(), address) != addresses_.end();
  }

  // kObjectLocked, or kObjectBusy when listed or when the array cannot grow.
  int Enter(const void* address) {
    if (Contains(address)) return kObjectBusy;
    try {
      addresses_.push_back(address);
    } catch (const std::bad_alloc&) {
      return kObjectBusy;
    }
    return kObjectLocked;
  }

  // kObjectUnlocked, or kObjectBusy when the address was not listed.
  int Remove(const void* address) {
    auto it = std::find(addresses_.begin(), addresses_.end(), address);
    if (it == addresses_.end()) return kObjectBusy;
    *it = addresses_.back();  // order is of no interest: swap with the last
    addresses_.pop_back();
    return kObjectUnlocked;
  }

  int Size() const { return static_cast<int>(addresses_.size()); }

  ListMutex mutex_;
  std::condition_variable_any released_;  // notified when an address is removed
  int waiters_ = 0;                       // threads sleeping on released_

 private:
  static constexpr std::size_t kInitialCapacity = 32;
  std::vector<const void*> addresses_;
};

LockedObjectList& List() {
  static NoDestructor<LockedObjectList> list;
  return list.get();
}

// Removes address under the held mutex and wakes the sleepers if any.
int RemoveAndWake(LockedObjectList& list, const void* address) {
  const int result = list.Remove(address);
  if (result == kObjectUnlocked && list.waiters_ > 0) list.released_.notify_all();
  return result;
}

}  // namespace
}  // namespace fh

void InitMutex() {}

void CloseMutex() {}

int TryLockObject(const void* address, int action) {
  fh::LockedObjectList& list = fh::List();
  std::lock_guard<fh::ListMutex> hold(list.mutex_);
  switch (action) {
    case kObjectLockAction:
      return list.Enter(address);
    case kObjectUnlockAction:
      return fh::RemoveAndWake(list, address);
    default:
      return kObjectBusy;
  }
}

void LockObject(const void* address) {
  fh::LockedObjectList& list = fh::List();
  std::unique_lock<fh::ListMutex> hold(list.mutex_);
  // Holders keep an address for a short while (one log line, one vector
  // operation), so a waiter first retries briefly before it sleeps: the
  // hand-over then costs no wake-up.
  for (int attempt = 0; attempt < fh::kLockRetriesBeforeSleeping; ++attempt) {
    if (list.Enter(address) == kObjectLocked) return;
    hold.unlock();
    for (int pause = 0; pause < fh::kPausesPerRetry; ++pause) fh::CpuPause();
    hold.lock();
  }
  for (;;) {
    if (list.Enter(address) == kObjectLocked) return;
    ++list.waiters_;
    if (list.Contains(address)) {
      list.released_.wait(hold);
    } else {
      // The array could not grow: memory is short, so retry a little later
      // rather than wait for an unlock that may never come.
      list.released_.wait_for(hold, std::chrono::milliseconds(1));
    }
    --list.waiters_;
  }
}

int UnlockObject(const void* address) { return TryLockObject(address, kObjectUnlockAction); }

int LockedObjectCount() {
  fh::LockedObjectList& list = fh::List();
  std::lock_guard<fh::ListMutex> hold(list.mutex_);
  return list.Size();
}
