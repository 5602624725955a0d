// The one place where a C library error number becomes a Win32 error code.
#pragma once

#include "platform/win32_types.h"

// The Win32 code for errno value err (ENOENT -> 2, EACCES/EPERM/EROFS -> 5,
// EEXIST -> 183, ENOSPC -> 112, ...); an unknown value gives 31
// (ERROR_GEN_FAILURE).
DWORD Win32ErrorFromErrno(int err);

// Sets the thread's last-error code from errno value err and returns it.
DWORD SetLastErrorFromErrno(int err);
