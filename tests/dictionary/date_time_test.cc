#include "dictionary/date_time.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "support/test_log.h"

namespace {

// Runs every test in UTC so that the arithmetic has no daylight saving jumps.
class DateTimeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* tz = std::getenv("TZ");
    if (tz != nullptr) savedTz_ = tz;
    setenv("TZ", "UTC", 1);
    tzset();
  }
  void TearDown() override {
    if (savedTz_) {
      setenv("TZ", savedTz_->c_str(), 1);
    } else {
      unsetenv("TZ");
    }
    tzset();
  }

 private:
  std::optional<std::string> savedTz_;
};

std::string TextOf(const KesDateTime& dateTime) {
  return KesDateTimeToString(dateTime).value_or("<none>");
}

std::string TextOf(const std::optional<KesDateTime>& dateTime) {
  return dateTime ? TextOf(*dateTime) : "<none>";
}

TEST_F(DateTimeTest, TextFormsPadAndShowOnlyPresentParts) {
  EXPECT_EQ(KesDateToString(CreateKesDate(7, 3, 4)), "0007-03-04");
  EXPECT_EQ(KesTimeToString(CreateKesTime(1, 2, 3)), "01:02:03");
  EXPECT_EQ(TextOf(CreateKesDateTime(2021, 12, 31, 23, 59, 58)), "2021-12-31 23:59:58");
  EXPECT_EQ(TextOf(KesDateTime{CreateKesDate(2021, 1, 2), std::nullopt}), "2021-01-02");
  EXPECT_EQ(TextOf(KesDateTime{std::nullopt, CreateKesTime(4, 5, 6)}), "04:05:06");
  EXPECT_FALSE(KesDateTimeToString(KesDateTime{}).has_value());
}

TEST_F(DateTimeTest, FieldsAreTruncatedToTheirWidths) {
  const KesDate date = CreateKesDate(65536 + 2020, 256 + 1, 256 + 2);
  EXPECT_EQ(date.year, 2020);
  EXPECT_EQ(date.month, 1);
  EXPECT_EQ(date.day, 2);
}

struct ParseCase {
  const char* text;
  const char* full;     // ConvertStringToKesDateTime
  const char* general;  // ConvertStringToKesGenDateTime
};

TEST_F(DateTimeTest, ParsersReadTextsByTheirShape) {
  const std::vector<ParseCase> cases = {
      {"2021-03-04", "2021-03-04 00:00:00", "2021-03-04"},
      {"10:20:30", "0000-00-00 10:20:30", "10:20:30"},
      {"2021-03-04 05:06:07", "2021-03-04 05:06:07", "2021-03-04 05:06:07"},
      {"  2021-3-4   5:6:7", "2021-03-04 05:06:07", "2021-03-04 05:06:07"},
      {"2021-3-4T05:06:07", "2021-03-04 00:00:00", "2021-03-04 00:00:00"},
      {"2021-03", "2021-03-00 00:00:00", "2021-03-00"},
      {"2021-x-04", "2021-00-00 00:00:00", "2021-00-00"},
      {"-", "0000-00-00 00:00:00", "0000-00-00"},
      {"12:", "0000-00-00 12:00:00", "12:00:00"},
      {"+2021-+03-+04", "2021-03-04 00:00:00", "2021-03-04"},
      {"20210304", "<none>", "<none>"},
      {"", "<none>", "<none>"},
      {"abc", "<none>", "<none>"},
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(TextOf(ConvertStringToKesDateTime(c.text)), c.full);
    EXPECT_EQ(TextOf(ConvertStringToKesGenDateTime(c.text)), c.general);
  }
}

TEST_F(DateTimeTest, FullParserAlwaysGivesBothParts) {
  const std::optional<KesDateTime> fromTime = ConvertStringToKesDateTime("10:20:30");
  ASSERT_TRUE(fromTime.has_value());
  ASSERT_TRUE(fromTime->date.has_value());
  EXPECT_EQ(*fromTime->date, KesDate{});
  const std::optional<KesGenDateTime> general = ConvertStringToKesGenDateTime("2021-03-04");
  ASSERT_TRUE(general.has_value());
  EXPECT_TRUE(general->date.has_value());
  EXPECT_FALSE(general->time.has_value());
}

