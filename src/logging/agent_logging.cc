#include "logging/agent_logging.h"

#include <deque>
#include <mutex>
#include <new>

#include "logging/log.h"
#include "logging/log_file.h"
#include "logging/rotation_timer.h"
#include "platform/no_destructor.h"
#include "registry/registry_reader.h"
#include "tool/status_texts.h"
#include "util/object_lock.h"

namespace fh {
namespace {

constexpr char kLogLevelValueName[] = "FHAgentLogLevel";
constexpr char kLogsDirectoryName[] = "logs";

struct AgentLoggingState {
  std::mutex mutex;                       // guards installDir and timerParams
  std::optional<std::string> installDir;  // read at start-up, kept for the process
  // Every record a timer may have been armed with; never freed, since a
  // timer armed on the platform's default queue cannot be withdrawn.
  std::deque<LoggerTimerParams> timerParams;
};

AgentLoggingState& AgentState() {
  static NoDestructor<AgentLoggingState> state;
  return state.get();
}

// Reads the install directory; none with *error set when it cannot be read.
std::optional<std::string> ReadInstallDir(LONG* error) {
  std::optional<std::string> buffer;
  *error = ReadAgentInstallDir(buffer);
  if (*error != 0) return std::nullopt;
  // The buffer carries spare zero bytes after the text.
  return std::string(buffer ? buffer->c_str() : "");
}

void StoreInstallDir(const std::string& installDir) {
  AgentLoggingState& state = AgentState();
  std::lock_guard<std::mutex> hold(state.mutex);
  state.installDir = installDir;
}

// A record that lives as long as the process.
LoggerTimerParams& NewTimerParams() {
  LoggerTimerParams params;  // built outside the lock: it may read the registry
  AgentLoggingState& state = AgentState();
  std::lock_guard<std::mutex> hold(state.mutex);
  return state.timerParams.emplace_back(std::move(params));
}

}  // namespace

std::optional<std::string> AgentInstallDirOrRead(LONG* error) {
  LONG ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  try {
    if (std::optional<std::string> known = GetAgentInstallDir()) return known;
    std::optional<std::string> installDir = ReadInstallDir(error);
    if (installDir) StoreInstallDir(*installDir);
    return installDir;
  } catch (const std::bad_alloc&) {
    *error = static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
    return std::nullopt;
  }
}

}  // namespace fh

LONG StartAgentLogging(const char* fileName) {
  try {
    LONG error = 0;
    const std::optional<std::string> installDir = fh::ReadInstallDir(&error);
    if (!installDir) return error;
    fh::StoreInstallDir(*installDir);
    if (fileName == nullptr) return static_cast<LONG>(ERROR_INVALID_DATA);

    LoggerTimerParams& params = fh::NewTimerParams();
    params.fileName = fileName;
    // No separator: the stored install directory ends with one.
    params.directory = *installDir + fh::kLogsDirectoryName;
    params.keepCount = kLogKeepCount;
    params.sizeThreshold = kLogSizeThreshold;
    params.periodMs = kLogRotationPeriodMs;
    params.openMode = kLogOpenAppend;
    params.timerEnabled = 1;
    StartLoggerTimer(&params);
    return 0;
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LONG InitAgentLogger(const char* fileName, const char* directory, int openMode) {
  InitMutex();
  DWORD eventEnabled = 1;
  ReadEventEnabledFlag(&eventEnabled);  // read as the agent does; the log does not use it
  if (!InitLogDefaults()) return static_cast<LONG>(ERROR_INVALID_DATA);

  DWORD levelValue = 0;
  std::uint8_t level = kAgentLogDefaultLevel;
  if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, AGENT_REGISTRY_ROOT, fh::kLogLevelValueName,
                            &levelValue) == ERROR_SUCCESS) {
    level = static_cast<std::uint8_t>(levelValue & 0xFFu);  // 256 gives 0, 260 gives 4
  }
  if (!SetLogParams(fileName, directory, static_cast<std::int32_t>(kAgentLogMaxSize), level)) {
    return static_cast<LONG>(ERROR_INVALID_DATA);
  }
  const bool opened = openMode == kLogOpenOverwrite ? OpenLogFileOverwrite() : OpenLogFileAppend();
  return opened ? 0 : static_cast<LONG>(ERROR_INVALID_DATA);
}

LONG StopAgentLogging() {
  // The timer goes first, so no rotation runs while the log is closed.
  if (const DWORD error = DeleteLoggerTimerQueue(); error != 0) {
    LogError("ServiceMain : DeleteTimerQueue is failed due to following error !! \n");
    LogErrorCodeMessage(error);
  }
  CloseLogFile();
  FreeLogParams();
  CloseMutex();
  return 0;
}

std::optional<std::string> GetAgentInstallDir() {
  fh::AgentLoggingState& state = fh::AgentState();
  std::lock_guard<std::mutex> hold(state.mutex);
  try {
    return state.installDir;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

void ResetAgentLoggingForTesting() {
  DeleteLoggerTimerQueue();
  ResetLogFileForTesting();
  fh::AgentLoggingState& state = fh::AgentState();
  std::lock_guard<std::mutex> hold(state.mutex);
  state.installDir.reset();
}
