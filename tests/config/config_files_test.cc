#include "config/config_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "config/tessel_root.h"
#include "support/scoped_working_directory.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace {

std::string ReadAll(std::FILE* stream) {
  std::string text;
  for (int c = std::fgetc(stream); c != EOF; c = std::fgetc(stream)) text.push_back(char(c));
  return text;
}

// A temporary tree: <top>/work is the working directory, <top>/data the
// data directory next to it, <top>/root/data the data directory under a
// framework root.
class DataDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fh::ResetTesselRoot();
    ASSERT_EQ(::mkdir(top_.Sub("work").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(top_.Sub("root").c_str(), 0755), 0);
    ASSERT_EQ(::mkdir(top_.Sub("root/data").c_str(), 0755), 0);
  }
  void TearDown() override { fh::ResetTesselRoot(); }

  void MakeWorkingDataDirectory() { ASSERT_EQ(::mkdir(top_.Sub("data").c_str(), 0755), 0); }
  std::string root() const { return top_.Sub("root"); }

  fhtest::TempDir top_;
};

TEST_F(DataDirectoryTest, ComposesBothLocations) {
  EXPECT_EQ(fh::ComposeDataPath(fh::DataDirectory::kWorkingDirectory, "x.txt"),
            std::optional<std::string>("..\\data\\x.txt"));
  EXPECT_FALSE(fh::ComposeDataPath(fh::DataDirectory::kTesselRoot, "x.txt").has_value());
  SetTesselRoot("/opt/fh");
  EXPECT_EQ(fh::ComposeDataPath(fh::DataDirectory::kTesselRoot, "x.txt"),
            std::optional<std::string>("/opt/fh/data/x.txt"));
  EXPECT_FALSE(fh::ComposeDataPath(fh::DataDirectory::kWorkingDirectory, nullptr).has_value());
}

TEST_F(DataDirectoryTest, WorkingDirectoryLocationWinsAndRootIsNotConsulted) {
  MakeWorkingDataDirectory();
  ASSERT_TRUE(fhtest::WriteFileBytes(top_.Sub("data/settings.txt"), "near"));
  ASSERT_TRUE(fhtest::WriteFileBytes(top_.Sub("root/data/settings.txt"), "under root"));
  SetTesselRoot(root().c_str());
  fhtest::TempDir logDir;
  fhtest::TestLog log(logDir.path());

  fhtest::ScopedWorkingDirectory cwd(top_.Sub("work"));
  ASSERT_TRUE(cwd.changed());
  fh::OpenedConfigFile file = fh::OpenConfigFile("settings.txt");
  ASSERT_TRUE(file.stream);
  EXPECT_EQ(file.location, fh::DataDirectory::kWorkingDirectory);
  EXPECT_EQ(file.path, "..\\data\\settings.txt");
  EXPECT_EQ(ReadAll(file.stream.get()), "near");

  log.Close();
  EXPECT_EQ(log.Messages().find("Opening"), std::string::npos);
}

TEST_F(DataDirectoryTest, FallsBackToTheRootAndLogsTheAttempt) {
  ASSERT_TRUE(fhtest::WriteFileBytes(top_.Sub("root/data/settings.txt"), "under root"));
  SetTesselRoot(root().c_str());
  fhtest::TempDir logDir;
  fhtest::TestLog log(logDir.path());

  fhtest::ScopedWorkingDirectory cwd(top_.Sub("work"));
  fh::OpenedConfigFile file = fh::OpenConfigFile("settings.txt");
  ASSERT_TRUE(file.stream);
  EXPECT_EQ(file.location, fh::DataDirectory::kTesselRoot);
  EXPECT_EQ(file.path, root() + "/data/settings.txt");
  EXPECT_EQ(ReadAll(file.stream.get()), "under root");

  log.Close();
  EXPECT_NE(log.Messages().find("[DEBUG] Opening " + root() + "/data/settings.txt\n"),
            std::string::npos);
}

TEST_F(DataDirectoryTest, NeitherLocationOrNoRootGivesNoStream) {
  fhtest::ScopedWorkingDirectory cwd(top_.Sub("work"));
  fh::OpenedConfigFile missing = fh::OpenConfigFile("settings.txt");
  EXPECT_FALSE(missing.stream);
  EXPECT_TRUE(missing.path.empty());

  SetTesselRoot(root().c_str());
  EXPECT_FALSE(fh::OpenConfigFile("settings.txt").stream);
  EXPECT_FALSE(fh::OpenConfigFile(nullptr).stream);
}

