// Starting and stopping the tool's log: the agent's install directory is
// read from the registry, the log is rotated once and the rotation timer
// armed, then "<install directory>logs/<file name>" is opened for appending
// at the level the agent's "FHAgentLogLevel" value gives.
//
// The pieces, each below the next: the agent's settings
// (logging/agent_settings.h), opening the agent's log
// (logging/agent_logger.h), the rotation (logging/rotation.h), the rotation
// timer (logging/rotation_timer.h), and this start and stop.
//
// Thread safety: StartAgentLogging and StopAgentLogging are called once each,
// from the thread that owns the process's start and end; other threads may
// log meanwhile.
#pragma once

#include "logging/agent_logger.h"    // IWYU pragma: export
#include "logging/agent_settings.h"  // IWYU pragma: export
#include "platform/win32_types.h"

// Reads the install directory (kept for the life of the process), rotates
// "<install directory>logs\<fileName>" when it has reached 2000000 bytes,
// arms the 15-minute rotation timer and opens the log (InitAgentLogger).
// Returns 0 whether or not the log could be opened; the error code of the
// install-directory read when it fails (nothing is opened then, and every
// later log call does nothing); 13 for a null fileName.
LONG StartAgentLogging(const char* fileName);

// Deletes the rotation timer queue (waiting for a rotation that is running),
// then writes the close line, closes the log, frees the settings and closes
// the object-lock mutex. Always 0.
LONG StopAgentLogging();

namespace fh {
// Stops the timer, closes the log without a close line and forgets the
// install directory. For tests.
void ResetAgentLoggingForTesting();
}  // namespace fh
