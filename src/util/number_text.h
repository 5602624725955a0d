// Whole numbers and decimals read from text, and big-endian integers read from
// bytes. No function keeps state.
#pragma once

#include <cstdint>

// An optional leading + or -, then decimal digits: the value. -1 when any
// other character occurs (so "-1" and an error look alike), when the value
// does not fit in an int, or when text is none. The empty text and a lone
// sign give 0.
int ConvertStringToInteger(const char* text);

// An optional leading + or -, decimal digits, and at most one "." followed by
// decimal digits ("12", "12.5", ".5", "12."): the value. 0 when the text has
// any other form (the part before the point is not decimal, a second point, a
// stray character) or is none.
double ConvertStringToDouble(const char* text);

// Logs "\n\t@@@@@ Inside ConvertToInteger() @@@@@ \n". The big-endian value
// of the first n bytes (n up to 4), the first byte sign-extended: {0xFF} is
// -1, {0x01, 0x00} is 256. -1 when n > 4; 0 when n <= 0 or bytes is none.
std::int32_t ConvertToInteger(const unsigned char* bytes, int n);

// The big-endian unsigned value of the first n bytes; of more than 4 bytes
// only the last 4 count (the higher bytes shift out). 0 when n <= 0 or bytes
// is none.
std::uint32_t ConvertBytesToInteger(const unsigned char* bytes, int n);
