// The fhprereqhandler tool run as a process against a private hive: exit
// codes, console silence, the hive file it leaves and the log it writes.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "registry/registry_reader.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

constexpr char kKey[] = "Software\\Quillon\\ToolTest";
constexpr char kRedirectedKey[] = "Software\\WOW6432Node\\Quillon\\ToolTest";
constexpr int kLargeLogSize = 2000000;
#ifdef FH_TOOL_PATH
constexpr char kToolPath[] = FH_TOOL_PATH;
#else
constexpr char kToolPath[] = "";
#endif

struct ToolRun {
  int exitCode = -1;
  std::string console;  // standard output and error together
  std::string log;      // what the run added to the tool's log
};

bool EqualsFolded(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// The value lines of the hive section of HKEY_LOCAL_MACHINE\keyPath (its
// header matched without regard to case), or nullopt when the key has no
// section.
std::optional<std::string> HiveSection(const std::string& hive, const std::string& keyPath) {
  const std::string header = "[HKEY_LOCAL_MACHINE\\" + keyPath + "]";
  std::size_t position = 0;
  while (position < hive.size()) {
    std::size_t end = hive.find('\n', position);
    if (end == std::string::npos) end = hive.size();
    const std::string line = hive.substr(position, end - position);
    position = end + 1;
    if (!EqualsFolded(line, header)) continue;
    std::string values;
    while (position < hive.size()) {
      end = hive.find('\n', position);
      if (end == std::string::npos) end = hive.size();
      const std::string valueLine = hive.substr(position, end - position);
      position = end + 1;
      if (valueLine.empty()) break;
      values += valueLine + "\n";
    }
    return values;
  }
  return std::nullopt;
}

class ToolProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (kToolPath[0] == '\0') GTEST_SKIP() << "the tool is not part of this build";
    // The tool seeds the agent's own settings; the first run has no log yet.
    ASSERT_EQ(Run({"-op", "w", "-path", AGENT_REGISTRY_ROOT, "-name", "FHAgentInstallDir", "-type",
                   "string", "-value", installDir_})
                  .exitCode,
              0);
    ASSERT_EQ(Run({"-op", "w", "-path", AGENT_REGISTRY_ROOT, "-name", "FHAgentLogLevel", "-type",
                   "DWORD", "-value", "3"})
                  .exitCode,
              0);
  }

  ToolRun Run(const std::vector<std::string>& args, const std::string& user = "") {
    ToolRun run;
    const std::string before = ReadFileBytes(LogPath());
    ProcessResult result = RunProcess(user.empty() ? kToolPath : ToolCopyForOtherUsers(), args,
                                      {"FH_REGISTRY_DIR=" + hiveDir_}, user);
    run.exitCode = result.exitCode;
    run.console = result.output;
    const std::string after = ReadFileBytes(LogPath());
    run.log = after.size() >= before.size() && after.compare(0, before.size(), before) == 0
                  ? after.substr(before.size())
                  : after;
    return run;
  }

  // The build tree may lie below a directory other users cannot enter, so
  // a run as another user starts a copy of the tool in the test's own
  // (world-readable) directory.
  std::string ToolCopyForOtherUsers() {
    const std::string copy = root_.Sub("fhprereqhandler");
    if (!FileExists(copy)) {
      std::filesystem::copy_file(kToolPath, copy);
      chmod(copy.c_str(), 0755);
    }
    return copy;
  }

  std::string Hive() const { return ReadFileBytes(HivePath()); }
  std::string HivePath() const { return hiveDir_ + "/HKLM.reg"; }
  std::string LogDir() const { return installDir_ + "logs"; }
  std::string LogPath() const { return LogDir() + "/fhprereqhandler.log"; }
  std::string BackupPath(int number) const {
    return LogDir() + "/fhprereqhandler" + std::to_string(number) + ".log";
  }

  TempDir root_;
  std::string hiveDir_ = root_.Sub("registry");
  std::string installDir_ = root_.Sub("agent") + "/";
};

