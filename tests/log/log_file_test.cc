#include "log/log_file.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "config/tessel_root.h"
#include "log/log.h"
#include "platform/clock.h"
#include "support/logging_test_helpers.h"

namespace fhtest {
namespace {

using LogFileTest = LoggingTest;

std::regex LineRegex(const std::string& tagAndMessage) {
  return std::regex(std::string("^") + kLinePrefixPattern + tagAndMessage + "$");
}

TEST_F(LogFileTest, EveryLineHasTheSevenFieldPrefix) {
  ASSERT_TRUE(OpenTestLog(4));
  LogInfo("info %d\n", 1);
  LogError("error %s\n", "two");
  LogDebug("debug %c\n", '3');
  LogTrace("trace %05.1f\n", 4.0);
  CloseLogFile();

  const std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 6u);
  const std::vector<std::string> expected = {
      R"(\[INFO\] Log open time: (.*))", R"(\[INFO\] info 1)",
      R"(\[ERROR\] error two)",          R"(\[DEBUG\] debug 3)",
      R"(\[TRACE\] trace 004\.0)",       R"(\[INFO\] Log close time: (.*))"};
  const std::string threadId = std::to_string(GetCurrentThreadId());
  for (std::size_t i = 0; i < lines.size(); ++i) {
    std::smatch match;
    ASSERT_TRUE(std::regex_match(lines[i], match, LineRegex(expected[i]))) << lines[i];
    EXPECT_EQ(match[2].str(), threadId);
    if (i == 0 || i == 5) {
      EXPECT_EQ(match[3].str(), match[1].str()) << "same stamp as the prefix";
    }
  }
}

TEST_F(LogFileTest, OpenLineReadsAsTheToolWritesIt) {
  ASSERT_TRUE(OpenTestLog(2));
  CloseLogFile();
  const std::string text = ReadFileBytes(LogPath());
  // e.g. "[ 2026-03-04 09:05:03:007 ] [ 4711 ] [INFO] Log open time: 2026-03-04 09:05:03:007\n"
  const std::regex openLine(
      R"(\[ (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}) \] \[ \d+ \] \[INFO\] Log open time: \1\n)"
      R"(\[ (\d{4}-\d\d-\d\d \d\d:\d\d:\d\d:\d{3}) \] \[ \d+ \] \[INFO\] Log close time: \2\n)");
  EXPECT_TRUE(std::regex_match(text, openLine)) << text;
}

TEST_F(LogFileTest, LevelFiltersTags) {
  struct Case {
    int level;
    std::vector<std::string> tags;
  };
  const Case cases[] = {
      {0, {}},
      {1, {"[INFO]"}},
      {2, {"[INFO]", "[ERROR]"}},
      {3, {"[INFO]", "[ERROR]", "[DEBUG]"}},
      {4, {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}},
      {255, {"[INFO]", "[ERROR]", "[DEBUG]", "[TRACE]"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.level);
    const std::string name = "level" + std::to_string(c.level) + ".log";
    fh::ResetLogFileForTesting();
    ASSERT_TRUE(OpenTestLog(c.level, name));
    LogTrace("m\n");
    LogDebug("m\n");
    LogError("m\n");
    LogInfo("m\n");
    CloseLogFile();
    std::vector<std::string> tags;
    for (const std::string& line : ReadLines(LogPath(name))) {
      if (line.find("Log open time") != std::string::npos) continue;
      if (line.find("Log close time") != std::string::npos) continue;
      std::smatch match;
      ASSERT_TRUE(std::regex_match(line, match, LineRegex(R"((\[[A-Z]+\]) m)"))) << line;
      tags.insert(tags.begin(), match[3].str());  // written from the highest threshold down
    }
    EXPECT_EQ(tags, c.tags);
  }
}

TEST_F(LogFileTest, LevelZeroStillWritesOpenAndCloseLines) {
  ASSERT_TRUE(OpenTestLog(0));
  LogInfo("dropped\n");
  CloseLogFile();
  const std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("[INFO] Log open time: "), std::string::npos);
  EXPECT_NE(lines[1].find("[INFO] Log close time: "), std::string::npos);
}

TEST_F(LogFileTest, MessageIsWrittenExactlyAsFormatted) {
  ASSERT_TRUE(OpenTestLog(1));
  LogInfo("no line end, ");
  LogInfo("%s|%5d|%-3s|%%\n", "a", 42, "b");
  const std::string longText(10000, 'x');  // longer than any internal buffer
  LogInfo("long %s end\n", longText.c_str());
  LogInfo("%s", "");
  CloseLogFile();

  const std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_TRUE(
      std::regex_match(lines[1], LineRegex(std::string(R"(\[INFO\] no line end, )") +
                                           kLinePrefixPattern + R"(\[INFO\] a\|   42\|b  \|%)")))
      << lines[1];
  EXPECT_TRUE(std::regex_match(lines[2], LineRegex(R"(\[INFO\] long x{10000} end)")));
  // The empty message leaves only the prefix, and the close line runs on.
  EXPECT_TRUE(
      std::regex_match(lines[3], LineRegex(std::string(R"(\[INFO\] )") + kLinePrefixPattern +
                                           R"(\[INFO\] Log close time: .*)")))
      << lines[3];
}

TEST_F(LogFileTest, NothingIsWrittenBeforeOpenOrAfterClose) {
  LogInfo("before anything\n");
  ASSERT_TRUE(InitLogDefaults());
  ASSERT_TRUE(SetLogParams("test.log", dir().path().c_str(), 10000, 4));
  LogError("before open\n");
  EXPECT_FALSE(FileExists(LogPath()));

  ASSERT_TRUE(OpenLogFileAppend());
  CloseLogFile();
  const std::string closed = ReadFileBytes(LogPath());
  LogError("after close\n");
  CloseLogFile();  // a second close is harmless and writes nothing
  EXPECT_EQ(ReadFileBytes(LogPath()), closed);
  EXPECT_FALSE(fh::GetLogSettingsSnapshot().isOpen);
}

TEST_F(LogFileTest, NothingIsWrittenWithoutLockToken) {
  ASSERT_TRUE(OpenTestLog(4));
  FreeLogParams();
  LogInfo("dropped\n");
  const fh::LogSettingsSnapshot settings = fh::GetLogSettingsSnapshot();
  EXPECT_TRUE(settings.isOpen);
  EXPECT_EQ(settings.lockToken, nullptr);
  EXPECT_FALSE(settings.fileName.has_value());
  CloseLogFile();
  EXPECT_EQ(ReadLines(LogPath()).size(), 2u);  // open and close lines only
}

TEST_F(LogFileTest, SecondOpenKeepsFirstStream) {
  for (const int level : {4, 3}) {
    SCOPED_TRACE(level);
    fh::ResetLogFileForTesting();
    const std::string name = "second" + std::to_string(level) + ".log";
    ASSERT_TRUE(OpenTestLog(level, name));
    const std::optional<std::string> firstPath = fh::GetLogSettingsSnapshot().fullPath;
    ASSERT_TRUE(SetLogFileName("other.log"));
    EXPECT_TRUE(OpenLogFileOverwrite());
    EXPECT_EQ(fh::GetLogSettingsSnapshot().fullPath, firstPath);
    LogInfo("still here\n");
    CloseLogFile();
    EXPECT_FALSE(FileExists(LogPath("other.log")));
    const std::vector<std::string> lines = ReadLines(LogPath(name));
    std::vector<std::string> expected = {R"(\[INFO\] Log open time: .*)"};
    if (level == 4) expected.push_back(R"(\[TRACE\] gv_logFilePtr already Set)");
    expected.push_back(R"(\[INFO\] still here)");
    expected.push_back(R"(\[INFO\] Log close time: .*)");
    ASSERT_EQ(lines.size(), expected.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      EXPECT_TRUE(std::regex_match(lines[i], LineRegex(expected[i]))) << lines[i];
    }
  }
}

TEST_F(LogFileTest, AppendKeepsAndOverwriteDiscardsOldContent) {
  ASSERT_TRUE(WriteFileBytes(LogPath(), "old line\n"));
  ASSERT_TRUE(OpenTestLog(1));
  CloseLogFile();
  std::vector<std::string> lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "old line");

