#include "util/text_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

// Every line ReadTextLine gives for content.
std::vector<std::string> Lines(const std::string& content) {
  std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(std::tmpfile(), &std::fclose);
  std::fwrite(content.data(), 1, content.size(), stream.get());
  std::rewind(stream.get());
  std::vector<std::string> lines;
  std::string line;
  while (fh::ReadTextLine(stream.get(), line)) lines.push_back(line);
  EXPECT_TRUE(line.empty());
  return lines;
}

TEST(TextLineTest, LinesOfAnyLengthWithEitherLineEnd) {
  const std::string longLine(100000, 'x');
  struct Case {
    std::string content;
    std::vector<std::string> lines;
  };
  const Case cases[] = {
      {"", {}},
      {"\n", {""}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"last without end", {"last without end"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"inner\rreturn\n", {"inner\rreturn"}},
      {longLine + "\r\n" + longLine, {longLine, longLine}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content.substr(0, 40));
    EXPECT_EQ(Lines(c.content), c.lines);
  }
}

}  // namespace
