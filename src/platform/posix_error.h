// The one place where a C library error number becomes a Win32 error code.
//
// Thread safety: pure functions, except that the Set... functions write the
// calling thread's own last-error code.
#pragma once

#include <string_view>

#include "platform/win32_types.h"

// The Win32 code for errno value err (ENOENT -> 2, ENOTDIR -> 3,
// EACCES/EPERM/EROFS/EISDIR -> 5, EEXIST -> 183, ENOSPC -> 112, ...); an
// unknown value gives 31 (ERROR_GEN_FAILURE).
DWORD Win32ErrorFromErrno(int err);

// Sets the thread's last-error code from errno value err and returns it.
DWORD SetLastErrorFromErrno(int err);

// As Win32ErrorFromErrno for a call on a file or directory path, telling
// "file not found" (2: the path's directory exists) from "path not found"
// (3: a directory on the way is missing) for ENOENT, as Windows does.
// normalizedPath is the path as fh::NormalizePath returned it.
DWORD Win32PathErrorFromErrno(int err, std::string_view normalizedPath);

// Sets the thread's last-error code from Win32PathErrorFromErrno and
// returns it.
DWORD SetLastErrorFromPathErrno(int err, std::string_view normalizedPath);
