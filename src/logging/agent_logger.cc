#include "logging/agent_logger.h"

#include <cstdint>

#include "lock/object_lock.h"
#include "log/log.h"
#include "log/log_file.h"
#include "logging/agent_settings.h"
#include "registry/registry_reader.h"

LONG InitAgentLogger(const char* fileName, const char* directory, int openMode) {
  InitMutex();
  LogTrace("\n\t@@@@@ Inside InitMutex() @@@@@\n");
  DWORD eventEnabled = 1;
  ReadEventEnabledFlag(&eventEnabled);  // read as the agent does; the log does not use it
  if (!InitLogDefaults()) return static_cast<LONG>(ERROR_INVALID_DATA);

  const std::uint8_t level = fh::ReadAgentLogLevel();
  if (!SetLogParams(fileName, directory, static_cast<std::int32_t>(fh::kAgentLogMaxSize), level)) {
    return static_cast<LONG>(ERROR_INVALID_DATA);
  }
  const bool opened =
      openMode == fh::kLogOpenOverwrite ? OpenLogFileOverwrite() : OpenLogFileAppend();
  return opened ? 0 : static_cast<LONG>(ERROR_INVALID_DATA);
}
