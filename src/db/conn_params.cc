#include "db/conn_params.h"

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <vector>

#include "config/config_files.h"
#include "config/data_source_map.h"
#include "db/sqlite/sqlite_provider.h"
#include "log/log.h"
#include "platform/mutex.h"
#include "platform/paths.h"
#include "util/c_string.h"
#include "util/text_line.h"

namespace {

struct ConnParamsState {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<ConnParamsEntry>> entries GUARDED_BY(mutex);
  std::atomic<int> refusedLine{0};  // of the last load; 0: none
};

ConnParamsState& State() {
  static ConnParamsState state;
  return state;
}

std::optional<std::string> CopyText(const char* text) {
  if (text == nullptr) return std::nullopt;
  return std::string(text);
}

// The entry for connectionName in state, or entries.end().
std::vector<std::unique_ptr<ConnParamsEntry>>::iterator FindEntry(ConnParamsState& state,
                                                                  const char* connectionName)
    REQUIRES(state.mutex) {
  auto entry = state.entries.begin();
  for (; entry != state.entries.end(); ++entry) {
    const std::optional<std::string>& name = (*entry)->connectionName;
    if (name && connectionName != nullptr && *name == connectionName) break;
  }
  return entry;
}

// Splits off the next blank-separated token of line from position at. false
// when the line has no further token. at is left on the character right
// after the token (the separator, or the line's end).
bool NextToken(const std::string& line, std::size_t& at, std::string& token) {
  while (at < line.size() && std::isspace(static_cast<unsigned char>(line[at]))) ++at;
  if (at >= line.size()) return false;
  const std::size_t start = at;
  while (at < line.size() && !std::isspace(static_cast<unsigned char>(line[at]))) ++at;
  token.assign(line, start, at - start);
  return true;
}

// The number token read as a decimal integer (optional sign, digits, and
// whatever follows ignored, as scanf's "%d" reads it), or none when it does
// not start with a number.
std::optional<int16_t> ParseNumber(const std::string& token) {
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(token.c_str(), &end, 10);
  if (end == token.c_str()) return std::nullopt;
  return static_cast<int16_t>(static_cast<uint16_t>(value));
}

// Where a relative SQLite database file of a connect string is taken from:
// the absolute directory of the connparams.txt that was read.
std::string DataDirectoryOf(const std::string& filePath) {
  std::error_code ignored;
  std::filesystem::path directory(fh::ParentOfNormalized(fh::NormalizePath(filePath)));
  std::filesystem::path absolute = std::filesystem::absolute(directory, ignored);
  return (absolute.empty() ? directory : absolute.lexically_normal()).string();
}

// A SQLite database file name made absolute against dataDirectory when it
// is relative; an absolute name, a braced ODBC value, the in-memory name
// ":memory:" and an empty name stay as they are.
std::string ResolveDataFile(const std::string& file, const std::string& dataDirectory) {
  if (file.empty() || file[0] == '/' || file[0] == '{' || file == ":memory:") return file;
  return dataDirectory + "/" + file;
}

// connectString with a relative "Database=" value (key in any letter case)
// made absolute against dataDirectory.
std::string ResolveSqliteDatabase(const std::string& connectString,
                                  const std::string& dataDirectory) {
  std::size_t start = 0;
  while (start <= connectString.size()) {
    std::size_t end = connectString.find(';', start);
    if (end == std::string::npos) end = connectString.size();
    const std::size_t equals = connectString.find('=', start);
    if (equals != std::string::npos && equals < end) {
      std::string key = connectString.substr(start, equals - start);
      while (!key.empty() && key.front() == ' ') key.erase(0, 1);
      const std::string value = connectString.substr(equals + 1, end - equals - 1);
      if (StringCompareNoCase(key.c_str(), "Database") == 0) {
        return connectString.substr(0, equals + 1) + ResolveDataFile(value, dataDirectory) +
               connectString.substr(end);
      }
    }
    start = end + 1;
  }
  return connectString;
}

// One line of connparams.txt as an entry; none when the line is incomplete.
std::unique_ptr<ConnParamsEntry> ParseLine(const std::string& line,
                                           const std::string& dataDirectory) {
  std::string tokens[10];
  std::size_t at = 0;
  for (std::string& token : tokens) {
    if (!NextToken(line, at, token)) return nullptr;
  }
  const std::optional<int16_t> number = ParseNumber(tokens[1]);
  if (!number) return nullptr;
  const bool useConnectString = StringCompareNoCase(tokens[9].c_str(), "YES") == 0;
  std::string connectString;
  if (useConnectString && at + 1 < line.size()) connectString = line.substr(at + 1);
  if (useConnectString && StringCompareNoCase(tokens[8].c_str(), "SQLITE") == 0) {
    connectString = ResolveSqliteDatabase(connectString, dataDirectory);
  }
  // The native SQLite provider names its database file in the DSN column.
  if (tokens[7] == fh::kSqliteProviderName) tokens[2] = ResolveDataFile(tokens[2], dataDirectory);
  return CreateConnParamsEntry(tokens[0].c_str(), *number, tokens[2].c_str(), tokens[3].c_str(),
                               tokens[4].c_str(), tokens[6].c_str(), useConnectString ? 1 : 0,
                               useConnectString ? connectString.c_str() : nullptr,
                               tokens[7].c_str(), tokens[8].c_str());
}

bool IsBlank(const std::string& line) {
  for (char c : line) {
    if (!std::isspace(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

}  // namespace

bool LoadConnParamsEntryFromFile(const char* path) {
  State().refusedLine.store(0, std::memory_order_relaxed);
  fh::OpenedConfigFile file = fh::OpenConfigFileAt(path);
  if (!file.stream) {
    LogError("Cannot open Connection Parameters File.\n");
    return false;
  }
  try {
    const std::string dataDirectory = DataDirectoryOf(file.path);
    std::string line;
    int lineNumber = 0;
    while (fh::ReadTextLine(file.stream.get(), line)) {
      ++lineNumber;
      if (IsBlank(line)) continue;
      std::unique_ptr<ConnParamsEntry> entry = ParseLine(line, dataDirectory);
      if (!entry) {
        LogError(
            "%s:%d: a data source line needs ten words (label, number, DSN, user, password, -, "
            "connection name, provider, dialect, YES or NO) with a number second\n",
            file.path.c_str(), lineNumber);
        State().refusedLine.store(lineNumber, std::memory_order_relaxed);
        break;
      }
      AddConnParamsEntry(std::move(entry));
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

std::unique_ptr<ConnParamsEntry> CreateConnParamsEntry(
    const char* label, int16_t number, const char* dsn, const char* user, const char* password,
    const char* connectionName, uint8_t useConnectString, const char* connectString,
    const char* providerName, const char* dialectName) {
  try {
    auto entry = std::make_unique<ConnParamsEntry>();
    entry->label = CopyText(label);
    entry->number = number;
    entry->dsn = CopyText(dsn);
    entry->user = CopyText(user);
    if (password != nullptr && StringCompare(password, "NULL") != 0) entry->password = password;
    entry->connectionName = CopyText(connectionName);
    entry->useConnectString = useConnectString;
    entry->connectString = CopyText(connectString);
    entry->providerName = CopyText(providerName);
    entry->dialectName = CopyText(dialectName);
    return entry;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool AddConnParamsEntry(std::unique_ptr<ConnParamsEntry> entry) {
  if (!entry) return false;
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  try {
    state.entries.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const ConnParamsEntry* GetConnParamsEntry(const char* connectionName) {
  if (connectionName == nullptr) return nullptr;
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  auto entry = FindEntry(state, connectionName);
  return entry == state.entries.end() ? nullptr : entry->get();
}

const char* GetDefaultConnectionName() {
  const ConnParamsEntry* first = fh::GetConnParamsEntryAt(0);
  if (first == nullptr) return nullptr;
  if (!first->connectionName) {
    LogError("Connection Name IS NULL\n");
    return nullptr;
  }
  return first->connectionName->c_str();
}

bool DeleteConnParamsEntry(const char* connectionName) {
  if (connectionName == nullptr) return false;
  std::unique_ptr<ConnParamsEntry> removed;  // freed after the lock is released
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  auto entry = FindEntry(state, connectionName);
  if (entry == state.entries.end()) return false;
  removed = std::move(*entry);
  state.entries.erase(entry);
  return true;
}

void FreeAllConnParamsEntries() {
  std::vector<std::unique_ptr<ConnParamsEntry>> removed;
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  removed.swap(state.entries);
}

void FreeConnParamsEntry(std::unique_ptr<ConnParamsEntry> entry) { entry.reset(); }

int fh::GetConnParamsEntryCount() {
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  return static_cast<int>(state.entries.size());
}

const ConnParamsEntry* fh::GetConnParamsEntryAt(int index) {
  ConnParamsState& state = State();
  fh::MutexLock lock(&state.mutex);
  if (index < 0 || static_cast<std::size_t>(index) >= state.entries.size()) return nullptr;
  return state.entries[static_cast<std::size_t>(index)].get();
}

const char* GetProviderNameForConnection(const char* connectionName) {
  const ConnParamsEntry* entry = GetConnParamsEntry(connectionName);
  return entry != nullptr && entry->providerName ? entry->providerName->c_str() : nullptr;
}

const char* GetDialectNameForConnection(const char* connectionName) {
  const ConnParamsEntry* entry = GetConnParamsEntry(connectionName);
  if (entry == nullptr) {
    LogError("dbConnPtr is NULL for Connection Name %s \n",
             connectionName != nullptr ? connectionName : "(null)");
    return nullptr;
  }
  return entry->dialectName ? entry->dialectName->c_str() : nullptr;
}

const char* GetConnectionNameForTable(const char* tableName) {
  const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
  if (entry == nullptr) {
    LogError("No DataSourceMap Entry for Table name %s \n",
             tableName != nullptr ? tableName : "(null)");
    return nullptr;
  }
  return entry->connectionName.c_str();
}

namespace fh {

int RefusedConnParamsLine() { return State().refusedLine.load(std::memory_order_relaxed); }

}  // namespace fh
