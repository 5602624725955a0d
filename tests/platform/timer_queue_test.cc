#include "platform/timer_queue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/last_error.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Generous: a condition that should hold within milliseconds is given this
// long before a test fails (slow sanitizer builds on a loaded machine).
constexpr auto kPatience = std::chrono::seconds(20);

// What callbacks record; the test thread waits on it for conditions.
struct Recorder {
  std::mutex mutex;
  std::condition_variable changed;
  int calls = 0;
  std::vector<int> order;
  std::vector<DWORD> threadIds;
  std::vector<Clock::time_point> times;

  void Record(int tag) {
    std::lock_guard<std::mutex> lock(mutex);
    ++calls;
    order.push_back(tag);
    threadIds.push_back(GetCurrentThreadId());
    times.push_back(Clock::now());
    changed.notify_all();
  }

  bool WaitForCalls(int count) {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return calls >= count; });
  }

  int Calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return calls;
  }
};

struct Tagged {
  Recorder* recorder;
  int tag;
};

// Holds a queue's worker inside a callback until the test opens it, so that
// timers can be armed behind it without a race against the clock.
struct Gate {
  std::mutex mutex;
  std::condition_variable changed;
  bool entered = false;
  bool open = false;

  void Pass() {
    std::unique_lock<std::mutex> lock(mutex);
    entered = true;
    changed.notify_all();
    changed.wait(lock, [&] { return open; });
  }
  void Open() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    changed.notify_all();
  }
  bool WaitUntilEntered() {
    std::unique_lock<std::mutex> lock(mutex);
    return changed.wait_for(lock, kPatience, [&] { return entered; });
  }
};

void GateCallback(void* parameter, BOOL /*fired*/) { static_cast<Gate*>(parameter)->Pass(); }

void RecordCallback(void* parameter, BOOL fired) {
  auto* tagged = static_cast<Tagged*>(parameter);
  EXPECT_TRUE(fired);
  tagged->recorder->Record(tagged->tag);
}

TEST(TimerQueue, OneShotFiresOnceAfterItsDueTimeOnAnotherThread) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  Recorder recorder;
  Tagged first{&recorder, 1};
  Tagged sentinel{&recorder, 2};
  HANDLE timer = nullptr;
  Clock::time_point armed = Clock::now();
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &first, 100, 0, 0));
  EXPECT_NE(nullptr, timer);
  // A later timer on the same queue: once it has run, the first had every
  // chance to run twice.
  HANDLE sentinelTimer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&sentinelTimer, queue, RecordCallback, &sentinel, 300, 0,
                                    WT_EXECUTEONLYONCE));
  EXPECT_NE(timer, sentinelTimer);
  ASSERT_TRUE(recorder.WaitForCalls(2));
  EXPECT_TRUE(DeleteTimerQueue(queue));

  EXPECT_EQ((std::vector<int>{1, 2}), recorder.order);
  EXPECT_GE(recorder.times[0] - armed, milliseconds(100));
  EXPECT_NE(GetCurrentThreadId(), recorder.threadIds[0]);
  EXPECT_EQ(recorder.threadIds[0], recorder.threadIds[1]);  // the queue's one worker
}

TEST(TimerQueue, TimersRunInDueOrder) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  // The worker waits at the gate while the timers are armed, so none runs
  // before the last is armed. Their order is that of their due times, which
  // the test takes from the moments it armed them (the thread may stall
  // between two arms); equal due times keep the arming order.
  Gate gate;
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, GateCallback, &gate, 0, 0, 0));
  ASSERT_TRUE(gate.WaitUntilEntered());
  Recorder recorder;
  Tagged tags[] = {{&recorder, 30}, {&recorder, 10}, {&recorder, 20}, {&recorder, 11}};
  const int dues[] = {90, 30, 60, 30};
  std::vector<std::pair<Clock::time_point, int>> expected;
  for (int i = 0; i < 4; ++i) {
    ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &tags[i],
                                      static_cast<DWORD>(dues[i]), 0, 0));
    expected.emplace_back(Clock::now() + milliseconds(dues[i]), tags[i].tag);
  }
  gate.Open();
  ASSERT_TRUE(recorder.WaitForCalls(4));
  EXPECT_TRUE(DeleteTimerQueue(queue));
  std::stable_sort(expected.begin(), expected.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  std::vector<int> expectedOrder;
  for (const auto& entry : expected) expectedOrder.push_back(entry.second);
  EXPECT_EQ(expectedOrder, recorder.order);
}

