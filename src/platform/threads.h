// Threads as the Win32 thread calls present them, including a thread that
// suspends itself until another thread resumes it.
//
// Suspending: Linux offers no way to stop another thread at an arbitrary
// point, so SuspendThread works only on the calling thread's own handle: the
// thread waits on its own gate until ResumeThread opens it. The gate counts
// resumes: a resume that arrives before the suspend is kept, and the next
// SuspendThread returns at once. (Windows would instead ignore a resume of a
// running thread; counting them keeps a dispatcher that resumes a worker
// just before the worker suspends itself from losing the wake-up.)
//
// Thread safety: every call may be made from any thread.
#pragma once

#include <cstddef>

#include "platform/handles.h"
#include "platform/win32_types.h"

using LPTHREAD_START_ROUTINE = DWORD (*)(void* argument);

// Starts a thread running start(argument) and returns its handle (close it
// with CloseHandle; closing does not stop the thread, which then runs on
// detached), or null with last error ERROR_NOT_ENOUGH_MEMORY when no thread
// can be started, ERROR_INVALID_PARAMETER for a null start. flags:
// CREATE_SUSPENDED makes the thread wait for a ResumeThread before start
// runs; other flags are ignored, as are security and stackSize (threads get
// the default stack). *threadId (optional) receives the thread's
// GetCurrentThreadId value. GetCurrentThreadHandle() in the new thread
// returns the same handle.
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    void* argument, DWORD flags, DWORD* threadId);

// For a thread handle: WAIT_OBJECT_0 once the thread's start routine has
// returned, WAIT_TIMEOUT when that does not happen within milliseconds
// (INFINITE: no limit). WAIT_FAILED with 6 for a handle that cannot be
// waited for, and with ERROR_POSSIBLE_DEADLOCK (1131) for a thread that
// waits for itself without a time limit.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds);

// The value the thread's start routine returned, or STILL_ACTIVE (259) while
// it runs. FALSE with 6 for a handle that is not a thread, 87 for a null
// output.
BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode);

// Suspends the calling thread, whose own handle thread must be, until a
// ResumeThread on it (at once when a resume is pending). Returns 0 (its
// previous suspend count) after it was resumed; (DWORD)-1 with
// ERROR_NOT_SUPPORTED (50) for another thread's handle, 6 for a handle that
// is not a thread.
DWORD SuspendThread(HANDLE thread);

// Resumes a thread suspended by SuspendThread or CREATE_SUSPENDED, or leaves
// the resume pending for its next SuspendThread. Returns the previous
// suspend count: 1 when the thread was suspended, 0 when not; (DWORD)-1 with
// 6 for a handle that is not a thread.
DWORD ResumeThread(HANDLE thread);

// The calling thread's own handle when CreateThread started it, else null.
// The value stays what CreateThread returned, even after that handle was
// closed (calls with it then fail with 6).
HANDLE GetCurrentThreadHandle();

namespace fh {

// True while the thread waits in SuspendThread, or was created suspended and
// has not been resumed yet. False for a handle that is not a thread.
bool IsThreadSuspended(HANDLE thread);

}  // namespace fh
