#include "support/logging_test_helpers.h"

#include <cstdlib>
#include <fstream>

#include "config/tessel_root.h"
#include "log/log_file.h"
#include "logging/agent_logging.h"
#include "platform/registry.h"
#include "platform/timer_queue.h"
#include "registry/registry_reader.h"

namespace fhtest {
namespace {

HKEY CreateAgentKey() {
  HKEY key = nullptr;
  const LONG code = RegCreateKeyExA(HKEY_LOCAL_MACHINE, AGENT_REGISTRY_ROOT, 0, nullptr, 0,
                                    KEY_ALL_ACCESS, nullptr, &key, nullptr);
  EXPECT_EQ(code, 0);
  return key;
}

}  // namespace

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::ifstream in(path, std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

long long FileSize(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) return -1;
  return static_cast<long long>(in.tellg());
}

void WriteAgentInstallDir(const std::string& directory) {
  HKEY key = CreateAgentKey();
  std::u16string wide(directory.begin(), directory.end());  // ASCII paths only
  wide.push_back(u'\0');
  EXPECT_EQ(RegSetValueExW(key, u"FHAgentInstallDir", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(wide.data()),
                           static_cast<DWORD>(wide.size() * sizeof(char16_t))),
            0);
  RegCloseKey(key);
}

void WriteAgentLogLevel(DWORD level) {
  HKEY key = CreateAgentKey();
  EXPECT_EQ(RegSetValueExW(key, u"FHAgentLogLevel", 0, REG_DWORD,
                           reinterpret_cast<const BYTE*>(&level), sizeof(level)),
            0);
  RegCloseKey(key);
}

void LoggingTest::SetUp() {
  ASSERT_FALSE(hive_.path().empty());
  ASSERT_FALSE(dir_.path().empty());
  setenv("FH_REGISTRY_DIR", hive_.path().c_str(), 1);
  fh::ResetRegistryState();
  fh::ResetAgentLoggingForTesting();
  fh::ResetTesselRoot();
}

void LoggingTest::TearDown() {
  fh::ResetAgentLoggingForTesting();
  fh::ResetTesselRoot();
  fh::ResetRegistryState();
  unsetenv("FH_REGISTRY_DIR");
}

bool LoggingTest::OpenTestLog(int level, const std::string& fileName) {
  return InitLogDefaults() &&
         SetLogParams(fileName.c_str(), dir_.path().c_str(), 10000,
                      static_cast<std::uint8_t>(level)) &&
         OpenLogFileAppend();
}

}  // namespace fhtest
