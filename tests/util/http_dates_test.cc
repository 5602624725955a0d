#include "util/http_dates.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

std::tm MakeTime(int year, int month, int day, int hour, int minutes, int seconds) {
  std::tm time{};
  time.tm_year = year;
  time.tm_mon = month;
  time.tm_mday = day;
  time.tm_hour = hour;
  time.tm_min = minutes;
  time.tm_sec = seconds;
  return time;
}

TEST(ParseMonthTest, ThreeLetterNamesInAnyCase) {
  struct Case {
    const char* name;
    int month;
  };
  const Case cases[] = {{"Jan", 0},  {"jan", 0},   {"JAN", 0}, {"Feb", 1},      {"Dec", 11},
                        {"dEc", 11}, {"May", 4},   {"Sep", 8}, {"January", -1}, {"Ja", -1},
                        {"", -1},    {"Jan ", -1}, {"Foo", -1}};
  for (const Case& c : cases) {
    EXPECT_EQ(ParseMonth(c.name), c.month) << c.name;
  }
  EXPECT_EQ(ParseMonth(nullptr), -1);
}

TEST(ParseDateTimeTest, TheThreeWebDateForms) {
  struct Case {
    std::string text;
    std::tm time;
  };
  const Case cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", MakeTime(94, 10, 6, 8, 49, 37)},
      {"Sunday, 06-Nov-94 08:49:37 GMT", MakeTime(94, 10, 6, 8, 49, 37)},  // year as read
      {"Sun Nov  6 08:49:37 1994", MakeTime(94, 10, 6, 8, 49, 37)},
      {"Thu, 01 Jan 2026 00:00:00 GMT", MakeTime(126, 0, 1, 0, 0, 0)},
      {"mon, 31 dec 1999 23:59:59 UTC", MakeTime(99, 11, 31, 23, 59, 59)},
      {"Wed Feb 29 12:00:01 2024", MakeTime(124, 1, 29, 12, 0, 1)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<std::tm> time = ParseDateTime(c.text.c_str());
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->tm_year, c.time.tm_year);
    EXPECT_EQ(time->tm_mon, c.time.tm_mon);
    EXPECT_EQ(time->tm_mday, c.time.tm_mday);
    EXPECT_EQ(time->tm_hour, c.time.tm_hour);
    EXPECT_EQ(time->tm_min, c.time.tm_min);
    EXPECT_EQ(time->tm_sec, c.time.tm_sec);
  }
}

TEST(ParseDateTimeTest, RefusesUnknownMonthsAndOtherTexts) {
  const std::string longWord(200, 'W');
  const char* const texts[] = {
      "",
      "Sun, 06 Nox 1994 08:49:37 GMT",
      "Sunday, 06-Xyz-94 08:49:37 GMT",
      "Sun Nox  6 08:49:37 1994",
      "Sun, 06 Nov 1994 08:49:37",  // no zone
      "Sun, 06 November 1994 08:49:37 GMT",
      "2024-03-15T10:30:45Z",
      "Sun, 06 Nov -2147483648 08:49:37 GMT",  // year minus 1900 does not fit
  };
  for (const char* text : texts) {
    EXPECT_FALSE(ParseDateTime(text).has_value()) << text;
  }
  EXPECT_FALSE(ParseDateTime(nullptr).has_value());
  // Overlong words are read in bounded pieces and do not make a date.
  const std::string overlong = longWord + ", 06 Nov 1994 08:49:37 " + longWord;
  EXPECT_FALSE(ParseDateTime(overlong.c_str()).has_value());
  const std::string overlongMonth = "Sun " + longWord + " 6 08:49:37 1994";
  EXPECT_FALSE(ParseDateTime(overlongMonth.c_str()).has_value());
}

TEST(CompareTimeTest, SameOrLaterIsOne) {
  const std::tm base = MakeTime(124, 5, 15, 12, 30, 30);
  struct Case {
    std::tm other;
    int baseVsOther;  // CompareTime(base, other)
  };
  const Case cases[] = {
      {base, 1},
      {MakeTime(123, 11, 31, 23, 59, 59), 1},
      {MakeTime(125, 0, 1, 0, 0, 0), 0},
      {MakeTime(124, 6, 1, 0, 0, 0), 0},
      {MakeTime(124, 5, 14, 23, 59, 59), 1},
      {MakeTime(124, 5, 15, 13, 0, 0), 0},
      {MakeTime(124, 5, 15, 12, 31, 0), 0},
      {MakeTime(124, 5, 15, 12, 30, 29), 1},
      {MakeTime(124, 5, 15, 12, 30, 31), 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.other.tm_year << "-" << c.other.tm_mon << "-" << c.other.tm_mday << " "
                 << c.other.tm_hour << ":" << c.other.tm_min << ":" << c.other.tm_sec);
    EXPECT_EQ(CompareTime(base, c.other), c.baseVsOther);
  }
  std::tm laterWeekday = base;
  laterWeekday.tm_wday = 6;  // fields outside the order do not count
  EXPECT_EQ(CompareTime(base, laterWeekday), 1);
  EXPECT_EQ(CompareTime(laterWeekday, base), 1);
}

}  // namespace
