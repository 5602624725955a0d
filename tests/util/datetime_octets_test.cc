#include "util/datetime_octets.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

using Octets = std::vector<std::uint8_t>;

TEST(DateTimeOctetsTest, TextToOctetsAndBack) {
  struct Case {
    std::string text;
    Octets octets;
  };
  const Case cases[] = {
      {"2024-3-15,10:30:45.5", {0x07, 0xE8, 3, 15, 10, 30, 45, 5}},
      {"2024-3-15,10:30:45.5,+2:0", {0x07, 0xE8, 3, 15, 10, 30, 45, 5, '+', 2, 0}},
      {"1992-5-26,13:30:15.0,-4:30", {0x07, 0xC8, 5, 26, 13, 30, 15, 0, '-', 4, 30}},
      {"0-1-1,0:0:0.0", {0, 0, 1, 1, 0, 0, 0, 0}},
      {"65535-12-31,23:59:60.9", {0xFF, 0xFF, 12, 31, 23, 59, 60, 9}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t length = 99;
    const std::optional<Octets> octets = ConvertToDateTimeFromString(c.text.c_str(), length);
    ASSERT_TRUE(octets.has_value());
    EXPECT_EQ(*octets, c.octets);
    EXPECT_EQ(length, c.octets.size());

    length = c.octets.size();
    EXPECT_EQ(ConvertToStringFromDateTime(c.octets.data(), length), c.text);
    EXPECT_EQ(length, c.text.size());
  }
}

TEST(DateTimeOctetsTest, TextNeedsSevenOrTenFields) {
  struct Case {
    const char* text;
    std::size_t octets;  // 0: none
  };
  const Case cases[] = {
      {"", 0},
      {"2024-3-15", 0},
      {"2024-3-15,10:30:45", 0},       // 6 fields
      {"2024-3-15,10:30:45.5,+", 0},   // 8 fields
      {"2024-3-15,10:30:45.5,+2", 0},  // 9 fields
      {"2024/3/15,10:30:45.5", 0},
      {"x2024-3-15,10:30:45.5", 0},
      {"2024-3-15,10:30:45.5,", 8},      // the comma alone adds no field
      {"2024-3-15,10:30:45.5 junk", 8},  // the rest after 7 fields is ignored
      {" 2024 - 3-15,10:30:45.5", 0},    // a blank before a literal does not match
      {"2024-3-15,10:30:45.5,+2:0:9", 11},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t length = 99;
    const auto octets = ConvertToDateTimeFromString(c.text, length);
    EXPECT_EQ(octets.has_value() ? octets->size() : 0u, c.octets);
    EXPECT_EQ(length, c.octets);
  }
  std::size_t length = 99;
  EXPECT_FALSE(ConvertToDateTimeFromString(nullptr, length).has_value());
}

TEST(DateTimeOctetsTest, FieldsAreKeptModulo256) {
  std::size_t length = 0;
  const auto octets = ConvertToDateTimeFromString("70000-300-1,1:1:1.1", length);
  ASSERT_TRUE(octets.has_value());
  // 70000 = 0x11170: the year keeps its low 16 bits, the month its low 8.
  EXPECT_EQ(*octets, (Octets{0x11, 0x70, 300 & 0xFF, 1, 1, 1, 1, 1}));
}

TEST(DateTimeOctetsTest, OctetsTextAcceptsOnly8OrAtLeast11) {
  const Octets octets = {0x07, 0xE8, 3, 15, 10, 30, 45, 5, '+', 2, 0, 0x77, 0x77};
  for (std::size_t count : {0u, 1u, 7u, 9u, 10u}) {
    SCOPED_TRACE(count);
    std::size_t length = count;
    EXPECT_EQ(ConvertToStringFromDateTime(octets.data(), length), std::nullopt);
    EXPECT_EQ(length, 0u);
  }
  std::size_t length = 13;  // octets beyond the eleventh are ignored
  EXPECT_EQ(ConvertToStringFromDateTime(octets.data(), length), "2024-3-15,10:30:45.5,+2:0");
  length = 8;
  EXPECT_FALSE(ConvertToStringFromDateTime(nullptr, length).has_value());
}

}  // namespace