  ASSERT_TRUE(OpenLogFileOverwrite());
  CloseLogFile();
  lines = ReadLines(LogPath());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].find("Log open time"), std::string::npos);
}

TEST_F(LogFileTest, PathUsesDirectoryAndCreatesItsParents) {
  const std::string directory = dir().Sub("a/b/c");
  ASSERT_TRUE(InitLogDefaults());
  ASSERT_TRUE(SetLogDirectory(directory.c_str()));
  ASSERT_TRUE(OpenLogFileAppend());
  EXPECT_EQ(fh::GetLogSettingsSnapshot().fullPath, directory + "/tessel.log");
  EXPECT_TRUE(FileExists(directory + "/tessel.log"));
}

TEST_F(LogFileTest, PathFallsBackToFrameworkRootLogs) {
  const std::string root = dir().Sub("root/inner");
  SetTesselRoot(root.c_str());
  ASSERT_TRUE(InitLogDefaults());
  ASSERT_TRUE(OpenLogFileAppend());
  EXPECT_EQ(fh::GetLogSettingsSnapshot().fullPath, root + "/logs/tessel.log");
  EXPECT_TRUE(FileExists(root + "/logs/tessel.log"));
}

TEST_F(LogFileTest, RootChangedByAnotherThreadWhileOpeningGivesAWholePath) {
  // Long enough that each root lives in its own heap buffer, which a change
  // of root releases.
  const std::string first = dir().Sub("first-root-directory-with-a-long-name");
  const std::string second = dir().Sub("second-root-directory-with-an-even-longer-name");
  SetTesselRoot(first.c_str());
  std::atomic<bool> done{false};
  std::thread changer([&] {
    for (int i = 0; !done.load(); ++i) SetTesselRoot((i % 2 == 0 ? second : first).c_str());
  });
  std::vector<std::string> paths;
  for (int i = 0; i < 1000; ++i) {
    EXPECT_TRUE(InitLogDefaults());
    if (OpenLogFileAppend()) paths.push_back(fh::GetLogSettingsSnapshot().fullPath.value_or(""));
    CloseLogFile();
    FreeLogParams();
  }
  done = true;
  changer.join();
  for (const std::string& path : paths) {
    EXPECT_TRUE(path == first + "/logs/tessel.log" || path == second + "/logs/tessel.log") << path;
  }
}

