// Starting and stopping the tool's log: the agent's install directory is
// read from the registry, the log is rotated once and the rotation timer
// armed, then "<install directory>logs/<file name>" is opened for appending
// at the level the agent's "FHAgentLogLevel" value gives.
//
// Thread safety: StartAgentLogging and StopAgentLogging are called once each,
// from the thread that owns the process's start and end; other threads may
// log meanwhile. The install directory is guarded by its own lock and may be
// read from any thread (the rotation timer does).
#pragma once

#include <optional>
#include <string>

#include "platform/win32_types.h"

inline constexpr DWORD kAgentLogMaxSize = 10000000;
inline constexpr int kAgentLogDefaultLevel = 2;
inline constexpr int kLogOpenAppend = 1;
inline constexpr int kLogOpenOverwrite = 2;

// Reads the install directory (kept for the life of the process), rotates
// "<install directory>logs\<fileName>" when it has reached 2000000 bytes,
// arms the 15-minute rotation timer and opens the log (InitAgentLogger).
// Returns 0 whether or not the log could be opened; the error code of the
// install-directory read when it fails (nothing is opened then, and every
// later log call does nothing); 13 for a null fileName.
LONG StartAgentLogging(const char* fileName);

// Opens the log fileName in directory: InitMutex, the event flag, the
// defaults, the level from "FHAgentLogLevel" (low 8 bits; 2 when it cannot
// be read), SetLogParams with maxSize 10000000, then OpenLogFileOverwrite for
// openMode 2, else OpenLogFileAppend. 0 on success, 13 on any failure.
LONG InitAgentLogger(const char* fileName, const char* directory, int openMode);

// Deletes the rotation timer queue (waiting for a rotation that is running),
// then writes the close line, closes the log, frees the settings and closes
// the object-lock mutex. Always 0.
LONG StopAgentLogging();

// The install directory read by StartAgentLogging (it ends with the
// separator the registry value carries), or none before.
std::optional<std::string> GetAgentInstallDir();

// Stops the timer, closes the log without a close line and forgets the
// install directory. For tests.
void ResetAgentLoggingForTesting();

namespace fh {

// The stored install directory; when none is stored yet, reads it
// (ReadAgentInstallDir) and stores it. None with *error set to the read's
// code when it cannot be read.
std::optional<std::string> AgentInstallDirOrRead(LONG* error);

}  // namespace fh
