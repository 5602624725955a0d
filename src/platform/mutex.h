// A mutex the compiler's thread-safety analysis understands, and the RAII
// holder every guarded state is locked with.
//
//   fh::Mutex mutex_;
//   int count_ GUARDED_BY(mutex_);
//   void Bump() EXCLUDES(mutex_) { fh::MutexLock lock(&mutex_); ++count_; }
//
// Mutex satisfies BasicLockable, so std::condition_variable_any waits on it;
// MutexLock::Unlock()/Lock() let a holder step out of the lock for a while
// (a callback run without it) and the analysis follows both.
//
// Thread safety: a Mutex is shared by the threads it serialises; a
// MutexLock belongs to the thread that made it.
#pragma once

#include <mutex>

#include "platform/thread_annotations.h"

namespace fh {

class CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void Lock() ACQUIRE() { mutex_.lock(); }
  void Unlock() RELEASE() { mutex_.unlock(); }
  bool TryLock() TRY_ACQUIRE(true) { return mutex_.try_lock(); }
  // Tells the analysis that the caller holds the mutex (checked nowhere).
  void AssertHeld() ASSERT_CAPABILITY(this) {}

  // BasicLockable, for std::condition_variable_any and std::unique_lock.
  void lock() ACQUIRE() { mutex_.lock(); }
  void unlock() RELEASE() { mutex_.unlock(); }

 private:
  std::mutex mutex_;
};

class SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex* mutex) ACQUIRE(mutex) : mutex_(mutex) { mutex_->Lock(); }
  ~MutexLock() RELEASE() {
    if (held_) mutex_->Unlock();
  }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

  // Leaves the lock for a while (REQUIRES: held) and takes it again.
  void Unlock() RELEASE() {
    mutex_->Unlock();
    held_ = false;
  }
  void Lock() ACQUIRE() {
    mutex_->Lock();
    held_ = true;
  }

 private:
  Mutex* mutex_;
  bool held_ = true;
};

}  // namespace fh
