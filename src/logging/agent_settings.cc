#include "logging/agent_settings.h"

#include <mutex>
#include <new>

#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "registry/registry_reader.h"

namespace fh {
namespace {

constexpr char kLogLevelValueName[] = "FHAgentLogLevel";

struct AgentSettingsState {
  Mutex mutex;
  std::optional<std::string> installDir GUARDED_BY(mutex);  // kept for the process
};

AgentSettingsState& Settings() {
  static NoDestructor<AgentSettingsState> state;
  return state.get();
}

void KeepInstallDir(std::string installDir) {
  AgentSettingsState& state = Settings();
  MutexLock hold(&state.mutex);
  state.installDir = std::move(installDir);
}

}  // namespace

std::optional<std::string> ReadAndKeepAgentInstallDir(LONG* error) {
  try {
    std::optional<std::string> buffer;
    *error = ReadAgentInstallDir(buffer);
    if (*error != 0) return std::nullopt;
    // The buffer carries spare zero bytes after the text.
    std::string installDir(buffer ? buffer->c_str() : "");
    KeepInstallDir(installDir);
    return installDir;
  } catch (const std::bad_alloc&) {
    *error = static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
    return std::nullopt;
  }
}

std::optional<std::string> AgentInstallDirOrRead(LONG* error) {
  LONG ignored = 0;
  if (error == nullptr) error = &ignored;
  *error = 0;
  try {
    if (std::optional<std::string> known = GetAgentInstallDir()) return known;
  } catch (const std::bad_alloc&) {
    *error = static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
    return std::nullopt;
  }
  return ReadAndKeepAgentInstallDir(error);
}

std::uint8_t ReadAgentLogLevel() {
  DWORD levelValue = 0;
  if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, AGENT_REGISTRY_ROOT, kLogLevelValueName,
                            &levelValue) != ERROR_SUCCESS) {
    return kAgentLogDefaultLevel;
  }
  return static_cast<std::uint8_t>(levelValue & 0xFFu);
}

void ForgetAgentInstallDir() {
  AgentSettingsState& state = Settings();
  MutexLock hold(&state.mutex);
  state.installDir.reset();
}

std::optional<std::string> GetAgentInstallDir() {
  AgentSettingsState& state = Settings();
  MutexLock hold(&state.mutex);
  try {
    return state.installDir;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

}  // namespace fh