TEST_F(DateTimeTest, HugeNumbersWrapInsteadOfOverflowing) {
  const std::optional<KesDateTime> parsed =
      ConvertStringToKesDateTime("99999999999999999999999-1-2 3:4:99999999999999999");
  ASSERT_TRUE(parsed.has_value());
  EXPECT_EQ(parsed->date->month, 1);
  EXPECT_EQ(parsed->date->day, 2);
  EXPECT_EQ(parsed->time->hour, 3);
  EXPECT_EQ(parsed->time->minute, 4);
}

TEST_F(DateTimeTest, ValueParserGivesTheRecordOfTheShape) {
  const std::optional<fh::KesValue> date = ConvertStringToKesValue("2021-03-04");
  ASSERT_TRUE(date.has_value());
  ASSERT_TRUE(std::holds_alternative<KesDate>(*date));
  EXPECT_EQ(std::get<KesDate>(*date), CreateKesDate(2021, 3, 4));

  const std::optional<fh::KesValue> time = ConvertStringToKesValue("7:08:09");
  ASSERT_TRUE(time.has_value());
  ASSERT_TRUE(std::holds_alternative<KesTime>(*time));
  EXPECT_EQ(std::get<KesTime>(*time), CreateKesTime(7, 8, 9));

  const std::optional<fh::KesValue> full = ConvertStringToKesValue("2021-03-04 7:08:09");
  ASSERT_TRUE(full.has_value());
  ASSERT_TRUE(std::holds_alternative<KesDateTime>(*full));
  EXPECT_EQ(std::get<KesDateTime>(*full), CreateKesDateTime(2021, 3, 4, 7, 8, 9));

  EXPECT_FALSE(ConvertStringToKesValue("now").has_value());
  EXPECT_FALSE(ConvertStringToKesValue(nullptr).has_value());
}

TEST_F(DateTimeTest, ParsersLogNullAndShapelessTexts) {
  fhtest::TestLog log;
  EXPECT_FALSE(ConvertStringToKesDateTime(nullptr).has_value());
  EXPECT_FALSE(ConvertStringToKesGenDateTime(nullptr).has_value());
  EXPECT_FALSE(ConvertStringToKesGenDateTime("tomorrow").has_value());
  EXPECT_EQ(log.Count("[ERROR] datetimeStr NULL \n"), 2u);
  EXPECT_TRUE(log.Contains("[TRACE] Inside ConvertStringToKesDateTime \n"));
  EXPECT_EQ(log.Count("[TRACE] Inside ConvertStringToKesGenDateTime \n"), 2u);
  EXPECT_TRUE(log.Contains("[ERROR] The String is not a datetimeStr \n"));
}

struct MoveCase {
  const char* start;
  bool add;
  uint32_t amount;
  int unit;
  const char* expected;
};

