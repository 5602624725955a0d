#include "logging/rotation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "log/log_file.h"
#include "logging/agent_logging.h"
#include "support/logging_test_helpers.h"

namespace fhtest {
namespace {

constexpr DWORD kThreshold = 2000000;

class RotationTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    logs_ = dir().Sub("logs");
    std::filesystem::create_directories(logs_);
    std::filesystem::create_directories(dir().Sub("diag"));
    // The rotation's own lines go to a log outside the rotated directory.
    ASSERT_TRUE(InitLogDefaults());
    ASSERT_TRUE(SetLogParams("diag.log", dir().Sub("diag").c_str(), 10000, 4));
    ASSERT_TRUE(OpenLogFileAppend());
  }

  std::string In(const std::string& name) const { return logs_ + "/" + name; }
  void Put(const std::string& name, const std::string& bytes) {
    ASSERT_TRUE(WriteFileBytes(In(name), bytes));
  }
  std::string Diagnostics() const { return ReadFileBytes(dir().Sub("diag/diag.log")); }
  bool Logged(const std::string& text) const {
    return Diagnostics().find(text) != std::string::npos;
  }
  // The names in the rotated directory, sorted.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(logs_)) {
      names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
  }

  std::string logs_;
};

TEST_F(RotationTest, EverRunningProcessRotatesAtThresholdExactly) {
  Put("x.log", std::string(kThreshold - 1, 'a'));
  EXPECT_EQ(RotateLoggerForEverRunningProcess(logs_.c_str(), "x.log", 5, kThreshold), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"x.log"});
  EXPECT_TRUE(Logged("[DEBUG] CheckLogSizeReached : The size is less the required size \n"));

  Put("x.log", std::string(kThreshold, 'b'));
  EXPECT_EQ(RotateLoggerForEverRunningProcess(logs_.c_str(), "x.log", 5, kThreshold), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.log", "x1.log"}));
  EXPECT_EQ(FileSize(In("x.log")), 0);
  EXPECT_EQ(FileSize(In("x1.log")), kThreshold);
  EXPECT_TRUE(Logged("[INFO] CheckLogSizeReached : The log file size of " + logs_ +
                     "\\x.log is given by 2000000 \n"));
  EXPECT_TRUE(
      Logged("[INFO] CheckLogSizeReached : The size is greater than the given size .........\n"));
}

TEST_F(RotationTest, ModeZeroRotatesOnlyAboveThreshold) {
  Put("x.log", std::string(kThreshold, 'a'));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 0), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"x.log"});

  Put("x.log", std::string(kThreshold + 1, 'a'));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 0), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"x1.log"}) << "mode 0 moves the live file away";
  EXPECT_EQ(FileSize(In("x1.log")), kThreshold + 1);
}

TEST_F(RotationTest, OnlyLiveFileMovesToNumberOne) {
  Put("x.log", "live\n");
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 1), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.log", "x1.log"}));
  EXPECT_EQ(ReadFileBytes(In("x1.log")), "live\n");
  EXPECT_EQ(FileSize(In("x.log")), 0);
  EXPECT_TRUE(Logged("so we are going to truncate the content of the first one \n"));
}

TEST_F(RotationTest, FullChainShiftsAndOldestFallsOff) {
  Put("x.log", "live");
  for (int i = 1; i <= 4; ++i) Put("x" + std::to_string(i) + ".log", "backup" + std::to_string(i));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 1), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.log", "x1.log", "x2.log", "x3.log", "x4.log"}));
  EXPECT_EQ(ReadFileBytes(In("x.log")), "");
  EXPECT_EQ(ReadFileBytes(In("x1.log")), "live");
  EXPECT_EQ(ReadFileBytes(In("x2.log")), "backup1");
  EXPECT_EQ(ReadFileBytes(In("x3.log")), "backup2");
  EXPECT_EQ(ReadFileBytes(In("x4.log")), "backup3");
}

TEST_F(RotationTest, NeverMoreThanFourBackupsRemain) {
  for (const int backups : {5, 6}) {
    SCOPED_TRACE(backups);
    Put("x.log", "live");
    for (int i = 1; i <= backups; ++i)
      Put("x" + std::to_string(i) + ".log", "b" + std::to_string(i));
    EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 1), 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"x.log", "x1.log", "x2.log", "x3.log", "x4.log"}));
    EXPECT_EQ(ReadFileBytes(In("x1.log")), "live");
    EXPECT_EQ(ReadFileBytes(In("x4.log")), "b3");
  }
}

TEST_F(RotationTest, OtherFilesWithBaseNameOnlyAddSteps) {
  Put("x.log", "live");
  Put("x.bak", "other");
  std::filesystem::create_directories(In("xdir"));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, kThreshold, 1), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"x.bak", "x.log", "x1.log", "xdir"}));
  EXPECT_EQ(ReadFileBytes(In("x1.log")), "live");
  EXPECT_EQ(ReadFileBytes(In("x.bak")), "other");
  EXPECT_TRUE(Logged(
      "RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : 3 \n"));
  EXPECT_TRUE(Logged("RotateSpecificLogs : CopyFile failed to move from "));
}

