// Shared pieces of the logging tests: a fixture with its own registry hive
// (FH_REGISTRY_DIR) and a clean logging state, the agent's registry values,
// and readers for log files.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/win32_types.h"
#include "support/test_support.h"

namespace fhtest {

// "[ 2026-03-04 09:05:03:007 ] [ 4711 ] " as a regular expression (ECMAScript),
// the thread id captured as group 2 and the time stamp as group 1.
inline constexpr char kLinePrefixPattern[] =
    R"(\[ (\d{4,}-\d{2}-\d{2} \d{2}:\d{2}:\d{2}:\d{3}) \] \[ (-?\d+) \] )";

// The file's lines, each without its "\n" (a last line without one counts).
std::vector<std::string> ReadLines(const std::string& path);

// The size of the file, or -1 when it does not exist.
long long FileSize(const std::string& path);

// Writes the agent's values under HKEY_LOCAL_MACHINE\<agent key>.
void WriteAgentInstallDir(const std::string& directory);
void WriteAgentLogLevel(DWORD level);

class LoggingTest : public ::testing::Test {
 protected:
  // A fresh hive directory, an empty logging state and no framework root.
  void SetUp() override;
  // Stops everything SetUp started and leaves the state empty again.
  void TearDown() override;

  // Opens dir()/<fileName> at level through the settings functions.
  bool OpenTestLog(int level, const std::string& fileName = "test.log");
  std::string LogPath(const std::string& fileName = "test.log") const { return dir_.Sub(fileName); }
  const TempDir& dir() const { return dir_; }

 private:
  TempDir hive_;
  TempDir dir_;
};

}  // namespace fhtest
