// The tool's command line: options naming one registry value below
// HKEY_LOCAL_MACHINE and what to do with it.
//
//   -path <key path>   -name <value name | -->   -op <w | r>
//   -type <DWORD | any other text>   -value <data | -->   -arch <64 | other>
//
// Keywords match whole arguments without regard to ASCII letter case; the
// argument after a keyword is its value, taken verbatim; the last occurrence
// wins; unknown tokens are skipped; the last argument is never read as a
// keyword. Thread safety: ParseCommandLine touches only its arguments.
#pragma once

#include <string>

// The parsed options, texts exactly as they stood in the argument vector.
struct CommandLineOptions {
  std::string path;
  std::string name;
  std::string value;
  std::string type;
  std::string op;
  bool use64BitView = false;
};

// Fills options (reset first) from argv[0 .. argc-1] (argv[0], the tool's name, is scanned
// like any other token). Returns 0 when the command line is valid: op is "w"
// or "r" (any case), path and name are not empty and, for "w", value and type
// are not empty. Otherwise logs "Invalid arguments.\n" at error level and
// returns 1.
int ParseCommandLine(int argc, const char* const argv[], CommandLineOptions& options);

namespace fh {
// ASCII letter case folded equality, as the tool compares keywords and the
// words "w", "r" and "DWORD".
bool EqualsIgnoringCase(const std::string& text, const char* word);
}  // namespace fh
