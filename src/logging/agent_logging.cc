#include "logging/agent_logging.h"

#include <deque>
#include <new>
#include <optional>
#include <string>

#include "lock/object_lock.h"
#include "log/log.h"
#include "log/log_file.h"
#include "log/status_texts.h"
#include "logging/rotation_timer.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"

namespace fh {

namespace {

constexpr char kLogsDirectoryName[] = "logs";

// Every record a timer may have been armed with; never freed, since a timer
// armed on the platform's default queue cannot be withdrawn.
struct TimerParamsStore {
  Mutex mutex;
  std::deque<LoggerTimerParams> records GUARDED_BY(mutex);
};

TimerParamsStore& ParamsStore() {
  static NoDestructor<TimerParamsStore> store;
  return store.get();
}

// A record that lives as long as the process.
LoggerTimerParams& NewTimerParams() {
  LoggerTimerParams params;  // built outside the lock: it may read the registry
  TimerParamsStore& store = ParamsStore();
  MutexLock hold(&store.mutex);
  return store.records.emplace_back(std::move(params));
}

}  // namespace

}  // namespace fh

LONG StartAgentLogging(const char* fileName) {
  try {
    LONG error = 0;
    const std::optional<std::string> installDir = fh::ReadAndKeepAgentInstallDir(&error);
    if (!installDir) return error;
    if (fileName == nullptr) return static_cast<LONG>(ERROR_INVALID_DATA);

    LoggerTimerParams& params = fh::NewTimerParams();
    params.fileName = fileName;
    // No separator: the kept install directory ends with one.
    params.directory = *installDir + fh::kLogsDirectoryName;
    params.keepCount = fh::kLogKeepCount;
    params.sizeThreshold = fh::kLogSizeThreshold;
    params.periodMs = fh::kLogRotationPeriodMs;
    params.openMode = fh::kLogOpenAppend;
    params.timerEnabled = 1;
    StartLoggerTimer(&params);
    return 0;
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LONG StopAgentLogging() {
  // The timer goes first, so no rotation runs while the log is closed.
  if (const DWORD error = fh::DeleteLoggerTimerQueue(); error != 0) {
    LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
    LogErrorCodeMessage(error);
  }
  CloseLogFile();
  FreeLogParams();
  fh::CloseMutex();
  return 0;
}

void fh::ResetAgentLoggingForTesting() {
  fh::DeleteLoggerTimerQueue();
  fh::ResetLogFileForTesting();
  fh::ForgetAgentInstallDir();
}
