#include "util/object_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ObjectLockTest, LockUnlockLockAgainFromOneThread) {
  int object = 0;
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectLocked);
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectBusy);
  EXPECT_EQ(UnlockObject(&object), kObjectUnlocked);
  LockObject(&object);
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, kObjectUnlockAction), kObjectUnlocked);
  EXPECT_EQ(LockedObjectCount(), 0);
}

TEST(ObjectLockTest, UnlockOfAnAddressNeverLockedGivesTwo) {
  int object = 0;
  EXPECT_EQ(UnlockObject(&object), kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, kObjectUnlockAction), kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, 3), kObjectBusy);  // unknown action does nothing
  EXPECT_EQ(LockedObjectCount(), 0);
}

TEST(ObjectLockTest, AddressesAreIndependent) {
  int first = 0;
  int second = 0;
  LockObject(&first);
  EXPECT_EQ(TryLockObject(&second, kObjectLockAction), kObjectLocked);
  EXPECT_EQ(LockedObjectCount(), 2);
  EXPECT_EQ(UnlockObject(&first), kObjectUnlocked);
  EXPECT_EQ(UnlockObject(&second), kObjectUnlocked);
}

TEST(ObjectLockTest, UsableWithoutAndAfterInitMutex) {
  int object = 0;
  LockObject(&object);
  EXPECT_EQ(UnlockObject(&object), kObjectUnlocked);
  InitMutex();
  CloseMutex();
  LockObject(&object);
  EXPECT_EQ(UnlockObject(&object), kObjectUnlocked);
}

TEST(ObjectLockTest, SecondLockBlocksUntilAnotherThreadUnlocks) {
  int object = 0;
  LockObject(&object);
  std::atomic<bool> started{false};
  std::atomic<bool> acquired{false};
  std::thread waiter([&] {
    started = true;
    LockObject(&object);
    acquired = true;
    UnlockObject(&object);
  });
  while (!started) std::this_thread::yield();
  // The waiter cannot get the lock while it is listed: it stays listed.
  EXPECT_FALSE(acquired);
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectBusy);
  EXPECT_EQ(UnlockObject(&object), kObjectUnlocked);
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(LockedObjectCount(), 0);
}

TEST(ObjectLockTest, AnyThreadMayUnlock) {
  int object = 0;
  LockObject(&object);
  int result = 0;
  std::thread other([&] { result = UnlockObject(&object); });
  other.join();
  EXPECT_EQ(result, kObjectUnlocked);
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectLocked);
  UnlockObject(&object);
}

TEST(ObjectLockTest, GuardHoldsForItsScope) {
  int object = 0;
  {
    ObjectLockGuard hold(&object);
    EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectBusy);
  }
  EXPECT_EQ(TryLockObject(&object, kObjectLockAction), kObjectLocked);
  UnlockObject(&object);
}

// Increments without atomics: only the object lock keeps the count exact
// (and ThreadSanitizer quiet).
TEST(ObjectLockTest, ManyThreadsCountExactlyUnderOneAddress) {
  constexpr int kThreads = 8;
  constexpr int kRounds = 2000;
  long counter = 0;
  int other = 0;  // a second busy address, so waits and wake-ups interleave
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kRounds; ++i) {
        ObjectLockGuard hold(&counter);
        ++counter;
        if (t % 2 == 0) {
          ObjectLockGuard inner(&other);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  EXPECT_EQ(LockedObjectCount(), 0);
}

}  // namespace