TEST_F(LogFileTest, PathFallsBackToLogsBesideWorkingDirectory) {
  const std::filesystem::path previous = std::filesystem::current_path();
  std::filesystem::create_directories(dir().Sub("work/run"));
  std::filesystem::current_path(dir().Sub("work/run"));
  ASSERT_TRUE(InitLogDefaults());
  const bool opened = OpenLogFileAppend();
  const std::optional<std::string> fullPath = fh::GetLogSettingsSnapshot().fullPath;
  CloseLogFile();
  std::filesystem::current_path(previous);

  EXPECT_TRUE(opened);
  EXPECT_EQ(fullPath, "../logs/tessel.log");
  EXPECT_TRUE(FileExists(dir().Sub("work/logs/tessel.log")));
}

TEST_F(LogFileTest, OpenFailureLeavesLogClosed) {
  ASSERT_TRUE(WriteFileBytes(dir().Sub("file"), "x"));
  ASSERT_TRUE(InitLogDefaults());
  ASSERT_TRUE(SetLogDirectory(dir().Sub("file/sub").c_str()));
  EXPECT_FALSE(OpenLogFileAppend());
  const fh::LogSettingsSnapshot settings = fh::GetLogSettingsSnapshot();
  EXPECT_FALSE(settings.isOpen);
  EXPECT_EQ(settings.fullPath, dir().Sub("file/sub") + "/tessel.log");
  LogError("dropped\n");  // must not fail

  FreeLogParams();
  EXPECT_FALSE(OpenLogFileAppend()) << "no file name set";
}

