// The hive files: where each root key's hive lives, reading it under a shared
// lock and committing changes under an exclusive one.
//
// Layout: the directory named by the environment variable FH_REGISTRY_DIR
// (default /var/lib/fernhall/registry, read at every call) holds one text
// hive per root key (HKLM.reg for HKEY_LOCAL_MACHINE, HKCU.reg, HKCR.reg,
// HKU.reg, HKCC.reg) and beside each a lock file (HKLM.reg.lock).
//
// Durability and concurrency: a change takes an exclusive flock on the lock
// file, re-reads the hive, changes it, writes the new text to a temporary
// file in the same directory, fsyncs it, renames it over the hive and fsyncs
// the directory, all before returning. A reader takes a shared flock (or,
// when it may not open the lock file, reads without it: the rename still
// gives it a whole hive). Concurrent processes never lose each other's
// changes, and a crash leaves the old or the new hive.
//
// A hive file that is missing is an empty hive; a missing directory is
// created (with its parents) by the first change. A hive that cannot be
// parsed fails every call with 1009 (ERROR_BADDB) and is never rewritten.
//
// Parsed hives are cached per file, keyed by the file's exact bytes, so that
// repeated calls on an unchanged hive parse it once.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/registry_hive.h"
#include "platform/win32_types.h"

namespace fh {

inline constexpr const char* kDefaultRegistryDirectory = "/var/lib/fernhall/registry";

struct HiveLocation {
  std::string rootName;   // "HKEY_LOCAL_MACHINE"
  std::string directory;  // "/var/lib/fernhall/registry"
  std::string hivePath;   // directory + "/HKLM.reg"
  std::string lockPath;   // hivePath + ".lock"
  // Only HKEY_LOCAL_MACHINE has the 32-bit view of SOFTWARE.
  bool hasWow64View = false;
};

// The hive of a predefined root key as the environment names it now;
// nullopt for a root without a hive.
std::optional<HiveLocation> LocateHive(HKEY root);

// Reads the hive. Returns 0 with *hive set, 5 when the file or directory may
// not be read, 1009 when it cannot be parsed, or the Win32 code of another
// failure.
DWORD ReadHive(const HiveLocation& location, std::shared_ptr<const RegistryHive>* hive);

// 0 when this process may change the hive: the hive file (when present) is
// writable and its directory (or the nearest existing ancestor, which it
// would be created in) allows creating files; 5 (or another code) otherwise.
DWORD CheckHiveWritable(const HiveLocation& location);

// Applies change to the current hive. change returns 0 or a Win32 code and
// sets *changed when it modified the hive; it may be called more than once
// and must leave the hive untouched when it fails. A successful change is
// committed before UpdateHive returns. Returns change's code, or the failure
// of reading (5, 1009) or committing (5, 112, ...); the hive file is left as
// it was whenever the result is not 0 or nothing changed.
using HiveChange = std::function<DWORD(RegistryHive& hive, bool* changed)>;
DWORD UpdateHive(const HiveLocation& location, const HiveChange& change);

// Forgets the cached hives.
void ResetRegistryStore();

}  // namespace fh
