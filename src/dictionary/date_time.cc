#include "dictionary/date_time.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <tuple>

#include "log/log.h"

namespace {

// The shapes a date or time text can have.
enum class TextShape { kNone, kDate, kTime, kDateTime };

TextShape ShapeOf(const char* text) {
  const bool hasDash = std::strchr(text, '-') != nullptr;
  const bool hasColon = std::strchr(text, ':') != nullptr;
  if (hasDash && hasColon) return TextShape::kDateTime;
  if (hasDash) return TextShape::kDate;
  if (hasColon) return TextShape::kTime;
  return TextShape::kNone;
}

bool IsScanSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Reads one "%d" the way scanf does: white space skipped, an optional sign,
// at least one digit. The digits are accumulated in 64 unsigned bits (wrapping
// instead of overflowing) and the result keeps the low-order 32 bits.
bool ScanInt(const char** cursor, int* value) {
  const char* p = *cursor;
  while (IsScanSpace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  if (*p < '0' || *p > '9') return false;
  uint64_t accumulated = 0;
  while (*p >= '0' && *p <= '9') {
    accumulated = accumulated * 10u + static_cast<uint64_t>(*p - '0');
    ++p;
  }
  if (negative) accumulated = 0u - accumulated;
  *value = static_cast<int>(static_cast<uint32_t>(accumulated));
  *cursor = p;
  return true;
}

// Reads text by a format made of "%d" conversions and literal characters
// (a white-space character matches any run of white space, also none), as
// sscanf does. Stops at the first mismatch; numbers not reached keep their
// value. Returns how many numbers were read.
int ScanNumbers(const char* text, const char* format, int* numbers) {
  int count = 0;
  const char* p = text;
  for (const char* f = format; *f != '\0'; ++f) {
    if (f[0] == '%' && f[1] == 'd') {
      if (!ScanInt(&p, &numbers[count])) break;
      ++count;
      ++f;
    } else if (IsScanSpace(*f)) {
      while (IsScanSpace(*p)) ++p;
    } else {
      if (*p != *f) break;
      ++p;
    }
  }
  return count;
}

// The six numbers of a text of the given shape: year, month, day, hour,
// minute, second, those the text does not give left at 0.
struct ScannedFields {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

ScannedFields ScanByShape(const char* text, TextShape shape) {
  int numbers[6] = {0, 0, 0, 0, 0, 0};
  ScannedFields fields;
  switch (shape) {
    case TextShape::kDateTime:
      ScanNumbers(text, "%d-%d-%d %d:%d:%d", numbers);
      fields = {numbers[0], numbers[1], numbers[2], numbers[3], numbers[4], numbers[5]};
      break;
    case TextShape::kDate:
      ScanNumbers(text, "%d-%d-%d", numbers);
      fields.year = numbers[0];
      fields.month = numbers[1];
      fields.day = numbers[2];
      break;
    case TextShape::kTime:
      ScanNumbers(text, "%d:%d:%d", numbers);
      fields.hour = numbers[0];
      fields.minute = numbers[1];
      fields.second = numbers[2];
      break;
    case TextShape::kNone:
      break;
  }
  return fields;
}

KesDate DateOf(const ScannedFields& fields) {
  return CreateKesDate(fields.year, fields.month, fields.day);
}

KesTime TimeOf(const ScannedFields& fields) {
  return CreateKesTime(fields.hour, fields.minute, fields.second);
}

// Largest change applied to one broken-down field before normalising, so
// that the int fields never overflow however large the amount.
constexpr int64_t kMaxFieldStep = int64_t{1} << 29;

// Adds delta to *field of tm and normalises tm with mktime, in steps that
// keep every field within int. false when mktime cannot represent a result.
bool AddAndNormalise(std::tm* tm, int* field, int64_t delta) {
  do {
    int64_t step = delta;
    if (step > kMaxFieldStep) step = kMaxFieldStep;
    if (step < -kMaxFieldStep) step = -kMaxFieldStep;
    if (field != nullptr) *field += static_cast<int>(step);
    delta -= step;
    errno = 0;
    if (std::mktime(tm) == static_cast<std::time_t>(-1) && errno != 0) return false;
  } while (delta != 0);
  return true;
}

bool IsZeroDate(const KesDate& date) { return date.year == 0 && date.month == 0 && date.day == 0; }

KesDateTime* MoveKesDateTime(KesDateTime* dateTime, int64_t signedAmount, int unit,
                             const char* caller) {
  if (dateTime == nullptr) return nullptr;
  if (!dateTime->date && !dateTime->time) return dateTime;

  // Absent parts take part as zeros; the broken-down time starts zeroed and
  // lets the library decide on daylight saving time.
  const KesDate date = dateTime->date.value_or(KesDate{});
  const KesTime time = dateTime->time.value_or(KesTime{});
  std::tm tm{};
  tm.tm_year = static_cast<int>(date.year) - 1900;
  tm.tm_mon = static_cast<int>(date.month) - 1;
  tm.tm_mday = date.day;
  tm.tm_hour = time.hour;
  tm.tm_min = time.minute;
  tm.tm_sec = time.second;
  tm.tm_isdst = -1;

  const bool negative = signedAmount < 0;
  const uint64_t magnitude =
      negative ? 0u - static_cast<uint64_t>(signedAmount) : static_cast<uint64_t>(signedAmount);
  int* field = nullptr;
  uint64_t change = 0;
  switch (unit) {
    case fh::kKesUnitNanoseconds:
      field = &tm.tm_sec;
      change = magnitude / 1000000000u;
      break;
    case fh::kKesUnitMicroseconds:
      field = &tm.tm_sec;
      change = magnitude / 1000000u;
      break;
    case fh::kKesUnitMilliseconds:
      field = &tm.tm_sec;
      change = magnitude / 1000u;
      break;
    case fh::kKesUnitSeconds:
      field = &tm.tm_sec;
      change = magnitude;
      break;
    case fh::kKesUnitMinutes:
      field = &tm.tm_min;
      change = magnitude;
      break;
    case fh::kKesUnitHours:
      field = &tm.tm_hour;
      change = magnitude;
      break;
    case fh::kKesUnitDays:
      field = &tm.tm_mday;
      change = magnitude;
      break;
    case fh::kKesUnitWeeks:
      field = &tm.tm_mday;
      change = 7u * magnitude;
      break;
    case fh::kKesUnitMonths:
      field = &tm.tm_mon;
      change = magnitude;
      break;
    default:
      break;
  }
  const int64_t delta = negative ? -static_cast<int64_t>(change) : static_cast<int64_t>(change);

  // The zero date (what a time-only text gives a date-time record) stands
  // for "no date": it takes part as zeros but is not rewritten, so adding
  // minutes to 0000-00-00 10:20:30 changes the time only. A date that is
  // written back must stay within the years 0 to 9999 of its text form.
  const bool writeDate = dateTime->date && !IsZeroDate(*dateTime->date);
  if (!AddAndNormalise(&tm, field, delta) ||
      (writeDate && (tm.tm_year + 1900 < 0 || tm.tm_year + 1900 > 9999))) {
    LogError("%s: the resulting date cannot be represented\n", caller);
    return dateTime;
  }
  if (writeDate) *dateTime->date = CreateKesDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
  if (dateTime->time) *dateTime->time = CreateKesTime(tm.tm_hour, tm.tm_min, tm.tm_sec);
  return dateTime;
}

auto Fields(const KesDateTime& dateTime) {
  const KesDate date = dateTime.date.value_or(KesDate{});
  const KesTime time = dateTime.time.value_or(KesTime{});
  return std::make_tuple(date.year, date.month, date.day, time.hour, time.minute, time.second);
}

}  // namespace

KesDate CreateKesDate(int year, int month, int day) {
  return KesDate{static_cast<uint16_t>(year), static_cast<uint8_t>(month),
                 static_cast<uint8_t>(day)};
}

KesTime CreateKesTime(int hour, int minute, int second) {
  return KesTime{static_cast<uint8_t>(hour), static_cast<uint8_t>(minute),
                 static_cast<uint8_t>(second)};
}

KesDateTime CreateKesDateTime(int year, int month, int day, int hour, int minute, int second) {
  return KesDateTime{CreateKesDate(year, month, day), CreateKesTime(hour, minute, second)};
}

std::string KesDateToString(const KesDate& date) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%04d-%02d-%02d", static_cast<int>(date.year),
                static_cast<int>(date.month), static_cast<int>(date.day));
  return buffer;
}

