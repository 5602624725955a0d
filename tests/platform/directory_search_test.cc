#include "platform/directory_search.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/last_error.h"
#include "platform/wildcard.h"
#include "support/test_support.h"

namespace {

struct WildcardCase {
  const char* pattern;
  const char* name;
  bool matches;
};

TEST(Wildcard, WindowsRules) {
  const WildcardCase cases[] = {
      // "*.*" matches every name, with or without a dot.
      {"*.*", "README", true},
      {"*.*", "a.b", true},
      {"*.*", ".", true},
      {"*.*", "..", true},
      {"*", "anything.at.all", true},
      // The rotation's count: base name, then anything.
      {"x*.*", "x", true},
      {"x*.*", "x.log", true},
      {"x*.*", "x1.log", true},
      {"x*.*", "x.bak", true},
      {"x*.*", "y.log", false},
      {"x*.*", "ax.log", false},
      {"fhprereqhandler*.*", "fhprereqhandler4.log", true},
      {"fhprereqhandler*.*", "fhprereq.log", false},
      // '?' is exactly one character.
      {"?.log", "a.log", true},
      {"?.log", "ab.log", false},
      {"?.log", ".log", false},
      {"a?c", "abc", true},
      {"a?c", "ac", false},
      {"a?c", "a.c", true},
      // Letter case does not matter.
      {"X*.*", "x2.log", true},
      {"*.LOG", "app.log", true},
      {"App.Log", "aPP.lOG", true},
      // Plain stars.
      {"*.log", "x.log", true},
      {"*.log", "x.log1", false},
      {"*.log", "log", false},
      {"a*b*c", "aXXbYYc", true},
      {"a*b*c", "aXXbYY", false},
      {"*a", "bba", true},
      {"*a", "ab", false},
      {"**x", "x", true},
      {"abc", "abcd", false},
      {"abc", "ab", false},
      // A final ".*" may match nothing; other positions may not.
      {"*.txt.*", "x.txt", true},
      {"*.txt.*", "x.txt.gz", true},
      {"a.*b", "ab", false},
      // Bytes beyond ASCII compare exactly.
      {"\xC3\xA9*", "\xC3\xA9t\xC3\xA9", true},
      {"\xC3\x89*", "\xC3\xA9t\xC3\xA9", false},
  };
  for (const WildcardCase& c : cases) {
    EXPECT_EQ(c.matches, fh::MatchesWildcard(c.pattern, c.name))
        << "pattern \"" << c.pattern << "\" name \"" << c.name << "\"";
  }
}

TEST(Wildcard, NameOrderIgnoresCaseFirst) {
  EXPECT_TRUE(fh::NameOrderLess("a", "B"));
  EXPECT_TRUE(fh::NameOrderLess("B", "c"));
  EXPECT_TRUE(fh::NameOrderLess("X", "x"));  // equal but for case: bytes decide
  EXPECT_FALSE(fh::NameOrderLess("x", "X"));
  EXPECT_TRUE(fh::NameOrderLess("x", "x1"));
  EXPECT_FALSE(fh::NameOrderLess("same", "same"));
}

class DirectorySearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"x.log", "x1.log", "X2.LOG", "x.bak", "y.log"}) {
      ASSERT_TRUE(fhtest::WriteFileBytes(dir_.Sub(name), name));
    }
    ASSERT_EQ(0, MakeOneDirectory(dir_.Sub("xdir").c_str()));
  }

  // Every entry a search returns, in order; the final error after the last.
  std::vector<std::string> Search(const std::string& pattern, DWORD* endError) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA data{};
    HANDLE search = FindFirstFileA(pattern.c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
      *endError = GetLastError();
      return names;
    }
    do {
      names.emplace_back(data.cFileName);
    } while (FindNextFileA(search, &data));
    *endError = GetLastError();
    EXPECT_TRUE(FindClose(search));
    return names;
  }

  fhtest::TempDir dir_;
};