// The rotation timer's pattern: the callback arms the next one-shot timer on
// its own queue and stores its handle in a shared variable.
struct Rearming {
  HANDLE queue = nullptr;
  HANDLE lastTimer = nullptr;
  int remaining = 0;
  Recorder recorder;
};

void RearmingCallback(void* parameter, BOOL /*fired*/) {
  auto* state = static_cast<Rearming*>(parameter);
  state->recorder.Record(state->remaining);
  if (--state->remaining > 0) {
    EXPECT_TRUE(
        CreateTimerQueueTimer(&state->lastTimer, state->queue, RearmingCallback, state, 5, 0, 0));
  }
}

TEST(TimerQueue, CallbackRearmsOnItsOwnQueue) {
  Rearming state;
  state.queue = CreateTimerQueue();
  ASSERT_NE(nullptr, state.queue);
  state.remaining = 4;
  ASSERT_TRUE(
      CreateTimerQueueTimer(&state.lastTimer, state.queue, RearmingCallback, &state, 0, 0, 0));
  ASSERT_TRUE(state.recorder.WaitForCalls(4));
  EXPECT_TRUE(DeleteTimerQueue(state.queue));
  EXPECT_EQ((std::vector<int>{4, 3, 2, 1}), state.recorder.order);
}

TEST(TimerQueue, DeleteCancelsPendingTimers) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  Recorder recorder;
  Tagged soon{&recorder, 1};
  Tagged late{&recorder, 2};
  HANDLE timer = nullptr;
  // Far enough away that no stall of this thread lets them fall due first.
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &soon, 60000, 0, 0));
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &late, 3600000, 0, 0));
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_EQ(0, recorder.Calls());
}

struct SlowCallback {
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false;
  bool finished = false;
};

void SlowCallbackRoutine(void* parameter, BOOL /*fired*/) {
  auto* state = static_cast<SlowCallback*>(parameter);
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->started = true;
  }
  state->changed.notify_all();
  std::this_thread::sleep_for(milliseconds(300));
  std::lock_guard<std::mutex> lock(state->mutex);
  state->finished = true;
}

void WaitUntilStarted(SlowCallback& state) {
  std::unique_lock<std::mutex> lock(state.mutex);
  ASSERT_TRUE(state.changed.wait_for(lock, kPatience, [&] { return state.started; }));
}

bool Finished(SlowCallback& state) {
  std::lock_guard<std::mutex> lock(state.mutex);
  return state.finished;
}

TEST(TimerQueue, DeleteWaitsForTheRunningCallback) {
  SlowCallback state;
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, SlowCallbackRoutine, &state, 0, 0, 0));
  WaitUntilStarted(state);
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_TRUE(Finished(state));
}

TEST(TimerQueue, DeleteFromAnotherThreadWaitsToo) {
  SlowCallback state;
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, SlowCallbackRoutine, &state, 0, 0, 0));
  WaitUntilStarted(state);
  bool finishedWhenDeleted = false;
  std::thread deleter([&] {
    EXPECT_TRUE(DeleteTimerQueueEx(queue, nullptr));
    finishedWhenDeleted = Finished(state);
  });
  deleter.join();
  EXPECT_TRUE(finishedWhenDeleted);
}

TEST(TimerQueue, CloseHandleDeletesTheQueue) {
  SlowCallback state;
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, SlowCallbackRoutine, &state, 0, 0, 0));
  WaitUntilStarted(state);
  EXPECT_TRUE(CloseHandle(queue));
  EXPECT_TRUE(Finished(state));
  EXPECT_FALSE(DeleteTimerQueue(queue));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
}

struct SelfDeleting {
  HANDLE queue = nullptr;
  BOOL deleted = FALSE;
  BOOL secondDelete = TRUE;
  DWORD secondError = 0;
  Gate armed;  // opened once the test has armed its second timer
  Recorder recorder;
};

void SelfDeletingCallback(void* parameter, BOOL /*fired*/) {
  auto* state = static_cast<SelfDeleting*>(parameter);
  state->armed.Pass();
  state->deleted = DeleteTimerQueue(state->queue);
  state->secondDelete = DeleteTimerQueue(state->queue);
  state->secondError = GetLastError();
  state->recorder.Record(0);
}

