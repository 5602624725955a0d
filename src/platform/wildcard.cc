#include "platform/wildcard.h"

#include <algorithm>

namespace fh {
namespace {

char Fold(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Plain '*' / '?' matching with single-star backtracking: on a mismatch the
// most recent '*' absorbs one more character.
bool MatchesPlain(std::string_view pattern, std::string_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starAt = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starAt = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Fold(pattern[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (starAt != std::string_view::npos) {
      p = starAt + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace

bool MatchesWildcard(std::string_view pattern, std::string_view name) {
  if (MatchesPlain(pattern, name)) return true;
  constexpr std::string_view kAnyExtension = ".*";
  if (pattern.size() >= kAnyExtension.size() && pattern.ends_with(kAnyExtension)) {
    return MatchesPlain(pattern.substr(0, pattern.size() - kAnyExtension.size()), name);
  }
  return false;
}

bool NameOrderLess(std::string_view left, std::string_view right) {
  auto foldedLess = [](char a, char b) {
    return static_cast<unsigned char>(Fold(a)) < static_cast<unsigned char>(Fold(b));
  };
  if (std::lexicographical_compare(left.begin(), left.end(), right.begin(), right.end(),
                                   foldedLess)) {
    return true;
  }
  if (std::lexicographical_compare(right.begin(), right.end(), left.begin(), left.end(),
                                   foldedLess)) {
    return false;
  }
  return left < right;
}

}  // namespace fh