TEST_F(ToolProcessTest, SeedingStoresTheAgentSettingsInTheRedirectedView) {
  const std::optional<std::string> agent =
      HiveSection(Hive(), "Software\\WOW6432Node\\Quillon\\Fernhall\\FHAgent");
  ASSERT_TRUE(agent.has_value()) << Hive();
  EXPECT_THAT(*agent, HasSubstr("\"FHAgentInstallDir\"=\"" + installDir_ + "\"\n"));
  EXPECT_THAT(*agent, HasSubstr("\"FHAgentLogLevel\"=dword:00000003\n"));
  // The second seeding run found the install directory and logged there.
  EXPECT_THAT(ReadFileBytes(LogPath()), HasSubstr("[INFO] Reg value written successfully.\n"));
}

TEST_F(ToolProcessTest, AnInvalidCommandLineExitsWithOneAndChangesNothing) {
  const std::vector<std::vector<std::string>> invalid = {
      {},
      {"-op", "w", "-path", kKey, "-name", "N", "-value", "5"},
      {"-op", "x", "-path", kKey, "-name", "N", "-value", "5", "-type", "DWORD"},
      {"-path", "-name", "N"},
      {"-op", "w", "-path", kKey, "-name", "N", "-value", "", "-type", "string"},
      {"-op", "r", "-path", kKey, "-name", ""},
      {"-op", "r", "-path", kKey, "-name"},
  };
  const std::string hive = Hive();
  for (const auto& args : invalid) {
    const ToolRun run = Run(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.console, "");
    EXPECT_THAT(run.log, HasSubstr("[INFO] Log open time: "));
    EXPECT_THAT(run.log, HasSubstr("[ERROR] Invalid arguments.\n"));
    EXPECT_THAT(run.log, HasSubstr("[INFO] Log close time: "));
    EXPECT_THAT(run.log, Not(HasSubstr("writeValueEx")));
  }
  EXPECT_EQ(Hive(), hive);
}

TEST_F(ToolProcessTest, WritesDwordsAndStringsAsTheTypeSays) {
  struct Case {
    std::vector<std::string> args;
    std::string hiveLine;
  };
  const std::vector<Case> cases = {
      {{"-op", "W", "-path", kKey, "-name", "D", "-type", "dword", "-value", "42"},
       "\"D\"=dword:0000002a\n"},
      {{"-OP", "w", "-PATH", kKey, "-NAME", "R", "-TYPE", "REG_DWORD", "-VALUE", "42"},
       "\"R\"=\"42\"\n"},
      {{"-op", "w", "-path", kKey, "-name", "Q", "-type", "QWORD", "-value", "7"}, "\"Q\"=\"7\"\n"},
      {{"-op", "w", "-path", kKey, "-name", "Z", "-type", "DWORD", "-value", "--"},
       "\"Z\"=dword:00000000\n"},
      {{"-op", "w", "-path", kKey, "-name", "M", "-type", "DWORD", "-value", "-1"},
       "\"M\"=dword:ffffffff\n"},
      {{"-op", "w", "-path", kKey, "-name", "--", "-type", "string", "-value", "--"}, "@=\"\"\n"},
      {{"-op", "w", "-path", kKey, "-name", "Grüße", "-type", "string", "-value", "Grüße, 世界"},
       "\"Grüße\"=\"Grüße, 世界\"\n"},
      {{"extra", "-op", "w", "-path", kKey, "-name", "X", "-type", "s", "-value", "a\"b\\c"},
       "\"X\"=\"a\\\"b\\\\c\"\n"},
  };
  for (const Case& c : cases) {
    const ToolRun run = Run(c.args);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.console, "");
    EXPECT_THAT(run.log, HasSubstr("[INFO] Reg value written successfully.\n"));
    const std::optional<std::string> section = HiveSection(Hive(), kRedirectedKey);
    ASSERT_TRUE(section.has_value()) << Hive();
    EXPECT_THAT(*section, HasSubstr(c.hiveLine));
  }
  EXPECT_FALSE(HiveSection(Hive(), kKey).has_value()) << "written outside the redirected view";
}

