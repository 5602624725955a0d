#include "platform/threads.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <new>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/clock.h"
#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/thread_annotations.h"

namespace {

constexpr DWORD kSuspendFailed = static_cast<DWORD>(-1);

// What a thread and its handle share.
struct ThreadState {
  fh::Mutex mutex;
  std::condition_variable_any changed;  // notified on every change below
  // Start-up handshake: the thread reports its id, then waits until
  // CreateThread has registered the handle (go) or given up (abandoned).
  bool idKnown GUARDED_BY(mutex) = false;
  DWORD threadId GUARDED_BY(mutex) = 0;
  bool go GUARDED_BY(mutex) = false;
  bool abandoned GUARDED_BY(mutex) = false;
  HANDLE handle GUARDED_BY(mutex) = nullptr;
  // The gate: resumes not yet consumed by a suspend, and whether the thread
  // waits at the gate now.
  unsigned pendingResumes GUARDED_BY(mutex) = 0;
  bool suspended GUARDED_BY(mutex) = false;
  // The end.
  bool finished GUARDED_BY(mutex) = false;
  DWORD exitCode GUARDED_BY(mutex) = 0;
};

// The state of the calling thread when CreateThread started it. The thread
// holds its state alive while it runs, so the pointer stays valid.
thread_local ThreadState* t_currentThread = nullptr;

// The calling thread waits at its own gate until a resume is available, and
// consumes it.
void PassGate(ThreadState& state) {
  fh::MutexLock lock(&state.mutex);
  if (state.pendingResumes == 0) {
    state.suspended = true;
    state.changed.notify_all();
    while (state.pendingResumes == 0) state.changed.wait(state.mutex);
    state.suspended = false;
  }
  --state.pendingResumes;
}

void RunThread(const std::shared_ptr<ThreadState>& state, LPTHREAD_START_ROUTINE start,
               void* argument, bool createSuspended) {
  {
    fh::MutexLock lock(&state->mutex);
    state->threadId = GetCurrentThreadId();
    state->idKnown = true;
    state->suspended = createSuspended;
    state->changed.notify_all();
    while (!state->go && !state->abandoned) state->changed.wait(state->mutex);
    if (state->abandoned) {
      state->finished = true;
      return;
    }
  }
  t_currentThread = state.get();
  if (createSuspended) PassGate(*state);
  DWORD exitCode = start(argument);
  t_currentThread = nullptr;
  {
    fh::MutexLock lock(&state->mutex);
    state->exitCode = exitCode;
    state->finished = true;
  }
  state->changed.notify_all();
}

// A thread behind a HANDLE. Owns the std::thread: joins it when it has
// finished, detaches it otherwise (the thread keeps its state alive itself).
class ThreadObject : public fh::HandleObject {
 public:
  ThreadObject() : state_(std::make_shared<ThreadState>()) {}

  ~ThreadObject() override {
    if (!thread_.joinable()) return;
    bool finished;
    {
      fh::MutexLock lock(&state_->mutex);
      finished = state_->finished;
    }
    if (finished && thread_.get_id() != std::this_thread::get_id()) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }

  // Throws std::system_error or std::bad_alloc when no thread can start.
  void Start(LPTHREAD_START_ROUTINE start, void* argument, bool createSuspended) {
    std::shared_ptr<ThreadState> state = state_;
    thread_ = std::thread([state, start, argument, createSuspended] {
      RunThread(state, start, argument, createSuspended);
    });
  }

  // Lets the thread run (with its handle known) and returns its id, or
  // tells it to end without running when registration failed.
  DWORD Release(HANDLE handle) {
    fh::MutexLock lock(&state_->mutex);
    if (handle == nullptr) {
      state_->abandoned = true;
    } else {
      state_->handle = handle;
      state_->go = true;
    }
    state_->changed.notify_all();
    while (!state_->idKnown) state_->changed.wait(state_->mutex);
    return state_->threadId;
  }

  DWORD Wait(DWORD milliseconds) override {
    if (state_.get() == t_currentThread && milliseconds == INFINITE) {
      SetLastError(ERROR_POSSIBLE_DEADLOCK);
      return WAIT_FAILED;
    }
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    fh::MutexLock lock(&state_->mutex);
    while (!state_->finished) {
      if (milliseconds == INFINITE) {
        state_->changed.wait(state_->mutex);
      } else if (state_->changed.wait_until(state_->mutex, deadline) == std::cv_status::timeout) {
        return state_->finished ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
      }
    }
    return WAIT_OBJECT_0;
  }

  DWORD ExitCode() {
    fh::MutexLock lock(&state_->mutex);
    return state_->finished ? state_->exitCode : STILL_ACTIVE;
  }

  bool IsCallingThread() const { return state_.get() == t_currentThread; }

  DWORD Resume() {
    fh::MutexLock lock(&state_->mutex);
    DWORD previous = state_->suspended ? 1 : 0;
    if (state_->pendingResumes < ~0u) ++state_->pendingResumes;
    state_->changed.notify_all();
    return previous;
  }

  bool IsSuspended() {
    fh::MutexLock lock(&state_->mutex);
    return state_->suspended;
  }

  ThreadState& state() { return *state_; }

 private:
  std::shared_ptr<ThreadState> state_;
  std::thread thread_;
};

}  // namespace

HANDLE CreateThread(void* /*security*/, std::size_t /*stackSize*/, LPTHREAD_START_ROUTINE start,
                    void* argument, DWORD flags, DWORD* threadId) {
  if (start == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::shared_ptr<ThreadObject> thread;
  try {
    thread = std::make_shared<ThreadObject>();
    thread->Start(start, argument, (flags & CREATE_SUSPENDED) != 0);
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  } catch (const std::system_error&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HANDLE handle = fh::RegisterHandle(thread);
  DWORD id = thread->Release(handle);
  if (handle == nullptr) return nullptr;  // the thread ended without running start
  if (threadId != nullptr) *threadId = id;
  return handle;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
  std::shared_ptr<fh::HandleObject> object = fh::FindHandle(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return WAIT_FAILED;
  }
  return object->Wait(milliseconds);
}

BOOL GetExitCodeThread(HANDLE thread, DWORD* exitCode) {
  std::shared_ptr<ThreadObject> object = fh::FindHandleAs<ThreadObject>(thread);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (exitCode == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *exitCode = object->ExitCode();
  return TRUE;
}

DWORD SuspendThread(HANDLE thread) {
  std::shared_ptr<ThreadObject> object = fh::FindHandleAs<ThreadObject>(thread);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return kSuspendFailed;
  }
  if (!object->IsCallingThread()) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return kSuspendFailed;
  }
  PassGate(object->state());
  return 0;
}

DWORD ResumeThread(HANDLE thread) {
  std::shared_ptr<ThreadObject> object = fh::FindHandleAs<ThreadObject>(thread);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return kSuspendFailed;
  }
  return object->Resume();
}

HANDLE GetCurrentThreadHandle() {
  if (t_currentThread == nullptr) return nullptr;
  fh::MutexLock lock(&t_currentThread->mutex);
  return t_currentThread->handle;
}

namespace fh {

bool IsThreadSuspended(HANDLE thread) {
  std::shared_ptr<ThreadObject> object = FindHandleAs<ThreadObject>(thread);
  return object != nullptr && object->IsSuspended();
}

}  // namespace fh
