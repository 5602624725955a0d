#include "log/directories.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/test_support.h"

namespace fhtest {
namespace {

TEST(GetParentPathTest, RemovesLastComponent) {
  struct Case {
    const char* path;
    const char* parent;
  };
  const Case cases[] = {
      {"a/b/c", "a/b"}, {"a/b/", "a"},   {"a/b///", "a"},    {"a//b", "a"},
      {"/a/b", "/a"},   {"/a", ""},      {"a", ""},          {"", ""},
      {"/", ""},        {"a\\b\\c", ""}, {"a\\b/c", "a\\b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(GetParentPath(c.path), c.parent) << c.path;
  }
  EXPECT_EQ(GetParentPath(nullptr), "");
}

TEST(TrimTrailingSlashesTest, RemovesOnlyTrailingSlashes) {
  struct Case {
    const char* path;
    const char* trimmed;
  };
  const Case cases[] = {
      {"a/b", "a/b"}, {"a/b/", "a/b"}, {"a/b///", "a/b"}, {"/", ""},
      {"//", ""},     {"", ""},        {"a\\", "a\\"},    {"/a//b", "/a//b"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimTrailingSlashes(c.path), c.trimmed) << c.path;
  }
  EXPECT_EQ(TrimTrailingSlashes(nullptr), "");
}

TEST(MakeDirectoryTest, CreatesOneLevelOnly) {
  TempDir dir;
  EXPECT_EQ(MakeDirectory(dir.Sub("one").c_str()), 0);
  EXPECT_EQ(MakeDirectory(dir.Sub("one").c_str()), EEXIST);
  EXPECT_EQ(MakeDirectory(dir.Sub("missing/two").c_str()), ENOENT);
  EXPECT_FALSE(FileExists(dir.Sub("missing")));
  EXPECT_EQ(MakeDirectory(nullptr), EINVAL);
}

TEST(MakeDirectoryPathTest, CreatesMissingParents) {
  TempDir dir;
  EXPECT_EQ(MakeDirectoryPath(dir.Sub("a/b/c").c_str()), 0);
  EXPECT_TRUE(std::filesystem::is_directory(dir.Sub("a/b/c")));
  EXPECT_EQ(MakeDirectoryPath(dir.Sub("a/b/c").c_str()), 1);
  EXPECT_EQ(MakeDirectoryPath(dir.Sub("a/b").c_str()), 1);
  EXPECT_EQ(MakeDirectoryPath(dir.Sub("x/y/").c_str()), 0);  // trailing '/'
  EXPECT_TRUE(std::filesystem::is_directory(dir.Sub("x/y")));
}

TEST(MakeDirectoryPathTest, ReportsWhatCannotBeCreated) {
  TempDir dir;
  ASSERT_TRUE(WriteFileBytes(dir.Sub("file"), "x"));
  EXPECT_EQ(MakeDirectoryPath(dir.Sub("file/sub/deeper").c_str()), ENOTDIR);
  // Backslashes only: no parent is found, the first error stands.
  const std::string backslashed = "fh-no-such-dir\\inner";
  EXPECT_EQ(MakeDirectoryPath(backslashed.c_str()), ENOENT);
  EXPECT_EQ(MakeDirectoryPath(nullptr), EINVAL);
}

}  // namespace
}  // namespace fhtest
