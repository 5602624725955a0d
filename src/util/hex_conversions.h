// Hexadecimal digits and bytes: the value of one digit, packing a digit text
// into bytes in place, and splitting bytes into their nibbles.
//
// Every function logs its entry line at trace level. Thread safety: the
// functions touch only their arguments; calls on distinct buffers may run on
// any threads at once.
#pragma once

#include <cstddef>
#include <cstdint>

namespace fh {

// The most digits ConvertToHexValue packs (32 bytes).
inline constexpr std::size_t kMaxHexDigits = 64;

}  // namespace fh

// Value 0-15 of a hexadecimal digit ('0'-'9', 'A'-'F', 'a'-'f'); any other
// character is returned unchanged.
char GetHexValue(char c);

// Value 0-15 of a hexadecimal digit; 0 for any other character.
int ConvertToDecimalFromHexa(char c);

// Packs the first n hexadecimal digits of text pairwise, high nibble first,
// into n/2 bytes written over the start of text; an odd last digit is
// ignored and a character that is not a digit counts as 0. The bytes after
// the first n/2 are left as they were.
// REQUIRES: text holds at least n bytes.
// Returns true; false, with text untouched, when n exceeds kMaxHexDigits or
// text is null while n > 0.
bool ConvertToHexValue(char* text, std::size_t n);

// Writes the two nibbles of each of the n bytes, high first, as values 0-15
// (not characters) into out: 2n bytes, no terminator.
// Returns true; false, with nothing written, when out or bytes is null while
// n > 0, or when 2n bytes exceed outCapacity.
bool ConvertToStringFromHex(std::uint8_t* out, std::size_t outCapacity, const std::uint8_t* bytes,
                            std::size_t n);
