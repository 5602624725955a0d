// Local time, thread identity and sleeping.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <cstdint>

#include "platform/win32_types.h"

// The current local time (the process's time zone, TZ honoured) with
// milliseconds. wDayOfWeek: 0 is Sunday. A null output is ignored.
void GetLocalTime(SYSTEMTIME* time);

// The calling thread's Linux thread id (the number ps -L and
// /proc/<pid>/task show); the main thread's equals the process id.
DWORD GetCurrentThreadId();

// Suspends the calling thread for at least ms milliseconds; 0 yields the
// processor, INFINITE never returns.
void Sleep(DWORD ms);

// The current time in whole seconds since 1970-01-01 00:00:00 UTC, read from
// the process's time source: the system clock unless a test installed its
// own (fh::SetUnixTimeSourceForTesting).
int64_t GetUnixTimeSeconds();

namespace fh {

// A replacement time source: returns seconds since 1970.
using UnixTimeSource = int64_t (*)();

// For tests that need a clock they move themselves (an age limit reached
// exactly): every later GetUnixTimeSeconds call, on every thread, reads
// source. None restores the system clock.
void SetUnixTimeSourceForTesting(UnixTimeSource source);

}  // namespace fh
