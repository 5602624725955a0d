// Creating the log directory. Paths are split at '/' only; the platform
// accepts '\' as a separator too, so a path written with backslashes is
// created one level at a time only.
//
// Thread safety: stateless; any thread may call.
#pragma once

#include <string>

// Creates exactly one directory. 0 when created, else the C library error
// number: 17 (EEXIST) when the path exists, 2 (ENOENT) when a parent is
// missing, 22 (EINVAL) for null.
int MakeDirectory(const char* path);

// Creates the directory and any missing parents. 0 when it was created, 1
// when it already existed, else the error number of the step that failed
// (2 when a parent is missing and the path names none, e.g. "a\\b").
int MakeDirectoryPath(const char* path);

// The path without trailing '/' characters and without its last
// '/'-separated component (nor the '/' characters before it):
// "a/b/c" -> "a/b", "a/b/" -> "a", "a//b" -> "a", "/a" -> "", "a" -> "".
// Null gives "".
std::string GetParentPath(const char* path);

// The path without trailing '/' characters: "a/b//" -> "a/b", "/" -> "".
// Null gives "".
std::string TrimTrailingSlashes(const char* path);
