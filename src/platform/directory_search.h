// Directory searches as FindFirstFileA / FindNextFileA / FindClose present
// them. The pattern is a path (normalised as every file path is) whose last
// component may hold Windows wildcards (platform/wildcard.h); the directory
// part names the directory searched ("." when there is none).
//
// Entries: every name in the directory that matches, files and directories
// alike, "." and ".." included when the pattern matches them (as Windows
// returns them for "*" outside a drive's root); in case-insensitive name
// order. The list is read when the search starts; later changes to the
// directory are not seen. Each entry's attributes (FILE_ATTRIBUTE_DIRECTORY
// or FILE_ATTRIBUTE_NORMAL), size and times are read as it is returned.
//
// Thread safety: any thread may use a search handle; calls on one handle are
// serialised.
#pragma once

#include "platform/handles.h"
#include "platform/win32_types.h"

// Starts a search and returns the first entry in *data. The handle (close it
// with FindClose), or INVALID_HANDLE_VALUE with the last error: 2 when
// nothing matches, 3 when the directory does not exist, 5 when it cannot be
// read, 87 for a null argument.
HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data);

// The next entry in *data; FALSE with 18 (ERROR_NO_MORE_FILES) after the
// last one, 6 for a handle that is not a search.
BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data);

// Ends a search. FALSE with 6 for a handle that is not an open search.
BOOL FindClose(HANDLE search);
