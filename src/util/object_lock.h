// The address-keyed object lock: a thread locks a structure by entering its
// address in one process-wide list of locked addresses; another thread that
// finds the address listed waits until it is removed. The lock is not tied
// to a thread (any thread may unlock) and is not re-entrant (locking an
// address twice without unlocking waits forever).
//
// Thread safety: every function may be called from any thread at any time,
// also before InitMutex and after the log is stopped; the guarding mutex
// lives as long as the process.
#pragma once

inline constexpr int kObjectLockAction = 1;
inline constexpr int kObjectUnlockAction = 2;
inline constexpr int kObjectLocked = 1;    // TryLockObject: the address was entered
inline constexpr int kObjectBusy = 2;      // already locked / not locked
inline constexpr int kObjectUnlocked = 4;  // TryLockObject: the address was removed

// Logs its entry line; the guarding mutex itself needs no creation.
void InitMutex();
// Closes what InitMutex opened; harmless when nothing was opened.
void CloseMutex();

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

// The number of addresses locked at this moment (for diagnostics and tests).
int LockedObjectCount();

// Holds the object lock on an address for one scope.
class ObjectLockGuard {
 public:
  explicit ObjectLockGuard(const void* address) : address_(address) { LockObject(address_); }
  ~ObjectLockGuard() { UnlockObject(address_); }
  ObjectLockGuard(const ObjectLockGuard&) = delete;
  ObjectLockGuard& operator=(const ObjectLockGuard&) = delete;

 private:
  const void* address_;
};
