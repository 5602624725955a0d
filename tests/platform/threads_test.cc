#include "platform/threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/clock.h"
#include "platform/handles.h"
#include "platform/last_error.h"

namespace {

using std::chrono::milliseconds;
constexpr auto kPatience = std::chrono::seconds(20);

// A one-way signal between threads.
class Flag {
 public:
  // Notifies under the lock: the waiter may destroy the flag as soon as it
  // sees it set.
  void Set() {
    std::lock_guard<std::mutex> lock(mutex_);
    set_ = true;
    changed_.notify_all();
  }
  bool WaitSet() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, kPatience, [this] { return set_; });
  }
  bool IsSet() {
    std::lock_guard<std::mutex> lock(mutex_);
    return set_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool set_ = false;
};

// Polls a condition that another thread brings about (the platform offers no
// event for it); false when it never holds.
template <class Condition>
bool Eventually(Condition condition) {
  auto deadline = std::chrono::steady_clock::now() + kPatience;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(1));
  }
  return true;
}

struct Identity {
  DWORD threadId = 0;
  HANDLE handle = nullptr;
};

DWORD ReportIdentity(void* argument) {
  auto* identity = static_cast<Identity*>(argument);
  identity->threadId = GetCurrentThreadId();
  identity->handle = GetCurrentThreadHandle();
  return 42;
}

TEST(Threads, RunsAndReportsItsIdentityAndExitCode) {
  Identity identity;
  DWORD threadId = 0;
  HANDLE thread = CreateThread(nullptr, 0, ReportIdentity, &identity, 0, &threadId);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(threadId, identity.threadId);
  EXPECT_NE(GetCurrentThreadId(), threadId);
  EXPECT_EQ(thread, identity.handle);
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(42u, exitCode);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, 0));  // stays signalled
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_EQ(nullptr, GetCurrentThreadHandle());  // the test thread was not made here
}

DWORD WaitForFlag(void* argument) {
  static_cast<Flag*>(argument)->WaitSet();
  return 7;
}

TEST(Threads, WaitTimesOutWhileTheThreadRuns) {
  Flag release;
  HANDLE thread = CreateThread(nullptr, 0, WaitForFlag, &release, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 0));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 20));
  DWORD exitCode = 0;
  EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(STILL_ACTIVE, exitCode);
  release.Set();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_TRUE(GetExitCodeThread(thread, &exitCode));
  EXPECT_EQ(7u, exitCode);
  CloseHandle(thread);
}

struct Detached {
  Flag release;
  Flag done;
};

DWORD FinishAfterRelease(void* argument) {
  auto* state = static_cast<Detached*>(argument);
  state->release.WaitSet();
  state->done.Set();
  return 0;
}

TEST(Threads, ClosingARunningThreadLetsItFinish) {
  Detached state;
  std::size_t handlesBefore = fh::OpenHandleCount();
  HANDLE thread = CreateThread(nullptr, 0, FinishAfterRelease, &state, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_TRUE(CloseHandle(thread));
  EXPECT_EQ(handlesBefore, fh::OpenHandleCount());
  state.release.Set();
  EXPECT_TRUE(state.done.WaitSet());
}

struct Worker {
  std::atomic<int> stage{0};
  Flag mayProceed;
  DWORD suspendResult = 1234;
  DWORD foreignSuspend = 0;
  DWORD foreignError = 0;
  HANDLE other = nullptr;
};

DWORD SuspendingWorker(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  worker->mayProceed.WaitSet();
  worker->stage = 1;
  worker->suspendResult = SuspendThread(GetCurrentThreadHandle());
  worker->stage = 2;
  return 0;
}

TEST(Threads, SuspendedThreadWaitsForItsResume) {
  Worker worker;
  HANDLE thread = CreateThread(nullptr, 0, SuspendingWorker, &worker, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_FALSE(fh::IsThreadSuspended(thread));
  worker.mayProceed.Set();
  ASSERT_TRUE(Eventually([&] { return fh::IsThreadSuspended(thread); }));
  EXPECT_EQ(1, worker.stage.load());
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 50));
  EXPECT_EQ(1, worker.stage.load());
  EXPECT_EQ(1u, ResumeThread(thread));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(2, worker.stage.load());
  EXPECT_EQ(0u, worker.suspendResult);
  CloseHandle(thread);
}

