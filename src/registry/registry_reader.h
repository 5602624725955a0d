// Reading and deleting registry values, and the readers of the agent's own
// settings that the logging start-up needs.
//
// The readers open keys for query only and never in the 64-bit view, so the
// agent's settings always come from the process's default view;
// deleteValueEx opens with the writer's access, including the 64-bit view
// when gv_use64BitRegView is set. Names and paths go to the narrow registry
// calls unchanged.
//
// Thread safety: no state is kept between calls and no lock is taken; any
// thread may call (the log rotation timer reads the install directory).
#pragma once

#include <optional>
#include <string>

#include "platform/win32_types.h"

// The agent's key below HKEY_LOCAL_MACHINE.
inline constexpr char AGENT_REGISTRY_ROOT[] = "Software\\Quillon\\Fernhall\\FHAgent";

// Deletes one value of root\subKey; valueName "--" (or null) addresses the
// key's default value. Only the value goes, never the key. Returns 0 or the
// Win32 code of the key opening or of the deletion (2 when either is
// missing); failures are logged with the last-error text.
LONG deleteValueEx(HKEY root, const char* subKey, const char* valueName);

// Reads the raw bytes of any value. Returns 0 with buffer holding a
// zero-filled text of (value size + 5) bytes that starts with the value's
// bytes, so buffer->c_str() is terminated even when the stored string is
// not. On failure the Win32 code, with buffer nullopt, or holding the
// allocated bytes when only the second read failed.
LONG ReadRegSZ(HKEY root, const char* subKey, const char* valueName,
               std::optional<std::string>& buffer);

// Reads a value of at most 4 bytes into *value (a shorter one fills only its
// own low bytes). Returns 0, 2 when the key or value is missing, 234 when the
// value is longer than 4 bytes, 87 when value is null, else the Win32 code.
// After a failure *value is not to be relied on.
LONG ReadDwordRegistryData(HKEY root, const char* subKey, const char* valueName, DWORD* value);

// ReadRegSZ of "FHAgentInstallDir" under HKEY_LOCAL_MACHINE\AGENT_REGISTRY_ROOT.
LONG ReadAgentInstallDir(std::optional<std::string>& buffer);

// Reads "FHEventEnabled" under the agent's key into *flag; 1 when it cannot be
// read. Always returns 0.
LONG ReadEventEnabledFlag(DWORD* flag);