TEST_F(ToolProcessTest, DeletesAndReportsFailuresWithExitCodeZero) {
  ASSERT_EQ(
      Run({"-op", "w", "-path", kKey, "-name", "N", "-type", "DWORD", "-value", "1"}).exitCode, 0);
  ToolRun run = Run({"-op", "r", "-path", kKey, "-name", "N", "-value", "ignored", "-arch"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_THAT(run.log, HasSubstr("[INFO] Reg value deleted successfully.\n"));
  const std::optional<std::string> section = HiveSection(Hive(), kRedirectedKey);
  ASSERT_TRUE(section.has_value()) << "the key stays";
  EXPECT_THAT(*section, Not(HasSubstr("\"N\"")));

  run = Run({"-op", "r", "-path", kKey, "-name", "N"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.log, HasSubstr("[ERROR] deleteValueEx:  Delete value N failure! \n"));
  EXPECT_THAT(run.log, HasSubstr("[ERROR] Failed to delete reg value with error code : 2\n"));

  run = Run({"-op", "r", "-path", "Software\\Quillon\\Nowhere", "-name", "N"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_THAT(
      run.log,
      HasSubstr("[ERROR] deleteValueEx:  Software\\Quillon\\Nowhere Key not found!: 2  \n"));
  EXPECT_THAT(run.log, HasSubstr("[ERROR] Failed to delete reg value with error code : 2\n"));
}

TEST_F(ToolProcessTest, Arch64WritesAndDeletesInThe64BitView) {
  ToolRun run = Run(
      {"-op", "w", "-path", kKey, "-name", "V", "-type", "DWORD", "-value", "64", "-arch", "64"});
  ASSERT_EQ(run.exitCode, 0);
  std::optional<std::string> native = HiveSection(Hive(), kKey);
  ASSERT_TRUE(native.has_value()) << Hive();
  EXPECT_THAT(*native, HasSubstr("\"V\"=dword:00000040\n"));
  EXPECT_FALSE(HiveSection(Hive(), kRedirectedKey).has_value());

  run = Run({"-arch", "64", "-op", "w", "-path", kKey, "-name", "V", "-type", "DWORD", "-value",
             "32", "-arch", "32"});
  ASSERT_EQ(run.exitCode, 0);
  const std::optional<std::string> redirected = HiveSection(Hive(), kRedirectedKey);
  ASSERT_TRUE(redirected.has_value());
  EXPECT_THAT(*redirected, HasSubstr("\"V\"=dword:00000020\n"));

  run = Run({"-op", "r", "-path", kKey, "-name", "V", "-arch", "64"});
  EXPECT_THAT(run.log, HasSubstr("[INFO] Reg value deleted successfully.\n"));
  native = HiveSection(Hive(), kKey);
  ASSERT_TRUE(native.has_value());
  EXPECT_THAT(*native, Not(HasSubstr("\"V\"")));
  EXPECT_THAT(*HiveSection(Hive(), kRedirectedKey), HasSubstr("\"V\"=dword:00000020\n"));
}

TEST_F(ToolProcessTest, ConcurrentRunsLoseNoWrite) {
  constexpr int kRuns = 8;
  std::vector<int> exitCodes(kRuns, -1);
  std::vector<std::thread> runners;
  for (int i = 0; i < kRuns; ++i) {
    runners.emplace_back([this, i, &exitCodes] {
      const ProcessResult result =
          RunProcess(kToolPath,
                     {"-op", "w", "-path", kKey, "-name", "c" + std::to_string(i), "-type", "DWORD",
                      "-value", std::to_string(i)},
                     {"FH_REGISTRY_DIR=" + hiveDir_});
      exitCodes[i] = result.exitCode;
    });
  }
  for (std::thread& runner : runners) runner.join();
  const std::optional<std::string> section = HiveSection(Hive(), kRedirectedKey);
  ASSERT_TRUE(section.has_value());
  for (int i = 0; i < kRuns; ++i) {
    EXPECT_EQ(exitCodes[i], 0);
    char line[64];
    std::snprintf(line, sizeof line, "\"c%d\"=dword:%08x\n", i, i);
    EXPECT_THAT(*section, HasSubstr(line));
  }
}

TEST_F(ToolProcessTest, ACorruptHiveIsLeftAloneAndTheRunGoesOnWithoutALog) {
  // The agent's settings live in the same hive, so the run cannot find its
  // log directory either: it writes nothing anywhere and still exits 0.
  const std::string corrupt = "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\x\n";
  ASSERT_TRUE(WriteFileBytes(HivePath(), corrupt));
  const std::string log = ReadFileBytes(LogPath());
  const ToolRun run =
      Run({"-op", "w", "-path", kKey, "-name", "N", "-type", "DWORD", "-value", "1"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_EQ(ReadFileBytes(HivePath()), corrupt);
  EXPECT_EQ(ReadFileBytes(LogPath()), log);
}

TEST_F(ToolProcessTest, AnUnprivilegedUserGetsAccessDeniedInTheLog) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to run the tool as nobody";
  // The hive is readable but not writable for nobody; the log directory is
  // writable, so the failure is recorded.
  namespace fs = std::filesystem;
  chmod(hiveDir_.c_str(), 0755);
  for (const fs::directory_entry& entry : fs::directory_iterator(hiveDir_)) {
    chmod(entry.path().c_str(), 0644);
  }
  chmod(LogDir().c_str(), 0777);
  chmod(LogPath().c_str(), 0666);
  const std::string hive = Hive();

  ToolRun run =
      Run({"-op", "w", "-path", kKey, "-name", "N", "-type", "DWORD", "-value", "1"}, "nobody");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.console, "");
  EXPECT_THAT(run.log, HasSubstr("[ERROR] addRegistryKeyEx:  Create registry key "
                                 "\"Software\\Quillon\\ToolTest\" function failed: 5 \n"));
  EXPECT_THAT(run.log, HasSubstr("[ERROR] Error Code : 5 , Error Message : "));
  EXPECT_THAT(run.log,
              HasSubstr("[ERROR] writeValueEx:  WriteValue failure during key creation! 5 \n"));
  EXPECT_THAT(run.log, HasSubstr("[ERROR] Failed to write reg value with error code : 5\n"));

  run = Run({"-op", "r", "-path", AGENT_REGISTRY_ROOT, "-name", "FHAgentLogLevel"}, "nobody");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_THAT(run.log, HasSubstr("[ERROR] deleteValueEx:  Software\\Quillon\\Fernhall\\FHAgent Key "
                                 "not found!: 5  \n"));
  EXPECT_THAT(run.log, HasSubstr("[ERROR] Failed to delete reg value with error code : 5\n"));
  EXPECT_EQ(Hive(), hive);
}

TEST_F(ToolProcessTest, ALogOfTwoMillionBytesIsRolledBeforeTheOpenLine) {
  const std::string old(kLargeLogSize, 'x');
  ASSERT_TRUE(WriteFileBytes(LogPath(), old));
  const ToolRun run = Run({"-op", "r", "-path", kKey, "-name", "N"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(BackupPath(1)), old);
  const std::string live = ReadFileBytes(LogPath());
  EXPECT_THAT(live, StartsWith("[ "));
  EXPECT_THAT(live.substr(0, live.find('\n')), HasSubstr(" [INFO] Log open time: "));
  EXPECT_THAT(live, HasSubstr("[INFO] Log close time: "));
}

TEST_F(ToolProcessTest, ALogOneByteShortIsNotRolled) {
  const std::string old(kLargeLogSize - 1, 'x');
  ASSERT_TRUE(WriteFileBytes(LogPath(), old));
  Run({"-op", "r", "-path", kKey, "-name", "N"});
  EXPECT_FALSE(FileExists(BackupPath(1)));
  EXPECT_THAT(ReadFileBytes(LogPath()), StartsWith(old));
}

TEST_F(ToolProcessTest, RollingWithSixEarlierBackupsKeepsFour) {
  const std::string old(kLargeLogSize, 'x');
  ASSERT_TRUE(WriteFileBytes(LogPath(), old));
  for (int number = 1; number <= 6; ++number) {
    ASSERT_TRUE(WriteFileBytes(BackupPath(number), "backup " + std::to_string(number)));
  }
  const ToolRun run = Run({"-op", "r", "-path", kKey, "-name", "N"});
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(ReadFileBytes(BackupPath(1)), old);
  EXPECT_EQ(ReadFileBytes(BackupPath(2)), "backup 1");
  EXPECT_EQ(ReadFileBytes(BackupPath(3)), "backup 2");
  EXPECT_EQ(ReadFileBytes(BackupPath(4)), "backup 3");
  EXPECT_FALSE(FileExists(BackupPath(5)));
  EXPECT_FALSE(FileExists(BackupPath(6)));
}

}  // namespace
}  // namespace fhtest
