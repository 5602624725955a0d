#include "util/counter64.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

TEST(Counter64Test, SplitsAndJoinsSixtyFourBits) {
  const std::uint64_t values[] = {
      0, 1, 0xFFFFFFFFull, 0x100000000ull, 0x0123456789ABCDEFull, UINT64_MAX};
  for (std::uint64_t value : values) {
    SCOPED_TRACE(value);
    const Counter64 counter = ConvertToCounter64FromULongLong(value);
    EXPECT_EQ(counter.high, static_cast<std::uint32_t>(value >> 32));
    EXPECT_EQ(counter.low, static_cast<std::uint32_t>(value));
    EXPECT_EQ(ConvertToULongLongFromCounter64(counter), value);
  }
}

TEST(Counter64Test, ReadsBigEndianBytes) {
  struct Case {
    std::vector<std::uint8_t> bytes;
    std::uint32_t high, low;
  };
  const Case cases[] = {
      {{}, 0, 0},
      {{0x12}, 0, 0x12},  // fewer than four: the bytes present
      {{0x12, 0x34, 0x56}, 0, 0x123456},
      {{0x12, 0x34, 0x56, 0x78}, 0, 0x12345678},
      {{0xAB, 0x12, 0x34, 0x56, 0x78}, 0xAB, 0x12345678},
      {{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, 0x01020304, 0x05060708},
      {{0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       0xFFFFFFFF,
       0xFFFFFFFF},  // sign octet
      {{0x7F, 0x80, 0, 0, 0, 0, 0, 0, 1}, 0x80000000, 1},
      {{0x55, 0x66, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08}, 0x01020304, 0x05060708},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    Counter64 counter{0xEEEEEEEE, 0xEEEEEEEE};
    ConvertToCounter64(counter, c.bytes.data(), c.bytes.size());
    EXPECT_EQ(counter.high, c.high);
    EXPECT_EQ(counter.low, c.low);
  }
  Counter64 counter{1, 1};
  ConvertToCounter64(counter, nullptr, 8);
  EXPECT_EQ(counter.high, 0u);
  EXPECT_EQ(counter.low, 0u);
}

TEST(Counter64Test, RoundTripsThroughBytes) {
  for (std::uint64_t value : {0ull, 42ull, 0x8000000000000000ull, 0xFEDCBA9876543210ull}) {
    std::vector<std::uint8_t> bytes = {0x00};  // a sign octet first
    for (int shift = 56; shift >= 0; shift -= 8)
      bytes.push_back(static_cast<std::uint8_t>(value >> shift));
    Counter64 counter;
    ConvertToCounter64(counter, bytes.data(), bytes.size());
    EXPECT_EQ(ConvertToULongLongFromCounter64(counter), value);
    ConvertToCounter64(counter, bytes.data() + 1, 8);
    EXPECT_EQ(ConvertToULongLongFromCounter64(counter), value);
  }
}

TEST(Counter64Test, DecimalTextIsSigned) {
  struct Case {
    Counter64 counter;
    const char* text;
  };
  const Case cases[] = {
      {{0, 0}, "0"},
      {{0, 0xFFFFFFFF}, "4294967295"},
      {{1, 0}, "4294967296"},
      {{0x7FFFFFFF, 0xFFFFFFFF}, "9223372036854775807"},
      {{0x80000000, 0}, "9223372036854775808"},
      {{0xFFFFFFFF, 0xFFFFFFFF}, "18446744073709551615"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ConvertToStringFromCounter64(c.counter), c.text);
  }
}

}  // namespace
