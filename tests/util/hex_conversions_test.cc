#include "util/hex_conversions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

TEST(HexDigitTest, DigitValuesAndNonDigits) {
  struct Case {
    char c;
    char hexValue;     // GetHexValue
    int decimalValue;  // ConvertToDecimalFromHexa
  };
  const Case cases[] = {
      {'0', 0, 0},   {'9', 9, 9},   {'A', 10, 10}, {'F', 15, 15},   {'a', 10, 10},
      {'f', 15, 15}, {'g', 'g', 0}, {'G', 'G', 0}, {'/', '/', 0},   {':', ':', 0},
      {'@', '@', 0}, {'`', '`', 0}, {' ', ' ', 0}, {'\0', '\0', 0}, {'\xff', '\xff', 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("character code ") + std::to_string(static_cast<int>(c.c)));
    EXPECT_EQ(GetHexValue(c.c), c.hexValue);
    EXPECT_EQ(ConvertToDecimalFromHexa(c.c), c.decimalValue);
  }
}

TEST(ConvertToHexValueTest, PacksDigitPairsInPlace) {
  struct Case {
    std::string text;
    std::size_t n;
    std::string expected;  // the whole buffer afterwards
  };
  const Case cases[] = {
      {"0aFf", 4, std::string("\x0a\xff", 2) + "Ff"},
      {"abc", 3, std::string("\xab") + "bc"},     // odd last digit ignored, rest untouched
      {"g1zz", 4, std::string("\x01\x00zz", 4)},  // non-digits count as 0
      {"12", 0, "12"},
      {"7f80", 2, std::string("\x7f") + "f80"},  // only the first n digits are read
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string buffer = c.text;
    EXPECT_TRUE(ConvertToHexValue(buffer.data(), c.n));
    EXPECT_EQ(buffer, c.expected);
  }
}

TEST(ConvertToHexValueTest, SixtyFourDigitsAreTheLimit) {
  std::string digits;
  for (int i = 0; i < 32; ++i) digits += "a5";
  std::string buffer = digits;
  ASSERT_TRUE(ConvertToHexValue(buffer.data(), 64));
  EXPECT_EQ(buffer.substr(0, 32), std::string(32, '\xa5'));
  EXPECT_EQ(buffer.substr(32), digits.substr(32));

  std::string longer = digits + "b";
  const std::string before = longer;
  EXPECT_FALSE(ConvertToHexValue(longer.data(), 65));
  EXPECT_EQ(longer, before);
  EXPECT_FALSE(ConvertToHexValue(nullptr, 2));
}

TEST(ConvertToStringFromHexTest, SplitsBytesIntoNibbles) {
  const std::uint8_t bytes[] = {0xA5, 0x0F, 0x70};
  std::vector<std::uint8_t> out(6, 0xEE);
  ASSERT_TRUE(ConvertToStringFromHex(out.data(), out.size(), bytes, 3));
  EXPECT_EQ(out, (std::vector<std::uint8_t>{10, 5, 0, 15, 7, 0}));
}

TEST(ConvertToStringFromHexTest, RefusesAnOutputTooSmall) {
  const std::uint8_t bytes[] = {0x12, 0x34};
  std::vector<std::uint8_t> out(4, 0xEE);
  EXPECT_FALSE(ConvertToStringFromHex(out.data(), 3, bytes, 2));
  EXPECT_EQ(out, std::vector<std::uint8_t>(4, 0xEE));
  EXPECT_FALSE(ConvertToStringFromHex(nullptr, 4, bytes, 2));
  EXPECT_TRUE(ConvertToStringFromHex(nullptr, 0, nullptr, 0));
}

}  // namespace