std::string KesTimeToString(const KesTime& time) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(time.hour),
                static_cast<int>(time.minute), static_cast<int>(time.second));
  return buffer;
}

std::optional<std::string> KesDateTimeToString(const KesDateTime& dateTime) {
  if (dateTime.date && dateTime.time) {
    return KesDateToString(*dateTime.date) + " " + KesTimeToString(*dateTime.time);
  }
  if (dateTime.date) return KesDateToString(*dateTime.date);
  if (dateTime.time) return KesTimeToString(*dateTime.time);
  return std::nullopt;
}

std::optional<KesDateTime> ConvertStringToKesDateTime(const char* text) {
  LogTrace("Inside ConvertStringToKesDateTime \n");
  if (text == nullptr) {
    LogError("datetimeStr NULL \n");
    return std::nullopt;
  }
  const TextShape shape = ShapeOf(text);
  if (shape == TextShape::kNone) return std::nullopt;
  const ScannedFields fields = ScanByShape(text, shape);
  return KesDateTime{DateOf(fields), TimeOf(fields)};
}

std::optional<fh::KesValue> ConvertStringToKesValue(const char* text) {
  if (text == nullptr) {
    LogError("datetimeStr NULL \n");
    return std::nullopt;
  }
  const TextShape shape = ShapeOf(text);
  const ScannedFields fields = ScanByShape(text, shape);
  std::optional<fh::KesValue> value;
  switch (shape) {
    case TextShape::kDate:
      value.emplace(std::in_place_type<KesDate>, DateOf(fields));
      break;
    case TextShape::kTime:
      value.emplace(std::in_place_type<KesTime>, TimeOf(fields));
      break;
    case TextShape::kDateTime:
      value.emplace(std::in_place_type<KesDateTime>, KesDateTime{DateOf(fields), TimeOf(fields)});
      break;
    case TextShape::kNone:
      break;
  }
  return value;
}

