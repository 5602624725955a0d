#include "tool/command_line.h"

#include <cstring>

#include "log/log.h"

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool MatchesKeyword(const char* token, const char* keyword) {
  if (token == nullptr) return false;
  for (; *token != '\0' && *keyword != '\0'; ++token, ++keyword) {
    if (FoldAscii(*token) != FoldAscii(*keyword)) return false;
  }
  return *token == '\0' && *keyword == '\0';
}

std::string TextOf(const char* argument) { return argument != nullptr ? argument : ""; }

bool IsValid(const CommandLineOptions& options) {
  const bool isWrite = fh::EqualsIgnoringCase(options.op, "w");
  if (!isWrite && !fh::EqualsIgnoringCase(options.op, "r")) return false;
  if (options.path.empty()) return false;
  if (options.name.empty()) return false;
  if (isWrite && (options.value.empty() || options.type.empty())) return false;
  return true;
}

}  // namespace

bool fh::EqualsIgnoringCase(const std::string& text, const char* word) {
  return text.size() == std::strlen(word) && MatchesKeyword(text.c_str(), word);
}

int ParseCommandLine(int argc, const char* const argv[], CommandLineOptions& options) {
  options = CommandLineOptions{};
  int i = 0;
  while (i < argc) {
    if (i + 1 >= argc) break;  // the last argument is never a keyword
    const char* token = argv[i];
    const char* next = argv[i + 1];
    if (MatchesKeyword(token, "-path")) {
      options.path = TextOf(next);
    } else if (MatchesKeyword(token, "-arch")) {
      options.use64BitView = next != nullptr && std::strcmp(next, "64") == 0;
    } else if (MatchesKeyword(token, "-type")) {
      options.type = TextOf(next);
    } else if (MatchesKeyword(token, "-name")) {
      options.name = TextOf(next);
    } else if (MatchesKeyword(token, "-value")) {
      options.value = TextOf(next);
    } else if (MatchesKeyword(token, "-op")) {
      options.op = TextOf(next);
    } else {
      i += 1;
      continue;
    }
    i += 2;
  }
  if (!IsValid(options)) {
    LogError("Invalid arguments.\n");
    return 1;
  }
  return 0;
}