TEST_F(DataDirectoryTest, GivenPathFallsBackToItsLastComponentUnderTheRoot) {
  MakeWorkingDataDirectory();
  ASSERT_TRUE(fhtest::WriteFileBytes(top_.Sub("root/data/map.txt"), "root map"));
  SetTesselRoot(root().c_str());
  fhtest::ScopedWorkingDirectory cwd(top_.Sub("work"));

  fh::OpenedConfigFile viaRoot = fh::OpenConfigFileAt("..\\data\\map.txt");
  ASSERT_TRUE(viaRoot.stream);
  EXPECT_EQ(viaRoot.location, fh::DataDirectory::kTesselRoot);
  EXPECT_EQ(ReadAll(viaRoot.stream.get()), "root map");

  ASSERT_TRUE(fhtest::WriteFileBytes(top_.Sub("data/map.txt"), "near map"));
  fh::OpenedConfigFile direct = fh::OpenConfigFileAt("..\\data\\map.txt");
  ASSERT_TRUE(direct.stream);
  EXPECT_EQ(direct.location, fh::DataDirectory::kWorkingDirectory);
  EXPECT_EQ(ReadAll(direct.stream.get()), "near map");

  fh::OpenedConfigFile slashes = fh::OpenConfigFileAt("../data/map.txt");
  ASSERT_TRUE(slashes.stream);
  EXPECT_EQ(ReadAll(slashes.stream.get()), "near map");
}

TEST_F(DataDirectoryTest, PathsLongerThanTheLimitAreNeverOpened) {
  // A real file whose path is one character over the limit, and one at it.
  std::string directory = top_.path();
  while (directory.size() < fh::kMaxDataPathLength - 20) {
    directory += "/" + std::string(15, 'd');
    ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
  }
  const std::string prefix = directory + "/";
  const std::string atLimit = prefix + std::string(fh::kMaxDataPathLength - prefix.size(), 'f');
  const std::string overLimit = atLimit + "g";
  ASSERT_EQ(atLimit.size(), fh::kMaxDataPathLength);
  ASSERT_TRUE(fhtest::WriteFileBytes(atLimit, "ok"));
  ASSERT_TRUE(fhtest::WriteFileBytes(overLimit, "too long"));

  EXPECT_TRUE(fh::OpenDataFileForRead(atLimit.c_str()));
  EXPECT_FALSE(fh::OpenDataFileForRead(overLimit.c_str()));
  EXPECT_FALSE(fh::OpenDataFileForRead(nullptr));
}

TEST(ReadConfigTokenTest, SplitsAtAnyWhiteSpace) {
  struct Case {
    const char* content;
    std::vector<std::string> tokens;
  };
  const std::string longToken(1000, 't');
  const Case cases[] = {
      {"", {}},
      {" \n\t ", {}},
      {"one", {"one"}},
      {"a b\nc\t\td\r\n", {"a", "b", "c", "d"}},
      {"  lead trail  ", {"lead", "trail"}},
      {"x\vy\fz", {"x", "y", "z"}},
  };
  fhtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    ASSERT_TRUE(fhtest::WriteFileBytes(dir.Sub("tokens.txt"), c.content));
    fh::ConfigFileStream stream = fh::OpenDataFileForRead(dir.Sub("tokens.txt").c_str());
    ASSERT_TRUE(stream);
    std::vector<std::string> tokens;
    std::string token;
    while (fh::ReadConfigToken(stream.get(), token)) tokens.push_back(token);
    EXPECT_EQ(tokens, c.tokens);
    EXPECT_TRUE(token.empty());
  }

  ASSERT_TRUE(fhtest::WriteFileBytes(dir.Sub("long.txt"), longToken + "\nnext"));
  fh::ConfigFileStream stream = fh::OpenDataFileForRead(dir.Sub("long.txt").c_str());
  std::string token;
  ASSERT_TRUE(fh::ReadConfigToken(stream.get(), token));
  EXPECT_EQ(token, longToken);  // never cut
  ASSERT_TRUE(fh::ReadConfigToken(stream.get(), token));
  EXPECT_EQ(token, "next");
  EXPECT_FALSE(fh::ReadConfigToken(nullptr, token));
}

}  // namespace
