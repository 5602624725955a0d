#include "platform/registry_store.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <mutex>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/file_descriptor.h"
#include "platform/files.h"
#include "platform/mutex.h"
#include "platform/paths.h"
#include "platform/posix_error.h"
#include "platform/system_calls.h"

namespace fh {

namespace {

struct RootHive {
  std::uintptr_t root;
  const char* rootName;
  const char* fileName;
};

constexpr RootHive kRootHives[] = {
    {0x80000000u, "HKEY_CLASSES_ROOT", "HKCR.reg"},
    {0x80000001u, "HKEY_CURRENT_USER", "HKCU.reg"},
    {0x80000002u, "HKEY_LOCAL_MACHINE", "HKLM.reg"},
    {0x80000003u, "HKEY_USERS", "HKU.reg"},
    {0x80000005u, "HKEY_CURRENT_CONFIG", "HKCC.reg"},
};

// ------------------------------------------------------------ parsed cache

struct CachedHive {
  std::string path;
  std::string text;  // the file's bytes the hive was parsed from
  std::shared_ptr<RegistryHive> hive;
};

constexpr std::size_t kCacheEntries = 4;
Mutex g_cacheMutex;
std::vector<CachedHive> g_cache GUARDED_BY(g_cacheMutex);  // most recent last

// Removes and returns the cached hive of path when it was parsed from text.
// *shared tells whether a reader still holds it (then it must not be
// changed in place). Readers release their hold under g_cacheMutex (see
// LeaseToReader), so the answer, taken under the same mutex, is exact.
std::shared_ptr<RegistryHive> TakeCached(const std::string& path, const std::string& text,
                                         bool* shared = nullptr) {
  MutexLock guard(&g_cacheMutex);
  for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
    if (it->path != path) continue;
    std::shared_ptr<RegistryHive> hive;
    if (it->text == text) hive = std::move(it->hive);
    g_cache.erase(it);
    if (shared != nullptr) *shared = hive.use_count() > 1;
    return hive;
  }
  return nullptr;
}

// A reader's hold on a cached hive, released under g_cacheMutex so that a
// writer's check for other holders (in TakeCached) happens after it.
class ReaderLease {
 public:
  explicit ReaderLease(std::shared_ptr<RegistryHive> hive) : hive_(std::move(hive)) {}
  ~ReaderLease() {
    MutexLock guard(&g_cacheMutex);
    hive_.reset();
  }
  ReaderLease(const ReaderLease&) = delete;
  ReaderLease& operator=(const ReaderLease&) = delete;

  RegistryHive* get() const { return hive_.get(); }

 private:
  std::shared_ptr<RegistryHive> hive_;
};

std::shared_ptr<RegistryHive> LeaseToReader(std::shared_ptr<RegistryHive> hive) {
  auto lease = std::make_shared<ReaderLease>(std::move(hive));
  RegistryHive* target = lease->get();
  return std::shared_ptr<RegistryHive>(std::move(lease), target);
}

void StoreCached(const std::string& path, std::string text, std::shared_ptr<RegistryHive> hive) {
  MutexLock guard(&g_cacheMutex);
  for (auto it = g_cache.begin(); it != g_cache.end(); ++it) {
    if (it->path == path) {
      g_cache.erase(it);
      break;
    }
  }
  if (g_cache.size() >= kCacheEntries) g_cache.erase(g_cache.begin());
  g_cache.push_back(CachedHive{path, std::move(text), std::move(hive)});
}

// The hive parsed from text, from the cache when possible; the result is
// cached again. Returns 1009 for text that is not a hive.
DWORD ParseWithCache(const HiveLocation& location, std::string text,
                     std::shared_ptr<RegistryHive>* hive) {
  std::shared_ptr<RegistryHive> parsed = TakeCached(location.hivePath, text);
  if (!parsed) {
    std::optional<RegistryHive> fresh = ParseHive(text, location.rootName);
    if (!fresh) return ERROR_BADDB;
    parsed = std::make_shared<RegistryHive>(std::move(*fresh));
  }
  StoreCached(location.hivePath, std::move(text), parsed);
  *hive = LeaseToReader(std::move(parsed));
  return ERROR_SUCCESS;
}

// ------------------------------------------------------------ files

// Holds a flock on the hive's lock file while it lives.
class HiveLock {
 public:
  // Shared: best effort (no lock when the lock file cannot be opened).
  // Exclusive: 0 or the Win32 code of the failure from Acquire.
  DWORD Acquire(const std::string& lockPath, bool exclusive) {
    const SystemCallTable& sys = SystemCalls();
    int fd = sys.open(lockPath.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 && exclusive) fd = sys.open(lockPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) return exclusive ? Win32ErrorFromErrno(errno) : ERROR_SUCCESS;
    fd_.Reset(fd);
    if (RetryOnInterrupt([&] { return sys.flock(fd, exclusive ? LOCK_EX : LOCK_SH); }) != 0) {
      return exclusive ? Win32ErrorFromErrno(errno) : ERROR_SUCCESS;
    }
    return ERROR_SUCCESS;
  }

