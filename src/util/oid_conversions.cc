#include "util/oid_conversions.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>
#include <string_view>

#include "log/log.h"
#include "util/value_conversions_internal.h"

namespace {

// The first n characters of text, or fewer when a NUL comes first.
std::string_view BoundedText(const char* text, std::size_t n) {
  if (text == nullptr) return {};
  std::size_t length = 0;
  while (length < n && text[length] != '\0') ++length;
  return {text, length};
}

std::size_t CountPoints(std::string_view text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
}

// Appends the decimal text of each sub-identifier, each preceded by
// separator when leadingSeparator is set, else between them.
void AppendSubIds(std::string& text, const std::uint32_t* oid, std::size_t from, std::size_t to,
                  bool leadingSeparator) {
  for (std::size_t i = from; i < to; ++i) {
    if (leadingSeparator || i > from) text += '.';
    text += std::to_string(oid[i]);
  }
}

// Copies text with its NUL into out when it fits; else leaves the empty text
// there (when there is room for it) and reports false.
bool WriteTerminated(const std::string& text, char* out, std::size_t outCapacity) {
  if (text.size() >= outCapacity) {
    if (outCapacity > 0) out[0] = '\0';
    return false;
  }
  std::memcpy(out, text.c_str(), text.size() + 1);
  return true;
}

// A part of an OID or IP text: a non-empty run of decimal digits whose value
// fits in 32 bits.
std::optional<std::uint32_t> ParseSubId(std::string_view part) {
  if (part.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > std::numeric_limits<std::uint32_t>::max()) return std::nullopt;
  }
  return static_cast<std::uint32_t>(value);
}

// A part of an IP text: digits only, any number of them, value 0-255.
bool IsIpPart(std::string_view part) {
  if (part.empty()) return false;
  unsigned value = 0;
  for (char c : part) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<unsigned>(c - '0');
    if (value > 255) return false;
  }
  return true;
}

// Calls visit(part) for each piece of text between points; stops early and
// returns false as soon as visit does.
template <class Visit>
bool ForEachPart(std::string_view text, Visit&& visit) {
  for (;;) {
    const std::size_t point = text.find('.');
    if (!visit(text.substr(0, point))) return false;
    if (point == std::string_view::npos) return true;
    text.remove_prefix(point + 1);
  }
}

// Skips at most kMaxFormatDigits decimal digits; false when there are more.
constexpr int kMaxFormatDigits = 3;
bool SkipFormatDigits(const char*& p) {
  int digits = 0;
  while (*p >= '0' && *p <= '9') {
    if (++digits > kMaxFormatDigits) return false;
    ++p;
  }
  return true;
}

// True when format holds at most one conversion and that one takes an int
// and asks for a width and precision of at most three digits.
bool IsSingleIntFormat(const char* format) {
  int conversions = 0;
  for (const char* p = format; *p != '\0'; ++p) {
    if (*p != '%') continue;
    ++p;
    if (*p == '%') continue;
    while (*p != '\0' && std::strchr("-+ #0", *p) != nullptr) ++p;
    if (!SkipFormatDigits(p)) return false;
    if (*p == '.') {
      ++p;
      if (!SkipFormatDigits(p)) return false;
    }
    if (*p == 'h') ++p;
    if (*p == 'h') ++p;
    if (*p == '\0' || std::strchr("diouxXc", *p) == nullptr) return false;
    ++conversions;
  }
  return conversions <= 1;
}

bool CopyWidened(std::uint32_t* oid, std::size_t oidCapacity, const char* text, std::size_t n,
                 bool bytesAreSigned) {
  if (n == 0) return true;
  if (oid == nullptr || text == nullptr || n > oidCapacity) return false;
  for (std::size_t i = 0; i < n; ++i) {
    oid[i] = bytesAreSigned
                 ? static_cast<std::uint32_t>(static_cast<int>(static_cast<signed char>(text[i])))
                 : static_cast<std::uint32_t>(static_cast<unsigned char>(text[i]));
  }
  return true;
}

}  // namespace

