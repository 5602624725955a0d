#include "platform/timer_queue.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "platform/thread_annotations.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timer {
  WAITORTIMERCALLBACK callback;
  void* parameter;
  std::chrono::milliseconds period;  // zero: one-shot
};

// What a queue's handle object and its worker thread share: the pending
// timers ordered by due time (equal due times keep their arming order) and
// the stop flag.
class QueueCore {
 public:
  // False when the queue is stopping (the timer is not armed).
  bool Arm(Clock::time_point due, const Timer& timer) EXCLUDES(mutex_) {
    {
      fh::MutexLock lock(&mutex_);
      if (stopping_) return false;
      pending_.emplace(due, timer);
    }
    wake_.notify_one();
    return true;
  }

  // Drops every pending timer and tells the worker to end.
  void Stop() EXCLUDES(mutex_) {
    {
      fh::MutexLock lock(&mutex_);
      stopping_ = true;
      pending_.clear();
    }
    wake_.notify_all();
  }

  // The worker's loop: sleeps until the earliest timer is due, or a timer
  // is armed, or the queue stops; runs each due callback without the lock.
  void Run() EXCLUDES(mutex_) {
    fh::MutexLock lock(&mutex_);
    while (!stopping_) {
      if (pending_.empty()) {
        wake_.wait(mutex_);
        continue;
      }
      auto first = pending_.begin();
      Clock::time_point due = first->first;
      if (Clock::now() < due) {
        wake_.wait_until(mutex_, due);
        continue;
      }
      Timer timer = first->second;
      pending_.erase(first);
      lock.Unlock();
      timer.callback(timer.parameter, TRUE);
      lock.Lock();
      if (timer.period.count() != 0 && !stopping_) RearmLocked(due, timer);
    }
  }

 private:
  void RearmLocked(Clock::time_point lastDue, const Timer& timer) REQUIRES(mutex_) {
    try {
      pending_.emplace(std::max(lastDue + timer.period, Clock::now()), timer);
    } catch (const std::bad_alloc&) {
      // A periodic timer that cannot be re-armed ends; nothing else can be
      // done on the worker.
    }
  }

  fh::Mutex mutex_;
  std::condition_variable_any wake_;  // notified when a timer is armed or the queue stops
  bool stopping_ GUARDED_BY(mutex_) = false;
  std::multimap<Clock::time_point, Timer> pending_ GUARDED_BY(mutex_);
};

// A queue behind a HANDLE: owns the worker thread. The worker holds its own
// reference to the core, so the core outlives a worker that was left to
// finish on its own (a queue deleted from its own callback).
class TimerQueueObject : public fh::HandleObject {
 public:
  // Throws std::system_error or std::bad_alloc when the worker cannot start.
  TimerQueueObject() : core_(std::make_shared<QueueCore>()) {
    std::shared_ptr<QueueCore> core = core_;
    worker_ = std::thread([core] { core->Run(); });
  }

  ~TimerQueueObject() override { Shutdown(); }

  bool Arm(Clock::time_point due, const Timer& timer) { return core_->Arm(due, timer); }

  // Cancels pending timers and waits for the worker to end (and with it a
  // running callback). On the worker itself the wait is impossible: the
  // worker is left to end when the callback returns.
  void Shutdown() {
    std::call_once(shutdownOnce_, [this] {
      core_->Stop();
      if (!worker_.joinable()) return;
      if (worker_.get_id() == std::this_thread::get_id()) {
        worker_.detach();
      } else {
        worker_.join();
      }
    });
  }

 private:
  std::shared_ptr<QueueCore> core_;
  std::thread worker_;
  std::once_flag shutdownOnce_;
};

// The process-wide default queue, started on first use.
class DefaultQueue {
 public:
  std::shared_ptr<TimerQueueObject> Get() EXCLUDES(mutex_) {
    fh::MutexLock lock(&mutex_);
    if (queue_ == nullptr) queue_ = std::make_shared<TimerQueueObject>();
    return queue_;
  }

  std::shared_ptr<TimerQueueObject> Take() EXCLUDES(mutex_) {
    fh::MutexLock lock(&mutex_);
    return std::move(queue_);
  }

 private:
  fh::Mutex mutex_;
  std::shared_ptr<TimerQueueObject> queue_ GUARDED_BY(mutex_);
};

DefaultQueue& TheDefaultQueue() {
  static fh::NoDestructor<DefaultQueue> queue;
  return queue.get();
}

}  // namespace

HANDLE CreateTimerQueue() {
  try {
    return fh::RegisterHandle(std::make_shared<TimerQueueObject>());
  } catch (const std::bad_alloc&) {
  } catch (const std::system_error&) {
  }
  SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  return nullptr;
}

BOOL CreateTimerQueueTimer(HANDLE* newTimer, HANDLE queue, WAITORTIMERCALLBACK callback,
                           void* parameter, DWORD dueTime, DWORD period, ULONG flags) {
  if (newTimer == nullptr || callback == nullptr)
    return FailWithCode(ERROR_INVALID_PARAMETER, FALSE);
  std::shared_ptr<TimerQueueObject> target;
  try {
    target = queue == nullptr ? TheDefaultQueue().Get() : fh::FindHandleAs<TimerQueueObject>(queue);
  } catch (const std::bad_alloc&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  } catch (const std::system_error&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  if (target == nullptr) return FailWithCode(ERROR_INVALID_HANDLE, FALSE);

  const bool once = (flags & WT_EXECUTEONLYONCE) != 0;
  Timer timer{callback, parameter, std::chrono::milliseconds(once ? 0 : period)};
  Clock::time_point due = Clock::now() + std::chrono::milliseconds(dueTime);
  // The handle is stored before the timer is armed, so the caller's variable
  // is written before the callback can run (and re-arm into it).
  *newTimer = fh::ReserveHandleValue();
  try {
    if (!target->Arm(due, timer)) return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  } catch (const std::bad_alloc&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  return TRUE;
}

BOOL DeleteTimerQueueEx(HANDLE queue, HANDLE completionEvent) {
  if (completionEvent != nullptr && completionEvent != INVALID_HANDLE_VALUE) {
    return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  }
  std::shared_ptr<TimerQueueObject> object = fh::ReleaseHandleAs<TimerQueueObject>(queue);
  if (object == nullptr) return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  object->Shutdown();
  return TRUE;
}

BOOL DeleteTimerQueue(HANDLE queue) { return DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE); }

namespace fh {

void ResetDefaultTimerQueue() {
  std::shared_ptr<TimerQueueObject> queue = TheDefaultQueue().Take();
  if (queue != nullptr) queue->Shutdown();
}

}  // namespace fh
