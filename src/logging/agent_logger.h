// Opening the agent's log with the agent's settings: the step that the
// rotation timer's start-up ends with, once the log has been rotated.
//
// Thread safety: called from the thread that starts the process's logging;
// other threads may log meanwhile (their lines are dropped until the log is
// open).
#pragma once

#include "platform/win32_types.h"

namespace fh {

inline constexpr DWORD kAgentLogMaxSize = 10000000;
inline constexpr int kLogOpenAppend = 1;
inline constexpr int kLogOpenOverwrite = 2;

}  // namespace fh

// Opens the log fileName in directory: InitMutex (and its trace line), the
// event flag, the defaults, the level from "FHAgentLogLevel" (low 8 bits; 2
// when it cannot be read), SetLogParams with maxSize 10000000, then
// OpenLogFileOverwrite for openMode 2, else OpenLogFileAppend. 0 on success,
// 13 on any failure.
LONG InitAgentLogger(const char* fileName, const char* directory, int openMode);
