#include "tool/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct ParseCase {
  const char* label;
  std::vector<const char*> args;  // without the tool's own name
  int result;
  CommandLineOptions expected;  // compared only when result is 0
};

CommandLineOptions Options(const char* path, const char* name, const char* value, const char* type,
                           const char* op, bool use64BitView = false) {
  CommandLineOptions options;
  options.path = path;
  options.name = name;
  options.value = value;
  options.type = type;
  options.op = op;
  options.use64BitView = use64BitView;
  return options;
}

int Parse(const std::vector<const char*>& args, CommandLineOptions& options) {
  std::vector<const char*> argv{"fhprereqhandler"};
  argv.insert(argv.end(), args.begin(), args.end());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), options);
}

TEST(ParseCommandLineTest, AcceptsAndRejectsAsTheValidityRuleSays) {
  const std::vector<ParseCase> cases = {
      {"no arguments", {}, 1, {}},
      {"write without type", {"-op", "w", "-path", "K", "-name", "N", "-value", "5"}, 1, {}},
      {"delete without type and value",
       {"-op", "r", "-path", "K", "-name", "N", "-value", "5"},
       0,
       Options("K", "N", "5", "", "r")},
      {"write with every option",
       {"-op", "w", "-path", "K", "-name", "N", "-value", "5", "-type", "DWORD"},
       0,
       Options("K", "N", "5", "DWORD", "w")},
      {"upper-case op value",
       {"-op", "W", "-path", "K", "-name", "N", "-value", "v", "-type", "s"},
       0,
       Options("K", "N", "v", "s", "W")},
      {"upper-case keywords",
       {"-OP", "w", "-PATH", "K", "-Name", "N", "-VALUE", "v", "-TyPe", "s"},
       0,
       Options("K", "N", "v", "s", "w")},
      {"unknown op", {"-op", "x", "-path", "K", "-name", "N", "-value", "v", "-type", "s"}, 1, {}},
      {"op of two letters", {"-op", "rw", "-path", "K", "-name", "N"}, 1, {}},
      {"missing path", {"-op", "r", "-name", "N"}, 1, {}},
      {"missing name", {"-op", "r", "-path", "K"}, 1, {}},
      {"empty name", {"-op", "r", "-path", "K", "-name", ""}, 1, {}},
      {"empty path", {"-op", "r", "-path", "", "-name", "N"}, 1, {}},
      {"empty value on write",
       {"-op", "w", "-path", "K", "-name", "N", "-value", "", "-type", "s"},
       1,
       {}},
      {"empty type on write",
       {"-op", "w", "-path", "K", "-name", "N", "-value", "v", "-type", ""},
       1,
       {}},
      {"arch 64",
       {"-op", "r", "-path", "K", "-name", "N", "-arch", "64"},
       0,
       Options("K", "N", "", "", "r", true)},
      {"arch 32",
       {"-op", "r", "-path", "K", "-name", "N", "-arch", "32"},
       0,
       Options("K", "N", "", "", "r", false)},
      {"later arch wins",
       {"-arch", "64", "-op", "r", "-path", "K", "-name", "N", "-arch", "32"},
       0,
       Options("K", "N", "", "", "r", false)},
      {"arch as the last argument is ignored",
       {"-op", "r", "-path", "K", "-name", "N", "-arch"},
       0,
       Options("K", "N", "", "", "r", false)},
      {"a keyword's value may begin with a hyphen", {"-path", "-name", "N"}, 1, {}},
      {"hyphenated values",
       {"-op", "r", "-path", "-name", "-name", "-op"},
       0,
       Options("-name", "-op", "", "", "r")},
      {"unrecognised tokens are skipped one by one",
       {"extra", "-path", "K", "stray", "-op", "r", "-name", "N"},
       0,
       Options("K", "N", "", "", "r")},
      {"last occurrence wins",
       {"-op", "w", "-path", "A", "-path", "B", "-name", "N", "-op", "r"},
       0,
       Options("B", "N", "", "", "r")},
      {"default markers",
       {"-op", "w", "-path", "K", "-name", "--", "-value", "--", "-type", "x"},
       0,
       Options("K", "--", "--", "x", "w")},
      {"equals forms are not options", {"-op=r", "-path", "K", "-name", "N"}, 1, {}},
  };
  for (const ParseCase& c : cases) {
    CommandLineOptions options;
    EXPECT_EQ(Parse(c.args, options), c.result) << c.label;
    if (c.result != 0) continue;
    EXPECT_EQ(options.path, c.expected.path) << c.label;
    EXPECT_EQ(options.name, c.expected.name) << c.label;
    EXPECT_EQ(options.value, c.expected.value) << c.label;
    EXPECT_EQ(options.type, c.expected.type) << c.label;
    EXPECT_EQ(options.op, c.expected.op) << c.label;
    EXPECT_EQ(options.use64BitView, c.expected.use64BitView) << c.label;
  }
}

TEST(ParseCommandLineTest, TakesTheArgumentAfterAKeywordVerbatim) {
  CommandLineOptions options;
  // "-path -name" stores the text "-name" as the path; the scan goes on after it.
  ASSERT_EQ(Parse({"-path", "-name", "-op", "r", "-name", "-value"}, options), 0);
  EXPECT_EQ(options.path, "-name");
  EXPECT_EQ(options.name, "-value");
  EXPECT_EQ(options.op, "r");
}

TEST(ParseCommandLineTest, ScansTheToolNameLikeAnyOtherToken) {
  // argv[0] equal to a keyword takes argv[1] as its value.
  const char* argv[] = {"-path", "K", "-op", "r", "-name", "N"};
  CommandLineOptions options;
  ASSERT_EQ(ParseCommandLine(6, argv, options), 0);
  EXPECT_EQ(options.path, "K");
}

TEST(ParseCommandLineTest, StartsFromEmptyOptions) {
  CommandLineOptions options = Options("old", "old", "old", "old", "w", true);
  ASSERT_EQ(Parse({"-op", "r", "-path", "K", "-name", "N"}, options), 0);
  EXPECT_EQ(options.value, "");
  EXPECT_EQ(options.type, "");
  EXPECT_FALSE(options.use64BitView);
}

TEST(EqualsIgnoringCaseTest, FoldsAsciiLettersOnly) {
  EXPECT_TRUE(fh::EqualsIgnoringCase("dword", "DWORD"));
  EXPECT_TRUE(fh::EqualsIgnoringCase("DwOrD", "DWORD"));
  EXPECT_FALSE(fh::EqualsIgnoringCase("REG_DWORD", "DWORD"));
  EXPECT_FALSE(fh::EqualsIgnoringCase("DWOR", "DWORD"));
  EXPECT_FALSE(fh::EqualsIgnoringCase("DWORDS", "DWORD"));
  EXPECT_FALSE(fh::EqualsIgnoringCase("", "w"));
}

}  // namespace
