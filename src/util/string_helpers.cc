#include "util/string_helpers.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "log/log.h"

namespace fh {
namespace {

// Start positions of the occurrences of pattern in text by the scan rule of
// the family (see the header): no re-examination after a mismatch, no
// overlap, no occurrence of an empty pattern.
std::vector<std::size_t> FindOccurrences(std::string_view text, std::string_view pattern) {
  std::vector<std::size_t> starts;
  if (pattern.empty()) return starts;
  std::size_t matched = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != pattern[matched]) {
      matched = 0;
      continue;
    }
    if (++matched == pattern.size()) {
      starts.push_back(i + 1 - matched);
      matched = 0;
    }
  }
  return starts;
}

// Runs make() and turns an allocation failure into none.
template <typename Make>
auto NoneOnBadAlloc(Make make) -> decltype(make()) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }
bool IsAsciiAlphaNumeric(char c) { return IsAsciiLetter(c) || IsAsciiDigit(c); }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

template <typename Keep>
std::optional<std::string> Filter(const char* text, Keep keep) {
  if (text == nullptr) return std::nullopt;
  return NoneOnBadAlloc([&]() -> std::optional<std::string> {
    std::string result;
    for (const char* p = text; *p != '\0'; ++p) {
      if (keep(*p)) result.push_back(*p);
    }
    return result;
  });
}

template <typename Map>
std::optional<std::string> MapChars(const char* text, Map map) {
  if (text == nullptr) return std::nullopt;
  return NoneOnBadAlloc([&]() -> std::optional<std::string> {
    std::string result(text);
    for (char& c : result) c = map(c);
    return result;
  });
}

// text without the occurrence that starts at start.
std::string WithoutRange(std::string_view text, std::size_t start, std::size_t length) {
  std::string result(text.substr(0, start));
  result.append(text.substr(start + length));
  return result;
}

bool IsDelimiter(char c, const char* delimiters) {
  return c != '\0' && std::strchr(delimiters, c) != nullptr;
}

}  // namespace
}  // namespace fh

// ---- Allocation and setting ----------------------------------------------

int DuplicateString(std::optional<std::string>& target, const char* text) {
  try {
    target = text != nullptr ? std::optional<std::string>(text) : std::nullopt;
  } catch (const std::bad_alloc&) {
    return 99;
  }
  return 1;
}

int AllocateAndSetString(std::optional<std::string>& target, const char* text, int n) {
  try {
    if (n < 0) throw std::bad_alloc();
    if (text == nullptr) {
      target.reset();
    } else {
      target.emplace(text, strnlen(text, static_cast<std::size_t>(n)));
    }
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return 99;
  }
  return 1;
}

int ReallocateAndSetString(std::optional<std::string>& target, const char* text, int n) {
  LogTrace("\n\t@@@@@ Inside ReallocateAndSetString() @@@@@ \n");
  target.reset();
  return AllocateAndSetString(target, text, n);
}

// ---- Occurrence functions ------------------------------------------------

int CountSubString(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return -1;
  try {
    return static_cast<int>(fh::FindOccurrences(text, pattern).size());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int GetSubStringIndex(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return -1;
  try {
    const std::vector<std::size_t> starts = fh::FindOccurrences(text, pattern);
    return starts.empty() ? 0 : static_cast<int>(starts.front());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

int GetLastSubStringIndex(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return -1;
  try {
    const std::vector<std::size_t> starts = fh::FindOccurrences(text, pattern);
    return starts.empty() ? -1 : static_cast<int>(starts.back());
  } catch (const std::bad_alloc&) {
    return -1;
  }
}

std::optional<std::string> GetStringBefore(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::string_view view(text);
    const std::vector<std::size_t> starts = fh::FindOccurrences(view, pattern);
    if (starts.empty()) return std::string();
    return std::string(view.substr(0, starts.front()));
  });
}

std::optional<std::string> GetStringAfter(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::string_view view(text);
    const std::size_t length = std::strlen(pattern);
    const std::vector<std::size_t> starts = fh::FindOccurrences(view, pattern);
    const std::size_t from = (starts.empty() ? 0 : starts.front()) + length;
    if (from >= view.size()) return std::string();
    return std::string(view.substr(from));
  });
}

std::optional<std::string> GetStringAfterLast(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::string_view view(text);
    const std::vector<std::size_t> starts = fh::FindOccurrences(view, pattern);
    if (starts.empty()) return std::string(view);
    return std::string(view.substr(starts.back() + std::strlen(pattern)));
  });
}

std::optional<std::string> RemoveAllSubStrings(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::string_view view(text);
    const std::size_t length = std::strlen(pattern);
    std::string result;
    std::size_t kept = 0;
    for (std::size_t start : fh::FindOccurrences(view, pattern)) {
      result.append(view.substr(kept, start - kept));
      kept = start + length;
    }
    result.append(view.substr(kept));
    return result;
  });
}

std::optional<std::string> RemoveFirstSubString(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::vector<std::size_t> starts = fh::FindOccurrences(text, pattern);
    if (starts.empty()) return std::nullopt;
    return fh::WithoutRange(text, starts.front(), std::strlen(pattern));
  });
}

