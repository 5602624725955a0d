// The criteria parser: turns a criteria text into a criteria tree
// (query/criteria_node.h).
//
// The language. Tokens (longest match wins; at equal length the earlier
// rule): "and", "or" (lower case only); a VALUE: a number (an optional "-"
// directly before digits, optionally "." and digits: 7, -7, 2.5, -0.25) or
// a single-quoted text in which two quotes in a row stand for one quote
// ('O''Brien'); an IDENT: a letter followed by letters, digits and
// underscores; "(" ")"; "<" ">" "<=" ">=" "=" "!="; blanks, tabs, line feeds
// and carriage returns are white space between tokens; any other character
// makes the parse fail. The whole text is one expression: IDENT op VALUE,
// VALUE op IDENT, expr and expr, expr or expr, or "(" expr ")"; text left
// over after it is a syntax error. "and" and "or" have the same precedence
// and group to the right: a = 1 and b = 2 or c = 3 reads a = 1 and (b = 2
// or c = 3). A literal on the left mirrors the operator, so 5 < x is the
// leaf x > 5 and 5 = x the same leaf as x = 5. There is no NULL literal: an
// unquoted NULL is an identifier (a syntax error as an operand), 'NULL' a
// text.
//
// A leaf's operand is the number as written, or a quoted text with its
// enclosing quotes around the text itself (a doubled quote kept once): the
// value of a quoted operand is everything between its first and its last
// character. What a literal means against a column's type is said in
// query/criteria_literal.h.
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

namespace fh {

inline constexpr int kMaxCriteriaNesting = 1000;

}  // namespace fh

// The tree of the criteria text, owned by the caller. None for no text, an
// empty text or a text that does not parse; memory exhaustion is a failed
// parse. A failed parse frees every node it built and logs nothing.
std::unique_ptr<fh::CriteriaNode> ParseCriteria(const char* text);

namespace fh {

// ParseCriteria with the reason of a failure: none, and *reason (when
// given) becomes "syntax error" for text the grammar cannot take (also an
// empty text or one with text left over), "invalid syntax" for a character
// no token starts with or a text without its closing quote, or "out of
// memory".
std::unique_ptr<CriteriaNode> ParseCriteriaInput(const char* input, std::string* reason);

}  // namespace fh
