// How names and texts are written into SQL statements. Every statement
// writer of the framework uses these two rules (the dialects' generator, the
// sequence generator, the index tables, the stored queries), so a name or a
// text can reach an engine in one way only.
//
// Thread safety: pure functions.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace fh {

// Longest name accepted as a plain identifier.
inline constexpr std::size_t kMaxPlainIdentifierLength = 128;

// true for a name that may stand in a statement as it is: a letter or "_"
// first, then letters, digits and "_", at most kMaxPlainIdentifierLength
// characters. Table, column and generator names of the data dictionaries and
// the names read from stored query definitions must be such names.
bool IsPlainIdentifier(std::string_view name);

// text as an SQL text literal in single quotes: each quote doubled, and each
// backslash doubled when backslashEscapes (an engine that reads a backslash
// in a literal as an escape). The text ends at its first zero byte.
std::string QuoteSqlText(std::string_view text, bool backslashEscapes);

// true when the dialect named dialectName (a connparams dialect word, any
// letter case) reads a backslash in a text literal as an escape: MYSQL. None
// gives false.
bool DialectReadsBackslashEscapes(const char* dialectName);

}  // namespace fh
