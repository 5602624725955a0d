// Size-based rollover of log files into numbered backups in the same
// directory. With a keep count of 5 a log keeps at most five files: the live
// x.log and the backups x1.log (newest) to x4.log (oldest). One rotation:
//
//   x4.log  deleted (falls off the end)
//   x3.log  -> x4.log
//   x2.log  -> x3.log
//   x1.log  -> x2.log
//   x.log   -> x1.log, then x.log is emptied in place (mode 1) or deleted (mode 0)
//
// Each step copies and then deletes its source; a failed step is logged and
// the rotation goes on with the next one, except when a backup that exists
// cannot be copied: then that file's rotation stops there, so that nothing
// is copied over the backup and the live file stays whole until the next
// rotation (no line is lost; at worst one number is missing in the chain). The number of steps
// comes from counting the directory entries whose names begin with the base name ("x"), live file
// included.
//
// Paths are joined with a backslash ("%s\\%s"); the platform accepts both
// separators and collapses runs of them, so directory may end with either.
//
// Thread safety: may run on the rotation timer's thread while other threads
// log. Mode 1 holds the log's object lock (log_file.h: fh::LogLockToken) from
// the copy of the live file through its truncation, so no line is written
// between them, and logs its own lines only after releasing it.
#pragma once

#include <string>

#include "platform/win32_types.h"

namespace fh {

inline constexpr int kRotateMoveLiveFile = 0;      // measure; move the live file away when too big
inline constexpr int kRotateTruncateLiveFile = 1;  // no measuring; empty the live file in place

}  // namespace fh

// Rotates every file named in fileList (names separated by ";", e.g.
// "a.log;b.log"; the caller's text is not changed) in directory (null: the
// agent's install directory + "logs\\"). Mode 0 rotates a file only when it
// is strictly larger than sizeThreshold and skips a file that is missing or
// cannot be measured; mode 1 always rotates; any other mode rotates nothing.
// A name without a base name followed by ".log" is refused with an error
// line. Returns 0 (failures of single steps are logged only), or the error
// code of the install-directory read, which is printed on standard output.
LONG RotateSpecificLogs(const char* directory, const char* fileList, int keepCount,
                        DWORD sizeThreshold, int mode);

// Rotates a running process's own log in mode 1 when it has reached
// sizeThreshold bytes (at least). directory null: the agent's install
// directory + "logs". Returns RotateSpecificLogs's result after a rotation,
// 0 when the file was below the threshold, or the error code of reading the
// install directory when directory is null and none is known.
LONG RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int keepCount,
                                       DWORD sizeThreshold);

// 1 when the file at path is at least sizeThreshold bytes long, else 0 (also
// when it cannot be opened or measured; both are logged).
int CheckLogSizeReached(const char* path, DWORD sizeThreshold);

// The number of entries (files and directories) in directory whose names
// begin with baseName, or -1 when the search fails (also when nothing
// matches).
int FindNumberOfRepeatedFileNames(const char* directory, const char* baseName);

// directory + "\\" + base name of fileName + number + ".log", where the base
// name is the part of fileName before its first ".log" (empty when there is
// none). A new text owned by the caller.
std::string MakeBackupFileName(const char* directory, const char* fileName, int number);
