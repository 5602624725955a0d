// Where the framework's configuration files are found, and the token reader
// shared by the plain-text configuration files.
//
// The data directory rule: a configuration file is looked for first at
// "..\\data\\<file>", relative to the working directory, and only when that
// cannot be opened at "<root>/data/<file>" below the framework root
// (config/tessel_root.h); the second attempt is logged at debug level as
// "Opening %s\n". Without a root there is no second attempt. Files named
// inside a list file are taken from the directory where the list was found
// (ComposeDataPath with the list's location).
//
// Paths are written the Windows way ("..\\data\\x") and opened through the
// platform file calls, which accept both separators. A path longer than
// kMaxDataPathLength characters is never opened (it counts as a file that
// cannot be opened); nothing is shortened.
//
// Thread safety: every function may be called from any thread; the root is
// read once per call.
#pragma once

#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

namespace fh {

// The longest path the framework opens (Windows' MAX_PATH less its NUL).
inline constexpr std::size_t kMaxDataPathLength = 259;
// The longest file name a list file may give (one token).
inline constexpr std::size_t kMaxListedFileNameLength = 127;

// Closes a stream with fclose.
struct ConfigFileCloser {
  void operator()(std::FILE* stream) const;
};
// An open configuration file; closed when it goes out of scope.
using ConfigFileStream = std::unique_ptr<std::FILE, ConfigFileCloser>;

// The two places of the data directory rule.
enum class DataDirectory {
  kWorkingDirectory,  // "..\\data\\", relative to the working directory
  kTesselRoot,        // "<root>/data/"
};

// The path of fileName in location: "..\\data\\<fileName>" or
// "<root>/data/<fileName>". None for a null name, for kTesselRoot without a
// root. The path may be longer than kMaxDataPathLength: opening it then
// fails like opening a missing file.
std::optional<std::string> ComposeDataPath(DataDirectory location, const char* fileName);

// Opens path for reading ("r") through the platform file calls. None for a
// null path or one longer than kMaxDataPathLength, and when the open fails.
ConfigFileStream OpenDataFileForRead(const char* path);

// A configuration file opened by the data directory rule.
struct OpenedConfigFile {
  ConfigFileStream stream;  // none when neither location opened
  std::string path;         // the path that opened; empty when none did
  DataDirectory location = DataDirectory::kWorkingDirectory;  // where it opened
};

// Opens fileName by the data directory rule.
OpenedConfigFile OpenConfigFile(const char* fileName);

// Opens path as given; when that fails, "<root>/data/<name>" where name is
// path's last component (after its last '\' or '/'). For readers that are
// handed the first location, such as "..\\data\\dsn_table_map.txt". A
// stream that opened at path reports kWorkingDirectory.
OpenedConfigFile OpenConfigFileAt(const char* path);

// Reads the next token (a run of characters that are not white space) of
// stream into token. false at the end of the stream or on a read error with
// no token started (token is then empty). A token is never cut: it may be
// as long as the file. A null stream gives false.
bool ReadConfigToken(std::FILE* stream, std::string& token);

}  // namespace fh
