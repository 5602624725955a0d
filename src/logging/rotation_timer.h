// The rotation timer of a long-running process: at start-up the log is
// rotated once (when it has reached its threshold) and a one-shot timer is
// armed on a timer queue; each time the timer fires, the callback rotates
// again and arms the next one. Since the next timer is armed only after the
// rotation has finished, rotations never overlap.
//
// Thread safety: the callback runs on a timer thread, concurrently with the
// process's own threads; it shares with them only the log. The params record
// must stay valid and unchanged while a timer may fire (StartAgentLogging
// keeps its record for the life of the process). The queue handle is guarded
// by its own lock; DeleteLoggerTimerQueue waits for a running callback and
// no timer is armed after it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/timer_queue.h"
#include "platform/win32_types.h"

namespace fh {

inline constexpr std::int32_t kLogKeepCount = 5;
inline constexpr std::int32_t kLogSizeThreshold = 2000000;
inline constexpr std::int32_t kLogRotationPeriodMs = 900000;  // 15 minutes

}  // namespace fh

struct LoggerTimerParams {
  // fileName "computer.log", directory the agent's install directory +
  // "logs" (read from the registry when not yet known; "logs" alone when it
  // cannot be read), keepCount 5, sizeThreshold 2000000, periodMs 900000,
  // openMode 1, timerEnabled 1.
  LoggerTimerParams();

  std::string fileName;
  std::string directory;
  std::int32_t keepCount = fh::kLogKeepCount;
  std::int32_t sizeThreshold = fh::kLogSizeThreshold;  // bytes
  std::int32_t periodMs = fh::kLogRotationPeriodMs;
  std::int32_t openMode = 1;  // 1 append, 2 overwrite (InitAgentLogger)
  std::uint8_t timerEnabled = 1;
};

// timerEnabled set: creates the timer queue (on failure the timer goes to the
// platform's default queue) and calls LoggerTimerMethod. Clear: rotates once
// and arms nothing. Then opens the log and returns InitAgentLogger's result
// (0 or 13). params must stay valid while a timer may fire.
LONG StartLoggerTimer(LoggerTimerParams* params);

// Rotates the log (RotateLoggerForEverRunningProcess) and arms the next
// one-shot timer, due after periodMs. 0 when armed (or when the timer has
// been stopped, so nothing is armed), else the system error code.
DWORD LoggerTimerMethod(LoggerTimerParams* params);

// The timer callback: params is the LoggerTimerParams record; fired is
// ignored. After DeleteLoggerTimerQueue (until the next StartLoggerTimer) it
// does nothing, so a timer that outlived the stop on the platform's default
// queue neither rotates nor re-arms.
void LoggerTimerRoutine(void* params, BOOL fired);

namespace fh {

// The timer queue, or null when none exists.
HANDLE GetLoggerTimerQueue();

// Deletes the timer queue, cancelling the pending timer and waiting for a
// callback that is running (also one of the default queue); afterwards no
// timer is armed and no callback acts until the next StartLoggerTimer. 0
// (also when there is no queue) or the error code of the deletion. Not to be
// called from the timer callback.
DWORD DeleteLoggerTimerQueue();

}  // namespace fh