TEST_F(RotationTest, ListRotatesEveryFileAndLeavesCallerTextAlone) {
  Put("a.log", "A");
  Put("b.log", "B");
  const std::string list = "a.log;;b.log";
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), list.c_str(), 5, kThreshold, 1), 0);
  EXPECT_EQ(list, "a.log;;b.log");
  EXPECT_EQ(Names(), (std::vector<std::string>{"a.log", "a1.log", "b.log", "b1.log"}));
  EXPECT_EQ(ReadFileBytes(In("a1.log")), "A");
  EXPECT_EQ(ReadFileBytes(In("b1.log")), "B");
}

TEST_F(RotationTest, NameWithoutLogExtensionIsRefused) {
  Put("notes.txt", "keep");
  Put("1.log", "unrelated");
  Put(".log", "no base");
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "notes.txt;.log", 5, kThreshold, 1), 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{".log", "1.log", "notes.txt"}));
  EXPECT_EQ(ReadFileBytes(In("1.log")), "unrelated");
  EXPECT_TRUE(
      Logged("[ERROR] RotateSpecificLogs : The file name notes.txt is not a base name "
             "followed by .log , so it is not rotated \n"));
}

TEST_F(RotationTest, ModeZeroSkipsMissingFileAndGoesOn) {
  Put("b.log", std::string(11, 'b'));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "a.log;b.log", 5, 10, 0), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"b1.log"});
  EXPECT_TRUE(
      Logged("[ERROR] RotateSpecificLogs : hFile is NULL or not AVAILABLE (Errorcode : 2) "
             "for the file name " +
             logs_ + "\\a.log . \n"));
  EXPECT_TRUE(
      Logged("RotateSpecificLogs : Sucessfully got the " + logs_ + "\\b.log File size = 11 \n"));
}

TEST_F(RotationTest, OtherModesRotateNothing) {
  Put("x.log", std::string(100, 'x'));
  EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", 5, 1, 2), 0);
  EXPECT_EQ(Names(), std::vector<std::string>{"x.log"});
}

TEST_F(RotationTest, MissingDirectoryComesFromInstallDir) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(RotateSpecificLogs(nullptr, "x.log", 5, kThreshold, 1), 2);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "RotateSpecificLogs : Unable to get the agent installed directory 2 \n");
  EXPECT_EQ(RotateLoggerForEverRunningProcess(nullptr, "x.log", 5, kThreshold), 2);

  WriteAgentInstallDir(dir().path() + "/");
  Put("x.log", std::string(10, 'x'));
  EXPECT_EQ(RotateSpecificLogs(nullptr, "x.log", 5, kThreshold, 1), 0);
  EXPECT_EQ(ReadFileBytes(In("x1.log")), std::string(10, 'x'));
  Put("x.log", "again");
  EXPECT_EQ(RotateLoggerForEverRunningProcess(nullptr, "x.log", 5, 1), 0);
  EXPECT_EQ(ReadFileBytes(In("x1.log")), "again");
  EXPECT_EQ(ReadFileBytes(In("x2.log")), std::string(10, 'x'));
  EXPECT_EQ(fh::GetAgentInstallDir(), dir().path() + "/");
}

TEST_F(RotationTest, CheckLogSizeReachedMeasuresAtLeast) {
  Put("x.log", std::string(100, 'x'));
  EXPECT_EQ(CheckLogSizeReached(In("x.log").c_str(), 99), 1);
  EXPECT_EQ(CheckLogSizeReached(In("x.log").c_str(), 100), 1);
  EXPECT_EQ(CheckLogSizeReached(In("x.log").c_str(), 101), 0);
  EXPECT_EQ(CheckLogSizeReached(In("missing.log").c_str(), 1), 0);
  EXPECT_TRUE(Logged("[ERROR] CheckLogSizeReached : Unable to get the file handle \n"));
  EXPECT_TRUE(Logged("[ERROR] CheckLogSizeReached : Error occurred in getting the size 6 \n"));
}

TEST_F(RotationTest, CountsEntriesStartingWithBaseName) {
  Put("x.log", "");
  Put("x1.log", "");
  Put("xy.txt", "");
  Put("y.log", "");
  std::filesystem::create_directories(In("x-dir"));
  EXPECT_EQ(FindNumberOfRepeatedFileNames(logs_.c_str(), "x"), 4);
  EXPECT_EQ(FindNumberOfRepeatedFileNames(logs_.c_str(), "y"), 1);
  EXPECT_EQ(FindNumberOfRepeatedFileNames(logs_.c_str(), "z"), -1);
  EXPECT_EQ(FindNumberOfRepeatedFileNames(dir().Sub("absent").c_str(), "x"), -1);
  EXPECT_TRUE(Logged("[ERROR] FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n"));
}

TEST(MakeBackupFileNameTest, JoinsBaseNameAndNumber) {
  struct Case {
    const char* directory;
    const char* fileName;
    int number;
    const char* expected;
  };
  const Case cases[] = {
      {"/l", "fhprereqhandler.log", 1, "/l\\fhprereqhandler1.log"},
      {"/l\\", "x.log", 4, "/l\\\\x4.log"},
      {"d", "a.log.log", 2, "d\\a2.log"},
      {"d", "a.logfile", 0, "d\\a0.log"},
      {"d", "noext", 3, "d\\3.log"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeBackupFileName(c.directory, c.fileName, c.number), c.expected) << c.fileName;
  }
}

}  // namespace
}  // namespace fhtest
