#include "dictionary/sql_text.h"

#include <strings.h>

namespace fh {

namespace {

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool IsPlainIdentifier(std::string_view name) {
  if (name.empty() || name.size() > kMaxPlainIdentifierLength || !IsLetter(name[0])) return false;
  for (char c : name) {
    if (!IsLetter(c) && !IsDigit(c)) return false;
  }
  return true;
}

std::string QuoteSqlText(std::string_view text, bool backslashEscapes) {
  std::string quoted;
  quoted.reserve(text.size() + 2);
  quoted += '\'';
  for (char c : text) {
    if (c == '\0') break;
    if (c == '\'' || (c == '\\' && backslashEscapes)) quoted += c;
    quoted += c;
  }
  quoted += '\'';
  return quoted;
}

bool DialectReadsBackslashEscapes(const char* dialectName) {
  return dialectName != nullptr && strcasecmp(dialectName, "MYSQL") == 0;
}

}  // namespace fh
