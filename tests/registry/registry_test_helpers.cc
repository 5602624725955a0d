#include "registry/registry_test_helpers.h"

#include <cstdlib>

#include "platform/registry.h"
#include "registry/registry_writer.h"

namespace fhtest {

StoredValue QueryStoredValue(const char* subKey, const std::u16string& name, REGSAM extraAccess) {
  StoredValue value;
  HKEY key = nullptr;
  value.code = RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | extraAccess, &key);
  if (value.code != ERROR_SUCCESS) return value;
  DWORD size = 0;
  value.code = RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
  if (value.code == ERROR_SUCCESS) {
    value.bytes.assign(size, '\0');
    value.code = RegQueryValueExW(key, name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.bytes.data()), &size);
    value.bytes.resize(size);
  }
  RegCloseKey(key);
  return value;
}

LONG StoreValue(const char* subKey, const std::u16string& name, DWORD type,
                const std::string& bytes, REGSAM extraAccess) {
  HKEY key = nullptr;
  LONG code = RegCreateKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, nullptr, 0,
                              KEY_ALL_ACCESS | extraAccess, nullptr, &key, nullptr);
  if (code != ERROR_SUCCESS) return code;
  code = RegSetValueExW(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
  RegCloseKey(key);
  return code;
}

bool KeyExists(const char* subKey, REGSAM extraAccess) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, subKey, 0, KEY_QUERY_VALUE | extraAccess, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

std::string WideBytes(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  bytes.append(2, '\0');
  return bytes;
}

void RegistryTest::SetUp() {
  setenv("FH_REGISTRY_DIR", hiveDir_.path().c_str(), 1);
  fh::ResetRegistryViewFlag();
  log_ = std::make_unique<TestLog>(logDir_.path());
  ASSERT_TRUE(log_->opened());
}

void RegistryTest::TearDown() {
  EXPECT_EQ(fh::OpenRegistryKeyCount(), 0u) << "a registry key was left open";
  log_.reset();
  fh::ResetRegistryViewFlag();
  unsetenv("FH_REGISTRY_DIR");
}

}  // namespace fhtest
