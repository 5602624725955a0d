#include "platform/handles.h"

#include <cstdint>
#include <new>
#include <unordered_map>
#include <utility>

#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "platform/thread_annotations.h"

namespace fh {
namespace {

// Handle values count up in steps of 4 from 4, as Windows' do; a 64-bit
// counter never wraps, so a value is never issued twice.
constexpr std::uintptr_t kHandleStep = 4;

class HandleTable {
 public:
  HANDLE Add(std::shared_ptr<HandleObject> object) {
    MutexLock lock(&mutex_);
    std::uintptr_t key = NextKeyLocked();
    objects_.emplace(key, std::move(object));
    return ToHandle(key);
  }

  HANDLE Reserve() {
    MutexLock lock(&mutex_);
    return ToHandle(NextKeyLocked());
  }

  std::shared_ptr<HandleObject> Find(HANDLE handle) {
    MutexLock lock(&mutex_);
    auto found = objects_.find(ToKey(handle));
    return found == objects_.end() ? nullptr : found->second;
  }

  std::shared_ptr<HandleObject> RemoveIf(HANDLE handle, bool (*matches)(const HandleObject&)) {
    std::shared_ptr<HandleObject> removed;
    MutexLock lock(&mutex_);
    auto found = objects_.find(ToKey(handle));
    if (found == objects_.end()) return nullptr;
    if (matches != nullptr && !matches(*found->second)) return nullptr;
    removed = std::move(found->second);
    objects_.erase(found);
    return removed;
  }

  std::size_t Count() {
    MutexLock lock(&mutex_);
    return objects_.size();
  }

 private:
  static std::uintptr_t ToKey(HANDLE handle) { return reinterpret_cast<std::uintptr_t>(handle); }
  static HANDLE ToHandle(std::uintptr_t key) { return reinterpret_cast<HANDLE>(key); }

  std::uintptr_t NextKeyLocked() REQUIRES(mutex_) {
    lastKey_ += kHandleStep;
    return lastKey_;
  }

  Mutex mutex_;
  std::uintptr_t lastKey_ GUARDED_BY(mutex_) = 0;
  std::unordered_map<std::uintptr_t, std::shared_ptr<HandleObject>> objects_ GUARDED_BY(mutex_);
};

// The table is never destroyed: threads and timer workers that outlive
// main() may still look handles up while static objects are torn down.
HandleTable& Table() {
  static NoDestructor<HandleTable> table;
  return table.get();
}

bool IsIssuableValue(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

}  // namespace

HandleObject::~HandleObject() = default;

DWORD HandleObject::Wait(DWORD /*milliseconds*/) {
  SetLastError(ERROR_INVALID_HANDLE);
  return WAIT_FAILED;
}

HANDLE RegisterHandle(std::shared_ptr<HandleObject> object) {
  if (object == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  try {
    return Table().Add(std::move(object));
  } catch (const std::bad_alloc&) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
}

HANDLE ReserveHandleValue() { return Table().Reserve(); }

std::shared_ptr<HandleObject> FindHandle(HANDLE handle) {
  if (!IsIssuableValue(handle)) return nullptr;
  return Table().Find(handle);
}

std::shared_ptr<HandleObject> ReleaseHandle(HANDLE handle) {
  if (!IsIssuableValue(handle)) return nullptr;
  return Table().RemoveIf(handle, nullptr);
}

std::shared_ptr<HandleObject> ReleaseHandleIf(HANDLE handle, bool (*matches)(const HandleObject&)) {
  if (!IsIssuableValue(handle)) return nullptr;
  return Table().RemoveIf(handle, matches);
}

std::size_t OpenHandleCount() { return Table().Count(); }

}  // namespace fh

BOOL CloseHandle(HANDLE handle) {
  std::shared_ptr<fh::HandleObject> object = fh::ReleaseHandle(handle);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  object.reset();  // the object goes now unless another call still uses it
  return TRUE;
}
