#include "util/hex_conversions.h"

#include "log/log.h"

namespace {

// Digit value 0-15, or -1 for a character that is not a hexadecimal digit.
int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

char GetHexValue(char c) {
  LogTrace("\n\t@@@@@ Inside GetHexValue() @@@@@\n");
  const int value = DigitValue(c);
  return value < 0 ? c : static_cast<char>(value);
}

int ConvertToDecimalFromHexa(char c) {
  LogTrace("\n\t@@@@@ Inside ConvertToDecimalFromHexa() @@@@@\n");
  const int value = DigitValue(c);
  return value < 0 ? 0 : value;
}

bool ConvertToHexValue(char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside ConvertToHexValue() @@@@@\n");
  if (n > fh::kMaxHexDigits) {
    LogError("ConvertToHexValue: %zu digits exceed the limit of %zu\n", n, fh::kMaxHexDigits);
    return false;
  }
  if (text == nullptr) return n == 0;
  // Byte i is written only after digits 2i and 2i + 1 were read, and no later
  // byte reads before it, so packing in place is safe.
  for (std::size_t i = 0; i < n / 2; ++i) {
    const int high = DigitValue(text[2 * i]);
    const int low = DigitValue(text[2 * i + 1]);
    const unsigned packed = (static_cast<unsigned>(high < 0 ? 0 : high) << 4) |
                            static_cast<unsigned>(low < 0 ? 0 : low);
    text[i] = static_cast<char>(packed);
  }
  return true;
}

bool ConvertToStringFromHex(std::uint8_t* out, std::size_t outCapacity, const std::uint8_t* bytes,
                            std::size_t n) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromHex() @@@@@\n");
  if (n == 0) return true;
  if (out == nullptr || bytes == nullptr) return false;
  if (n > outCapacity / 2) {
    LogError("ConvertToStringFromHex: the nibbles of %zu bytes do not fit in %zu\n", n,
             outCapacity);
    return false;
  }
  for (std::size_t i = 0; i < n; ++i) {
    out[2 * i] = static_cast<std::uint8_t>(bytes[i] >> 4);
    out[2 * i + 1] = static_cast<std::uint8_t>(bytes[i] & 0x0F);
  }
  return true;
}
