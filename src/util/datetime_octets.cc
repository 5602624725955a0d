#include "util/datetime_octets.h"

#include <cstdio>

#include "log/log.h"
#include "util/value_conversions_internal.h"

namespace {

constexpr std::size_t kShortDateTimeOctets = 8;
constexpr std::size_t kLongDateTimeOctets = 11;

// Room for the longest text: "65535-255-255,255:255:255.255,c255:255".
constexpr std::size_t kDateTimeTextSize = 64;

}  // namespace

std::optional<std::string> ConvertToStringFromDateTime(const std::uint8_t* octets,
                                                       std::size_t& length) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromDateTime() @@@@@\n");
  const std::size_t octetCount = length;
  length = 0;
  if (octets == nullptr ||
      (octetCount != kShortDateTimeOctets && octetCount < kLongDateTimeOctets)) {
    LogError("ConvertToStringFromDateTime: %zu octets are not a date and time\n", octetCount);
    return std::nullopt;
  }
  const int year = (octets[0] << 8) | octets[1];
  char buffer[kDateTimeTextSize];
  if (octetCount == kShortDateTimeOctets) {
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d,%d:%d:%d.%d", year, octets[2], octets[3],
                  octets[4], octets[5], octets[6], octets[7]);
  } else {
    std::snprintf(buffer, sizeof buffer, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", year, octets[2], octets[3],
                  octets[4], octets[5], octets[6], octets[7], octets[8], octets[9], octets[10]);
  }
  LogTrace("The retVal is %s\n", buffer);
  std::optional<std::string> text = fh::NoneOnAllocationFailure(
      [&]() -> std::optional<std::string> { return std::string(buffer); });
  if (text) length = text->size();
  return text;
}

std::optional<std::vector<std::uint8_t>> ConvertToDateTimeFromString(const char* text,
                                                                     std::size_t& length) {
  LogTrace("\n\t@@@@@ Inside ConvertToDateTimeFromString() @@@@@\n");
  length = 0;
  if (text == nullptr) return std::nullopt;
  int year = 0, month = 0, day = 0, hour = 0, minutes = 0, seconds = 0, deciSeconds = 0;
  char direction = 0;
  int utcHours = 0, utcMinutes = 0;
  const int fields =
      std::sscanf(text, "%d-%d-%d,%d:%d:%d.%d,%c%d:%d", &year, &month, &day, &hour, &minutes,
                  &seconds, &deciSeconds, &direction, &utcHours, &utcMinutes);
  if (fields != 7 && fields != 10) return std::nullopt;

  auto octets = fh::NoneOnAllocationFailure([&]() -> std::optional<std::vector<std::uint8_t>> {
    const auto octet = [](int value) { return static_cast<std::uint8_t>(value); };
    std::vector<std::uint8_t> value{octet(static_cast<int>(static_cast<unsigned>(year) >> 8)),
                                    octet(year),
                                    octet(month),
                                    octet(day),
                                    octet(hour),
                                    octet(minutes),
                                    octet(seconds),
                                    octet(deciSeconds)};
    if (fields == 10) {
      value.push_back(static_cast<std::uint8_t>(direction));
      value.push_back(octet(utcHours));
      value.push_back(octet(utcMinutes));
    }
    return value;
  });
  if (!octets) return std::nullopt;
  for (std::uint8_t octet : *octets) LogTrace("%.02x\n", static_cast<unsigned>(octet));
  length = octets->size();
  return octets;
}
