#include "logging/rotation_timer.h"

#include <condition_variable>
#include <optional>
#include <utility>

#include "log/log.h"
#include "log/status_texts.h"
#include "logging/agent_logger.h"
#include "logging/agent_settings.h"
#include "logging/rotation.h"
#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"

namespace fh {
namespace {

constexpr int kMillisecondsPerMinute = 60000;

struct TimerState {
  Mutex mutex;                               // held while a timer is armed
  HANDLE queue GUARDED_BY(mutex) = nullptr;  // none until created
  bool stopped GUARDED_BY(mutex) = false;    // set by DeleteLoggerTimerQueue: arm nothing more
  int running GUARDED_BY(mutex) = 0;         // callbacks between EnterCallback and LeaveCallback
  std::condition_variable_any idle;          // notified when running drops to 0
};

TimerState& Timers() {
  static NoDestructor<TimerState> state;
  return state.get();
}

// Makes queue (or none: the platform's default queue) the one timers are
// armed on, and lets timers be armed again.
void InstallQueue(HANDLE queue) {
  TimerState& state = Timers();
  fh::MutexLock hold(&state.mutex);
  state.queue = queue;
  state.stopped = false;
}

// Admits one firing of the timer, unless it has been stopped: a timer armed
// on the platform's default queue (when no queue of our own could be made)
// is not cancelled by the stop, and its late firing must do nothing.
bool EnterCallback() {
  TimerState& state = Timers();
  fh::MutexLock hold(&state.mutex);
  if (state.stopped) return false;
  ++state.running;
  return true;
}

void LeaveCallback() {
  TimerState& state = Timers();
  fh::MutexLock hold(&state.mutex);
  if (--state.running == 0) state.idle.notify_all();
}

// Waits until no admitted callback is running.
void WaitForCallbacks() {
  TimerState& state = Timers();
  MutexLock hold(&state.mutex);
  state.idle.wait(state.mutex, [&state]() REQUIRES(state.mutex) { return state.running == 0; });
}

}  // namespace
}  // namespace fh

LoggerTimerParams::LoggerTimerParams() : fileName("computer.log") {
  LONG error = 0;
  const std::optional<std::string> installDir = fh::AgentInstallDirOrRead(&error);
  directory = installDir.value_or(std::string()) + "logs";
}

LONG StartLoggerTimer(LoggerTimerParams* params) {
  if (params == nullptr) return static_cast<LONG>(ERROR_INVALID_DATA);
  if (params->timerEnabled != 0) {
    // Only one rotation timer runs per process: a queue left by an earlier
    // start goes first (its callbacks arm nothing more once it is stopped).
    fh::DeleteLoggerTimerQueue();
    const HANDLE queue = CreateTimerQueue();
    const DWORD createError = queue == nullptr ? GetLastError() : 0;
    fh::InstallQueue(queue);
    if (queue != nullptr) {
      LogInfo("ServiceMain : TimerQueue is created successfully \n");
    } else {
      LogError("ServiceMain : CreateTimerQueue is failed due to following error !! \n");
      LogErrorCodeMessage(createError);
    }
    LoggerTimerMethod(params);
  } else {
    RotateLoggerForEverRunningProcess(params->directory.c_str(), params->fileName.c_str(),
                                      params->keepCount, static_cast<DWORD>(params->sizeThreshold));
  }
  return InitAgentLogger(params->fileName.c_str(), params->directory.c_str(), params->openMode);
}

DWORD LoggerTimerMethod(LoggerTimerParams* params) {
  if (params == nullptr) return ERROR_INVALID_PARAMETER;
  RotateLoggerForEverRunningProcess(params->directory.c_str(), params->fileName.c_str(),
                                    params->keepCount, static_cast<DWORD>(params->sizeThreshold));
  DWORD error = 0;
  {
    fh::TimerState& state = fh::Timers();
    fh::MutexLock hold(&state.mutex);
    if (state.stopped) return 0;
    HANDLE timer = nullptr;  // goes with the queue
    if (!CreateTimerQueueTimer(&timer, state.queue, LoggerTimerRoutine, params,
                               static_cast<DWORD>(params->periodMs), 0, WT_EXECUTEDEFAULT)) {
      error = GetLastError();
    }
  }
  if (error == 0) {
    LogDebug("LoggerTimerMethod : Registered the TimerRoutime callback in next %d minutes . \n",
             static_cast<int>(params->periodMs / fh::kMillisecondsPerMinute));
    return 0;
  }
  LogError("LoggerTimerMethod : CreateTimerQueueTimer failed due to following error \n");
  LogErrorCodeMessage(error);
  return error;
}

void LoggerTimerRoutine(void* params, BOOL /*fired*/) {
  if (!fh::EnterCallback()) return;
  LogInfo("LoggerTimerRoutine : Inside LoggerTimerRoutine Method\n");
  LoggerTimerMethod(static_cast<LoggerTimerParams*>(params));
  LogInfo("LoggerTimerRoutine : End of LoggerTimerRoutine Method\n");
  fh::LeaveCallback();
}

HANDLE fh::GetLoggerTimerQueue() {
  fh::TimerState& state = fh::Timers();
  fh::MutexLock hold(&state.mutex);
  return state.queue;
}

DWORD fh::DeleteLoggerTimerQueue() {
  HANDLE queue = nullptr;
  {
    fh::TimerState& state = fh::Timers();
    fh::MutexLock hold(&state.mutex);
    // From here on a callback that is still running arms nothing, so the
    // queue is empty once its deletion has waited for that callback.
    state.stopped = true;
    queue = std::exchange(state.queue, nullptr);
  }
  DWORD error = 0;
  if (queue != nullptr && !DeleteTimerQueue(queue)) error = GetLastError();
  // A callback of the default queue is not waited for by any deletion.
  fh::WaitForCallbacks();
  return error;
}
