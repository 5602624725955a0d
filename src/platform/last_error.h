// The calling thread's last-error code, as the platform calls leave it.
// Thread safety: the value is per thread; each thread sees only its own.
#pragma once

#include "platform/win32_types.h"

DWORD GetLastError();
void SetLastError(DWORD code);

// Sets the calling thread's last-error code to code and returns failure, the
// value the failing call returns (FALSE, 0, INVALID_HANDLE_VALUE, a code):
// every platform call fails through here.
template <typename Result>
Result FailWithCode(DWORD code, Result failure) {
  SetLastError(code);
  return failure;
}