std::optional<std::string> ConvertToStringFromOID(const std::uint32_t* oid, std::size_t& length) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromOID() @@@@@\n");
  const std::size_t count = length / 4;
  length = 0;
  if (oid == nullptr && count > 0) return std::nullopt;
  std::optional<std::string> text =
      fh::NoneOnAllocationFailure([&]() -> std::optional<std::string> {
        std::string oidText;
        for (std::size_t i = 0; i < count; ++i) {
          const std::string subId = std::to_string(oid[i]);
          LogTrace("The SubId IS %ld\n", static_cast<long>(oid[i]));
          LogTrace("The String rep as SubId is %s\n", subId.c_str());
          oidText += '.';
          oidText += subId;
        }
        LogTrace("The String rep as OID is %s\n", oidText.c_str());
        return oidText;
      });
  if (text) length = text->size();
  return text;
}

bool ConvertToStringFromOid(const std::uint32_t* oid, std::size_t count, char* out,
                            std::size_t outCapacity) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromOid() @@@@@\n");
  if (out == nullptr || (oid == nullptr && count > 0)) return false;
  const std::optional<std::string> text =
      fh::NoneOnAllocationFailure([&]() -> std::optional<std::string> {
        std::string oidText;
        AppendSubIds(oidText, oid, 0, count, true);
        return oidText;
      });
  if (!text) {
    if (outCapacity > 0) out[0] = '\0';
    return false;
  }
  return WriteTerminated(*text, out, outCapacity);
}

bool ConvertToIpAddressFromOid(char* out, std::size_t outCapacity, const std::uint32_t* oid,
                               std::size_t from, std::size_t to) {
  LogTrace("\n\t@@@@@ Inside ConvertToIpAddressFromOid() @@@@@\n");
  if (out == nullptr) return false;
  const std::optional<std::string> text =
      from > to || (oid == nullptr && from < to)
          ? std::nullopt
          : fh::NoneOnAllocationFailure([&]() -> std::optional<std::string> {
              std::string ipText;
              AppendSubIds(ipText, oid, from, to, false);
              return ipText;
            });
  if (!text) {
    if (outCapacity > 0) out[0] = '\0';
    return false;
  }
  return WriteTerminated(*text, out, outCapacity);
}

int ConvertToOidOrIpFromString(std::uint32_t* oid, std::size_t oidCapacity, const char* text,
                               bool isIp) {
  LogTrace("\n\t@@@@@ Inside ConvertToOidOrIpFromString() @@@@@\n");
  const std::string_view whole = text == nullptr ? std::string_view() : std::string_view(text);
  const std::size_t points = CountPoints(whole);
  if (points < 1) {
    LogError(isIp ? "Incorrect format of IpAddress\n" : "Incorrect format of OID\n");
    return -1;
  }
  const std::size_t expected = isIp ? points + 1 : points;
  std::string_view body = whole;
  if (!isIp && body.front() == '.') body.remove_prefix(1);

  const std::size_t parts = CountPoints(body) + 1;
  if (oid == nullptr || parts > oidCapacity) {
    LogError("ConvertToOidOrIpFromString: %zu parts do not fit in %zu sub-identifiers\n", parts,
             oid == nullptr ? std::size_t{0} : oidCapacity);
    return -1;
  }
  // Every part is checked before the first is stored, so a malformed text
  // leaves oid as it was.
  const bool wellFormed =
      ForEachPart(body, [](std::string_view part) { return ParseSubId(part).has_value(); });
  if (!wellFormed) return -1;
  if (parts != expected) return 0;
  std::size_t index = 0;
  ForEachPart(body, [&](std::string_view part) {
    oid[index++] = *ParseSubId(part);
    return true;
  });
  return static_cast<int>(parts);
}

bool IsValidIPAddress(const char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside IsValidIPAddress() @@@@@\n");
  LogTrace("len is %d\n", static_cast<int>(n));
  const std::string_view address = BoundedText(text, n);
  if (address.empty() || address.front() == '.' || address.back() == '.') return false;
  if (address.find("..") != std::string_view::npos) return false;
  if (CountPoints(address) != 3) return false;
  return ForEachPart(address, IsIpPart);
}

bool IsValidOid(const char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside IsValidOid() @@@@@\n");
  const std::string_view oidText = BoundedText(text, n);
  return !oidText.empty() && oidText.front() == '.' && CountPoints(oidText) > 1;
}

