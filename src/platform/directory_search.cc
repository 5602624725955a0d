#include "platform/directory_search.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/mutex.h"
#include "platform/paths.h"
#include "platform/posix_error.h"
#include "platform/system_calls.h"
#include "platform/thread_annotations.h"
#include "platform/wildcard.h"

namespace {

// Seconds between 1601-01-01 (the FILETIME epoch) and 1970-01-01.
constexpr std::uint64_t kFileTimeEpochOffsetSeconds = 11644473600ull;
constexpr std::uint64_t kFileTimeTicksPerSecond = 10000000ull;  // 100 ns ticks

// A running search: the matching names, read when it started, and the
// position of the next one to return.
class SearchObject : public fh::HandleObject {
 public:
  SearchObject(std::string directory, std::vector<std::string> names)
      : directory_(std::move(directory)), names_(std::move(names)) {}

  // The next name, or false at the end.
  bool Next(std::string* name) {
    fh::MutexLock lock(&mutex_);
    if (next_ >= names_.size()) return false;
    *name = names_[next_++];
    return true;
  }

  const std::string& directory() const { return directory_; }

 private:
  const std::string directory_;
  fh::Mutex mutex_;
  const std::vector<std::string> names_;
  std::size_t next_ GUARDED_BY(mutex_) = 0;
};

FILETIME ToFileTime(const struct timespec& time) {
  std::uint64_t ticks = (static_cast<std::uint64_t>(time.tv_sec) + kFileTimeEpochOffsetSeconds) *
                            kFileTimeTicksPerSecond +
                        static_cast<std::uint64_t>(time.tv_nsec) / 100;
  return FILETIME{static_cast<DWORD>(ticks & 0xFFFFFFFFu), static_cast<DWORD>(ticks >> 32)};
}

// Fills *data for one entry. An entry that vanished since the search started
// keeps its name with zero attributes, size and times.
void FillFindData(const std::string& directory, const std::string& name, WIN32_FIND_DATAA* data) {
  std::memset(data, 0, sizeof(*data));
  std::size_t length = std::min<std::size_t>(name.size(), MAX_PATH - 1);
  std::memcpy(data->cFileName, name.data(), length);

  std::string path = (directory == "/" ? std::string() : directory) + "/" + name;
  struct stat info {};
  const fh::SystemCallTable& sys = fh::SystemCalls();
  if (sys.stat(path.c_str(), &info) != 0 && sys.lstat(path.c_str(), &info) != 0) return;
  data->dwFileAttributes = S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  std::uint64_t size = S_ISDIR(info.st_mode) ? 0 : static_cast<std::uint64_t>(info.st_size);
  data->nFileSizeHigh = static_cast<DWORD>(size >> 32);
  data->nFileSizeLow = static_cast<DWORD>(size & 0xFFFFFFFFu);
  data->ftCreationTime = ToFileTime(info.st_ctim);
  data->ftLastAccessTime = ToFileTime(info.st_atim);
  data->ftLastWriteTime = ToFileTime(info.st_mtim);
}

// Reads the names in directory that match pattern, sorted. 0 or errno.
int ReadMatchingNames(const std::string& directory, std::string_view pattern,
                      std::vector<std::string>* names) {
  const fh::SystemCallTable& sys = fh::SystemCalls();
  DIR* stream = sys.opendir(directory.c_str());
  if (stream == nullptr) return errno;
  std::unique_ptr<DIR, int (*)(DIR*)> closer(stream, sys.closedir);
  for (;;) {
    errno = 0;
    const dirent* entry = sys.readdir(stream);
    if (entry == nullptr) {
      if (errno != 0) return errno;
      break;
    }
    if (fh::MatchesWildcard(pattern, entry->d_name)) names->emplace_back(entry->d_name);
  }
  std::sort(names->begin(), names->end(),
            [](const std::string& a, const std::string& b) { return fh::NameOrderLess(a, b); });
  return 0;
}

// The error for a directory that cannot be listed: a missing directory is a
// missing path (3), whatever part of it is missing.
DWORD ListingError(int err) {
  if (err == ENOENT || err == ENOTDIR) return ERROR_PATH_NOT_FOUND;
  return Win32ErrorFromErrno(err);
}

}  // namespace

HANDLE FindFirstFileA(LPCSTR pattern, WIN32_FIND_DATAA* data) {
  if (pattern == nullptr || data == nullptr)
    return FailWithCode(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
  try {
    std::string normalized = fh::NormalizePath(pattern);
    std::string_view namePattern = fh::LastComponent(normalized);
    if (namePattern.empty()) return FailWithCode(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);
    std::string directory = normalized.size() == namePattern.size()
                                ? std::string(".")
                                : fh::ParentOfNormalized(normalized);

    std::vector<std::string> names;
    int err = ReadMatchingNames(directory, namePattern, &names);
    if (err != 0) return FailWithCode(ListingError(err), INVALID_HANDLE_VALUE);
    if (names.empty()) return FailWithCode(ERROR_FILE_NOT_FOUND, INVALID_HANDLE_VALUE);

    auto search = std::make_shared<SearchObject>(directory, std::move(names));
    std::string first;
    search->Next(&first);
    FillFindData(search->directory(), first, data);
    HANDLE handle = fh::RegisterHandle(std::move(search));
    if (handle == nullptr) return INVALID_HANDLE_VALUE;
    SetLastError(ERROR_SUCCESS);
    return handle;
  } catch (const std::bad_alloc&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
  }
}

BOOL FindNextFileA(HANDLE search, WIN32_FIND_DATAA* data) {
  std::shared_ptr<SearchObject> object = fh::FindHandleAs<SearchObject>(search);
  if (object == nullptr) return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  if (data == nullptr) return FailWithCode(ERROR_INVALID_PARAMETER, FALSE);
  try {
    std::string name;
    if (!object->Next(&name)) return FailWithCode(ERROR_NO_MORE_FILES, FALSE);
    FillFindData(object->directory(), name, data);
    return TRUE;
  } catch (const std::bad_alloc&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
}

BOOL FindClose(HANDLE search) {
  if (fh::ReleaseHandleAs<SearchObject>(search) == nullptr) {
    return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  }
  return TRUE;
}
