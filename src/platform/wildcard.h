// Windows wildcard matching of one file name against one pattern, as the
// directory search uses it:
//
//   '*'  any run of characters, the empty run and dots included
//   '?'  exactly one character
//   A final ".*" may also match nothing, so "*.*" matches every name (also
//   "README", ".", "..") and "x*.*" matches "x", "x1.log" and "x.bak".
//   Letters compare without regard to case (ASCII letters; other bytes,
//   such as those of UTF-8 sequences, must be equal).
//
// Not emulated: the 8.3 short names through which Windows lets "*.htm" find
// "page.html", and the special meaning of a final '.' ("*." is matched
// literally).
//
// Thread safety: pure functions.
#pragma once

#include <string_view>

namespace fh {

bool MatchesWildcard(std::string_view pattern, std::string_view name);

// Orders names as the search returns them: without regard to ASCII case,
// then by bytes.
bool NameOrderLess(std::string_view left, std::string_view right);

}  // namespace fh
