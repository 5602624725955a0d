// The criteria parser: turns a criteria text into a criteria tree
// (query/criteria_node.h).
//
// The language. Tokens (longest match wins; at equal length the earlier
// rule): "and", "or" (lower case only); a VALUE: digits, digits "." digits,
// or a single-quoted text without quotes or line feeds inside (kept with its
// quotes); an IDENT: a letter followed by letters, digits and underscores;
// "(" ")"; "<" ">" "<=" ">=" "=" "!="; a line feed ends an expression;
// blanks and tabs are skipped; any other character makes the parse fail.
// An expression is IDENT op VALUE, VALUE op IDENT, expr and expr, expr or
// expr, or "(" expr ")". "and" and "or" have the same precedence and group to
// the right: a = 1 and b = 2 or c = 3 reads a = 1 and (b = 2 or c = 3).
// A literal on the left mirrors the operator, so 5 < x is the leaf x > 5 and
// 5 = x the same leaf as x = 5. The input is one or more lines, each an
// expression ended by a line feed; the last line's tree is the result.
//
// Parentheses may nest kMaxCriteriaNesting deep; deeper nesting is a syntax
// error. Chains of "and"/"or" may be of any length. The parser never
// recurses, so no input can exhaust the stack.
//
// Thread safety: the parser keeps no state between calls; any number of
// threads may parse at once.
#pragma once

#include <memory>
#include <string>

#include "query/criteria_node.h"

inline constexpr int kMaxCriteriaNesting = 1000;

// The tree of the criteria text (a line feed is appended to it first), owned
// by the caller. None for no text or a text that does not parse; memory
// exhaustion is a failed parse. A failed parse frees every node it built and
// logs nothing.
std::unique_ptr<CriteriaNode> ParseCriteria(const char* text);

// Parses input exactly as given (no line feed appended; an input without a
// final line feed is a syntax error). On failure, none, and *reason (when
// given) becomes "syntax error" for text the grammar cannot take,
// "invalid syntax" for a character no token starts with, or "out of memory".
std::unique_ptr<CriteriaNode> ParseCriteriaInput(const char* input, std::string* reason);
