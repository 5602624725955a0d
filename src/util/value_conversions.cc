#include "util/value_conversions.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "log/log.h"
#include "util/value_conversions_internal.h"

namespace {

// The key byte EncryptDecryptKey XORs with; computed in 64 bits so that no k
// overflows.
std::uint8_t ScrambleKeyByte(int k) {
  const long long shifted = static_cast<long long>(k) + 9;
  const long long key = shifted < 256 ? shifted : shifted % 255;
  return static_cast<std::uint8_t>(key);
}

}  // namespace

std::optional<std::string> ToString(int value, int kind) {
  LogTrace("\n\t@@@@@ Inside ToString() @@@@@\n");
  switch (kind) {
    case fh::kToStringInteger:
      return ConvertToStringFromInteger(value);
    case fh::kToStringBoolean:
      return fh::NoneOnAllocationFailure(
          [&]() -> std::optional<std::string> { return value != 0 ? "TRUE" : "FALSE"; });
    default:
      return std::nullopt;
  }
}

std::optional<std::string> ConvertToStringFromInteger(int value) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromInteger() @@@@@\n");
  return fh::NoneOnAllocationFailure([&]() -> std::optional<std::string> {
    std::string text = std::to_string(value);
    LogTrace("The string is %s\n", text.c_str());
    return text;
  });
}

std::optional<std::string> ConvertToStringFromUnsignedInteger(unsigned int value,
                                                              std::size_t& length) {
  LogTrace("\n\t@@@@@ Inside ConvertToStringFromUnsignedInteger() @@@@@\n");
  length = 0;
  LogTrace("The value is %d\n", static_cast<int>(value));
  std::optional<std::string> text = fh::NoneOnAllocationFailure(
      [&]() -> std::optional<std::string> { return std::to_string(value); });
  if (text) {
    LogTrace("The string is %s\n", text->c_str());
    length = text->size();
  }
  return text;
}

bool IsDirectory(const char* path) {
  LogTrace("\n\t@@@@@ Inside IsDirectory() @@@@@\n");
  if (path == nullptr || *path == '\0') return false;
  try {
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    std::error_code error;
    return std::filesystem::is_directory(std::filesystem::path(native), error);
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate buffer !!! \n");
    return false;
  }
}

void EncryptDecryptKey(std::uint8_t* buffer, std::size_t n, int k) {
  LogTrace("\t\t@@@@@ Inside EncryptDecryptKey() @@@@@\n");
  if (buffer == nullptr) return;
  const std::uint8_t key = ScrambleKeyByte(k);
  for (std::size_t i = 0; i < n; ++i) buffer[i] ^= key;
}
