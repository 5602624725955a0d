// Shared fixture of the registry tests: a private hive directory
// (FH_REGISTRY_DIR), a real log at level 4 and raw access to stored values.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/win32_types.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace fhtest {

// A value as the hive holds it.
struct StoredValue {
  LONG code = 0;  // 0, or the Win32 code of the open or the query
  DWORD type = REG_NONE;
  std::string bytes;
};

// Reads root HKEY_LOCAL_MACHINE\subKey's value `name` through the wide query.
// extraAccess KEY_WOW64_64KEY reads the 64-bit view.
StoredValue QueryStoredValue(const char* subKey, const std::u16string& name,
                             REGSAM extraAccess = 0);

// Stores bytes as a value through the platform directly (no logging).
LONG StoreValue(const char* subKey, const std::u16string& name, DWORD type,
                const std::string& bytes, REGSAM extraAccess = 0);

// True when the key exists in the view.
bool KeyExists(const char* subKey, REGSAM extraAccess = 0);

// Bytes of a little-endian UTF-16 text with its terminator.
std::string WideBytes(const std::u16string& text);

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  std::string HivePath() const { return hiveDir_.Sub("HKLM.reg"); }
  std::string Messages() const { return log_->Messages(); }

  TempDir hiveDir_;
  TempDir logDir_;
  std::unique_ptr<TestLog> log_;
};

}  // namespace fhtest
