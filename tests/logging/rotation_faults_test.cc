// Rotation when the file system fails under it: copies that stop part-way,
// a truncation that fails, a full disk while the process logs. Whatever
// fails, no line that reached a file is lost, the backups keep their order
// (x4.log oldest ... x.log newest) and the caller gets 0.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "log/log.h"
#include "log/log_file.h"
#include "logging/rotation.h"
#include "support/logging_test_helpers.h"
#include "support/system_call_faults.h"

namespace fhtest {
namespace {

// Larger than one copy chunk (64 KiB), so that a copy takes several writes.
constexpr std::size_t kBackupSize = 70000;
constexpr int kKeep = 5;
const char* const kChain[] = {"x4.log", "x3.log", "x2.log", "x1.log", "x.log"};  // oldest first

// The content of the file of generation g (0 oldest, 4 the live file).
std::string Generation(int g) { return std::string(kBackupSize, static_cast<char>('a' + g)); }

class RotationFaultTest : public LoggingTest {
 protected:
  void SetUp() override {
    LoggingTest::SetUp();
    logs_ = dir().Sub("logs");
    std::filesystem::create_directories(logs_);
    std::filesystem::create_directories(dir().Sub("diag"));
    ASSERT_TRUE(InitLogDefaults());
    ASSERT_TRUE(SetLogParams("diag.log", dir().Sub("diag").c_str(), 10000, 4));
    ASSERT_TRUE(OpenLogFileAppend());
  }

  std::string In(const std::string& name) const { return logs_ + "/" + name; }
  bool Diagnosed(const std::string& text) const {
    return ReadFileBytes(dir().Sub("diag/diag.log")).find(text) != std::string::npos;
  }

  // x4.log ... x.log holding generations 0 ... 4, nothing else.
  void PutFullChain() {
    for (const auto& entry : std::filesystem::directory_iterator(logs_)) {
      std::filesystem::remove(entry.path());
    }
    for (int g = 0; g < kKeep; ++g) ASSERT_TRUE(WriteFileBytes(In(kChain[g]), Generation(g)));
  }

  // The generations found in x4.log ... x.log, oldest first; an empty file
  // (the emptied live file, or its copy) adds nothing. Fails on any other
  // content and on a stray file.
  std::vector<int> Generations() const {
    std::vector<int> found;
    for (const char* name : kChain) {
      if (!FileExists(In(name))) continue;
      const std::string bytes = ReadFileBytes(In(name));
      if (bytes.empty()) continue;
      const int g = bytes[0] - 'a';
      EXPECT_TRUE(g >= 0 && g < kKeep && bytes == Generation(g)) << name << " is torn";
      found.push_back(g);
    }
    for (const auto& entry : std::filesystem::directory_iterator(logs_)) {
      const std::string name = entry.path().filename().string();
      EXPECT_TRUE(std::find(std::begin(kChain), std::end(kChain), name) != std::end(kChain))
          << "left behind: " << name;
    }
    return found;
  }

  // Every generation but the oldest is still there, in order.
  void ExpectNothingLostInOrder(const std::string& context) {
    const std::vector<int> found = Generations();
    EXPECT_TRUE(std::is_sorted(found.begin(), found.end())) << context;
    for (int g = 1; g < kKeep; ++g) {
      EXPECT_NE(std::find(found.begin(), found.end(), g), found.end())
          << context << ": generation " << g << " lost";
    }
  }

