#include "platform/registry.h"

#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/registry_hive.h"
#include "platform/registry_names.h"
#include "platform/registry_store.h"
#include "platform/text_conversion.h"
#include "platform/thread_annotations.h"

namespace fh {

// An open key: which hive, which key in it, and what the opener asked for.
struct RegistryKeyObject {
  fh::HiveLocation location;
  std::string path;  // canonical, in the case stored in the hive
  REGSAM access = 0;
  bool view64 = false;
};

}  // namespace fh

namespace {

constexpr REGSAM kWriteRights =
    KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE | WRITE_DAC | WRITE_OWNER;

constexpr std::string_view kSoftware = "SOFTWARE";
constexpr std::string_view kWow64Node = "WOW6432Node";

// ------------------------------------------------------------ handles

fh::Mutex g_handlesMutex;
// Every handle handed out and not yet closed.
std::unordered_map<const fh::RegistryKeyObject*, std::unique_ptr<fh::RegistryKeyObject>> g_handles
    GUARDED_BY(g_handlesMutex);

bool IsPredefinedRoot(HKEY key) {
  auto value = reinterpret_cast<std::uintptr_t>(key);
  return value >= 0x80000000u && value <= 0x80000006u;
}

// What a call needs to know about hKey, copied out of the handle table.
struct KeyContext {
  fh::HiveLocation location;
  std::string path;
  REGSAM access = 0;
  bool view64 = false;
  bool isRoot = false;  // a predefined root key: always exists
};

DWORD ResolveKey(HKEY key, KeyContext* context) {
  if (IsPredefinedRoot(key)) {
    std::optional<fh::HiveLocation> location = fh::LocateHive(key);
    if (!location) return ERROR_INVALID_HANDLE;
    context->location = std::move(*location);
    context->access = KEY_ALL_ACCESS;
    context->isRoot = true;
    return ERROR_SUCCESS;
  }
  fh::MutexLock guard(&g_handlesMutex);
  auto it = g_handles.find(key);
  if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
  const fh::RegistryKeyObject& object = *it->second;
  context->location = object.location;
  context->path = object.path;
  context->access = object.access;
  context->view64 = object.view64;
  return ERROR_SUCCESS;
}

HKEY NewHandle(const KeyContext& base, std::string path, REGSAM access, bool view64) {
  auto object = std::make_unique<fh::RegistryKeyObject>();
  object->location = base.location;
  object->path = std::move(path);
  object->access = access;
  object->view64 = view64;
  HKEY handle = object.get();
  fh::MutexLock guard(&g_handlesMutex);
  g_handles.emplace(handle, std::move(object));
  return handle;
}

// ------------------------------------------------------------ paths

// Generic rights as the registry maps them to key rights.
REGSAM MapGenericAccess(REGSAM sam, const fh::HiveLocation& location) {
  REGSAM access = sam & 0x00FFFFFF;
  if (sam & GENERIC_READ) access |= KEY_READ;
  if (sam & GENERIC_WRITE) access |= KEY_WRITE;
  if (sam & GENERIC_EXECUTE) access |= KEY_READ;
  if (sam & GENERIC_ALL) access |= KEY_ALL_ACCESS;
  if (sam & MAXIMUM_ALLOWED) {
    access |= fh::CheckHiveWritable(location) == ERROR_SUCCESS ? KEY_ALL_ACCESS : KEY_READ;
  }
  return access & ~(MAXIMUM_ALLOWED | KEY_WOW64_64KEY | KEY_WOW64_32KEY);
}

// The canonical path of subKey below base, in UTF-8 (ill-formed bytes
// become U+FFFD). 87 for a path that no hive line can hold.
DWORD JoinKeyPath(const std::string& base, LPCSTR subKey, std::string* path) {
  std::string joined = base;
  if (subKey != nullptr && *subKey != '\0') {
    std::string_view sub(subKey);
    if (sub.find_first_of("\r\n") != std::string_view::npos) return ERROR_INVALID_PARAMETER;
    joined.push_back('\\');
    joined.append(fh::SanitizeUtf8(sub));
  }
  *path = fh::CanonicalKeyPath(joined);
  return ERROR_SUCCESS;
}

std::string_view FirstComponent(std::string_view path, std::size_t* end) {
  *end = path.find('\\');
  if (*end == std::string_view::npos) *end = path.size();
  return path.substr(0, *end);
}

// The 32-bit view: HKEY_LOCAL_MACHINE\SOFTWARE\X is SOFTWARE\WOW6432Node\X.
std::string ApplyView(const fh::HiveLocation& location, std::string path, bool view64) {
  if (view64 || !location.hasWow64View) return path;
  std::size_t end;
  if (!fh::FoldedNamesEqual(FirstComponent(path, &end), kSoftware)) return path;
  std::size_t secondEnd;
  std::string_view rest = end < path.size() ? std::string_view(path).substr(end + 1) : "";
  if (!rest.empty() && fh::FoldedNamesEqual(FirstComponent(rest, &secondEnd), kWow64Node)) {
    return path;
  }
  path.insert(end, std::string("\\").append(kWow64Node));
  return path;
}

// ------------------------------------------------------------ the calls

LONG Finish(DWORD code) {
  SetLastError(code);
  return static_cast<LONG>(code);
}

// Runs a call body; nothing throws out of the API.
template <typename Body>
LONG Guarded(const Body& body) {
  DWORD code;
  try {
    code = body();
  } catch (const std::bad_alloc&) {
    code = ERROR_NOT_ENOUGH_MEMORY;
  } catch (const std::exception&) {
    code = ERROR_GEN_FAILURE;
  }
  return Finish(code);
}

struct TargetKey {
  KeyContext base;
  std::string path;
  REGSAM access = 0;
  bool view64 = false;
};

DWORD ResolveTarget(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, TargetKey* target) {
  DWORD code = ResolveKey(hKey, &target->base);
  if (code != ERROR_SUCCESS) return code;
  target->view64 =
      (samDesired & KEY_WOW64_64KEY) != 0 || (!target->base.isRoot && target->base.view64);
  std::string joined;
  code = JoinKeyPath(target->base.path, lpSubKey, &joined);
  if (code != ERROR_SUCCESS) return code;
  target->path = ApplyView(target->base.location, std::move(joined), target->view64);
  target->access = MapGenericAccess(samDesired, target->base.location);
  return ERROR_SUCCESS;
}

bool BaseKeyGone(const KeyContext& base, const fh::RegistryHive& hive) {
  return !base.isRoot && hive.FindKey(base.path) == nullptr;
}

// Resolves the key a create or open names and reads its hive; 1018 when
// the key it is relative to was removed meanwhile.
DWORD ResolveAndRead(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, TargetKey* target,
                     std::shared_ptr<const fh::RegistryHive>* hive) {
  DWORD code = ResolveTarget(hKey, lpSubKey, samDesired, target);
  if (code != ERROR_SUCCESS) return code;
  code = fh::ReadHive(target->base.location, hive);
  if (code != ERROR_SUCCESS) return code;
  return BaseKeyGone(target->base, **hive) ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

DWORD OpenKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  TargetKey target;
  std::shared_ptr<const fh::RegistryHive> hive;
  DWORD code = ResolveAndRead(hKey, lpSubKey, samDesired, &target, &hive);
  if (code != ERROR_SUCCESS) return code;
  const fh::RegistryKey* key = hive->FindKey(target.path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  if ((target.access & kWriteRights) != 0) {
    code = fh::CheckHiveWritable(target.base.location);
    if (code != ERROR_SUCCESS) return code;
  }
  *phkResult = NewHandle(target.base, key->path(), target.access, target.view64);
  return ERROR_SUCCESS;
}

DWORD CreateKey(HKEY hKey, LPCSTR lpSubKey, REGSAM samDesired, PHKEY phkResult,
                DWORD* lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  TargetKey target;
  std::shared_ptr<const fh::RegistryHive> hive;
  DWORD code = ResolveAndRead(hKey, lpSubKey, samDesired, &target, &hive);
  if (code != ERROR_SUCCESS) return code;

  std::string storedPath;
  bool created = false;
  if (const fh::RegistryKey* key = hive->FindKey(target.path)) {
    storedPath = key->path();
    if ((target.access & kWriteRights) != 0) {
      code = fh::CheckHiveWritable(target.base.location);
      if (code != ERROR_SUCCESS) return code;
    }
  } else {
    hive.reset();
    code = fh::CheckHiveWritable(target.base.location);
    if (code != ERROR_SUCCESS) return code;
    code = fh::UpdateHive(target.base.location, [&](fh::RegistryHive& current, bool* changed) {
      if (BaseKeyGone(target.base, current)) return ERROR_KEY_DELETED;
      fh::RegistryKey& key = current.CreateKey(target.path, &created);
      storedPath = key.path();
      *changed = created;
      return static_cast<DWORD>(ERROR_SUCCESS);
    });
    if (code != ERROR_SUCCESS) return code;
  }
  *phkResult = NewHandle(target.base, std::move(storedPath), target.access, target.view64);
  if (lpdwDisposition != nullptr) {
    *lpdwDisposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

DWORD SetValue(HKEY hKey, LPCWSTR lpValueName, DWORD dwType, const BYTE* lpData, DWORD cbData) {
  KeyContext context;
  DWORD code = ResolveKey(hKey, &context);
  if (code != ERROR_SUCCESS) return code;
  if ((context.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  std::string name = lpValueName != nullptr ? fh::Utf16ToUtf8(lpValueName) : std::string();
  std::string_view data(reinterpret_cast<const char*>(lpData), lpData != nullptr ? cbData : 0);
  code = fh::CheckHiveWritable(context.location);
  if (code != ERROR_SUCCESS) return code;
  return fh::UpdateHive(context.location, [&](fh::RegistryHive& hive, bool* changed) {
    fh::RegistryKey* key = hive.FindKey(context.path);
    if (key == nullptr) return ERROR_KEY_DELETED;
    *changed = key->SetValue(name, dwType, data);
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
}

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The UTF-8 form of a string value's stored UTF-16 units.
std::string NarrowStringData(std::string_view bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                     (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
  }
  return fh::Utf16ToUtf8(units);
}

DWORD QueryValue(HKEY hKey, const std::string& name, bool narrow, DWORD* lpReserved, DWORD* lpType,
                 BYTE* lpData, DWORD* lpcbData) {
  KeyContext context;
  DWORD code = ResolveKey(hKey, &context);
  if (code != ERROR_SUCCESS) return code;
  if ((context.access & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  if (lpReserved != nullptr || (lpData != nullptr && lpcbData == nullptr)) {
    return ERROR_INVALID_PARAMETER;
  }
  std::shared_ptr<const fh::RegistryHive> hive;
  code = fh::ReadHive(context.location, &hive);
  if (code != ERROR_SUCCESS) return code;
  const fh::RegistryKey* key = hive->FindKey(context.path);
  if (key == nullptr) return ERROR_KEY_DELETED;
  const fh::RegistryValue* value = key->FindValue(name);
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;

  std::string converted;
  std::string_view bytes = value->data;
  if (narrow && IsStringType(value->type)) {
    converted = NarrowStringData(bytes);
    bytes = converted;
  }
  if (lpType != nullptr) *lpType = value->type;
  if (lpcbData == nullptr) return ERROR_SUCCESS;
  auto needed = static_cast<DWORD>(bytes.size());
  if (lpData != nullptr) {
    if (*lpcbData < needed) {
      *lpcbData = needed;
      return ERROR_MORE_DATA;
    }
    if (needed > 0) std::memcpy(lpData, bytes.data(), needed);
  }
  *lpcbData = needed;
  return ERROR_SUCCESS;
}

DWORD DeleteValue(HKEY hKey, LPCSTR lpValueName) {
  KeyContext context;
  DWORD code = ResolveKey(hKey, &context);
  if (code != ERROR_SUCCESS) return code;
  if ((context.access & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  std::string name = lpValueName != nullptr ? fh::SanitizeUtf8(lpValueName) : std::string();
  code = fh::CheckHiveWritable(context.location);
  if (code != ERROR_SUCCESS) return code;
  return fh::UpdateHive(context.location, [&](fh::RegistryHive& hive, bool* changed) {
    fh::RegistryKey* key = hive.FindKey(context.path);
    if (key == nullptr) return ERROR_KEY_DELETED;
    if (!key->DeleteValue(name)) return ERROR_FILE_NOT_FOUND;
    *changed = true;
    return static_cast<DWORD>(ERROR_SUCCESS);
  });
}

DWORD CloseKey(HKEY hKey) {
  if (IsPredefinedRoot(hKey)) return ERROR_SUCCESS;
  std::unique_ptr<fh::RegistryKeyObject> object;
  fh::MutexLock guard(&g_handlesMutex);
  auto it = g_handles.find(hKey);
  if (it == g_handles.end()) return ERROR_INVALID_HANDLE;
  object = std::move(it->second);
  g_handles.erase(it);
  return ERROR_SUCCESS;
}

}  // namespace

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*Reserved*/, LPSTR /*lpClass*/,
                     DWORD /*dwOptions*/, REGSAM samDesired,
                     const SECURITY_ATTRIBUTES* /*lpSecurityAttributes*/, PHKEY phkResult,
                     DWORD* lpdwDisposition) {
  return Guarded([&] { return CreateKey(hKey, lpSubKey, samDesired, phkResult, lpdwDisposition); });
}

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD /*ulOptions*/, REGSAM samDesired,
                   PHKEY phkResult) {
  return Guarded([&] { return OpenKey(hKey, lpSubKey, samDesired, phkResult); });
}

LONG RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD /*Reserved*/, DWORD dwType,
                    const BYTE* lpData, DWORD cbData) {
  return Guarded([&] { return SetValue(hKey, lpValueName, dwType, lpData, cbData); });
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, DWORD* lpReserved, DWORD* lpType, BYTE* lpData,
                      DWORD* lpcbData) {
  return Guarded([&] {
    std::string name = lpValueName != nullptr ? fh::SanitizeUtf8(lpValueName) : std::string();
    return QueryValue(hKey, name, true, lpReserved, lpType, lpData, lpcbData);
  });
}

LONG RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD* lpReserved, DWORD* lpType,
                      BYTE* lpData, DWORD* lpcbData) {
  return Guarded([&] {
    std::string name = lpValueName != nullptr ? fh::Utf16ToUtf8(lpValueName) : std::string();
    return QueryValue(hKey, name, false, lpReserved, lpType, lpData, lpcbData);
  });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  return Guarded([&] { return DeleteValue(hKey, lpValueName); });
}

LONG RegCloseKey(HKEY hKey) {
  return Guarded([&] { return CloseKey(hKey); });
}

namespace fh {

std::size_t OpenRegistryKeyCount() {
  fh::MutexLock guard(&g_handlesMutex);
  return g_handles.size();
}

void ResetRegistryState() {
  {
    fh::MutexLock guard(&g_handlesMutex);
    g_handles.clear();
  }
  ResetRegistryStore();
}

}  // namespace fh
