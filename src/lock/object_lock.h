// The address-keyed object lock: a thread locks a structure by entering its
// address in the process-wide table of locked addresses; another thread that
// finds the address listed waits until it is removed. Threads locking
// different addresses do not wait for each other. The lock is not tied
// to a thread (any thread may unlock) and is not re-entrant (locking an
// address twice without unlocking waits forever).
//
// Thread safety: every function may be called from any thread at any time,
// also before InitMutex and after CloseMutex; the table and its mutexes live
// as long as the process.
//
// The lock cannot be checked by the compiler's thread-safety analysis: it is
// keyed by any address, not by a capability object that a GUARDED_BY could
// name. ObjectLockGuard is how to make "released on every path" hold.
#pragma once

namespace fh {

inline constexpr int kObjectLockAction = 1;
inline constexpr int kObjectUnlockAction = 2;
inline constexpr int kObjectLocked = 1;    // TryLockObject: the address was entered
inline constexpr int kObjectBusy = 2;      // already locked / not locked
inline constexpr int kObjectUnlocked = 4;  // TryLockObject: the address was removed

}  // namespace fh

// Builds the table of locked addresses, so that the first lock does not pay
// for it. Optional: the first lock builds it too. Logs nothing.
void InitMutex();
namespace fh {

// Gives back the memory the table keeps for addresses no longer locked.
// Locked addresses stay locked and every function stays usable afterwards.
void CloseMutex();

}  // namespace fh

// action 1: 1 when the address was entered, 2 when it is already locked or
// cannot be listed for want of memory.
// action 2: 4 when the address was removed, 2 when it was not locked.
// Any other action does nothing and gives 2.
int TryLockObject(const void* address, int action);

// Returns once the caller holds the lock on address. A waiting thread sleeps
// until an address is unlocked (no polling, no growing back-off); it retries
// about every millisecond only while memory is too short to list the address.
void LockObject(const void* address);

// 4, or 2 when the address was not locked. Wakes the threads waiting in
// LockObject; which of them gets the address next is not defined.
int UnlockObject(const void* address);

namespace fh {

// The number of addresses locked at this moment (for diagnostics and tests);
// exact when no other thread locks or unlocks meanwhile.
int LockedObjectCount();

// Holds the object lock on an address for one scope, or until Release().
// Belongs to the scope that made it; not to be shared between threads.
class ObjectLockGuard {
 public:
  // A null address locks nothing (for a structure that may not exist, such
  // as the log's lock token while no log is set up).
  explicit ObjectLockGuard(const void* address) : address_(address), held_(address != nullptr) {
    if (held_) LockObject(address_);
  }
  ~ObjectLockGuard() { Release(); }
  ObjectLockGuard(const ObjectLockGuard&) = delete;
  ObjectLockGuard& operator=(const ObjectLockGuard&) = delete;

  // Unlocks now instead of at the end of the scope (a caller that must not
  // hold the lock for what follows); later calls and the destructor then do
  // nothing.
  void Release() {
    if (!held_) return;
    held_ = false;
    UnlockObject(address_);
  }

 private:
  const void* address_;
  bool held_;
};

}  // namespace fh
