#include "util/http_dates.h"

#include <array>
#include <cstdio>
#include <limits>
#include <tuple>

#include "log/log.h"

namespace {

constexpr std::array<const char*, 12> kMonthNames = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                     "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Buffers for the words of a date: 31 characters and the NUL; the formats
// below read at most that many.
constexpr std::size_t kWordSize = 32;

// ASCII letter case is ignored; nothing else is folded.
bool EqualsIgnoringCase(const char* a, const char* b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (; *a != '\0' && *b != '\0'; ++a, ++b) {
    if (lower(*a) != lower(*b)) return false;
  }
  return *a == *b;
}

// The fields one date form yields.
struct DateFields {
  char month[kWordSize] = {};
  int day = 0;
  long long year = 0;  // as stored in tm_year
  int hour = 0;
  int minutes = 0;
  int seconds = 0;
};

// The broken-down time of fields, or none when the month or year is unusable.
std::optional<std::tm> ComposeTime(const DateFields& fields) {
  const int month = ParseMonth(fields.month);
  if (month < 0) return std::nullopt;
  if (fields.year < std::numeric_limits<int>::min() ||
      fields.year > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  std::tm time{};
  time.tm_sec = fields.seconds;
  time.tm_min = fields.minutes;
  time.tm_hour = fields.hour;
  time.tm_mday = fields.day;
  time.tm_mon = month;
  time.tm_year = static_cast<int>(fields.year);
  return time;
}

// "Sun, 06 Nov 1994 08:49:37 GMT"
bool ReadRfc1123(const char* text, DateFields& fields) {
  char weekday[kWordSize];
  char zone[kWordSize];
  int year = 0;
  if (std::sscanf(text, "%31s %d %31s %d %d:%d:%d %31s", weekday, &fields.day, fields.month, &year,
                  &fields.hour, &fields.minutes, &fields.seconds, zone) != 8) {
    return false;
  }
  fields.year = static_cast<long long>(year) - 1900;
  return true;
}

// "Sunday, 06-Nov-94 08:49:37 GMT"
bool ReadRfc850(const char* text, DateFields& fields) {
  char weekday[kWordSize];
  char zone[kWordSize];
  int year = 0;
  if (std::sscanf(text, "%31s %d-%3s-%d %d:%d:%d %31s", weekday, &fields.day, fields.month, &year,
                  &fields.hour, &fields.minutes, &fields.seconds, zone) != 8) {
    return false;
  }
  fields.year = year;
  return true;
}

// "Sun Nov  6 08:49:37 1994"
bool ReadAsctime(const char* text, DateFields& fields) {
  char weekday[kWordSize];
  int year = 0;
  if (std::sscanf(text, "%31s %31s %d %d:%d:%d %d", weekday, fields.month, &fields.day,
                  &fields.hour, &fields.minutes, &fields.seconds, &year) != 7) {
    return false;
  }
  fields.year = static_cast<long long>(year) - 1900;
  return true;
}

}  // namespace

int ParseMonth(const char* name) {
  LogTrace("\n\t@@@@@ Inside ParseMonth() @@@@@\n");
  if (name == nullptr) return -1;
  for (std::size_t month = 0; month < kMonthNames.size(); ++month) {
    if (EqualsIgnoringCase(name, kMonthNames[month])) return static_cast<int>(month);
  }
  return -1;
}

std::optional<std::tm> ParseDateTime(const char* text) {
  LogTrace("\n\t@@@@@ Inside ParseDateTime() @@@@@\n");
  if (text == nullptr) return std::nullopt;
  for (auto read : {ReadRfc1123, ReadRfc850, ReadAsctime}) {
    DateFields fields;
    if (read(text, fields)) return ComposeTime(fields);
  }
  return std::nullopt;
}

int CompareTime(const std::tm& a, const std::tm& b) {
  LogTrace("\n\t@@@@@ Inside CompareTime() @@@@@\n");
  const auto key = [](const std::tm& t) {
    return std::tie(t.tm_year, t.tm_mon, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
  };
  return key(a) >= key(b) ? 1 : 0;
}
