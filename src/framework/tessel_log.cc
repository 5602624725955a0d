#include "framework/tessel_log.h"

#include <optional>
#include <string>

#include "log/log.h"
#include "log/log_file.h"
#include "logging/rotation.h"
#include "logging/rotation_timer.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "platform/paths.h"
#include "platform/timer_queue.h"

namespace fh {

namespace {

struct RotationState {
  Mutex mutex;
  HANDLE queue GUARDED_BY(mutex) = nullptr;
};

RotationState& State() {
  static NoDestructor<RotationState> state;
  return state.get();
}

void OnTimer(void* /*parameter*/, BOOL /*fired*/) { RotateFrameworkLogBySize(); }

}  // namespace

void RotateFrameworkLogBySize() {
  const LogSettingsSnapshot log = GetLogSettingsSnapshot();
  if (!log.isOpen || !log.fullPath || !log.fileName) return;
  const std::string directory = ParentOfNormalized(NormalizePath(*log.fullPath));
  RotateLoggerForEverRunningProcess(directory.c_str(), log.fileName->c_str(), kLogKeepCount,
                                    static_cast<DWORD>(kLogSizeThreshold));
}

bool StartFrameworkLogRotation() {
  if (!GetLogSettingsSnapshot().isOpen) return false;
  RotateFrameworkLogBySize();
  StopFrameworkLogRotation();
  RotationState& state = State();
  MutexLock lock(&state.mutex);
  state.queue = CreateTimerQueue();
  HANDLE timer = nullptr;  // goes with the queue
  if (state.queue != nullptr &&
      CreateTimerQueueTimer(&timer, state.queue, OnTimer, nullptr,
                            static_cast<DWORD>(kLogRotationPeriodMs),
                            static_cast<DWORD>(kLogRotationPeriodMs), 0)) {
    return true;
  }
  LogError("The framework log's rotation timer cannot be armed.\n");
  return false;
}

void StopFrameworkLogRotation() {
  HANDLE queue = nullptr;
  {
    RotationState& state = State();
    MutexLock lock(&state.mutex);
    queue = state.queue;
    state.queue = nullptr;
  }
  // Outside the lock: a running check finishes first.
  if (queue != nullptr) DeleteTimerQueue(queue);
}

}  // namespace fh
