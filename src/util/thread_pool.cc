#include "util/thread_pool.h"

#include "log/log.h"
#include "platform/handles.h"

namespace {

constexpr DWORD kThreadCallFailed = static_cast<DWORD>(-1);

}  // namespace

void InitThreadInfo() { LogTrace("\n\t@@@@@ Inside InitThreadInfo() @@@@@\n"); }

void ResetThreadInfo(ThreadInfo* array, std::uint16_t count) {
  if (array == nullptr) return;
  for (std::uint16_t i = 0; i < count; ++i) array[i].state = fh::kThreadSlotUnused;
}

void FreeThreadInfo(ThreadInfo* array, std::uint16_t count) {
  if (array == nullptr) return;
  for (std::uint16_t i = 0; i < count; ++i) {
    ThreadInfo& entry = array[i];
    if (entry.state.exchange(fh::kThreadSlotUnused) == fh::kThreadSlotUnused) continue;
    if (entry.thread != nullptr) CloseHandle(entry.thread);
    entry.thread = nullptr;
  }
}

HANDLE CreateNewThread(LPTHREAD_START_ROUTINE start, void* argument) {
  LogTrace("\n\t@@@@@ Inside CreateNewThread() @@@@@\n");
  HANDLE thread = CreateThread(nullptr, 0, start, argument, 0, nullptr);
  if (thread == nullptr) LogDebug("Unable to create Thread\n");
  return thread;
}

int CheckThreadPool(const ThreadInfo* array, std::uint16_t count, std::uint16_t* index,
                    std::uint16_t maximum) {
  LogTrace("\n\t@@@@@ Inside CheckThreadPool() @@@@@\n");
  if (array != nullptr) {
    for (std::uint16_t i = 0; i < count; ++i) {
      if (array[i].state.load() != fh::kThreadIdle) continue;
      if (index != nullptr) *index = i;
      return fh::kThreadPoolIdleFound;
    }
  }
  return count < maximum ? fh::kThreadPoolRoom : fh::kThreadPoolFull;
}

bool SuspendThreadInfo(ThreadInfo* entry) {
  if (entry == nullptr) return false;
  // The worker's own handle: the entry's handle may not be stored yet when a
  // new worker suspends itself for the first time.
  HANDLE self = GetCurrentThreadHandle();
  entry->state = fh::kThreadIdle;
  const bool resumed = self != nullptr && SuspendThread(self) != kThreadCallFailed;
  entry->state = fh::kThreadWorking;
  return resumed;
}

bool ResumeThreadInfo(ThreadInfo* entry) {
  if (entry == nullptr) return false;
  // Mark an idle entry working before its thread runs, so that a dispatcher's
  // next CheckThreadPool cannot pick the same worker a second time. The
  // worker cannot change an idle entry meanwhile: it sleeps until resumed.
  std::uint8_t idle = fh::kThreadIdle;
  const bool wasIdle = entry->state.compare_exchange_strong(idle, fh::kThreadWorking);
  if (ResumeThread(entry->thread) != kThreadCallFailed) return true;
  if (wasIdle) entry->state = fh::kThreadIdle;  // nothing was resumed: still idle
  return false;
}
