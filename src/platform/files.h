// Files and directories as the Win32 file calls present them. Every path is
// normalised first (platform/paths.h: '\' and '/' both separate, runs
// collapse), so Windows-style compositions work unchanged. Failures set the
// calling thread's last-error code (platform/last_error.h) to the Win32
// code: 2 file not found (its directory exists), 3 path not found (a
// directory on the way is missing), 5 access denied, 80 file exists (where
// Windows reports that), 87 bad argument, 123 a '*' or '?' in a path that
// names one file, 183 already exists.
//
// Thread safety: every call may be made from any thread. A handle may be used
// by several threads, and closed by one while another still uses it (the
// object lives until the last call on it returns).
#pragma once

#include <cstdio>

#include "platform/handles.h"
#include "platform/win32_types.h"

// Opens or creates a file and returns its handle (close it with CloseHandle),
// or INVALID_HANDLE_VALUE with the last error set.
//
// access: GENERIC_READ and/or GENERIC_WRITE (GENERIC_ALL counts as both).
//   Without either (0, READ_CONTROL or other rights alone) the handle is for
//   metadata only: it opens a file the caller may not read or write, and
//   serves GetFileSizeEx.
// shareMode, security, templateFile: accepted and ignored (Linux has no
//   share locks; a file held open elsewhere can always be opened).
// creationDisposition: CREATE_NEW (fails with 80 when the file exists),
//   CREATE_ALWAYS (creates or truncates; last error 183 when it existed, else
//   0), OPEN_EXISTING, OPEN_ALWAYS (opens or creates; 183 when it existed,
//   else 0), TRUNCATE_EXISTING (needs GENERIC_WRITE, else 87); another value
//   gives 87. After any other success the last error is 0.
// flagsAndAttributes: FILE_FLAG_BACKUP_SEMANTICS lets a directory be opened
//   (without it a directory fails with 5); other flags and attributes are
//   ignored. Files are created with mode 0666 less the umask.
HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD shareMode, const SECURITY_ATTRIBUTES* security,
                   DWORD creationDisposition, DWORD flagsAndAttributes, HANDLE templateFile);

// The size in bytes of the file behind a CreateFileA handle (0 for a
// directory). FALSE with 6 for a handle that is not an open file, 87 for a
// null output.
BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size);

// Copies existingFile's content (and permission bits) to newFile. With
// failIfExists TRUE an existing newFile is left alone and the call fails with
// 80; with FALSE it is replaced. The copy is written to a hidden temporary
// file beside newFile (".fhcopy-XXXXXX") and renamed into place only when
// complete, so a failure leaves newFile as it was. Only when the directory
// of newFile is not writable but newFile itself is, the file is overwritten
// in place. A directory as source or target fails with 5; copying a file
// onto itself fails with 32 (80 with failIfExists).
BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists);

// Deletes a file (not a directory: 5). 2 or 3 when it does not exist.
BOOL DeleteFileA(LPCSTR path);

// Creates one directory (mode 0777 less the umask; security ignored). 183
// when the path exists (as anything), 3 when its parent is missing.
BOOL CreateDirectoryA(LPCSTR path, const SECURITY_ATTRIBUTES* security);

// FILE_ATTRIBUTE_DIRECTORY for a directory, FILE_ATTRIBUTE_NORMAL for any
// other existing path, or INVALID_FILE_ATTRIBUTES with the last error set.
DWORD GetFileAttributesA(LPCSTR path);

// The C runtime's fopen on the normalised path, for buffered streams (the
// log file). mode as fopen takes it; the descriptor is always close-on-exec.
// Null with errno and the last error set when path or mode is null (EINVAL)
// or the open fails. The caller closes the stream with fclose.
std::FILE* OpenFileStream(const char* path, const char* mode);

// Creates exactly one directory on the normalised path; 0, or the C library
// error number (EEXIST 17 when it exists, ENOENT 2 when a parent is missing,
// EINVAL for a null path).
int MakeOneDirectory(const char* path);

namespace fh {

// Creates the directory and any missing parents with mode (less the umask).
// Parents are found by '/' only (as ParentPart does), so a path written with
// '\' alone has no parent to create. 0 when the directory was created,
// EEXIST when it existed already, else the errno of the step that failed
// (ENOENT when a parent is missing and the path names none), EINVAL for null.
int MakeDirectoryTree(const char* path, unsigned mode);

}  // namespace fh
