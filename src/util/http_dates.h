// The three date forms of the web protocol (RFC 1123 "Sun, 06 Nov 1994
// 08:49:37 GMT", RFC 850 "Sunday, 06-Nov-94 08:49:37 GMT" and the C
// library's asctime "Sun Nov  6 08:49:37 1994"), English month names, and the
// ordering of broken-down times.
//
// Every function logs its entry line at trace level. Thread safety: the
// functions touch only their arguments.
#pragma once

#include <ctime>
#include <optional>

// "Jan" ... "Dec" in any letter case to 0 ... 11; -1 for anything else
// (including a null name and full month names).
int ParseMonth(const char* name);

// A new broken-down time from text, trying in turn:
//   "%s %d %s %d %d:%d:%d %s" (weekday, day, month name, year, time, zone),
//   "%s %d-%3s-%d %d:%d:%d %s" (weekday, day-month-year, time, zone),
//   "%s %s %d %d:%d:%d %d" (weekday, month name, day, time, year).
// The first form that reads all its fields decides. The year is stored
// minus 1900 for the first and third forms and as read (a two-digit year)
// for the second. Set are tm_sec, tm_min, tm_hour, tm_mday, tm_mon and
// tm_year; the other members are 0. None for a null text, when no form
// matches, when the matching form's month name is unknown, or when the year
// does not fit. Every word is read at most 31 characters at a time.
std::optional<std::tm> ParseDateTime(const char* text);

// 1 when a is the same as or later than b, comparing year, month, day, hour,
// minutes and seconds in that order; else 0.
int CompareTime(const std::tm& a, const std::tm& b);
