// 64-bit counters held as two 32-bit halves, and their conversions to and
// from 64-bit integers, big-endian bytes and decimal text.
//
// Every function logs its entry line at trace level. Thread safety: the
// functions touch only their arguments.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

struct Counter64 {
  std::uint32_t high = 0;  // the upper 32 bits
  std::uint32_t low = 0;   // the lower 32 bits
};

// {high, low} of value.
Counter64 ConvertToCounter64FromULongLong(std::uint64_t value);

// high * 2^32 + low.
std::uint64_t ConvertToULongLongFromCounter64(Counter64 counter);

// Reads n big-endian bytes: the last four (or all, when fewer than four are
// given) form low, the bytes before them high. A 9-byte value's first byte is
// a sign octet and is skipped; in general only the last eight bytes count.
// out becomes {0, 0} when bytes is null or n is 0.
void ConvertToCounter64(Counter64& out, const std::uint8_t* bytes, std::size_t n);

// Decimal text of the counter as the unsigned 64-bit value it is (2^64 - 1
// reads 18446744073709551615). Logs "The String is : %s\n" at debug level.
std::optional<std::string> ConvertToStringFromCounter64(Counter64 counter);
