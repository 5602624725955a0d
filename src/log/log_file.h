// The process-wide log file: its settings, opening and closing, and the
// timestamp every line carries. The level functions that write the lines are
// declared in log/log.h.
//
// A line reads
//   [ 2026-03-04 09:05:03:007 ] [ 4711 ] [INFO] message as the caller formatted it
// (each of the seven prefix fields followed by one blank; the facility adds
// no line end). Opening writes "Log open time: <timestamp>\n" and closing
// "Log close time: <timestamp>\n" with the same "[INFO]" prefix, whatever the
// level.
//
// Thread safety: every function may be called from any thread at any time.
// The settings and the stream are guarded by one internal lock, which the
// level functions hold while they write a line; so a line is never written
// into a stream that is being closed, and no setting changes under a line.
// Each line is also written under the object lock (lock/object_lock.h) on
// the lock token, which the rotation takes while it copies and truncates the
// live file (logging/rotation.h).
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

// The process-wide log settings. Exactly one instance exists, inside the
// logging facility; callers change it through the functions below and read
// it through GetLogSettingsSnapshot.
struct LogSettings {
  // The open log, owned by the log (CloseLogFile closes it); null while the
  // log is closed.
  std::FILE* gv_logFilePtr = nullptr;
  std::optional<std::string> fileName;   // e.g. "fhprereqhandler.log"
  std::optional<std::string> directory;  // none: the framework root's "logs", else "../logs"
  std::optional<std::string> fullPath;   // the path composed by the last open attempt
  // 0 nothing; 1 "[INFO]"; 2 adds "[ERROR]"; 3 adds "[DEBUG]"; 4 and above add "[TRACE]".
  std::uint8_t level = 0;
  std::int32_t maxSize = 0;  // kept with the settings; nothing compares the file against it
  // Its address keys the object lock of every line; while none, the level
  // functions write nothing.
  std::unique_ptr<char> lockToken;
};

namespace fh {

// A copy of the settings at one moment (for callers and tests).
struct LogSettingsSnapshot {
  bool isOpen = false;
  std::optional<std::string> fileName;
  std::optional<std::string> directory;
  std::optional<std::string> fullPath;
  std::uint8_t level = 0;
  std::int32_t maxSize = 0;
  const void* lockToken = nullptr;  // the token's address, or null
};

LogSettingsSnapshot GetLogSettingsSnapshot();

}  // namespace fh

// Establishes the defaults. With a stream open: maxSize 10000 and level 3,
// the rest kept. Else, when a file name is set already: nothing changes.
// Else: fileName "tessel.log", a new lock token, no directory and no full
// path, maxSize 10000, level 3. False only when memory is short.
bool InitLogDefaults();

// Replaces name and directory with copies (null: none) and stores maxSize and
// level. False when memory is short (nothing is changed then).
bool SetLogParams(const char* fileName, const char* directory, std::int32_t maxSize,
                  std::uint8_t level);

// Replace one setting; false for a null argument or when memory is short.
bool SetLogFileName(const char* fileName);
bool SetLogDirectory(const char* directory);
void SetLogLevel(std::uint8_t level);

// Makes an already open stream the log (no open line is written); the log
// owns it from now on and CloseLogFile closes it. A stream that was the log
// before is left open and is no longer the log's. False for null.
bool SetLogFilePtr(std::FILE* stream);

namespace fh {

// The framework root below which the log goes ("<root>/logs") when no
// directory is set; null: none. The framework hands its root over here
// whenever it changes (SetTesselRoot), so the log never reaches up into the
// framework. False when memory is short (nothing is changed then).
bool SetLogRootDirectory(const char* root);

}  // namespace fh

// Opens the log unless it is open already (then it logs
// "gv_logFilePtr already Set\n" at trace level and returns true). The path:
//   directory set:        <directory>/<fileName>, after MakeDirectoryPath(directory);
//   else framework root:  <root>/logs/<fileName>, after MakeDirectoryPath(<root>/logs);
//   else:                 ../logs/<fileName>, after MakeDirectory("../logs").
// The path is kept as fullPath. On success the open line is written. False
// when no file name is set, memory is short or the file cannot be opened
// (the log stays closed).
bool OpenLogFileAppend();     // mode "a+": lines are added to the old content
bool OpenLogFileOverwrite();  // mode "w": the old content is discarded

// Writes the close line, closes the stream and marks the log closed.
// Harmless when the log is not open.
void CloseLogFile();

// Forgets fileName, directory, fullPath and the lock token (so later lines
// are dropped). The stream and the level are not touched.
void FreeLogParams();

// The local time as "%d-%02d-%02d %02d:%02d:%02d:%03d" (year, month, day,
// hour, minute, second, millisecond), e.g. "2026-03-04 09:05:03:007"; none
// when memory is short. The caller owns the text.
std::optional<std::string> GetCurrentTimeStamp();

namespace fh {

// Closes the stream without a close line and returns every setting to its
// state at process start. For tests.
void ResetLogFileForTesting();

// The lock token's address, or null when there is none. The rotation locks
// the log with LockObject on this address and unlocks that same address.
const void* LogLockToken();

}  // namespace fh
