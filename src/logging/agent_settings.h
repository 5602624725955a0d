// The agent's settings as the logging reads them from the registry: the
// install directory (read once, then kept for the life of the process) and
// the log level "FHAgentLogLevel". The one source of the install directory
// for the log, the rotation and the rotation timer.
//
// Thread safety: every function may be called from any thread; the kept
// install directory is guarded by its own lock, never held while the
// registry is read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "platform/win32_types.h"

namespace fh {

inline constexpr int kAgentLogDefaultLevel = 2;

// The install directory kept by StartAgentLogging or an earlier
// AgentInstallDirOrRead (it ends with the separator the registry value
// carries), or none before.
std::optional<std::string> GetAgentInstallDir();

// Reads the install directory from the registry (ReadAgentInstallDir) and
// keeps it, replacing a kept one. None with *error set to the read's code
// when it cannot be read (the kept one is left as it was).
std::optional<std::string> ReadAndKeepAgentInstallDir(LONG* error);

// The kept install directory; when none is kept yet, reads and keeps it. None
// with *error (may be null) set to the read's code when it cannot be read.
std::optional<std::string> AgentInstallDirOrRead(LONG* error);

// The level for the agent's log: the low 8 bits of "FHAgentLogLevel" (256
// gives 0, 260 gives 4), or 2 when the value cannot be read.
std::uint8_t ReadAgentLogLevel();

// Forgets the kept install directory. For tests.
void ForgetAgentInstallDir();

}  // namespace fh
