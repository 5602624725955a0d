#include "platform/paths.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct NormalizeCase {
  const char* input;
  const char* expected;
};

TEST(NormalizePath, SeparatorsAndRuns) {
  const NormalizeCase cases[] = {
      {"/opt/fh\\logs\\\\x.log", "/opt/fh/logs/x.log"},
      {"..\\data\\x.xml", "../data/x.xml"},
      {"\\\\server\\share", "/server/share"},
      {"//opt///fh", "/opt/fh"},
      {"logs\\", "logs/"},
      {"logs\\/\\", "logs/"},
      {"C:\\Agent\\logs\\\\fh.log", "C:/Agent/logs/fh.log"},
      {"a/./b/../c", "a/./b/../c"},
      {"Mixed/Case\\Name.LOG", "Mixed/Case/Name.LOG"},
      {"plain", "plain"},
      {"\\", "/"},
      {"", ""},
  };
  for (const NormalizeCase& c : cases) {
    EXPECT_EQ(c.expected, fh::NormalizePath(c.input)) << "input: " << c.input;
  }
}

TEST(NormalizePath, ParentAndLastComponent) {
  const NormalizeCase parents[] = {
      {"a/b/c", "a/b"}, {"c", "."}, {"/c", "/"}, {"a/b/", "a"}, {"/", "/"}, {"", "."},
  };
  for (const NormalizeCase& c : parents) {
    EXPECT_EQ(c.expected, fh::ParentOfNormalized(c.input)) << "input: " << c.input;
  }
  const NormalizeCase lasts[] = {{"a/b/c", "c"}, {"c", "c"}, {"a/b/", ""}, {"/x*.*", "x*.*"}};
  for (const NormalizeCase& c : lasts) {
    EXPECT_EQ(c.expected, fh::LastComponent(c.input)) << "input: " << c.input;
  }
}

}  // namespace
