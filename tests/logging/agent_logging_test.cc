#include "logging/agent_logging.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "log/log.h"
#include "log/log_file.h"
#include "logging/rotation_timer.h"
#include "support/logging_test_helpers.h"

namespace fhtest {
namespace {

constexpr char kToolLog[] = "fhprereqhandler.log";

class AgentLoggingTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    installDir_ = dir().Sub("agent") + "/";
    WriteAgentInstallDir(installDir_);
  }

  std::string ToolLogPath(const std::string& name = kToolLog) const {
    return installDir_ + "logs/" + name;
  }
  // The tags of the lines between the open and the close line.
  std::vector<std::string> Tags() const {
    std::vector<std::string> tags;
    const std::regex tagged(std::string("^") + kLinePrefixPattern + R"((\[[A-Z]+\]) (.*)$)");
    for (const std::string& line : ReadLines(ToolLogPath())) {
      std::smatch match;
      EXPECT_TRUE(std::regex_match(line, match, tagged)) << line;
      if (match[4].str().rfind("Log open time", 0) == 0) continue;
      if (match[4].str().rfind("Log close time", 0) == 0) continue;
      tags.push_back(match[3].str());
    }
    return tags;
  }
  void LogAllLevels() {
    LogInfo("i\n");
    LogError("e\n");
    LogDebug("d\n");
    LogTrace("t\n");
  }

  std::string installDir_;
};

TEST_F(AgentLoggingTest, StartOpensToolLogAtDefaultLevel) {
  EXPECT_EQ(StartAgentLogging(kToolLog), 0);
  EXPECT_EQ(fh::GetAgentInstallDir(), installDir_);
  const fh::LogSettingsSnapshot settings = fh::GetLogSettingsSnapshot();
  EXPECT_TRUE(settings.isOpen);
  EXPECT_EQ(settings.fullPath, installDir_ + "logs/" + kToolLog);
  EXPECT_EQ(settings.level, 2);
  EXPECT_EQ(settings.maxSize, 10000000);
  EXPECT_NE(fh::GetLoggerTimerQueue(), nullptr);

  LogAllLevels();
  EXPECT_EQ(StopAgentLogging(), 0);
  LogInfo("after stop\n");
  EXPECT_EQ(fh::GetLoggerTimerQueue(), nullptr);
  EXPECT_EQ(Tags(), (std::vector<std::string>{"[INFO]", "[ERROR]"}));
  const std::vector<std::string> lines = ReadLines(ToolLogPath());
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines.front().find("[INFO] Log open time: "), std::string::npos);
  EXPECT_NE(lines.back().find("[INFO] Log close time: "), std::string::npos);
}

TEST_F(AgentLoggingTest, RegistryLevelKeepsLowEightBits) {
  struct Case {
    DWORD registryLevel;
    std::vector<std::string> tags;
  };
  const Case cases[] = {
      {0, {}},
      {3, {"[INFO]", "[ERROR]", "[DEBUG]"}},
      {256, {}},
      {260, {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.registryLevel);
    WriteAgentLogLevel(c.registryLevel);
    std::remove(ToolLogPath().c_str());
    EXPECT_EQ(StartAgentLogging(kToolLog), 0);
    // Start-up lines (InitMutex at trace level) are left out of the comparison.
    const std::size_t before = Tags().size();
    LogAllLevels();
    StopAgentLogging();
    std::vector<std::string> tags = Tags();
    tags.erase(tags.begin(), tags.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(tags, c.tags);
  }
}

TEST_F(AgentLoggingTest, MissingInstallDirOpensNothing) {
  fhtest::TempDir emptyHive;
  setenv("FH_REGISTRY_DIR", emptyHive.path().c_str(), 1);
  EXPECT_EQ(StartAgentLogging(kToolLog), 2);
  EXPECT_FALSE(fh::GetLogSettingsSnapshot().isOpen);
  EXPECT_EQ(fh::GetLoggerTimerQueue(), nullptr);
  LogError("nowhere\n");
  EXPECT_EQ(StopAgentLogging(), 0);
  EXPECT_FALSE(FileExists(installDir_ + "logs"));
}

TEST_F(AgentLoggingTest, FullLogIsRolledBeforeTheOpenLine) {
  ASSERT_TRUE(std::filesystem::create_directories(installDir_ + "logs"));
  const std::string full(2000000, 'z');
  ASSERT_TRUE(WriteFileBytes(ToolLogPath(), full));
  EXPECT_EQ(StartAgentLogging(kToolLog), 0);
  LogInfo("first of the run\n");
  StopAgentLogging();

  EXPECT_EQ(ReadFileBytes(ToolLogPath("fhprereqhandler1.log")), full);
  const std::vector<std::string> lines = ReadLines(ToolLogPath());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_NE(lines[0].find("[INFO] Log open time: "), std::string::npos);
  EXPECT_NE(lines[1].find("[INFO] first of the run"), std::string::npos);
}

TEST_F(AgentLoggingTest, LogBelowThresholdIsAppendedTo) {
  ASSERT_TRUE(std::filesystem::create_directories(installDir_ + "logs"));
  ASSERT_TRUE(WriteFileBytes(ToolLogPath(), std::string(1999999, 'z')));
  EXPECT_EQ(StartAgentLogging(kToolLog), 0);
  StopAgentLogging();
  EXPECT_FALSE(FileExists(ToolLogPath("fhprereqhandler1.log")));
  EXPECT_GT(FileSize(ToolLogPath()), 1999999);
}

TEST_F(AgentLoggingTest, InitAgentLoggerOpenModes) {
  const std::string logs = dir().Sub("own");
  ASSERT_TRUE(std::filesystem::create_directories(logs));
  ASSERT_TRUE(WriteFileBytes(logs + "/x.log", "old\n"));
  EXPECT_EQ(InitAgentLogger("x.log", logs.c_str(), 1), 0);
  CloseLogFile();
  EXPECT_EQ(ReadLines(logs + "/x.log").front(), "old");

  EXPECT_EQ(InitAgentLogger("x.log", logs.c_str(), 2), 0);
  CloseLogFile();
  EXPECT_NE(ReadLines(logs + "/x.log").front().find("Log open time"), std::string::npos);

  ASSERT_TRUE(WriteFileBytes(dir().Sub("blocker"), ""));
  EXPECT_EQ(InitAgentLogger("x.log", dir().Sub("blocker/logs").c_str(), 1), 13);
}

TEST_F(AgentLoggingTest, InitAgentLoggerTracesTheObjectLockStart) {
  WriteAgentLogLevel(4);
  const std::string logs = dir().Sub("own");
  ASSERT_EQ(InitAgentLogger("x.log", logs.c_str(), 1), 0);
  // The second start finds the log open at trace level.
  ASSERT_EQ(InitAgentLogger("x.log", logs.c_str(), 1), 0);
  CloseLogFile();
  const std::vector<std::string> lines = ReadLines(logs + "/x.log");
  const auto traced = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.find("[TRACE] ") != std::string::npos;
  });
  ASSERT_NE(traced, lines.end());
  // "\n\t@@@@@ Inside InitMutex() @@@@@\n": the line's text starts on the next line.
  ASSERT_LT(traced + 1, lines.end());
  EXPECT_EQ(*(traced + 1), "\t@@@@@ Inside InitMutex() @@@@@");
}

TEST_F(AgentLoggingTest, NullFileNameIsRefused) {
  EXPECT_EQ(StartAgentLogging(nullptr), 13);
  EXPECT_FALSE(fh::GetLogSettingsSnapshot().isOpen);
}

}  // namespace
}  // namespace fhtest
