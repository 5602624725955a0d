#include "util/number_text.h"

#include <charconv>
#include <limits>
#include <system_error>

#include "log/log.h"

namespace fh {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Skips an optional sign; true when it was '-'.
bool SkipSign(const char*& p) {
  if (*p != '+' && *p != '-') return false;
  return *p++ == '-';
}

}  // namespace
}  // namespace fh

int ConvertStringToInteger(const char* text) {
  if (text == nullptr) return -1;
  const char* p = text;
  const bool negative = fh::SkipSign(p);
  // The magnitude may reach 2^31 for the most negative int.
  constexpr long long kLimit = static_cast<long long>(std::numeric_limits<int>::max()) + 1;
  long long magnitude = 0;
  for (; *p != '\0'; ++p) {
    if (!fh::IsDigit(*p)) return -1;
    magnitude = magnitude * 10 + (*p - '0');
    if (magnitude > kLimit) return -1;
  }
  if (!negative && magnitude == kLimit) return -1;
  return static_cast<int>(negative ? -magnitude : magnitude);
}

double ConvertStringToDouble(const char* text) {
  if (text == nullptr) return 0;
  // Check the form first: sign, digits, at most one point, digits.
  const char* number = *text == '+' ? text + 1 : text;  // from_chars takes no '+'
  const char* p = number;
  if (*p == '-' && p == text) ++p;
  while (fh::IsDigit(*p)) ++p;
  if (*p == '.') ++p;
  while (fh::IsDigit(*p)) ++p;
  if (*p != '\0') return 0;
  double value = 0;
  const std::from_chars_result parsed = std::from_chars(number, p, value);
  if (parsed.ec != std::errc() || parsed.ptr != p) return 0;
  return value;
}

std::int32_t ConvertToInteger(const unsigned char* bytes, int n) {
  LogTrace("\n\t@@@@@ Inside ConvertToInteger() @@@@@ \n");
  if (n > 4) return -1;
  if (bytes == nullptr || n <= 0) return 0;
  std::int32_t value = static_cast<signed char>(bytes[0]);
  for (int i = 1; i < n; ++i) {
    value = static_cast<std::int32_t>(static_cast<std::uint32_t>(value) << 8 | bytes[i]);
  }
  return value;
}

std::uint32_t ConvertBytesToInteger(const unsigned char* bytes, int n) {
  if (bytes == nullptr || n <= 0) return 0;
  std::uint32_t value = 0;
  for (int i = 0; i < n; ++i) value = value << 8 | bytes[i];
  return value;
}
