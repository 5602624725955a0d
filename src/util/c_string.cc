#include "util/c_string.h"

#include <cstring>

namespace fh {
namespace {

// The null rule shared by the comparisons: both none 0, first none -1,
// second none 1; set when an argument is none.
bool NullOrder(const void* first, const void* second, int* result) {
  if (first != nullptr && second != nullptr) return false;
  *result = first == second ? 0 : (first == nullptr ? -1 : 1);
  return true;
}

int Sign(int value) { return (value > 0) - (value < 0); }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares as signed characters, after fold.
template <typename Fold>
int CompareSigned(const char* first, const char* second, Fold fold) {
  for (;; ++first, ++second) {
    const signed char a = static_cast<signed char>(fold(*first));
    const signed char b = static_cast<signed char>(fold(*second));
    if (a != b) return a < b ? -1 : 1;
    if (a == 0) return 0;
  }
}

}  // namespace
}  // namespace fh

std::size_t StringLength(const char* text) { return text == nullptr ? 0 : std::strlen(text); }

char* StringCopy(char* destination, const char* source) {
  if (destination == nullptr || source == nullptr) return nullptr;
  return std::strcpy(destination, source);
}

char* StringCopyN(char* destination, const char* source, std::size_t n) {
  if (destination == nullptr || source == nullptr || n == 0) return nullptr;
  const std::size_t length = strnlen(source, n - 1);
  std::memcpy(destination, source, length);
  destination[length] = '\0';
  return destination;
}

char* StringConcat(char* destination, const char* source) {
  if (destination == nullptr || source == nullptr) return nullptr;
  return std::strcat(destination, source);
}

int StringCompare(const char* first, const char* second) {
  int result = 0;
  if (fh::NullOrder(first, second, &result)) return result;
  return fh::CompareSigned(first, second, [](char c) { return c; });
}

int StringCompareN(const char* first, const char* second, std::size_t n) {
  int result = 0;
  if (fh::NullOrder(first, second, &result)) return result;
  return fh::Sign(std::strncmp(first, second, n));
}

int StringCompareNoCase(const char* first, const char* second) {
  int result = 0;
  if (fh::NullOrder(first, second, &result)) return result;
  return fh::CompareSigned(first, second, fh::AsciiLower);
}

std::size_t StringCopyBounded(char* buffer, const char* text, int size) {
  if (buffer == nullptr || text == nullptr || size <= 0) return 0;
  const std::size_t length = std::strlen(text);
  const std::size_t copied = length < static_cast<std::size_t>(size) ? length : size - 1;
  std::memcpy(buffer, text, copied);
  buffer[copied] = '\0';
  return length;
}

std::size_t StringConcatBounded(char* buffer, const char* text, int size) {
  if (buffer == nullptr || text == nullptr) return 0;
  const std::size_t textLength = std::strlen(text);
  if (size <= 0) return textLength;
  const std::size_t capacity = static_cast<std::size_t>(size);
  const std::size_t used = strnlen(buffer, capacity);
  if (used == capacity) return capacity + textLength;  // no NUL in the buffer: leave it
  const std::size_t room = capacity - used - 1;
  const std::size_t copied = textLength < room ? textLength : room;
  std::memcpy(buffer + used, text, copied);
  buffer[used + copied] = '\0';
  return used + textLength;
}

void* CopyBytes(void* destination, const void* source, std::size_t n) {
  if (destination == nullptr || source == nullptr) return nullptr;
  return std::memcpy(destination, source, n);
}

void* FillBytes(void* destination, int value, std::size_t n) {
  if (destination == nullptr) return nullptr;
  return std::memset(destination, value, n);
}

int CompareBytes(const void* first, const void* second, std::size_t n) {
  int result = 0;
  if (fh::NullOrder(first, second, &result)) return result;
  return fh::Sign(std::memcmp(first, second, n));
}

const void* FindByte(const void* buffer, int value, std::size_t n) {
  return buffer == nullptr ? nullptr : std::memchr(buffer, value, n);
}

void* FindByte(void* buffer, int value, std::size_t n) {
  return buffer == nullptr ? nullptr : std::memchr(buffer, value, n);
}

const char* FindChar(const char* text, int c) {
  return text == nullptr ? nullptr : std::strchr(text, c);
}

char* FindChar(char* text, int c) { return text == nullptr ? nullptr : std::strchr(text, c); }

const char* FindAnyChar(const char* text, const char* characters) {
  return text == nullptr || characters == nullptr ? nullptr : std::strpbrk(text, characters);
}

char* FindAnyChar(char* text, const char* characters) {
  return text == nullptr || characters == nullptr ? nullptr : std::strpbrk(text, characters);
}

std::size_t SpanChars(const char* text, const char* characters) {
  return text == nullptr || characters == nullptr ? 0 : std::strspn(text, characters);
}

bool StartsWithBytes(const void* data, int dataLength, const void* prefix, int prefixLength) {
  if (data == nullptr || prefix == nullptr || dataLength < 0 || prefixLength < 0) return false;
  if (dataLength < prefixLength) return false;
  return std::memcmp(data, prefix, static_cast<std::size_t>(prefixLength)) == 0;
}

void ReverseString(char* text, int n) {
  if (text == nullptr || n < 2) return;
  for (int i = 0, j = n - 1; i < j; ++i, --j) {
    const char swapped = text[i];
    text[i] = text[j];
    text[j] = swapped;
  }
}
