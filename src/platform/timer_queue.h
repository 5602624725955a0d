// Timer queues: each queue has one worker thread that runs the callbacks of
// its timers, one after the other, when they fall due. Callbacks therefore
// never run on the thread that armed them, and two callbacks of one queue
// never run at the same time.
//
// Deleting a queue cancels its pending timers (their callbacks never run)
// and waits until a callback that is running at that moment has returned, so
// that nothing a callback uses (the log file) is torn down under it. After
// DeleteTimerQueue returns, no callback of that queue runs again.
//
// Thread safety: every call may be made from any thread, callbacks included:
// a callback may arm further timers on its own queue (a one-shot timer that
// re-arms itself). A callback may also delete its own queue: pending timers
// are cancelled at once, and the worker ends when the callback returns (the
// call cannot wait for the callback that makes it). Two callbacks that each
// delete the other's queue wait for each other forever; don't.
#pragma once

#include "platform/handles.h"
#include "platform/win32_types.h"

// A timer callback: parameter as given when arming, timerOrWaitFired always
// TRUE (the timer elapsed).
using WAITORTIMERCALLBACK = void (*)(void* parameter, BOOL timerOrWaitFired);

// A new queue with its worker thread started; delete it with
// DeleteTimerQueue (CloseHandle does the same). Null with last error
// ERROR_NOT_ENOUGH_MEMORY when no thread or memory is left.
HANDLE CreateTimerQueue();

// Arms a timer on queue (null: the process-wide default queue) that calls
// callback(parameter, TRUE) once dueTime milliseconds from now, then, when
// period is not 0 and flags lack WT_EXECUTEONLYONCE, every period
// milliseconds until the queue is deleted. Other flags are accepted and
// ignored. *newTimer receives the timer's handle before the timer is armed
// (so a callback that re-arms into the same variable never races the
// caller's write); the handle belongs to the queue: it goes with the queue
// and is not to be closed with CloseHandle.
// FALSE with 87 for a null newTimer or callback, 6 for a queue that is not
// open or is being deleted, 8 when memory runs out.
BOOL CreateTimerQueueTimer(HANDLE* newTimer, HANDLE queue, WAITORTIMERCALLBACK callback,
                           void* parameter, DWORD dueTime, DWORD period, ULONG flags);

// Deletes queue as described above and returns TRUE. completionEvent: null
// or INVALID_HANDLE_VALUE, both of which wait (there are no event objects
// here); any other value fails with 6 and deletes nothing. FALSE with 6 for a
// queue that is not open (null included: the default queue lives as long as
// the process).
BOOL DeleteTimerQueueEx(HANDLE queue, HANDLE completionEvent);

// DeleteTimerQueueEx(queue, INVALID_HANDLE_VALUE).
BOOL DeleteTimerQueue(HANDLE queue);

namespace fh {

// For tests: cancels the default queue's pending timers, waits for its
// running callback and starts a fresh default queue on next use.
void ResetDefaultTimerQueue();

}  // namespace fh
