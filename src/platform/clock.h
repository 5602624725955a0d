// Local time, thread identity and sleeping.
//
// Thread safety: every function may be called from any thread.
#pragma once

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