  std::string logs_;
};

struct FaultKind {
  Call call;
  int err;
  const char* name;
};

// Fails each call of each kind in turn (the 1st open, the 2nd open, ...)
// during a full-chain rotation in both modes.
TEST_F(RotationFaultTest, AnyFailingCallLosesNoBackupAndKeepsTheOrder) {
  const FaultKind kinds[] = {
      {Call::kOpen, EIO, "open"},          {Call::kRead, EIO, "read"},
      {Call::kWrite, ENOSPC, "write"},     {Call::kMakeTemporary, ENOSPC, "mkostemp"},
      {Call::kRename, EIO, "rename"},      {Call::kUnlink, EACCES, "unlink"},
      {Call::kOpendir, EMFILE, "opendir"}, {Call::kStat, EIO, "stat"},
  };
  testing::internal::CaptureStdout();  // failed truncations are reported there
  for (int mode : {fh::kRotateMoveLiveFile, fh::kRotateTruncateLiveFile}) {
    for (const FaultKind& kind : kinds) {
      for (int nth = 1;; ++nth) {
        const std::string context = std::string(kind.name) + " #" + std::to_string(nth) +
                                    " failing, mode " + std::to_string(mode);
        PutFullChain();
        bool fired = false;
        {
          SystemCallFault fault(kind.call, nth, kind.err);
          EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", kKeep, 0, mode), 0) << context;
          fired = fault.fired();
        }
        ExpectNothingLostInOrder(context);
        // The next rotation, with nothing failing, keeps what is left in order.
        EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", kKeep, 0, mode), 0);
        const std::vector<int> after = Generations();
        EXPECT_TRUE(std::is_sorted(after.begin(), after.end())) << context << ", then a clean one";
        if (!fired) break;
        ASSERT_LT(nth, 100) << context;
      }
    }
  }
  testing::internal::GetCapturedStdout();
}

TEST_F(RotationFaultTest, BackupCopyFailingPartWayStopsTheShift) {
  PutFullChain();
  {
    // x3 -> x4 takes writes 1 and 2; x2 -> x3 fails at its second write.
    SystemCallFault full(Call::kWrite, 4, ENOSPC);
    EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", kKeep, 0, fh::kRotateTruncateLiveFile), 0);
    EXPECT_EQ(full.failures(), 1);
  }
  EXPECT_EQ(ReadFileBytes(In("x4.log")), Generation(1));
  EXPECT_FALSE(FileExists(In("x3.log")));
  EXPECT_EQ(ReadFileBytes(In("x2.log")), Generation(2)) << "not overwritten by x1.log";
  EXPECT_EQ(ReadFileBytes(In("x1.log")), Generation(3));
  EXPECT_EQ(ReadFileBytes(In("x.log")), Generation(4)) << "the live file stays whole";
  EXPECT_TRUE(Diagnosed("RotateSpecificLogs : CopyFile failed to move from " + logs_ +
                        "\\x2.log to  " + logs_ + "\\x3.log and the error code is 112 \n"));
}

TEST_F(RotationFaultTest, LiveCopyFailingPartWayKeepsTheLiveFile) {
  const std::string live(3 * kBackupSize, 'l');
  ASSERT_TRUE(WriteFileBytes(In("x.log"), live));
  {
    SystemCallFault full(Call::kWrite, 2, ENOSPC);
    EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", kKeep, 0, fh::kRotateTruncateLiveFile), 0);
    EXPECT_EQ(full.failures(), 1);
  }
  EXPECT_EQ(ReadFileBytes(In("x.log")), live);
  EXPECT_FALSE(FileExists(In("x1.log")));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(logs_),
                          std::filesystem::directory_iterator()),
            1)
      << "no temporary copy left";
  EXPECT_TRUE(Diagnosed("and the error code is 112 \n"));
}

TEST_F(RotationFaultTest, FailedTruncationKeepsBothCopiesAndSaysSo) {
  ASSERT_TRUE(WriteFileBytes(In("x.log"), Generation(4)));
  testing::internal::CaptureStdout();
  {
    // The first open of x.log is the copy's, the second the truncation's.
    SystemCallFault denied(Call::kOpen, 2, EACCES, 1, "/x.log");
    EXPECT_EQ(RotateSpecificLogs(logs_.c_str(), "x.log", kKeep, 0, fh::kRotateTruncateLiveFile), 0);
    EXPECT_EQ(denied.failures(), 1);
  }
  const std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ(ReadFileBytes(In("x1.log")), Generation(4));
  EXPECT_EQ(ReadFileBytes(In("x.log")), Generation(4));
  EXPECT_EQ(printed, "RotateSpecificLogs : Truncate Existing backup File failed file Name -" +
                         logs_ + "\\x.log errorcode - 5\n");
}

// The running process's own log: a full disk drops the lines written while
// it lasts and stops the rotation's copies; every other line survives,
// whole and in order, across the backups and x.log.
TEST_F(RotationFaultTest, FullDiskWhileLoggingLosesNoWrittenLine) {
  CloseLogFile();
  ASSERT_TRUE(SetLogParams("x.log", logs_.c_str(), 10000, 4));
  ASSERT_TRUE(OpenLogFileAppend());
  LogInfo("kept 1\n");
  LogError("kept 2\n");
  {
    SystemCallFault full(Call::kFwrite, 1, ENOSPC, -1);
    LogInfo("dropped 1\n");
    LogError("dropped 2\n");
    EXPECT_EQ(RotateLoggerForEverRunningProcess(logs_.c_str(), "x.log", kKeep, 1), 0);
    EXPECT_TRUE(full.fired());
  }
  LogInfo("kept 3\n");
  {
    SystemCallFault full(Call::kWrite, 1, ENOSPC, -1);
    EXPECT_EQ(RotateLoggerForEverRunningProcess(logs_.c_str(), "x.log", kKeep, 1), 0);
    EXPECT_TRUE(full.fired());
  }
  LogInfo("kept 4\n");
  EXPECT_EQ(RotateLoggerForEverRunningProcess(logs_.c_str(), "x.log", kKeep, 1), 0);
  LogInfo("kept 5\n");
  CloseLogFile();

  std::vector<std::string> lines;
  for (const char* name : kChain) {
    const std::vector<std::string> more = ReadLines(In(name));
    lines.insert(lines.end(), more.begin(), more.end());
  }
  const std::regex keptLine(std::string(kLinePrefixPattern) + R"(\[(INFO|ERROR)\] (kept \d))");
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    EXPECT_EQ(line.find("dropped"), std::string::npos) << line;
    std::smatch match;
    if (std::regex_match(line, match, keptLine)) kept.push_back(match[4]);
  }
  EXPECT_EQ(kept, (std::vector<std::string>{"kept 1", "kept 2", "kept 3", "kept 4", "kept 5"}));
}

}  // namespace
}  // namespace fhtest
