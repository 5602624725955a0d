#include "lock/object_lock.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ObjectLockTest, LockUnlockLockAgainFromOneThread) {
  int object = 0;
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectLocked);
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectBusy);
  EXPECT_EQ(UnlockObject(&object), fh::kObjectUnlocked);
  LockObject(&object);
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, fh::kObjectUnlockAction), fh::kObjectUnlocked);
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

TEST(ObjectLockTest, UnlockOfAnAddressNeverLockedGivesTwo) {
  int object = 0;
  EXPECT_EQ(UnlockObject(&object), fh::kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, fh::kObjectUnlockAction), fh::kObjectBusy);
  EXPECT_EQ(TryLockObject(&object, 3), fh::kObjectBusy);  // unknown action does nothing
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

TEST(ObjectLockTest, AddressesAreIndependent) {
  int first = 0;
  int second = 0;
  LockObject(&first);
  EXPECT_EQ(TryLockObject(&second, fh::kObjectLockAction), fh::kObjectLocked);
  EXPECT_EQ(fh::LockedObjectCount(), 2);
  EXPECT_EQ(UnlockObject(&first), fh::kObjectUnlocked);
  EXPECT_EQ(UnlockObject(&second), fh::kObjectUnlocked);
}

TEST(ObjectLockTest, UsableWithoutAndAfterInitMutex) {
  int object = 0;
  int held = 0;
  LockObject(&object);
  EXPECT_EQ(UnlockObject(&object), fh::kObjectUnlocked);
  InitMutex();
  LockObject(&held);
  fh::CloseMutex();  // gives back spare memory only: held stays locked
  EXPECT_EQ(TryLockObject(&held, fh::kObjectLockAction), fh::kObjectBusy);
  EXPECT_EQ(fh::LockedObjectCount(), 1);
  LockObject(&object);
  EXPECT_EQ(UnlockObject(&object), fh::kObjectUnlocked);
  EXPECT_EQ(UnlockObject(&held), fh::kObjectUnlocked);
}

// Neighbouring addresses (one byte apart, as in an array of structures) and
// addresses far apart are each locked on their own, however many are held.
TEST(ObjectLockTest, ManyAddressesLockAndUnlockEachOnItsOwn) {
  static char bytes[4096];
  const struct {
    int count;
    int stride;
  } cases[] = {{1, 1}, {2, 1}, {65, 1}, {300, 1}, {64, 64}, {100, 40}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.count << " addresses " << c.stride << " apart");
    for (int i = 0; i < c.count; ++i) {
      ASSERT_EQ(TryLockObject(&bytes[i * c.stride], fh::kObjectLockAction), fh::kObjectLocked);
    }
    EXPECT_EQ(fh::LockedObjectCount(), c.count);
    for (int i = 0; i < c.count; ++i) {
      EXPECT_EQ(TryLockObject(&bytes[i * c.stride], fh::kObjectLockAction), fh::kObjectBusy);
    }
    EXPECT_EQ(TryLockObject(&bytes[c.count * c.stride], fh::kObjectLockAction), fh::kObjectLocked);
    EXPECT_EQ(UnlockObject(&bytes[c.count * c.stride]), fh::kObjectUnlocked);
    // Unlocked in an order unlike the locking order: every other one first.
    for (int parity : {0, 1}) {
      for (int i = parity; i < c.count; i += 2) {
        EXPECT_EQ(UnlockObject(&bytes[i * c.stride]), fh::kObjectUnlocked);
        EXPECT_EQ(UnlockObject(&bytes[i * c.stride]), fh::kObjectBusy);
      }
    }
    EXPECT_EQ(fh::LockedObjectCount(), 0);
  }
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
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectBusy);
  EXPECT_EQ(UnlockObject(&object), fh::kObjectUnlocked);
  waiter.join();
  EXPECT_TRUE(acquired);
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

TEST(ObjectLockTest, AnyThreadMayUnlock) {
  int object = 0;
  LockObject(&object);
  int result = 0;
  std::thread other([&] { result = UnlockObject(&object); });
  other.join();
  EXPECT_EQ(result, fh::kObjectUnlocked);
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectLocked);
  UnlockObject(&object);
}

TEST(ObjectLockTest, GuardHoldsForItsScope) {
  int object = 0;
  {
    fh::ObjectLockGuard hold(&object);
    EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectBusy);
  }
  EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectLocked);
  UnlockObject(&object);
}

TEST(ObjectLockTest, GuardReleasedEarlyUnlocksOnce) {
  int object = 0;
  {
    fh::ObjectLockGuard hold(&object);
    hold.Release();
    EXPECT_EQ(TryLockObject(&object, fh::kObjectLockAction), fh::kObjectLocked);
    hold.Release();  // does nothing: the lock taken above is not the guard's
    EXPECT_EQ(fh::LockedObjectCount(), 1);
  }
  // Nor does the destructor: the address is still locked by hand.
  EXPECT_EQ(UnlockObject(&object), fh::kObjectUnlocked);
}

TEST(ObjectLockTest, GuardOnNullLocksNothing) {
  {
    fh::ObjectLockGuard none(nullptr);
    EXPECT_EQ(fh::LockedObjectCount(), 0);
    none.Release();
  }
  EXPECT_EQ(TryLockObject(nullptr, fh::kObjectLockAction), fh::kObjectLocked);
  EXPECT_EQ(UnlockObject(nullptr), fh::kObjectUnlocked);
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
        fh::ObjectLockGuard hold(&counter);
        ++counter;
        if (t % 2 == 0) {
          fh::ObjectLockGuard inner(&other);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  EXPECT_EQ(fh::LockedObjectCount(), 0);
}

}  // namespace