TEST_F(DateTimeTest, ArithmeticMovesOneFieldAndNormalises) {
  const std::vector<MoveCase> cases = {
      {"2021-03-04 23:00:00", true, 90, fh::kKesUnitMinutes, "2021-03-05 00:30:00"},
      {"2021-01-31 00:00:00", true, 1, fh::kKesUnitMonths, "2021-03-03 00:00:00"},
      {"2021-01-01 00:00:00", true, 1500, fh::kKesUnitMilliseconds, "2021-01-01 00:00:01"},
      {"2021-01-01 00:00:00", true, 999, fh::kKesUnitMilliseconds, "2021-01-01 00:00:00"},
      {"2021-01-01 00:00:00", true, 2999999, fh::kKesUnitMicroseconds, "2021-01-01 00:00:02"},
      {"2021-01-01 00:00:00", true, 3999999999u, fh::kKesUnitNanoseconds, "2021-01-01 00:00:03"},
      {"2021-01-01 00:00:59", true, 61, fh::kKesUnitSeconds, "2021-01-01 00:02:00"},
      {"2021-12-31 23:00:00", true, 25, fh::kKesUnitHours, "2022-01-02 00:00:00"},
      {"2020-02-28 10:00:00", true, 1, fh::kKesUnitDays, "2020-02-29 10:00:00"},
      {"2021-02-28 10:00:00", true, 1, fh::kKesUnitDays, "2021-03-01 10:00:00"},
      {"2021-12-25 00:00:00", true, 2, fh::kKesUnitWeeks, "2022-01-08 00:00:00"},
      {"2021-11-15 00:00:00", true, 14, fh::kKesUnitMonths, "2023-01-15 00:00:00"},
      {"2020-02-29 00:00:00", true, 12, fh::kKesUnitMonths, "2021-03-01 00:00:00"},
      {"2021-03-01 00:00:00", false, 1, fh::kKesUnitDays, "2021-02-28 00:00:00"},
      {"2024-03-01 00:00:00", false, 1, fh::kKesUnitDays, "2024-02-29 00:00:00"},
      {"2021-03-31 00:00:00", false, 1, fh::kKesUnitMonths, "2021-03-03 00:00:00"},
      {"2021-01-01 00:00:00", false, 1, fh::kKesUnitSeconds, "2020-12-31 23:59:59"},
      {"2021-01-01 00:00:00", false, 1500, fh::kKesUnitMilliseconds, "2020-12-31 23:59:59"},
      {"2021-01-10 00:00:00", false, 2, fh::kKesUnitWeeks, "2020-12-27 00:00:00"},
      {"2021-01-01 00:00:00", true, 5, 0, "2021-01-01 00:00:00"},
      {"2021-01-01 00:00:00", true, 5, 10, "2021-01-01 00:00:00"},
      {"2000-01-01 00:00:00", true, 4294967295u, fh::kKesUnitSeconds, "2136-02-07 06:28:15"},
      {"2136-02-07 06:28:15", false, 4294967295u, fh::kKesUnitSeconds, "2000-01-01 00:00:00"},
  };
  for (const MoveCase& c : cases) {
    SCOPED_TRACE(std::string(c.start) + (c.add ? " + " : " - ") + std::to_string(c.amount) +
                 " unit " + std::to_string(c.unit));
    std::optional<KesDateTime> value = ConvertStringToKesDateTime(c.start);
    ASSERT_TRUE(value.has_value());
    KesDateTime* result = c.add ? AddToKesDateTime(&*value, c.amount, c.unit)
                                : SubtractFromKesDateTime(&*value, c.amount, c.unit);
    EXPECT_EQ(result, &*value);
    EXPECT_EQ(TextOf(*value), c.expected);
  }
}

TEST_F(DateTimeTest, HugeAmountsInEveryUnitStayDefined) {
  for (int unit = fh::kKesUnitNanoseconds; unit <= fh::kKesUnitMonths; ++unit) {
    SCOPED_TRACE(unit);
    KesDateTime value = CreateKesDateTime(2000, 6, 15, 12, 30, 45);
    AddToKesDateTime(&value, 4294967295u, unit);
    EXPECT_GE(value.date->month, 1);
    EXPECT_LE(value.date->month, 12);
    SubtractFromKesDateTime(&value, 4294967295u, unit);
    EXPECT_GE(value.date->day, 1);
    EXPECT_LE(value.date->day, 31);
  }
}

TEST_F(DateTimeTest, DateOnlyValuesMoveByWholeDaysAndStayDateOnly) {
  KesDateTime value{CreateKesDate(2021, 3, 4), std::nullopt};
  AddToKesDateTime(&value, 90, fh::kKesUnitMinutes);
  EXPECT_EQ(TextOf(value), "2021-03-04");
  AddToKesDateTime(&value, 25, fh::kKesUnitHours);
  EXPECT_EQ(TextOf(value), "2021-03-05");
  AddToKesDateTime(&value, 1, fh::kKesUnitMonths);
  EXPECT_EQ(TextOf(value), "2021-04-05");
  SubtractFromKesDateTime(&value, 5, fh::kKesUnitDays);
  EXPECT_EQ(TextOf(value), "2021-03-31");
  EXPECT_FALSE(value.time.has_value());
}

TEST_F(DateTimeTest, TimeOnlyValuesWrapAroundMidnightAndStayTimeOnly) {
  KesDateTime value{std::nullopt, CreateKesTime(23, 0, 0)};
  AddToKesDateTime(&value, 90, fh::kKesUnitMinutes);
  EXPECT_EQ(TextOf(value), "00:30:00");
  SubtractFromKesDateTime(&value, 1, fh::kKesUnitHours);
  EXPECT_EQ(TextOf(value), "23:30:00");
  AddToKesDateTime(&value, 3, fh::kKesUnitDays);
  EXPECT_EQ(TextOf(value), "23:30:00");
  AddToKesDateTime(&value, 1, fh::kKesUnitMonths);
  EXPECT_EQ(TextOf(value), "23:30:00");
  EXPECT_FALSE(value.date.has_value());
}

