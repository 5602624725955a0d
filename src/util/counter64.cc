#include "util/counter64.h"

#include <cstdio>

#include "log/log.h"
#include "util/value_conversions_internal.h"

namespace {

// The most bytes that make up a counter; earlier bytes are shifted out.
constexpr std::size_t kCounterBytes = 8;

// The text of the largest 64-bit counter plus its NUL fits in 21 bytes.
constexpr std::size_t kCounterTextSize = 21;

}  // namespace

Counter64 ConvertToCounter64FromULongLong(std::uint64_t value) {
  LogTrace("\n\t@@@@@ Inside ConvertToCounter64FromULongLong() @@@@@\n");
  return Counter64{static_cast<std::uint32_t>(value >> 32), static_cast<std::uint32_t>(value)};
}

std::uint64_t ConvertToULongLongFromCounter64(Counter64 counter) {
  LogTrace("\n\t@@@@@ Inside ConvertToULongLongFromCounter64() @@@@@\n");
  return (static_cast<std::uint64_t>(counter.high) << 32) | counter.low;
}

void ConvertToCounter64(Counter64& out, const std::uint8_t* bytes, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside ConvertToCounter64() @@@@@\n");
  out = Counter64{};
  if (bytes == nullptr) return;
  const std::size_t first = n > kCounterBytes ? n - kCounterBytes : 0;
  std::uint64_t value = 0;
  for (std::size_t i = first; i < n; ++i) value = (value << 8) | bytes[i];
  out.high = static_cast<std::uint32_t>(value >> 32);
  out.low = static_cast<std::uint32_t>(value);
}

std::optional<std::string> ConvertToStringFromCounter64(Counter64 counter) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromCounter64() @@@@@\n");
  const auto value = static_cast<unsigned long long>(
      (static_cast<std::uint64_t>(counter.high) << 32) | counter.low);
  char buffer[kCounterTextSize];
  std::snprintf(buffer, sizeof buffer, "%llu", value);
  LogDebug("The String is : %s\n", buffer);
  return fh::NoneOnAllocationFailure(
      [&]() -> std::optional<std::string> { return std::string(buffer); });
}
