// The calling thread's last-error code, as the platform calls leave it.
// Thread safety: the value is per thread; each thread sees only its own.
#pragma once

#include "platform/win32_types.h"

DWORD GetLastError();
void SetLastError(DWORD code);