TEST_F(LogFileTest, InitLogDefaultsDependsOnState) {
  ASSERT_TRUE(InitLogDefaults());
  fh::LogSettingsSnapshot settings = fh::GetLogSettingsSnapshot();
  EXPECT_EQ(settings.fileName, "tessel.log");
  EXPECT_FALSE(settings.directory.has_value());
  EXPECT_EQ(settings.level, 3);
  EXPECT_EQ(settings.maxSize, 10000);
  ASSERT_NE(settings.lockToken, nullptr);

  // A name is set: nothing changes.
  ASSERT_TRUE(SetLogParams("x.log", dir().path().c_str(), 77, 1));
  ASSERT_TRUE(InitLogDefaults());
  settings = fh::GetLogSettingsSnapshot();
  EXPECT_EQ(settings.fileName, "x.log");
  EXPECT_EQ(settings.level, 1);
  EXPECT_EQ(settings.maxSize, 77);

  // The log is open: level and size go back to the defaults, the rest stays.
  const void* token = settings.lockToken;
  ASSERT_TRUE(OpenLogFileAppend());
  ASSERT_TRUE(InitLogDefaults());
  settings = fh::GetLogSettingsSnapshot();
  EXPECT_EQ(settings.fileName, "x.log");
  EXPECT_EQ(settings.directory, dir().path());
  EXPECT_EQ(settings.level, 3);
  EXPECT_EQ(settings.maxSize, 10000);
  EXPECT_EQ(settings.lockToken, token);
}

TEST_F(LogFileTest, SettersRefuseNull) {
  EXPECT_FALSE(SetLogFileName(nullptr));
  EXPECT_FALSE(SetLogDirectory(nullptr));
  EXPECT_FALSE(SetLogFilePtr(nullptr));
  ASSERT_TRUE(SetLogParams(nullptr, nullptr, 5, 2));
  const fh::LogSettingsSnapshot settings = fh::GetLogSettingsSnapshot();
  EXPECT_FALSE(settings.fileName.has_value());
  EXPECT_FALSE(settings.directory.has_value());
  EXPECT_EQ(settings.level, 2);
}

TEST_F(LogFileTest, SetLogFilePtrAdoptsAnOpenStream) {
  std::FILE* stream = std::fopen(LogPath("adopted.log").c_str(), "w");
  ASSERT_NE(stream, nullptr);
  ASSERT_TRUE(InitLogDefaults());
  SetLogLevel(1);
  ASSERT_TRUE(SetLogFilePtr(stream));
  LogInfo("adopted\n");
  CloseLogFile();  // closes the adopted stream
  const std::vector<std::string> lines = ReadLines(LogPath("adopted.log"));
  ASSERT_EQ(lines.size(), 2u);  // no open line
  EXPECT_TRUE(std::regex_match(lines[0], LineRegex(R"(\[INFO\] adopted)")));
}

TEST(TimeStampTest, HasTheLineFormat) {
  const std::optional<std::string> stamp = GetCurrentTimeStamp();
  ASSERT_TRUE(stamp.has_value());
  EXPECT_TRUE(std::regex_match(
      *stamp, std::regex(R"(\d{4}-(0[1-9]|1[0-2])-[0-3]\d [0-2]\d:[0-5]\d:[0-6]\d:\d{3})")))
      << *stamp;
}

}  // namespace
}  // namespace fhtest