 private:
  UniqueFd fd_;  // closing it releases the lock
};

// Reads the whole hive file into *text; a missing file (or directory) gives
// an empty text.
DWORD ReadHiveFile(const std::string& path, std::string* text) {
  text->clear();
  const SystemCallTable& sys = SystemCalls();
  UniqueFd fd(sys.open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
  if (!fd.valid()) {
    if (errno == ENOENT) return ERROR_SUCCESS;
    return Win32ErrorFromErrno(errno);
  }
  struct stat info {};
  if (sys.fstat(fd.get(), &info) == 0 && info.st_size > 0) {
    text->reserve(static_cast<std::size_t>(info.st_size));
  }
  return Win32ErrorFromErrno(ReadAll(fd.get(), text));
}

bool DirectoryExists(const std::string& path) {
  struct stat info {};
  return SystemCalls().stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// mkdir -p: creates path and its missing parents.
DWORD MakeDirectories(const std::string& path) {
  if (path.empty()) return ERROR_SUCCESS;
  const int err = MakeDirectoryTree(path.c_str(), 0755);
  return err == EEXIST ? ERROR_SUCCESS : Win32ErrorFromErrno(err);
}

DWORD SyncDirectory(const std::string& directory) {
  const SystemCallTable& sys = SystemCalls();
  UniqueFd fd(sys.open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC, 0));
  if (!fd.valid()) return Win32ErrorFromErrno(errno);
  if (sys.fsync(fd.get()) != 0 && errno != EINVAL) return Win32ErrorFromErrno(errno);
  return ERROR_SUCCESS;
}

// Gives the new file the old hive's permissions (and, for root, its owner),
// or 0644 for a first hive.
void CopyHiveOwnership(int fd, const std::string& hivePath) {
  const SystemCallTable& sys = SystemCalls();
  struct stat info {};
  if (sys.stat(hivePath.c_str(), &info) != 0) {
    sys.fchmod(fd, 0644);
    return;
  }
  if (geteuid() == 0 && (info.st_uid != 0 || info.st_gid != 0)) {
    if (sys.fchown(fd, info.st_uid, info.st_gid) != 0) {
      // keep root as the owner; the permissions below still apply
    }
  }
  sys.fchmod(fd, info.st_mode & 07777);
}

// Replaces the hive file with text: temporary file, fsync, rename, fsync of
// the directory. On failure the hive file is untouched and the temporary
// file removed.
DWORD CommitHiveText(const HiveLocation& location, const std::string& text) {
  const SystemCallTable& sys = SystemCalls();
  std::string temporary = location.hivePath + ".tmp.XXXXXX";
  UniqueFd fd(sys.makeTemporary(temporary.data(), O_CLOEXEC));
  if (!fd.valid()) return Win32ErrorFromErrno(errno);
  CopyHiveOwnership(fd.get(), location.hivePath);
  int err = WriteAll(fd.get(), text);
  if (err == 0 && sys.fsync(fd.get()) != 0) err = errno;
  if (err == 0) err = fd.Close();
  if (err == 0 && sys.rename(temporary.c_str(), location.hivePath.c_str()) != 0) err = errno;
  if (err != 0) {
    fd.Close();
    sys.unlink(temporary.c_str());
    return Win32ErrorFromErrno(err);
  }
  return SyncDirectory(location.directory);
}

// Temporary files are only made under the exclusive lock, so one found while
// holding it was left by a writer that died before its rename.
void RemoveStaleTemporaries(const HiveLocation& location) {
  std::string prefix = location.hivePath.substr(location.directory.size() + 1) + ".tmp.";
  const SystemCallTable& sys = SystemCalls();
  DIR* directory = sys.opendir(location.directory.c_str());
  if (directory == nullptr) return;
  while (const dirent* entry = sys.readdir(directory)) {
    if (std::string_view(entry->d_name).substr(0, prefix.size()) == prefix) {
      sys.unlink((location.directory + "/" + entry->d_name).c_str());
    }
  }
  sys.closedir(directory);
}

int CanAccess(const std::string& path, int mode) {
  return SystemCalls().accessEffective(path.c_str(), mode) == 0 ? 0 : errno;
}

}  // namespace

std::optional<HiveLocation> LocateHive(HKEY root) {
  auto value = reinterpret_cast<std::uintptr_t>(root);
  for (const RootHive& candidate : kRootHives) {
    if (candidate.root != value) continue;
    const char* directory = std::getenv("FH_REGISTRY_DIR");
    HiveLocation location;
    location.rootName = candidate.rootName;
    location.directory =
        directory != nullptr && *directory != '\0' ? directory : kDefaultRegistryDirectory;
    while (location.directory.size() > 1 && location.directory.back() == '/') {
      location.directory.pop_back();
    }
    location.hivePath = location.directory + "/" + candidate.fileName;
    location.lockPath = location.hivePath + ".lock";
    location.hasWow64View = value == 0x80000002u;
    return location;
  }
  return std::nullopt;
}

DWORD ReadHive(const HiveLocation& location, std::shared_ptr<const RegistryHive>* hive) {
  std::string text;
  {
    HiveLock lock;
    if (DirectoryExists(location.directory)) lock.Acquire(location.lockPath, false);
    DWORD code = ReadHiveFile(location.hivePath, &text);
    if (code != ERROR_SUCCESS) return code;
  }
  std::shared_ptr<RegistryHive> parsed;
  DWORD code = ParseWithCache(location, std::move(text), &parsed);
  if (code == ERROR_SUCCESS) *hive = std::move(parsed);
  return code;
}

DWORD CheckHiveWritable(const HiveLocation& location) {
  struct stat info {};
  if (SystemCalls().stat(location.hivePath.c_str(), &info) == 0) {
    if (int err = CanAccess(location.hivePath, W_OK)) return Win32ErrorFromErrno(err);
  }
  std::string directory = location.directory;
  while (!DirectoryExists(directory)) {
    std::string parent = ParentOfNormalized(directory);
    if (parent == directory) break;
    directory = parent;
  }
  if (int err = CanAccess(directory, W_OK | X_OK)) return Win32ErrorFromErrno(err);
  return ERROR_SUCCESS;
}

DWORD UpdateHive(const HiveLocation& location, const HiveChange& change) {
  if (!DirectoryExists(location.directory)) {
    // No hive yet: find out on an empty one whether anything would change
    // before creating the directory.
    RegistryHive empty(location.rootName);
    bool changed = false;
    DWORD code = change(empty, &changed);
    if (code != ERROR_SUCCESS || !changed) return code;
    code = MakeDirectories(location.directory);
    if (code != ERROR_SUCCESS) return code;
  }
  HiveLock lock;
  DWORD code = lock.Acquire(location.lockPath, true);
  if (code != ERROR_SUCCESS) return code;
  std::string text;
  code = ReadHiveFile(location.hivePath, &text);
  if (code != ERROR_SUCCESS) return code;

  bool heldByReader = false;
  std::shared_ptr<RegistryHive> hive = TakeCached(location.hivePath, text, &heldByReader);
  if (!hive) {
    std::optional<RegistryHive> parsed = ParseHive(text, location.rootName);
    if (!parsed) return ERROR_BADDB;
    hive = std::make_shared<RegistryHive>(std::move(*parsed));
  } else if (heldByReader) {
    // A reader still holds the cached hive: change a copy of it.
    hive = std::make_shared<RegistryHive>(*hive);
  }

  bool changed = false;
  code = change(*hive, &changed);
  if (code != ERROR_SUCCESS || !changed) {
    StoreCached(location.hivePath, std::move(text), std::move(hive));
    return code;
  }
  std::string newText = SerializeHive(*hive);
  RemoveStaleTemporaries(location);
  code = CommitHiveText(location, newText);
  if (code == ERROR_SUCCESS) StoreCached(location.hivePath, std::move(newText), std::move(hive));
  return code;
}

void ResetRegistryStore() {
  MutexLock guard(&g_cacheMutex);
  g_cache.clear();
}

}  // namespace fh
