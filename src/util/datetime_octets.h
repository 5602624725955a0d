// The date-and-time value of 8 or 11 octets (year as two bytes big-endian,
// then month, day, hour, minutes, seconds, deci-seconds, and optionally the
// direction from UTC '+' or '-', hours and minutes from UTC) and its text
// "2024-3-15,10:30:45.5" or "2024-3-15,10:30:45.5,+2:0".
//
// Every function logs its entry line at trace level. A new value is returned
// by value and belongs to the caller; an allocation failure is logged as
// "Unable to allocate buffer !!! \n" and gives none. Thread safety: the
// functions touch only their arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Text of the octets: with length 8 "%d-%d-%d,%d:%d:%d.%d" (year, month,
// day, hour, minutes, seconds, deci-seconds); with length 11 or more the
// first 11 octets as "%d-%d-%d,%d:%d:%d.%d,%c%d:%d" (adding the direction
// character and the UTC offset). length receives the text's length. None,
// with length 0, for a null octets pointer or a length below 8, 9 or 10.
// Logs "The retVal is %s\n".
std::optional<std::string> ConvertToStringFromDateTime(const std::uint8_t* octets,
                                                       std::size_t& length);

// Reads text with the C library's "%d-%d-%d,%d:%d:%d.%d,%c%d:%d": exactly 7
// fields give 8 octets, exactly 10 give 11 (year high byte first; every
// field is kept modulo 256). Any other count gives none. length receives the
// number of octets (0 with none). Logs each octet with "%.02x\n".
std::optional<std::vector<std::uint8_t>> ConvertToDateTimeFromString(const char* text,
                                                                     std::size_t& length);
