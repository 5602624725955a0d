// Value conversions between the textual and the binary forms of the value
// kinds the framework stores and exchanges. This header holds the integer
// texts and the two small helpers that belong to no family (directory test,
// key scrambling), and includes the families for callers that want them all:
//   util/hex_conversions.h  - hexadecimal digits and nibbles
//   util/oid_conversions.h  - object identifiers and IPv4 addresses
//   util/counter64.h        - 64-bit counters as {high, low}
//   util/datetime_octets.h  - the 8/11-octet date-and-time value
//   util/http_dates.h       - the three web date forms, month names
//
// Every function logs its entry line at trace level. A new text is returned
// by value and belongs to the caller; none means failure, and an allocation
// failure is logged as "Unable to allocate buffer !!! \n" and gives none.
// Thread safety: the functions touch only their arguments (and, for
// IsDirectory, the file system); they may be called from any thread.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "util/counter64.h"
#include "util/datetime_octets.h"
#include "util/hex_conversions.h"
#include "util/http_dates.h"
#include "util/oid_conversions.h"

namespace fh {

// The kinds ToString knows.
inline constexpr int kToStringInteger = 0;
inline constexpr int kToStringBoolean = 1;

}  // namespace fh

// kind 0: ConvertToStringFromInteger(value); kind 1: "TRUE" when value is
// not 0, else "FALSE"; any other kind: none.
std::optional<std::string> ToString(int value, int kind);

// Signed decimal text: "-" before a negative value, "0" for zero, correct for
// the most negative int too.
std::optional<std::string> ConvertToStringFromInteger(int value);

// Unsigned decimal text; length receives its length (0 when none is
// returned).
std::optional<std::string> ConvertToStringFromUnsignedInteger(unsigned int value,
                                                              std::size_t& length);

// True when path names an existing directory (a symbolic link to one counts).
// Both "\" and "/" separate the parts of path. False for a null or empty path
// and for any path that cannot be examined.
bool IsDirectory(const char* path);

// XORs each of the n bytes of buffer with one key byte derived from k: k + 9
// when that is below 256, else (k + 9) modulo 255 (so k = 250 gives 4).
// Applying it twice with the same k restores the buffer. Does nothing when
// buffer is null.
void EncryptDecryptKey(std::uint8_t* buffer, std::size_t n, int k);