TEST_F(DirectorySearchTest, BaseNamePatternCountsFilesAndDirectories) {
  DWORD endError = 0;
  std::vector<std::string> names = Search(dir_.path() + "\\x*.*", &endError);
  EXPECT_EQ((std::vector<std::string>{"x.bak", "x.log", "x1.log", "X2.LOG", "xdir"}), names);
  EXPECT_EQ(ERROR_NO_MORE_FILES, endError);
}

TEST_F(DirectorySearchTest, StarReturnsDotEntriesToo) {
  DWORD endError = 0;
  std::vector<std::string> names = Search(dir_.path() + "/*", &endError);
  EXPECT_EQ(
      (std::vector<std::string>{".", "..", "x.bak", "x.log", "x1.log", "X2.LOG", "xdir", "y.log"}),
      names);
  EXPECT_EQ(names, Search(dir_.path() + "/*.*", &endError));
}

TEST_F(DirectorySearchTest, EntryDataDescribesTheEntry) {
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA((dir_.path() + "/x1.LOG").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_STREQ("x1.log", data.cFileName);
  EXPECT_EQ(FILE_ATTRIBUTE_NORMAL, data.dwFileAttributes);
  EXPECT_EQ(6u, data.nFileSizeLow);  // the file holds its own name
  EXPECT_EQ(0u, data.nFileSizeHigh);
  // Written within the last years: past 2020-01-01 in FILETIME ticks.
  EXPECT_GT(data.ftLastWriteTime.dwHighDateTime, 0x01D5C000u);
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
  EXPECT_FALSE(FindNextFileA(search, &data));  // stays at the end
  EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
  FindClose(search);

  search = FindFirstFileA((dir_.path() + "/xd?r").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, data.dwFileAttributes);
  EXPECT_EQ(0u, data.nFileSizeLow);
  FindClose(search);
}

TEST_F(DirectorySearchTest, FailedSearches) {
  struct Case {
    std::string pattern;
    DWORD error;
  } cases[] = {
      {dir_.path() + "/z*.*", ERROR_FILE_NOT_FOUND},
      {dir_.path() + "/missing/*", ERROR_PATH_NOT_FOUND},
      {dir_.path() + "/x.log/*", ERROR_PATH_NOT_FOUND},
      {dir_.path() + "/", ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    WIN32_FIND_DATAA data{};
    SetLastError(0);
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(c.pattern.c_str(), &data)) << c.pattern;
    EXPECT_EQ(c.error, GetLastError()) << c.pattern;
  }
  WIN32_FIND_DATAA data{};
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA(nullptr, &data));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
  EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileA((dir_.path() + "/*").c_str(), nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST_F(DirectorySearchTest, HandlesAreChecked) {
  WIN32_FIND_DATAA data{};
  EXPECT_FALSE(FindNextFileA(INVALID_HANDLE_VALUE, &data));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  HANDLE search = FindFirstFileA((dir_.path() + "/*.log").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  EXPECT_TRUE(FindClose(search));
  EXPECT_FALSE(FindClose(search));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());

  // FindClose refuses a file handle and leaves it open.
  HANDLE file =
      CreateFileA(dir_.Sub("x.log").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_FALSE(FindClose(file));
  EXPECT_EQ(ERROR_INVALID_HANDLE, GetLastError());
  EXPECT_TRUE(CloseHandle(file));
}

TEST_F(DirectorySearchTest, ListIsTakenWhenTheSearchStarts) {
  WIN32_FIND_DATAA data{};
  HANDLE search = FindFirstFileA((dir_.path() + "/y*").c_str(), &data);
  ASSERT_NE(INVALID_HANDLE_VALUE, search);
  ASSERT_TRUE(fhtest::WriteFileBytes(dir_.Sub("y2.log"), "later"));
  EXPECT_FALSE(FindNextFileA(search, &data));
  EXPECT_EQ(ERROR_NO_MORE_FILES, GetLastError());
  FindClose(search);
}

}  // namespace