std::optional<KesGenDateTime> ConvertStringToKesGenDateTime(const char* text) {
  LogTrace("Inside ConvertStringToKesGenDateTime \n");
  if (text == nullptr) {
    LogError("datetimeStr NULL \n");
    return std::nullopt;
  }
  const TextShape shape = ShapeOf(text);
  const ScannedFields fields = ScanByShape(text, shape);
  switch (shape) {
    case TextShape::kDate:
      return KesGenDateTime{DateOf(fields), std::nullopt};
    case TextShape::kTime:
      return KesGenDateTime{std::nullopt, TimeOf(fields)};
    case TextShape::kDateTime:
      return KesGenDateTime{DateOf(fields), TimeOf(fields)};
    case TextShape::kNone:
      break;
  }
  LogError("The String is not a datetimeStr \n");
  return std::nullopt;
}

KesDateTime GetCurrentKesDateTime() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  if (localtime_r(&now, &local) == nullptr) {
    LogError("GetCurrentKesDateTime: the local time is not available\n");
    return KesDateTime{KesDate{}, KesTime{}};
  }
  return CreateKesDateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                           local.tm_min, local.tm_sec);
}

KesDateTime* AddToKesDateTime(KesDateTime* dateTime, uint32_t amount, int unit) {
  return MoveKesDateTime(dateTime, static_cast<int64_t>(amount), unit, "AddToKesDateTime");
}

KesDateTime* SubtractFromKesDateTime(KesDateTime* dateTime, uint32_t amount, int unit) {
  return MoveKesDateTime(dateTime, -static_cast<int64_t>(amount), unit, "SubtractFromKesDateTime");
}

bool IsKesDateTimeAfter(const KesDateTime* first, const KesDateTime* second) {
  if (first == nullptr || second == nullptr) return false;
  return Fields(*first) > Fields(*second);
}
