// Date and time values: the in-memory form of the DATE, TIME and DATETIME
// column types (KES_SQL_DATE, KES_SQL_TIME, KES_SQL_DATETIME), their text
// forms, the parsers that read them from text, the current local time, date
// arithmetic and comparison.
//
// Ownership: the records are plain values. A KesDateTime holds its date and
// time parts by value (std::optional), so copying a KesDateTime always copies
// both parts and destroying it frees them; no record ever shares a part with
// another. Wherever a value length is recorded, a KesDateTime counts as
// kKesDateTimeValueLength (11) bytes.
//
// Thread safety: no function keeps state; every function may be called from
// any thread on records the caller does not share unsynchronised. The local
// time conversions use the reentrant C library calls (localtime_r, mktime).
//
// Logging: as stated per function, through log/log.h.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

namespace fh {

// The length recorded for a column value of type 16, 17 or 18.
inline constexpr int32_t kKesDateTimeValueLength = 11;

}  // namespace fh

// A calendar date. Fields hold what they are given, truncated to their
// widths (no range check): a parsed "0-0-0" is the date 0000-00-00.
struct KesDate {
  uint16_t year = 0;
  uint8_t month = 0;  // 1 to 12 for a real date
  uint8_t day = 0;    // day of the month

  friend bool operator==(const KesDate&, const KesDate&) = default;
};

// A time of day.
struct KesTime {
  uint8_t hour = 0;
  uint8_t minute = 0;
  uint8_t second = 0;

  friend bool operator==(const KesTime&, const KesTime&) = default;
};

// A date, a time, or both; either part may be absent. A DATE value fetched
// from a database has only its date, a TIME value only its time, a DATETIME
// value both; ConvertStringToKesDateTime always gives both.
struct KesDateTime {
  std::optional<KesDate> date;
  std::optional<KesTime> time;

  friend bool operator==(const KesDateTime&, const KesDateTime&) = default;
};

// A date-time whose parts may be absent: the same record.
using KesGenDateTime = KesDateTime;

namespace fh {

// What ConvertStringToKesValue gives: a bare date, a bare time, or a
// date-time with both parts.
using KesValue = std::variant<KesDate, KesTime, KesDateTime>;

// The units of AddToKesDateTime / SubtractFromKesDateTime.
inline constexpr int kKesUnitNanoseconds = 1;   // seconds by amount / 1000000000
inline constexpr int kKesUnitMicroseconds = 2;  // seconds by amount / 1000000
inline constexpr int kKesUnitMilliseconds = 3;  // seconds by amount / 1000
inline constexpr int kKesUnitSeconds = 4;
inline constexpr int kKesUnitMinutes = 5;
inline constexpr int kKesUnitHours = 6;
inline constexpr int kKesUnitDays = 7;
inline constexpr int kKesUnitWeeks = 8;  // days by 7 x amount
inline constexpr int kKesUnitMonths = 9;

}  // namespace fh

// Construction. The values are stored truncated to the field widths. The
// records are values, so construction cannot fail.
KesDate CreateKesDate(int year, int month, int day);
KesTime CreateKesTime(int hour, int minute, int second);
// Both parts present.
KesDateTime CreateKesDateTime(int year, int month, int day, int hour, int minute, int second);

// "%04d-%02d-%02d".
std::string KesDateToString(const KesDate& date);
// "%02d:%02d:%02d".
std::string KesTimeToString(const KesTime& time);
// "%04d-%02d-%02d %02d:%02d:%02d" with both parts, the date text with the date
// only, the time text with the time only; none when both parts are absent.
std::optional<std::string> KesDateTimeToString(const KesDateTime& dateTime);

// The three parsers read a text by its shape:
//   contains "-" and ":"  read as "%d-%d-%d %d:%d:%d" (year month day hour minute second)
//   contains "-" only     read as "%d-%d-%d"          (year month day)
//   contains ":" only     read as "%d:%d:%d"          (hour minute second)
//   neither               none
// with scanf rules: leading white space before a number is skipped, a number
// is an optional sign and decimal digits, reading stops at the first
// mismatch, and numbers not reached stay 0. Numbers are read in 64 bits and
// wrap to int (no overflow), then stored truncated to the field widths.
// A null text logs "datetimeStr NULL \n" (error) and gives none.

// Logs "Inside ConvertStringToKesDateTime \n" (trace). Both parts always
// present; the part the text does not give is all zeros.
std::optional<KesDateTime> ConvertStringToKesDateTime(const char* text);

// A KesDate for a date text, a KesTime for a time text, a KesDateTime (both
// parts) for a full text; none otherwise.
std::optional<fh::KesValue> ConvertStringToKesValue(const char* text);

// Logs "Inside ConvertStringToKesGenDateTime \n" (trace). A date-time with
// only the parts the text gives. A text of neither shape logs "The String is
// not a datetimeStr \n" (error) and gives none.
std::optional<KesGenDateTime> ConvertStringToKesGenDateTime(const char* text);

// The current local date and time, both parts present (whole seconds).
KesDateTime GetCurrentKesDateTime();

// Moves dateTime by amount in unit (the kKesUnit* constants; any other unit
// changes nothing) and normalises it as a local time the way mktime does:
// 61 minutes become one hour and one minute, 2021-01-31 plus one month is
// 2021-03-03, month overflow moves the year. The sub-second units move whole
// seconds (integer division). A part that is absent is taken as zero for the
// computation and stays absent: a time-only value wraps around midnight, a
// date-only value moves by whole days once the time units add up to them.
// Amounts up to 4294967295 never overflow. When the result cannot be
// represented the record is left unchanged and an error is logged.
// Returns dateTime (none for a null dateTime).
KesDateTime* AddToKesDateTime(KesDateTime* dateTime, uint32_t amount, int unit);
// The same with the amount taken away.
KesDateTime* SubtractFromKesDateTime(KesDateTime* dateTime, uint32_t amount, int unit);

// true when first is strictly later than second: year, month, day, hour,
// minute, second compared in that order, the first difference decides. An
// absent part compares as all zeros. Equal records and a null argument give
// false.
bool IsKesDateTimeAfter(const KesDateTime* first, const KesDateTime* second);
