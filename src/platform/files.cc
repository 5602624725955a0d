#include "platform/files.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/last_error.h"
#include "platform/paths.h"
#include "platform/posix_error.h"

namespace {

constexpr DWORD kGenericAll = 0x10000000u;
constexpr DWORD kFileReadData = 0x1;
constexpr DWORD kFileWriteData = 0x2;
constexpr DWORD kFileAppendData = 0x4;
constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kNewDirectoryMode = 0777;
// A file created between the "open existing" and the "create" attempt (or
// deleted in between) makes OpenOrCreate try again; a bounded number of times.
constexpr int kOpenOrCreateAttempts = 8;

// An open file or directory. Owns its descriptor.
class FileObject : public fh::HandleObject {
 public:
  FileObject(int fd, bool isDirectory) : fd_(fd), isDirectory_(isDirectory) {}
  ~FileObject() override { ::close(fd_); }

  int fd() const { return fd_; }
  bool isDirectory() const { return isDirectory_; }

 private:
  int fd_;
  bool isDirectory_;
};

// Closes a descriptor at scope end unless released.
class ScopedFd {
 public:
  explicit ScopedFd(int fd) : fd_(fd) {}
  ~ScopedFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ScopedFd(const ScopedFd&) = delete;
  ScopedFd& operator=(const ScopedFd&) = delete;
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool HasWildcard(std::string_view path) {
  return path.find_first_of("*?") != std::string_view::npos;
}

// Checks a path argument of a call that names one file: null gives 87, a
// wildcard 123, the empty path 3. On success *normalized holds the path.
bool AcceptSinglePath(LPCSTR path, std::string* normalized) {
  if (path == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  if (*path == '\0') {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return false;
  }
  if (HasWildcard(path)) {
    SetLastError(ERROR_INVALID_NAME);
    return false;
  }
  *normalized = fh::NormalizePath(path);
  return true;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Opens an existing file with existingFlags or creates it exclusively with
// createFlags; *existed tells which. -1 with errno on failure.
int OpenOrCreate(const std::string& path, int existingFlags, int createFlags, bool* existed) {
  for (int attempt = 0; attempt < kOpenOrCreateAttempts; ++attempt) {
    int fd = OpenRetrying(path, existingFlags);
    if (fd >= 0) {
      *existed = true;
      return fd;
    }
    if (errno != ENOENT) return -1;
    fd = OpenRetrying(path, createFlags | O_CREAT | O_EXCL, kNewFileMode);
    if (fd >= 0) {
      *existed = false;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  return -1;
}

// One open of path with the disposition's creation and truncation rules.
// -1 with errno on failure.
int OpenWithDisposition(const std::string& path, int accessFlags, DWORD disposition,
                        bool* existed) {
  const int flags = accessFlags | O_CLOEXEC | O_NOCTTY;
  *existed = false;
  switch (disposition) {
    case CREATE_NEW:
      return OpenRetrying(path, flags | O_CREAT | O_EXCL, kNewFileMode);
    case CREATE_ALWAYS:
      return OpenOrCreate(path, flags | O_TRUNC, flags, existed);
    case OPEN_EXISTING:
      *existed = true;
      return OpenRetrying(path, flags);
    case OPEN_ALWAYS:
      return OpenOrCreate(path, flags, flags, existed);
    case TRUNCATE_EXISTING:
      *existed = true;
      return OpenRetrying(path, flags | O_TRUNC);
    default:
      errno = EINVAL;
      return -1;
  }
}

bool IsKnownDisposition(DWORD disposition) {
  return disposition >= CREATE_NEW && disposition <= TRUNCATE_EXISTING;
}

// A metadata-only open: the disposition's creation or truncation is done by
// a short write open first, then the file is opened by path alone, which
// needs no read or write permission on it.
int OpenForMetadata(const std::string& path, DWORD disposition, bool* existed) {
  if (disposition != OPEN_EXISTING) {
    int fd = OpenWithDisposition(path, O_WRONLY, disposition, existed);
    if (fd < 0) return -1;
    ::close(fd);
  } else {
    *existed = true;
  }
  return OpenRetrying(path, O_PATH | O_CLOEXEC);
}

// The error of a failed open: 80 instead of 183 where Windows says "file
// exists", 2 or 3 for a missing file.
DWORD OpenError(int err, const std::string& path) {
  if (err == EEXIST) return ERROR_FILE_EXISTS;
  return Win32PathErrorFromErrno(err, path);
}

HANDLE FailOpen(DWORD code) {
  SetLastError(code);
  return INVALID_HANDLE_VALUE;
}

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD /*shareMode*/,
                   const SECURITY_ATTRIBUTES* /*security*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return INVALID_HANDLE_VALUE;
  if (!IsKnownDisposition(creationDisposition)) return FailOpen(ERROR_INVALID_PARAMETER);

  const bool read = (access & (GENERIC_READ | kGenericAll | kFileReadData)) != 0;
  const bool write =
      (access & (GENERIC_WRITE | kGenericAll | kFileWriteData | kFileAppendData)) != 0;
  const bool backupSemantics = (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) != 0;
  if (creationDisposition == TRUNCATE_EXISTING && !write) {
    return FailOpen(ERROR_INVALID_PARAMETER);
  }

  bool existed = false;
  int fd;
  if (!read && !write) {
    fd = OpenForMetadata(normalized, creationDisposition, &existed);
  } else {
    int accessFlags = read && write ? O_RDWR : (write ? O_WRONLY : O_RDONLY);
    fd = OpenWithDisposition(normalized, accessFlags, creationDisposition, &existed);
  }
  // A directory refuses a write open; with backup semantics it is opened for
  // what a directory handle can do (its metadata).
  if (fd < 0 && errno == EISDIR && backupSemantics &&
      (creationDisposition == OPEN_EXISTING || creationDisposition == OPEN_ALWAYS)) {
    existed = true;
    fd = OpenRetrying(normalized, O_PATH | O_DIRECTORY | O_CLOEXEC);
  }
  if (fd < 0) return FailOpen(OpenError(errno, normalized));
  ScopedFd owned(fd);

  struct stat info {};
  if (::fstat(fd, &info) != 0) return FailOpen(Win32ErrorFromErrno(errno));
  const bool isDirectory = S_ISDIR(info.st_mode);
  if (isDirectory && !backupSemantics) return FailOpen(ERROR_ACCESS_DENIED);

  std::shared_ptr<FileObject> file;
  try {
    file = std::make_shared<FileObject>(fd, isDirectory);
  } catch (const std::bad_alloc&) {
    return FailOpen(ERROR_NOT_ENOUGH_MEMORY);
  }
  owned.release();
  HANDLE handle = fh::RegisterHandle(std::move(file));
  if (handle == nullptr) return INVALID_HANDLE_VALUE;  // the object closed its descriptor

  const bool reportsExisting =
      creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
  SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
  std::shared_ptr<FileObject> object = fh::FindHandleAs<FileObject>(file);
  if (object == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  if (size == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (object->isDirectory()) {
    size->QuadPart = 0;
    return TRUE;
  }
  struct stat info {};
  if (::fstat(object->fd(), &info) != 0) {
    SetLastErrorFromErrno(errno);
    return FALSE;
  }
  size->QuadPart = static_cast<LONGLONG>(info.st_size);
  return TRUE;
}

namespace {

constexpr std::size_t kCopyChunk = 64 * 1024;

// Copies everything from in to out; 0 or the errno of the failed read/write.
int CopyContent(int in, int out) {
  std::vector<char> buffer(kCopyChunk);
  for (;;) {
    ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (got == 0) return 0;
    const char* next = buffer.data();
    while (got > 0) {
      ssize_t written = ::write(out, next, static_cast<std::size_t>(got));
      if (written < 0) {
        if (errno == EINTR) continue;
        return errno;
      }
      next += written;
      got -= written;
    }
  }
}

// Moves the finished temporary file onto target: replacing it, or (noReplace)
// failing with EEXIST when it exists. 0 or errno.
int PublishCopy(const std::string& temporary, const std::string& target, bool noReplace) {
  if (!noReplace) return ::rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
  if (::renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
    return 0;
  }
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename exclusively; a hard link can.
  if (::link(temporary.c_str(), target.c_str()) != 0) return errno;
  ::unlink(temporary.c_str());
  return 0;
}

// Writes the copy to a temporary file beside target and renames it into
// place. 0 or errno; *temporaryFailed tells that the temporary file itself
// could not be made (the directory is not writable).
int CopyThroughTemporary(int in, mode_t mode, const std::string& target, bool noReplace,
                         bool* temporaryFailed) {
  std::string parent = fh::ParentOfNormalized(target);
  std::string pattern = (parent == "/" ? std::string() : parent) + "/.fhcopy-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int out = ::mkostemp(name.data(), O_CLOEXEC);
  *temporaryFailed = out < 0;
  if (out < 0) return errno;
  std::string temporary = name.data();
  int err = CopyContent(in, out);
  if (err == 0 && ::fchmod(out, mode) != 0) err = errno;
  if (::close(out) != 0 && err == 0) err = errno;
  if (err == 0) err = PublishCopy(temporary, target, noReplace);
  if (err != 0) ::unlink(temporary.c_str());
  return err;
}

// The fallback for a target that may be written but not replaced.
int CopyInPlace(int in, const std::string& target) {
  int out = OpenRetrying(target, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
  if (out < 0) return errno;
  int err = CopyContent(in, out);
  if (::close(out) != 0 && err == 0) err = errno;
  return err;
}

BOOL FailWith(DWORD code) {
  SetLastError(code);
  return FALSE;
}

}  // namespace

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  std::string source;
  std::string target;
  if (!AcceptSinglePath(existingFile, &source) || !AcceptSinglePath(newFile, &target)) {
    return FALSE;
  }
  ScopedFd in(OpenRetrying(source, O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (in.get() < 0) return FailWith(Win32PathErrorFromErrno(errno, source));
  struct stat sourceInfo {};
  if (::fstat(in.get(), &sourceInfo) != 0) return FailWith(Win32ErrorFromErrno(errno));
  if (S_ISDIR(sourceInfo.st_mode)) return FailWith(ERROR_ACCESS_DENIED);

  struct stat targetInfo {};
  const bool targetExists = ::stat(target.c_str(), &targetInfo) == 0;
  if (targetExists) {
    if (failIfExists) return FailWith(ERROR_FILE_EXISTS);
    if (S_ISDIR(targetInfo.st_mode)) return FailWith(ERROR_ACCESS_DENIED);
    if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
      return FailWith(ERROR_SHARING_VIOLATION);
    }
  }

  bool temporaryFailed = false;
  int err;
  try {
    err = CopyThroughTemporary(in.get(), sourceInfo.st_mode & 07777, target, failIfExists != FALSE,
                               &temporaryFailed);
    if (temporaryFailed && targetExists && !failIfExists &&
        (err == EACCES || err == EPERM || err == EROFS)) {
      err = CopyInPlace(in.get(), target);
    }
  } catch (const std::bad_alloc&) {
    return FailWith(ERROR_NOT_ENOUGH_MEMORY);
  }
  if (err == 0) return TRUE;
  if (err == EEXIST) return FailWith(ERROR_FILE_EXISTS);
  return FailWith(Win32PathErrorFromErrno(err, target));
}

BOOL DeleteFileA(LPCSTR path) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return FALSE;
  if (::unlink(normalized.c_str()) != 0) {
    SetLastErrorFromPathErrno(errno, normalized);
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, const SECURITY_ATTRIBUTES* /*security*/) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return FALSE;
  if (::mkdir(normalized.c_str(), kNewDirectoryMode) != 0) {
    SetLastErrorFromPathErrno(errno, normalized);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return INVALID_FILE_ATTRIBUTES;
  struct stat info {};
  if (::stat(normalized.c_str(), &info) != 0) {
    SetLastErrorFromPathErrno(errno, normalized);
    return INVALID_FILE_ATTRIBUTES;
  }
  return S_ISDIR(info.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
}

std::FILE* OpenFileStream(const char* path, const char* mode) {
  if (path == nullptr || mode == nullptr) {
    errno = EINVAL;
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::string normalized = fh::NormalizePath(path);
  std::string closeOnExecMode = mode;
  if (closeOnExecMode.find('e') == std::string::npos) closeOnExecMode.push_back('e');
  std::FILE* stream = std::fopen(normalized.c_str(), closeOnExecMode.c_str());
  if (stream == nullptr) {
    int err = errno;
    SetLastErrorFromPathErrno(err, normalized);
    errno = err;
  }
  return stream;
}

int MakeOneDirectory(const char* path) {
  if (path == nullptr) return EINVAL;
  std::string normalized = fh::NormalizePath(path);
  if (::mkdir(normalized.c_str(), kNewDirectoryMode) != 0) return errno;
  return 0;
}
