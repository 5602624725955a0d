// Feeds one input to every value conversion: as text to each parser, as raw
// bytes (not NUL-terminated) to each bounded reader, as octets and as
// sub-identifiers to each converter. Every output buffer is exactly as large
// as the capacity passed, so a write past it is caught by AddressSanitizer.
// The log goes to /dev/null at trace level (or FH_FUZZ_LOG_LEVEL) so that
// every log line's format is expanded too.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "log/log_file.h"
#include "util/value_conversions.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void ParseTexts(const std::string& text) {
  const char* c = text.c_str();
  for (std::size_t capacity : {std::size_t{0}, std::size_t{4}, std::size_t{128}}) {
    for (bool isIp : {false, true}) {
      std::vector<std::uint32_t> oid(capacity);
      const int parts = ConvertToOidOrIpFromString(oid.data(), capacity, c, isIp);
      Check(parts >= -1 && (parts <= 0 || static_cast<std::size_t>(parts) <= capacity));
    }
  }
  if (IsValidIPAddress(c, text.size())) {
    std::uint32_t ip[4];
    Check(ConvertToOidOrIpFromString(ip, 4, c, true) == 4);
    Check(ip[0] <= 255 && ip[1] <= 255 && ip[2] <= 255 && ip[3] <= 255);
  }
  IsValidOid(c, text.size());
  GetOidLength(c, text.size());

  std::size_t length = 0;
  const auto octets = ConvertToDateTimeFromString(c, length);
  if (octets) {
    Check(octets->size() == length && (length == 8 || length == 11));
    std::size_t textLength = length;
    Check(ConvertToStringFromDateTime(octets->data(), textLength).has_value());
  }
  const auto time = ParseDateTime(c);
  if (time) Check(time->tm_mon >= 0 && time->tm_mon <= 11);
  ParseMonth(c);
  IsDirectory(c);
}

void ReadBytes(const std::uint8_t* data, std::size_t size) {
  const char* raw = reinterpret_cast<const char*>(data);
  IsValidIPAddress(raw, size);
  IsValidOid(raw, size);
  GetOidLength(raw, size);

  std::vector<char> copy(raw, raw + size);
  const bool packed = ConvertToHexValue(copy.data(), size);
  Check(packed == (size <= fh::kMaxHexDigits));

  std::vector<std::uint8_t> nibbles(size);  // room for half the bytes only
  ConvertToStringFromHex(nibbles.data(), nibbles.size(), data, size / 2);
  Check(!ConvertToStringFromHex(nibbles.data(), nibbles.size(), data, size / 2 + 1) || size == 0);

  Counter64 counter;
  ConvertToCounter64(counter, data, size);
  Check(ConvertToCounter64FromULongLong(ConvertToULongLongFromCounter64(counter)).low ==
        counter.low);
  ConvertToStringFromCounter64(counter);

  std::size_t length = size;
  const auto text = ConvertToStringFromDateTime(data, length);
  Check(text.has_value() == (size == 8 || size >= 11));

  std::vector<std::uint8_t> scrambled(data, data + size);
  const int k = size > 0 ? static_cast<int>(data[0] * 16777619u) : 0;
  EncryptDecryptKey(scrambled.data(), scrambled.size(), k);
  EncryptDecryptKey(scrambled.data(), scrambled.size(), k);
  Check(size == 0 || std::memcmp(scrambled.data(), data, size) == 0);

  std::vector<std::uint32_t> widened(size);
  CopyStringToOid(widened.data(), widened.size(), raw, size);
  CopyStringToOID(widened.data(), widened.size(), raw, size);

  // The input as a caller's format for the bytes.
  const std::string format(raw, size);
  PrintStream(data, size < 4 ? size : 4, format.c_str());
}

void ConvertSubIds(const std::uint8_t* data, std::size_t size) {
  std::vector<std::uint32_t> oid(size / 4);
  if (!oid.empty()) std::memcpy(oid.data(), data, oid.size() * 4);
  const std::size_t count = oid.size();

  std::size_t length = size;
  const auto text = ConvertToStringFromOID(oid.data(), length);
  Check(text.has_value() && text->size() == length);

  const std::size_t capacity = size > 0 ? data[0] : 0;
  std::vector<char> out(capacity);
  const bool fits = ConvertToStringFromOid(oid.data(), count, out.data(), capacity);
  Check(fits == (text->size() < capacity));
  if (fits) {
    std::vector<std::uint32_t> parsed(count);
    Check(count == 0 || ConvertToOidOrIpFromString(parsed.data(), count, out.data(), false) ==
                            static_cast<int>(count));
    Check(parsed == oid || count == 0);
  }

  const std::size_t from = count > 0 ? data[size - 1] % (count + 1) : 0;
  ConvertToIpAddressFromOid(out.data(), capacity, oid.data(), from, count);
  ConvertToCharArray(out.data(), capacity, oid.data(), from, count - from);
  std::vector<std::uint32_t> destination(capacity / 2);
  SetNOid(destination.data(), destination.size(), oid.data(), from, count - from);
  CopyOid(destination.data(), destination.size(), oid.data(), count);
  ReallocateAndSetOID(destination, oid.data(), count);

  const std::size_t half = count / 2;
  const int order = CompareOid(oid.data(), half, oid.data() + half, count - half);
  Check(order == -CompareOid(oid.data() + half, count - half, oid.data(), half));
  GetNextSubId(count > 0 ? oid[0] : 0, oid.data(), count);
  PrintOid(oid.data(), count < 8 ? count : 8);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitLogDefaults();
  if (std::FILE* sink = std::fopen("/dev/null", "w")) SetLogFilePtr(sink);
  // FH_FUZZ_LOG_LEVEL=0 skips the log lines for faster runs.
  const char* level = std::getenv("FH_FUZZ_LOG_LEVEL");
  SetLogLevel(level != nullptr ? static_cast<std::uint8_t>(std::atoi(level)) : 4);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  ParseTexts(std::string(reinterpret_cast<const char*>(data), size));
  ReadBytes(data, size);
  ConvertSubIds(data, size);
  return 0;
}