TEST_F(DateTimeTest, TheZeroDateOfATimeTextIsNotRewritten) {
  std::optional<KesDateTime> value = ConvertStringToKesDateTime("10:20:30");
  ASSERT_TRUE(value.has_value());
  AddToKesDateTime(&*value, 90, fh::kKesUnitMinutes);
  EXPECT_EQ(TextOf(*value), "0000-00-00 11:50:30");
  SubtractFromKesDateTime(&*value, 12, fh::kKesUnitHours);
  EXPECT_EQ(TextOf(*value), "0000-00-00 23:50:30");
}

TEST_F(DateTimeTest, AResultBeyondTheYear9999IsRefusedAndLeavesTheValue) {
  KesDateTime value = CreateKesDateTime(9999, 12, 31, 23, 0, 0);
  AddToKesDateTime(&value, 1, fh::kKesUnitDays);
  EXPECT_EQ(TextOf(value), "9999-12-31 23:00:00");
  AddToKesDateTime(&value, 59, fh::kKesUnitMinutes);
  EXPECT_EQ(TextOf(value), "9999-12-31 23:59:00");
}

TEST_F(DateTimeTest, ArithmeticOnNothing) {
  EXPECT_EQ(AddToKesDateTime(nullptr, 1, fh::kKesUnitDays), nullptr);
  EXPECT_EQ(SubtractFromKesDateTime(nullptr, 1, fh::kKesUnitDays), nullptr);
  KesDateTime empty;
  EXPECT_EQ(AddToKesDateTime(&empty, 1, fh::kKesUnitDays), &empty);
  EXPECT_EQ(empty, KesDateTime{});
}

TEST_F(DateTimeTest, ComparisonDecidesOnTheFirstDifferingField) {
  struct Case {
    KesDateTime first;
    KesDateTime second;
    bool after;
  };
  const KesDateTime base = CreateKesDateTime(2021, 6, 15, 12, 30, 30);
  const std::vector<Case> cases = {
      {base, base, false},
      {CreateKesDateTime(2022, 1, 1, 0, 0, 0), base, true},
      {CreateKesDateTime(2020, 12, 31, 23, 59, 59), base, false},
      {CreateKesDateTime(2021, 7, 1, 0, 0, 0), base, true},
      {CreateKesDateTime(2021, 6, 16, 0, 0, 0), base, true},
      {CreateKesDateTime(2021, 6, 15, 13, 0, 0), base, true},
      {CreateKesDateTime(2021, 6, 15, 12, 31, 0), base, true},
      {CreateKesDateTime(2021, 6, 15, 12, 30, 31), base, true},
      {CreateKesDateTime(2021, 6, 15, 12, 30, 29), base, false},
      {base, CreateKesDateTime(2021, 6, 15, 12, 30, 29), true},
      {KesDateTime{CreateKesDate(2021, 6, 15), std::nullopt}, base, false},
      {base, KesDateTime{CreateKesDate(2021, 6, 15), std::nullopt}, true},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(IsKesDateTimeAfter(&cases[i].first, &cases[i].second), cases[i].after);
  }
  EXPECT_FALSE(IsKesDateTimeAfter(nullptr, &base));
  EXPECT_FALSE(IsKesDateTimeAfter(&base, nullptr));
}

TEST_F(DateTimeTest, CurrentTimeIsTheLocalClock) {
  const std::time_t before = std::time(nullptr);
  const KesDateTime now = GetCurrentKesDateTime();
  const std::time_t after = std::time(nullptr);
  ASSERT_TRUE(now.date.has_value());
  ASSERT_TRUE(now.time.has_value());
  std::tm tm{};
  tm.tm_year = now.date->year - 1900;
  tm.tm_mon = now.date->month - 1;
  tm.tm_mday = now.date->day;
  tm.tm_hour = now.time->hour;
  tm.tm_min = now.time->minute;
  tm.tm_sec = now.time->second;
  tm.tm_isdst = -1;
  const std::time_t read = std::mktime(&tm);
  EXPECT_GE(read, before);
  EXPECT_LE(read, after);
}

TEST_F(DateTimeTest, CopiesAreIndependent) {
  auto original = std::make_unique<KesDateTime>(CreateKesDateTime(2021, 1, 2, 3, 4, 5));
  KesDateTime copy = *original;
  original.reset();
  AddToKesDateTime(&copy, 1, fh::kKesUnitDays);
  EXPECT_EQ(TextOf(copy), "2021-01-03 03:04:05");
}

}  // namespace