int CompareOid(const std::uint32_t* a, std::size_t aCount, const std::uint32_t* b,
               std::size_t bCount) {
  LogTrace("\n\t@@@@@ Inside CompareOid() @@@@@\n");
  const std::size_t common = std::min(aCount, bCount);
  for (std::size_t i = 0; i < common; ++i) {
    if (a[i] > b[i]) return 1;
    if (a[i] < b[i]) return -1;
  }
  if (aCount > bCount) return 1;
  if (aCount < bCount) return -1;
  return 0;
}

bool CopyOid(std::uint32_t* destination, std::size_t destinationCapacity,
             const std::uint32_t* source, std::size_t count) {
  LogTrace("\n\t@@@@@ Inside CopyOid() @@@@@\n");
  if (count == 0) return true;
  if (destination == nullptr || source == nullptr || count > destinationCapacity) return false;
  std::copy(source, source + count, destination);
  return true;
}

bool SetNOid(std::uint32_t* destination, std::size_t destinationCapacity,
             const std::uint32_t* source, std::size_t offset, std::size_t count) {
  LogTrace("\n\t@@@@@ Inside SetNOid() @@@@@\n");
  if (offset > destinationCapacity || count > destinationCapacity - offset) return false;
  if (count == 0) return true;
  if (destination == nullptr || source == nullptr) return false;
  std::copy(source, source + count, destination + offset);
  return true;
}

int ReallocateAndSetOID(std::vector<std::uint32_t>& target, const std::uint32_t* source,
                        std::size_t count) {
  LogTrace("\n\t@@@@@ Inside ReallocateAndSetOID() @@@@@\n");
  if (source == nullptr && count > 0) return 0;
  try {
    std::vector<std::uint32_t> copy(source, source + count);
    target.swap(copy);
    return 1;
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return 99;
  } catch (const std::length_error&) {
    LogError("Unable to allocate memory\n");
    return 99;
  }
}

int GetOidLength(const char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside GetOidLength() @@@@@\n");
  return static_cast<int>(CountPoints(BoundedText(text, n)));
}

std::uint32_t GetNextSubId(std::uint32_t value, const std::uint32_t* oid, std::size_t count) {
  LogTrace("\n\t@@@@@ Inside GetNextSubId() @@@@@\n");
  if (oid == nullptr) return 0;
  const std::uint32_t* end = oid + count;
  const std::uint32_t* next =
      std::find_if(oid, end, [value](std::uint32_t subId) { return subId > value; });
  return next == end ? 0 : *next;
}

bool CopyStringToOid(std::uint32_t* oid, std::size_t oidCapacity, const char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside CopyStringToOid() @@@@@\n");
  return CopyWidened(oid, oidCapacity, text, n, true);
}

bool CopyStringToOID(std::uint32_t* oid, std::size_t oidCapacity, const char* text, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside CopyStringToOID() @@@@@\n");
  return CopyWidened(oid, oidCapacity, text, n, false);
}

bool ConvertToCharArray(char* out, std::size_t outCapacity, const std::uint32_t* oid,
                        std::size_t from, std::size_t n) {
  LogTrace("\n\t@@@@@ Inside ConvertToCharArray() @@@@@\n");
  if (out == nullptr || n >= outCapacity || (oid == nullptr && n > 0)) return false;
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<char>(oid[from + i] % 255);
  out[n] = '\0';
  return true;
}

void PrintOid(const std::uint32_t* oid, std::size_t count) {
  LogTrace("\n\t@@@@@ Inside PrintOid() @@@@@\n");
  if (oid == nullptr) return;
  for (std::size_t i = 0; i < count; ++i) LogDebug("%lu\t", static_cast<unsigned long>(oid[i]));
}

void PrintStream(const std::uint8_t* bytes, std::size_t n, const char* format) {
  LogTrace("\n\t@@@@@ Inside PrintStream() @@@@@\n");
  if (bytes == nullptr || format == nullptr) return;
  if (!IsSingleIntFormat(format)) {
    LogError("PrintStream: the format must take one int at most\n");
    return;
  }
  for (std::size_t i = 0; i < n; ++i) LogDebug(format, static_cast<int>(bytes[i]));
}