std::optional<std::string> RemoveLastSubString(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::vector<std::size_t> starts = fh::FindOccurrences(text, pattern);
    if (starts.empty()) return std::nullopt;
    return fh::WithoutRange(text, starts.back(), std::strlen(pattern));
  });
}

std::optional<std::vector<std::string>> SplitString(const char* text, const char* separator) {
  if (text == nullptr || separator == nullptr) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::vector<std::string>> {
    const std::string_view view(text);
    const std::size_t length = std::strlen(separator);
    const std::vector<std::size_t> starts = fh::FindOccurrences(view, separator);
    std::vector<std::string> pieces;
    pieces.reserve(starts.size() + 1);
    std::size_t from = 0;
    for (std::size_t start : starts) {
      pieces.emplace_back(view.substr(from, start - from));
      from = start + length;
    }
    pieces.emplace_back(view.substr(from));
    return pieces;
  });
}

void FreeStringArray(std::vector<std::string>& array, int count) {
  const std::size_t first = static_cast<std::uint16_t>(count);
  for (std::size_t i = 0; i < first && i < array.size(); ++i) {
    std::string().swap(array[i]);
  }
  std::vector<std::string>().swap(array);
}

// ---- Exact searches and tokens --------------------------------------------

const char* SubString(const char* text, const char* pattern) {
  LogTrace("\n\t@@@@@ Inside SubString() @@@@@ \n");
  if (text == nullptr || pattern == nullptr || *pattern == '\0') return nullptr;
  return std::strstr(text, pattern);
}

char* SubString(char* text, const char* pattern) {
  return const_cast<char*>(SubString(static_cast<const char*>(text), pattern));
}

bool FindSubString(const char* text, const char* pattern) {
  if (text == nullptr || pattern == nullptr || *pattern == '\0') return false;
  return std::strstr(text, pattern) != nullptr;
}

int GetIndex(const char* buffer, int n, char c) {
  if (buffer == nullptr || n <= 0) return -1;
  const void* found =
      std::memchr(buffer, static_cast<unsigned char>(c), static_cast<std::size_t>(n));
  return found == nullptr ? -1 : static_cast<int>(static_cast<const char*>(found) - buffer);
}

char* TokenizeString(char* text, const char* delimiters, char** cursor) {
  if (delimiters == nullptr || cursor == nullptr) return nullptr;
  char* p = text != nullptr ? text : *cursor;
  if (p == nullptr) return nullptr;
  while (fh::IsDelimiter(*p, delimiters)) ++p;
  if (*p == '\0') {
    *cursor = p;
    return nullptr;
  }
  char* token = p;
  while (*p != '\0' && !fh::IsDelimiter(*p, delimiters)) ++p;
  if (*p != '\0') *p++ = '\0';
  *cursor = p;
  return token;
}

bool IsStringMatched(const char* data, int length, const char* value, int valueLength) {
  if (data == nullptr || value == nullptr || length < 0 || valueLength < 0) return false;
  const std::string_view wanted(value, static_cast<std::size_t>(valueLength));
  std::string_view rest(data, static_cast<std::size_t>(length));
  for (;;) {
    const std::size_t comma = rest.find(',');
    if (rest.substr(0, comma) == wanted) return true;
    if (comma == std::string_view::npos) return false;
    rest.remove_prefix(comma + 1);
  }
}

// ---- Trimming and filtering -----------------------------------------------

std::optional<std::string> TrimLeadingChar(const char* text, char c) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const char* p = text;
    while (*p == c && *p != '\0') ++p;
    return std::string(p);
  });
}

std::optional<std::string> TrimTrailingChar(const char* text, char c) {
  if (text == nullptr) return std::nullopt;
  const std::string_view view(text);
  if (view.size() == 1 && view[0] == c) return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    std::size_t end = view.size();
    while (end > 0 && view[end - 1] == c) --end;
    return std::string(view.substr(0, end));
  });
}

std::optional<std::string> TrimChar(const char* text, char c) {
  if (text == nullptr || *text == '\0') return std::nullopt;
  if (text[0] == c && text[1] == '\0') return std::nullopt;
  return fh::NoneOnBadAlloc([&]() -> std::optional<std::string> {
    const std::string_view view(text);
    std::size_t begin = 0;
    std::size_t end = view.size();
    while (begin < end && view[begin] == c) ++begin;
    while (end > begin && view[end - 1] == c) --end;
    return std::string(view.substr(begin, end - begin));
  });
}

std::optional<std::string> GetAlphaChars(const char* text) {
  return fh::Filter(text, fh::IsAsciiLetter);
}

std::optional<std::string> GetAlphaNumericChars(const char* text) {
  return fh::Filter(text, fh::IsAsciiAlphaNumeric);
}

std::optional<std::string> GetNonAlphaNumericChars(const char* text) {
  return fh::Filter(text, [](char c) { return !fh::IsAsciiAlphaNumeric(c); });
}

std::optional<std::string> ToLowerCopy(const char* text) {
  return fh::MapChars(text, fh::AsciiLower);
}

std::optional<std::string> ToUpperCopy(const char* text) {
  return fh::MapChars(text, fh::AsciiUpper);
}