TEST(TimerQueue, CallbackMayDeleteItsOwnQueue) {
  SelfDeleting state;
  state.queue = CreateTimerQueue();
  ASSERT_NE(nullptr, state.queue);
  Tagged later{&state.recorder, 1};
  Tagged sentinel{&state.recorder, 2};
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, state.queue, SelfDeletingCallback, &state, 0, 0, 0));
  // Due at once, but queued behind the deleting callback on the one worker.
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, state.queue, RecordCallback, &later, 0, 0, 0));
  state.armed.Open();
  ASSERT_TRUE(state.recorder.WaitForCalls(1));
  {
    std::lock_guard<std::mutex> lock(state.recorder.mutex);
    EXPECT_TRUE(state.deleted);
    EXPECT_FALSE(state.secondDelete);
    EXPECT_EQ(ERROR_INVALID_HANDLE, state.secondError);
  }
  // The pending timer went with the queue: a timer on the default queue,
  // armed now and run after the deleted queue's worker had its chance, sees
  // only the deleting callback's record.
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, RecordCallback, &sentinel, 50, 0, 0));
  ASSERT_TRUE(state.recorder.WaitForCalls(2));
  fh::ResetDefaultTimerQueue();
  EXPECT_EQ((std::vector<int>{0, 2}), state.recorder.order);
}

TEST(TimerQueue, PeriodicTimerRepeatsUntilTheQueueGoes) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  Recorder recorder;
  Tagged tick{&recorder, 1};
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &tick, 0, 10, 0));
  ASSERT_TRUE(recorder.WaitForCalls(3));
  EXPECT_TRUE(DeleteTimerQueue(queue));  // returns after the worker has ended
  int calls = recorder.Calls();
  EXPECT_EQ(calls, recorder.Calls());
  // With WT_EXECUTEONLYONCE the period is ignored.
  queue = CreateTimerQueue();
  Recorder once;
  Tagged single{&once, 1};
  Tagged sentinel{&once, 2};
  ASSERT_TRUE(
      CreateTimerQueueTimer(&timer, queue, RecordCallback, &single, 0, 10, WT_EXECUTEONLYONCE));
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &sentinel, 100, 0, 0));
  ASSERT_TRUE(once.WaitForCalls(2));
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_EQ((std::vector<int>{1, 2}), once.order);
}

TEST(TimerQueue, DefaultQueueServesANullQueue) {
  Recorder recorder;
  Tagged tagged{&recorder, 7};
  HANDLE timer = nullptr;
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, RecordCallback, &tagged, 10, 0, 0));
  ASSERT_TRUE(recorder.WaitForCalls(1));
  EXPECT_NE(GetCurrentThreadId(), recorder.threadIds[0]);
  // The default queue cannot be deleted; the test reset empties it.
  EXPECT_FALSE(DeleteTimerQueue(nullptr));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  Tagged never{&recorder, 8};
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, RecordCallback, &never, 3600000, 0, 0));
  fh::ResetDefaultTimerQueue();
  ASSERT_TRUE(CreateTimerQueueTimer(&timer, nullptr, RecordCallback, &tagged, 0, 0, 0));
  ASSERT_TRUE(recorder.WaitForCalls(2));
  fh::ResetDefaultTimerQueue();
  EXPECT_EQ((std::vector<int>{7, 7}), recorder.order);
}

TEST(TimerQueue, ManyThreadsArmOneQueue) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  Recorder recorder;
  constexpr int kThreads = 4;
  constexpr int kTimersEach = 25;
  std::vector<Tagged> tags(kThreads * kTimersEach, Tagged{&recorder, 0});
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kTimersEach; ++i) {
        HANDLE timer = nullptr;
        EXPECT_TRUE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &tags[t * kTimersEach + i],
                                          static_cast<DWORD>(i % 5), 0, 0));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_TRUE(recorder.WaitForCalls(kThreads * kTimersEach));
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_EQ(kThreads * kTimersEach, recorder.Calls());
}

TEST(TimerQueue, BadArguments) {
  HANDLE queue = CreateTimerQueue();
  ASSERT_NE(nullptr, queue);
  Recorder recorder;
  Tagged tagged{&recorder, 1};
  HANDLE timer = nullptr;
  EXPECT_FALSE(CreateTimerQueueTimer(nullptr, queue, RecordCallback, &tagged, 0, 0, 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_FALSE(CreateTimerQueueTimer(&timer, queue, nullptr, &tagged, 0, 0, 0));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_FALSE(
      CreateTimerQueueTimer(&timer, INVALID_HANDLE_VALUE, RecordCallback, &tagged, 0, 0, 0));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  // A completion event this platform does not have: nothing is deleted.
  HANDLE bogusEvent = reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x40));
  EXPECT_FALSE(DeleteTimerQueueEx(queue, bogusEvent));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_TRUE(DeleteTimerQueue(queue));
  EXPECT_FALSE(CreateTimerQueueTimer(&timer, queue, RecordCallback, &tagged, 0, 0, 0));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(DeleteTimerQueue(queue));
  EXPECT_EQ(0, recorder.Calls());
}

}  // namespace
