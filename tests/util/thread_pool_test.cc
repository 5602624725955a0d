#include "util/thread_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/handles.h"
#include "platform/threads.h"

namespace {

TEST(ThreadPoolTest, CheckThreadPoolFindsTheFirstIdleEntry) {
  struct Case {
    std::vector<std::uint8_t> states;
    std::uint16_t maximum;
    int result;
    std::uint16_t index;  // when result is 1
  };
  const Case cases[] = {
      {{2, 1, 1}, 3, fh::kThreadPoolIdleFound, 1},
      {{1, 2}, 2, fh::kThreadPoolIdleFound, 0},
      {{0, 2, 1}, 3, fh::kThreadPoolIdleFound, 2},
      {{2, 2, 2}, 3, fh::kThreadPoolFull, 0},
      {{2, 2}, 3, fh::kThreadPoolRoom, 0},
      {{}, 1, fh::kThreadPoolRoom, 0},
      {{}, 0, fh::kThreadPoolFull, 0},
      {{0, 0}, 2, fh::kThreadPoolFull, 0},  // unused slots are neither idle nor room
  };
  for (const Case& c : cases) {
    std::vector<ThreadInfo> pool(c.states.size());
    for (std::size_t i = 0; i < c.states.size(); ++i) pool[i].state = c.states[i];
    std::uint16_t index = 999;
    EXPECT_EQ(
        CheckThreadPool(pool.data(), static_cast<std::uint16_t>(pool.size()), &index, c.maximum),
        c.result);
    EXPECT_EQ(index, c.result == fh::kThreadPoolIdleFound ? c.index : 999);
  }
  EXPECT_EQ(CheckThreadPool(nullptr, 0, nullptr, 1), fh::kThreadPoolRoom);
}

TEST(ThreadPoolTest, ResetSetsEveryStateToUnused) {
  ThreadInfo pool[3];
  pool[0].state = fh::kThreadIdle;
  pool[2].state = fh::kThreadWorking;
  ResetThreadInfo(pool, 3);
  for (const ThreadInfo& entry : pool) EXPECT_EQ(entry.state, fh::kThreadSlotUnused);
}

// A worker that sleeps in its entry until it is resumed, counts its wake-ups,
// and sleeps again until told to stop.
struct Worker {
  ThreadInfo* entry = nullptr;
  std::atomic<int> wakeUps{0};
  std::atomic<bool> stop{false};
  std::atomic<bool> suspendFailed{false};
};

DWORD WorkerMain(void* argument) {
  auto* worker = static_cast<Worker*>(argument);
  while (!worker->stop) {
    if (!SuspendThreadInfo(worker->entry)) {
      worker->suspendFailed = true;
      return 1;
    }
    ++worker->wakeUps;
  }
  return 0;
}

void WaitForState(const ThreadInfo& entry, std::uint8_t state) {
  while (entry.state != state) std::this_thread::yield();
}

TEST(ThreadPoolTest, SuspendResumeCycleThroughThePool) {
  ThreadInfo pool[2];
  Worker worker;
  worker.entry = &pool[0];
  pool[0].state = fh::kThreadWorking;
  pool[0].thread = CreateNewThread(WorkerMain, &worker);
  ASSERT_NE(pool[0].thread, nullptr);

  for (int round = 1; round <= 3; ++round) {
    WaitForState(pool[0], fh::kThreadIdle);
    std::uint16_t index = 9;
    ASSERT_EQ(CheckThreadPool(pool, 1, &index, 2), fh::kThreadPoolIdleFound);
    EXPECT_EQ(index, 0);
    EXPECT_TRUE(ResumeThreadInfo(&pool[index]));
    while (worker.wakeUps < round) std::this_thread::yield();
  }
  worker.stop = true;
  WaitForState(pool[0], fh::kThreadIdle);
  ResumeThreadInfo(&pool[0]);
  EXPECT_EQ(WaitForSingleObject(pool[0].thread, 30000), WAIT_OBJECT_0);
  EXPECT_FALSE(worker.suspendFailed);
  EXPECT_EQ(worker.wakeUps, 4);

  const std::size_t handles = fh::OpenHandleCount();
  FreeThreadInfo(pool, 2);
  EXPECT_EQ(pool[0].state, fh::kThreadSlotUnused);
  EXPECT_EQ(pool[0].thread, nullptr);
  EXPECT_EQ(fh::OpenHandleCount(), handles - 1);
}

TEST(ThreadPoolTest, AResumedWorkerIsNotFoundIdleAgain) {
  ThreadInfo pool[1];
  Worker worker;
  worker.entry = &pool[0];
  pool[0].state = fh::kThreadWorking;
  pool[0].thread = CreateNewThread(WorkerMain, &worker);
  ASSERT_NE(pool[0].thread, nullptr);
  WaitForState(pool[0], fh::kThreadIdle);
  while (!fh::IsThreadSuspended(pool[0].thread)) std::this_thread::yield();

  std::uint16_t index = 9;
  ASSERT_EQ(CheckThreadPool(pool, 1, &index, 1), fh::kThreadPoolIdleFound);
  worker.stop = true;  // the job handed over: finish after this wake-up
  ASSERT_TRUE(ResumeThreadInfo(&pool[index]));
  // Before the worker has had a chance to run, the dispatcher looks again:
  // the entry it just woke must not be offered a second job.
  EXPECT_EQ(pool[0].state, fh::kThreadWorking);
  EXPECT_EQ(CheckThreadPool(pool, 1, &index, 1), fh::kThreadPoolFull);

  EXPECT_EQ(WaitForSingleObject(pool[0].thread, 30000), WAIT_OBJECT_0);
  EXPECT_EQ(worker.wakeUps, 1);
  FreeThreadInfo(pool, 1);
}

TEST(ThreadPoolTest, AFailedResumeLeavesTheEntryIdle) {
  ThreadInfo entry;
  entry.state = fh::kThreadIdle;  // no handle: nothing can be resumed
  EXPECT_FALSE(ResumeThreadInfo(&entry));
  EXPECT_EQ(entry.state, fh::kThreadIdle);
}

TEST(ThreadPoolTest, ResumeBeforeSuspendIsNotLost) {
  ThreadInfo entry;
  Worker worker;
  worker.entry = &entry;
  worker.stop = true;  // one suspend, then done
  std::atomic<bool> go{false};
  struct Start {
    Worker* worker;
    std::atomic<bool>* go;
  } start{&worker, &go};
  entry.state = fh::kThreadWorking;
  entry.thread = CreateNewThread(
      [](void* argument) -> DWORD {
        auto* s = static_cast<Start*>(argument);
        while (!*s->go) std::this_thread::yield();
        const bool resumed = SuspendThreadInfo(s->worker->entry);
        return resumed ? 0 : 1;
      },
      &start);
  ASSERT_NE(entry.thread, nullptr);
  EXPECT_TRUE(ResumeThreadInfo(&entry));  // before the worker suspends itself
  go = true;
  EXPECT_EQ(WaitForSingleObject(entry.thread, 30000), WAIT_OBJECT_0);
  DWORD exitCode = 99;
  EXPECT_TRUE(GetExitCodeThread(entry.thread, &exitCode));
  EXPECT_EQ(exitCode, 0u);
  EXPECT_EQ(entry.state, fh::kThreadWorking);
  FreeThreadInfo(&entry, 1);
}

TEST(ThreadPoolTest, SuspendFromAThreadNotStartedByThePoolFails) {
  ThreadInfo entry;
  bool resumed = true;
  std::thread foreign([&] { resumed = SuspendThreadInfo(&entry); });
  foreign.join();
  EXPECT_FALSE(resumed);
  EXPECT_EQ(entry.state, fh::kThreadWorking);
  EXPECT_FALSE(SuspendThreadInfo(nullptr));
  EXPECT_FALSE(ResumeThreadInfo(nullptr));
  EXPECT_FALSE(ResumeThreadInfo(&entry));  // no handle
}

TEST(ThreadPoolTest, CreateNewThreadWithoutRoutineGivesNone) {
  EXPECT_EQ(CreateNewThread(nullptr, nullptr), nullptr);
}

}  // namespace