TEST(Threads, ResumeBeforeSuspendIsNotLost) {
  Worker worker;
  HANDLE thread = CreateThread(nullptr, 0, SuspendingWorker, &worker, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(0u, ResumeThread(thread));  // not suspended yet: kept for later
  worker.mayProceed.Set();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(2, worker.stage.load());
  EXPECT_EQ(0u, worker.suspendResult);
  CloseHandle(thread);
}

DWORD SuspendTwice(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  worker->mayProceed.WaitSet();
  SuspendThread(GetCurrentThreadHandle());
  worker->stage = 1;
  SuspendThread(GetCurrentThreadHandle());
  worker->stage = 2;
  return 0;
}

TEST(Threads, EachEarlyResumeReleasesOneSuspend) {
  Worker worker;
  HANDLE thread = CreateThread(nullptr, 0, SuspendTwice, &worker, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  ResumeThread(thread);
  worker.mayProceed.Set();
  // One resume was banked: the second suspend waits.
  ASSERT_TRUE(Eventually([&] { return fh::IsThreadSuspended(thread); }));
  EXPECT_EQ(1, worker.stage.load());
  EXPECT_EQ(1u, ResumeThread(thread));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(2, worker.stage.load());
  CloseHandle(thread);
}

DWORD SuspendAnother(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  worker->foreignSuspend = SuspendThread(worker->other);
  worker->foreignError = GetLastError();
  return 0;
}

TEST(Threads, OnlyTheThreadItselfMaySuspend) {
  Flag release;
  HANDLE sleeper = CreateThread(nullptr, 0, WaitForFlag, &release, 0, nullptr);
  ASSERT_NE(nullptr, sleeper);
  EXPECT_EQ(static_cast<DWORD>(-1), SuspendThread(sleeper));
  EXPECT_EQ(ERROR_NOT_SUPPORTED, GetLastError());

  Worker worker;
  worker.other = sleeper;
  HANDLE thread = CreateThread(nullptr, 0, SuspendAnother, &worker, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(static_cast<DWORD>(-1), worker.foreignSuspend);
  EXPECT_EQ(ERROR_NOT_SUPPORTED, worker.foreignError);
  release.Set();
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(sleeper, INFINITE));
  CloseHandle(thread);
  CloseHandle(sleeper);
}

DWORD MarkRan(void* argument) {
  static_cast<Flag*>(argument)->Set();
  return 0;
}

TEST(Threads, CreatedSuspendedRunsOnlyAfterResume) {
  Flag ran;
  HANDLE thread = CreateThread(nullptr, 0, MarkRan, &ran, CREATE_SUSPENDED, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_TRUE(fh::IsThreadSuspended(thread));
  EXPECT_EQ(WAIT_TIMEOUT, WaitForSingleObject(thread, 50));
  EXPECT_FALSE(ran.IsSet());
  EXPECT_EQ(1u, ResumeThread(thread));
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_TRUE(ran.IsSet());
  CloseHandle(thread);
}

DWORD WaitForSelf(void* argument) {
  auto* result = static_cast<DWORD*>(argument);
  result[0] = WaitForSingleObject(GetCurrentThreadHandle(), INFINITE);
  result[1] = GetLastError();
  result[2] = WaitForSingleObject(GetCurrentThreadHandle(), 10);
  return 0;
}

TEST(Threads, WaitingForItselfFailsInsteadOfHanging) {
  DWORD result[3] = {};
  HANDLE thread = CreateThread(nullptr, 0, WaitForSelf, result, 0, nullptr);
  ASSERT_NE(nullptr, thread);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(thread, INFINITE));
  EXPECT_EQ(WAIT_FAILED, result[0]);
  EXPECT_EQ(ERROR_POSSIBLE_DEADLOCK, result[1]);
  EXPECT_EQ(WAIT_TIMEOUT, result[2]);
  CloseHandle(thread);
}

TEST(Threads, HandlesThatAreNoThreads) {
  for (HANDLE bad : {static_cast<HANDLE>(nullptr), INVALID_HANDLE_VALUE}) {
    EXPECT_EQ(WAIT_FAILED, WaitForSingleObject(bad, 0));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(static_cast<DWORD>(-1), SuspendThread(bad));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    EXPECT_EQ(static_cast<DWORD>(-1), ResumeThread(bad));
    EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
    DWORD code = 0;
    EXPECT_FALSE(GetExitCodeThread(bad, &code));
    EXPECT_FALSE(fh::IsThreadSuspended(bad));
  }
  EXPECT_EQ(nullptr, CreateThread(nullptr, 0, nullptr, nullptr, 0, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

}  // namespace
