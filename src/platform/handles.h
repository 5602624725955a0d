// What a HANDLE is: every object the platform hands out as a HANDLE (open
// files, directory searches, threads, timer queues) derives from
// fh::HandleObject and is entered in one process-wide handle table. The
// HANDLE value is a key into that table, never a pointer, so a stale, closed
// or made-up value is recognised and fails with ERROR_INVALID_HANDLE (6)
// instead of touching freed memory. Null and INVALID_HANDLE_VALUE are never
// issued.
//
// Lifetime: the table holds one reference to each object; a call working on
// a handle holds another for the duration of the call (std::shared_ptr), so
// CloseHandle on one thread while another thread still uses the object is
// safe: the object goes when the last user is done.
//
// Thread safety: every function here may be called from any thread; the
// table is guarded by its own mutex, held only for the table operation.
#pragma once

#include <cstddef>
#include <memory>

#include "platform/win32_types.h"

namespace fh {

// Base of every object behind a HANDLE. The destructor releases what the
// object owns (closes a descriptor, detaches a thread, stops a queue).
class HandleObject {
 public:
  HandleObject() = default;
  virtual ~HandleObject();
  HandleObject(const HandleObject&) = delete;
  HandleObject& operator=(const HandleObject&) = delete;

  // WaitForSingleObject on this handle. The default: the object cannot be
  // waited for (WAIT_FAILED, last error ERROR_INVALID_HANDLE).
  virtual DWORD Wait(DWORD milliseconds);
};

// Enters object in the table and returns its new handle; null (last error
// ERROR_NOT_ENOUGH_MEMORY) when the table cannot grow or object is null.
HANDLE RegisterHandle(std::shared_ptr<HandleObject> object);

// A value unique among all handles that is not entered in the table (for
// identifiers that belong to another object, such as timers in a queue).
HANDLE ReserveHandleValue();

// The object behind handle, or null when handle is not open.
std::shared_ptr<HandleObject> FindHandle(HANDLE handle);

// Removes handle from the table and returns its object (null when it was not
// open). The object lives on while the caller holds the result.
std::shared_ptr<HandleObject> ReleaseHandle(HANDLE handle);

// FindHandle for one kind of object: null when the handle is not open or its
// object is not a T.
template <class T>
std::shared_ptr<T> FindHandleAs(HANDLE handle) {
  return std::dynamic_pointer_cast<T>(FindHandle(handle));
}

// ReleaseHandle for one kind of object: removes the handle only when its
// object is a T; otherwise the table is unchanged and the result null.
template <class T>
std::shared_ptr<T> ReleaseHandleAs(HANDLE handle);

// The number of open handles (tests use it to find leaks).
std::size_t OpenHandleCount();

// Removes the handle only when matches(object) is true; the removed object or
// null. The building block of ReleaseHandleAs.
std::shared_ptr<HandleObject> ReleaseHandleIf(HANDLE handle, bool (*matches)(const HandleObject&));

template <class T>
std::shared_ptr<T> ReleaseHandleAs(HANDLE handle) {
  auto isT = [](const HandleObject& object) { return dynamic_cast<const T*>(&object) != nullptr; };
  return std::static_pointer_cast<T>(ReleaseHandleIf(handle, isT));
}

}  // namespace fh

// Closes any handle the platform issued (a file, a search, a thread, a timer
// queue). TRUE when it was open; FALSE with last error ERROR_INVALID_HANDLE
// for null, INVALID_HANDLE_VALUE, an unknown or an already closed handle.
// Closing a thread's handle does not stop the thread; closing a timer queue's
// handle deletes the queue as DeleteTimerQueue does.
BOOL CloseHandle(HANDLE handle);
