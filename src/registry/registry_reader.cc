#include "registry/registry_reader.h"

#include <new>

#include "log/log.h"
#include "log/status_texts.h"
#include "platform/registry.h"
#include "registry/open_key.h"
#include "registry/printable.h"
#include "registry/registry_writer.h"

namespace {

using fh::Printable;

// "--" in any letter case; the marker has no letters, so this is equality.
bool IsDefaultValueMarker(const char* name) {
  return name != nullptr && name[0] == '-' && name[1] == '-' && name[2] == '\0';
}

}  // namespace

LONG deleteValueEx(HKEY root, const char* subKey, const char* valueName) {
  LogInfo("deleteValueEx: Inside function deleteValue ..... \n");
  if (valueName == nullptr) {
    valueName = "";  // a null name, too, addresses the default value
  } else if (IsDefaultValueMarker(valueName)) {
    LogInfo("deleteValueEx : going to delete the (default) value. \n");
    valueName = "";
  }
  fh::OpenKey key;
  LONG code = RegOpenKeyExA(root, subKey, 0, fh::RegistryWriteAccess(), key.out());
  if (code != ERROR_SUCCESS) {
    LogError("deleteValueEx:  %s Key not found!: %d  \n", Printable(subKey), code);
    LogLastErrorText();
    return code;
  }
  LogInfo("deleteValueEx:  Key found ...!: %d\n", 0);
  code = RegDeleteValueA(key.get(), valueName);
  if (code == ERROR_SUCCESS) {
    LogInfo("deleteValueEx:  Delete value %s success! \n", valueName);
    return ERROR_SUCCESS;
  }
  LogError("deleteValueEx:  Delete value %s failure! \n", valueName);
  LogLastErrorText();
  return code;
}

LONG ReadRegSZ(HKEY root, const char* subKey, const char* valueName,
               std::optional<std::string>& buffer) {
  buffer.reset();
  DWORD type = REG_SZ;
  DWORD size = 0;
  fh::OpenKey key;
  LONG code = RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, key.out());
  if (code != ERROR_SUCCESS) {
    LogError("ReadRegSZ: Error while opening registry key %s ,and the error is  %d \n",
             Printable(subKey), code);
    return code;
  }
  code = RegQueryValueExA(key.get(), valueName, nullptr, &type, nullptr, &size);
  if (code != ERROR_SUCCESS) return code;
  try {
    // Five spare zero bytes keep the text terminated whatever was stored.
    buffer.emplace(static_cast<std::string::size_type>(size) + 5, '\0');
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
  code = RegQueryValueExA(key.get(), valueName, nullptr, &type,
                          reinterpret_cast<BYTE*>(buffer->data()), &size);
  if (code != ERROR_SUCCESS) LogError("ReadRegSZ: Error while reading DWORD value! %d \n", code);
  return code;
}

LONG ReadDwordRegistryData(HKEY root, const char* subKey, const char* valueName, DWORD* value) {
  if (value == nullptr) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  DWORD type = REG_DWORD;
  DWORD size = sizeof(DWORD);
  fh::OpenKey key;
  LONG code = RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, key.out());
  if (code == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", Printable(valueName), code);
    return code;
  }
  if (code != ERROR_SUCCESS) {
    LogError(
        "ReadDwordRegistryData: Error while opening registry key %s,and the errorcode is : %d \n",
        Printable(subKey), code);
    return code;
  }
  code =
      RegQueryValueExA(key.get(), valueName, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (code == static_cast<LONG>(ERROR_FILE_NOT_FOUND)) {
    LogDebug("ReadDwordRegistryData:  value  %s Not found: %d \n", Printable(valueName), code);
  } else if (code != ERROR_SUCCESS) {
    LogError("ReadDwordRegistryData: Error while reading DWORD value of %s : %d \n",
             Printable(valueName), code);
  }
  return code;
}

LONG ReadAgentInstallDir(std::optional<std::string>& buffer) {
  return ReadRegSZ(HKEY_LOCAL_MACHINE, AGENT_REGISTRY_ROOT, "FHAgentInstallDir", buffer);
}

LONG ReadEventEnabledFlag(DWORD* flag) {
  if (flag == nullptr) return ERROR_SUCCESS;
  if (ReadDwordRegistryData(HKEY_LOCAL_MACHINE, AGENT_REGISTRY_ROOT, "FHEventEnabled", flag) !=
      ERROR_SUCCESS) {
    *flag = 1;
  }
  return ERROR_SUCCESS;
}
