// A fixed pool of worker threads described by an array of ThreadInfo entries,
// one per worker, that a dispatcher scans for an idle worker to wake.
//
// The cycle: a worker that has finished its job calls SuspendThreadInfo on
// its own entry (state 1, idle, and it sleeps); the dispatcher finds it with
// CheckThreadPool, hands it work and calls ResumeThreadInfo, which marks the
// entry working (state 2) at once, so the next CheckThreadPool passes it
// over; the worker wakes and marks itself working too. A resume that reaches a worker before
// it has suspended itself is not lost: its next suspend returns at once.
//
// Thread safety: the state of an entry is atomic, so the worker and the
// dispatcher may touch it at the same time. The handle of an entry is set by
// the dispatcher (before it makes the entry known to others) and read by
// ResumeThreadInfo and FreeThreadInfo. ResetThreadInfo and FreeThreadInfo
// must not run while other threads use the array.
#pragma once

#include <atomic>
#include <cstdint>

#include "platform/threads.h"
#include "platform/win32_types.h"

namespace fh {

inline constexpr std::uint8_t kThreadSlotUnused = 0;
inline constexpr std::uint8_t kThreadIdle = 1;     // suspended, or about to suspend itself
inline constexpr std::uint8_t kThreadWorking = 2;  // resumed and working

inline constexpr int kThreadPoolIdleFound = 1;  // CheckThreadPool: index names an idle entry
inline constexpr int kThreadPoolRoom = 4;       // CheckThreadPool: room for a new thread
inline constexpr int kThreadPoolFull = 5;       // CheckThreadPool: the pool is full

}  // namespace fh

// One worker of a pool. Not a packed 5-byte record: the state is an atomic
// byte and the handle a pointer-sized HANDLE, so an entry takes 16 bytes on
// 64-bit Linux. Arrays hold up to 65535 entries (counts are 16-bit).
struct ThreadInfo {
  std::atomic<std::uint8_t> state{fh::kThreadSlotUnused};
  HANDLE thread = nullptr;  // owned while state is not 0: FreeThreadInfo closes it
};

// Only logs "\n\t@@@@@ Inside InitThreadInfo() @@@@@\n".
void InitThreadInfo();

// Sets the state of the first count entries to 0 (unused). Handles are not
// closed: use FreeThreadInfo for entries in use.
void ResetThreadInfo(ThreadInfo* array, std::uint16_t count);

// Every one of the first count entries whose state is not 0 is set back to 0
// and its handle closed with CloseHandle (the handle becomes null). Closing
// the handle does not stop the thread: a worker still suspended stays so.
void FreeThreadInfo(ThreadInfo* array, std::uint16_t count);

// Logs "\n\t@@@@@ Inside CreateNewThread() @@@@@\n" and starts a thread
// running start(argument). Its handle (the caller owns it, usually by storing
// it in an entry), or none with LogDebug("Unable to create Thread\n").
HANDLE CreateNewThread(LPTHREAD_START_ROUTINE start, void* argument);

// Logs "\n\t@@@@@ Inside CheckThreadPool() @@@@@\n". 1 with *index set to the
// first of the count entries whose state is 1 (idle); else 4 when count is
// below maximum (room for a new thread); else 5 (the pool is full). index may
// be null when the caller needs no index.
int CheckThreadPool(const ThreadInfo* array, std::uint16_t count, std::uint16_t* index,
                    std::uint16_t maximum);

// Called by a worker on its own entry: sets state 1, suspends the calling
// thread until a ResumeThreadInfo on the entry (at once when one came
// already), then sets state 2. true once resumed; false (state 2, nothing
// suspended) when entry is none or the calling thread was not started with
// CreateNewThread.
bool SuspendThreadInfo(ThreadInfo* entry);

// Resumes the entry's thread, or leaves the resume pending until the thread
// suspends itself. An idle entry (state 1) becomes working (state 2) before
// its thread runs. true once resumed; false when entry is none or its handle
// is not a thread (the state then stays as it was).
bool ResumeThreadInfo(ThreadInfo* entry);
