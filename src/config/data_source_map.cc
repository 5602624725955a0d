#include "config/data_source_map.h"

#include <new>
#include <vector>

#include "config/config_files.h"
#include "log/log.h"
#include "platform/mutex.h"
#include "platform/thread_annotations.h"
#include "util/c_string.h"

namespace {

struct DataSourceMapState {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<DataSourceMapEntry>> entries GUARDED_BY(mutex);
};

DataSourceMapState& MapState() {
  static DataSourceMapState state;
  return state;
}

// The position of the first entry for tableName, or entries.end().
std::vector<std::unique_ptr<DataSourceMapEntry>>::iterator FindEntry(DataSourceMapState& state,
                                                                     const char* tableName)
    REQUIRES(state.mutex) {
  auto entry = state.entries.begin();
  for (; entry != state.entries.end(); ++entry) {
    if (StringCompareNoCase((*entry)->tableName.c_str(), tableName) == 0) break;
  }
  return entry;
}

}  // namespace

std::unique_ptr<DataSourceMapEntry> CreateDataSourceMapEntry(const char* tableName,
                                                             const char* connectionName) {
  LogTrace("@@@ Inside CreateDataSourceMapEntry @@@\n");
  if (tableName == nullptr || connectionName == nullptr) return nullptr;
  try {
    auto entry = std::make_unique<DataSourceMapEntry>();
    entry->tableName = tableName;
    entry->connectionName = connectionName;
    return entry;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool AddDataSourceMapEntry(std::unique_ptr<DataSourceMapEntry> entry) {
  LogTrace("@@@ Inside AddDataSourceMapEntry @@@\n");
  if (!entry) return false;
  DataSourceMapState& state = MapState();
  fh::MutexLock lock(&state.mutex);
  try {
    state.entries.push_back(std::move(entry));
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

bool DeleteDataSourceMapEntry(const char* tableName) {
  LogTrace("@@@ Inside DeleteDataSourceMapEntry @@@\n");
  if (tableName == nullptr) return false;
  std::unique_ptr<DataSourceMapEntry> removed;  // freed after the lock is released
  DataSourceMapState& state = MapState();
  fh::MutexLock lock(&state.mutex);
  auto entry = FindEntry(state, tableName);
  if (entry == state.entries.end()) return false;
  removed = std::move(*entry);
  state.entries.erase(entry);
  return true;
}

const DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName) {
  LogTrace("@@@ Inside GetDataSourceMapEntry @@@\n");
  if (tableName == nullptr) return nullptr;
  DataSourceMapState& state = MapState();
  fh::MutexLock lock(&state.mutex);
  auto entry = FindEntry(state, tableName);
  return entry == state.entries.end() ? nullptr : entry->get();
}

void FreeAllDataSourceMapEntries() {
  LogTrace("@@@ Inside FreeAllDataSourceMapEntries @@@\n");
  std::vector<std::unique_ptr<DataSourceMapEntry>> removed;
  DataSourceMapState& state = MapState();
  fh::MutexLock lock(&state.mutex);
  removed.swap(state.entries);
}

std::size_t fh::GetDataSourceMapEntryCount() {
  DataSourceMapState& state = MapState();
  fh::MutexLock lock(&state.mutex);
  return state.entries.size();
}

bool LoadDataSourceMapEntryFromFile(const char* path) {
  LogTrace("@@@ Inside LoadDataSourceMapEntryFromFile @@@\n");
  fh::OpenedConfigFile file = fh::OpenConfigFileAt(path);
  if (!file.stream) {
    LogError("Cannot open DataSourceMap Entry File.\n");
    return false;
  }
  std::string tableName;
  std::string connectionName;
  while (fh::ReadConfigToken(file.stream.get(), tableName) &&
         fh::ReadConfigToken(file.stream.get(), connectionName)) {
    std::unique_ptr<DataSourceMapEntry> entry =
        CreateDataSourceMapEntry(tableName.c_str(), connectionName.c_str());
    if (entry) AddDataSourceMapEntry(std::move(entry));
  }
  return true;
}
