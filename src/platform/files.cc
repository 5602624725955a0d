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

#include "platform/file_descriptor.h"
#include "platform/last_error.h"
#include "platform/paths.h"
#include "platform/posix_error.h"
#include "platform/system_calls.h"

namespace {

constexpr mode_t kNewFileMode = 0666;
constexpr mode_t kNewDirectoryMode = 0777;
// A file created between the "open existing" and the "create" attempt (or
// deleted in between) makes OpenOrCreate try again; a bounded number of times.
constexpr int kOpenOrCreateAttempts = 8;

// An open file or directory. Owns its descriptor.
class FileObject : public fh::HandleObject {
 public:
  FileObject(int fd, bool isDirectory) : fd_(fd), isDirectory_(isDirectory) {}
  ~FileObject() override { fh::SystemCalls().close(fd_); }

  int fd() const { return fd_; }
  bool isDirectory() const { return isDirectory_; }

 private:
  int fd_;
  bool isDirectory_;
};

bool HasWildcard(std::string_view path) {
  return path.find_first_of("*?") != std::string_view::npos;
}

// Checks a path argument of a call that names one file: null gives 87, a
// wildcard 123, the empty path 3. On success *normalized holds the path.
bool AcceptSinglePath(LPCSTR path, std::string* normalized) {
  if (path == nullptr) return FailWithCode(ERROR_INVALID_PARAMETER, false);
  if (*path == '\0') return FailWithCode(ERROR_PATH_NOT_FOUND, false);
  if (HasWildcard(path)) return FailWithCode(ERROR_INVALID_NAME, false);
  *normalized = fh::NormalizePath(path);
  return true;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode = 0) {
  return fh::RetryOnInterrupt([&] { return fh::SystemCalls().open(path.c_str(), flags, mode); });
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
    fh::SystemCalls().close(fd);
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

}  // namespace

HANDLE CreateFileA(LPCSTR path, DWORD access, DWORD /*shareMode*/,
                   const SECURITY_ATTRIBUTES* /*security*/, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE /*templateFile*/) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return INVALID_HANDLE_VALUE;
  if (!IsKnownDisposition(creationDisposition))
    return FailWithCode(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);

  const bool read = (access & (GENERIC_READ | GENERIC_ALL | FILE_READ_DATA)) != 0;
  const bool write =
      (access & (GENERIC_WRITE | GENERIC_ALL | FILE_WRITE_DATA | FILE_APPEND_DATA)) != 0;
  const bool backupSemantics = (flagsAndAttributes & FILE_FLAG_BACKUP_SEMANTICS) != 0;
  if (creationDisposition == TRUNCATE_EXISTING && !write) {
    return FailWithCode(ERROR_INVALID_PARAMETER, INVALID_HANDLE_VALUE);
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
  if (fd < 0) return FailWithCode(OpenError(errno, normalized), INVALID_HANDLE_VALUE);
  fh::UniqueFd owned(fd);

  struct stat info {};
  if (fh::SystemCalls().fstat(fd, &info) != 0)
    return FailWithCode(Win32ErrorFromErrno(errno), INVALID_HANDLE_VALUE);
  const bool isDirectory = S_ISDIR(info.st_mode);
  if (isDirectory && !backupSemantics)
    return FailWithCode(ERROR_ACCESS_DENIED, INVALID_HANDLE_VALUE);

  std::shared_ptr<FileObject> file;
  try {
    file = std::make_shared<FileObject>(fd, isDirectory);
  } catch (const std::bad_alloc&) {
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, INVALID_HANDLE_VALUE);
  }
  owned.Release();
  HANDLE handle = fh::RegisterHandle(std::move(file));
  if (handle == nullptr) return INVALID_HANDLE_VALUE;  // the object closed its descriptor

  const bool reportsExisting =
      creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
  SetLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
  return handle;
}

BOOL GetFileSizeEx(HANDLE file, LARGE_INTEGER* size) {
  std::shared_ptr<FileObject> object = fh::FindHandleAs<FileObject>(file);
  if (object == nullptr) return FailWithCode(ERROR_INVALID_HANDLE, FALSE);
  if (size == nullptr) return FailWithCode(ERROR_INVALID_PARAMETER, FALSE);
  if (object->isDirectory()) {
    size->QuadPart = 0;
    return TRUE;
  }
  struct stat info {};
  if (fh::SystemCalls().fstat(object->fd(), &info) != 0) {
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
    const ssize_t got = fh::RetryOnInterrupt(
        [&] { return fh::SystemCalls().read(in, buffer.data(), buffer.size()); });
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (int err =
            fh::WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(got)))) {
      return err;
    }
  }
}

// Moves the finished temporary file onto target: replacing it, or (noReplace)
// failing with EEXIST when it exists. 0 or errno.
int PublishCopy(const std::string& temporary, const std::string& target, bool noReplace) {
  const fh::SystemCallTable& sys = fh::SystemCalls();
  if (!noReplace) return sys.rename(temporary.c_str(), target.c_str()) == 0 ? 0 : errno;
  if (sys.renameNoReplace(temporary.c_str(), target.c_str()) == 0) return 0;
  if (errno != EINVAL && errno != ENOSYS) return errno;
  // The file system cannot rename exclusively; a hard link can.
  if (sys.link(temporary.c_str(), target.c_str()) != 0) return errno;
  sys.unlink(temporary.c_str());
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
  const fh::SystemCallTable& sys = fh::SystemCalls();
  fh::UniqueFd out(sys.makeTemporary(name.data(), O_CLOEXEC));
  *temporaryFailed = !out.valid();
  if (!out.valid()) return errno;
  std::string temporary = name.data();
  int err = CopyContent(in, out.get());
  if (err == 0 && sys.fchmod(out.get(), mode) != 0) err = errno;
  const int closeErr = out.Close();
  if (err == 0) err = closeErr;
  if (err == 0) err = PublishCopy(temporary, target, noReplace);
  if (err != 0) sys.unlink(temporary.c_str());
  return err;
}

// The fallback for a target that may be written but not replaced.
int CopyInPlace(int in, const std::string& target) {
  fh::UniqueFd out(OpenRetrying(target, O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY));
  if (!out.valid()) return errno;
  int err = CopyContent(in, out.get());
  const int closeErr = out.Close();
  return err != 0 ? err : closeErr;
}

}  // namespace

BOOL CopyFileA(LPCSTR existingFile, LPCSTR newFile, BOOL failIfExists) {
  std::string source;
  std::string target;
  if (!AcceptSinglePath(existingFile, &source) || !AcceptSinglePath(newFile, &target)) {
    return FALSE;
  }
  fh::UniqueFd in(OpenRetrying(source, O_RDONLY | O_CLOEXEC | O_NOCTTY));
  if (!in.valid()) return FailWithCode(Win32PathErrorFromErrno(errno, source), FALSE);
  struct stat sourceInfo {};
  if (fh::SystemCalls().fstat(in.get(), &sourceInfo) != 0)
    return FailWithCode(Win32ErrorFromErrno(errno), FALSE);
  if (S_ISDIR(sourceInfo.st_mode)) return FailWithCode(ERROR_ACCESS_DENIED, FALSE);

  struct stat targetInfo {};
  const bool targetExists = fh::SystemCalls().stat(target.c_str(), &targetInfo) == 0;
  if (targetExists) {
    if (failIfExists) return FailWithCode(ERROR_FILE_EXISTS, FALSE);
    if (S_ISDIR(targetInfo.st_mode)) return FailWithCode(ERROR_ACCESS_DENIED, FALSE);
    if (targetInfo.st_dev == sourceInfo.st_dev && targetInfo.st_ino == sourceInfo.st_ino) {
      return FailWithCode(ERROR_SHARING_VIOLATION, FALSE);
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
    return FailWithCode(ERROR_NOT_ENOUGH_MEMORY, FALSE);
  }
  if (err == 0) return TRUE;
  if (err == EEXIST) return FailWithCode(ERROR_FILE_EXISTS, FALSE);
  return FailWithCode(Win32PathErrorFromErrno(err, target), FALSE);
}

BOOL DeleteFileA(LPCSTR path) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return FALSE;
  if (fh::SystemCalls().unlink(normalized.c_str()) != 0) {
    SetLastErrorFromPathErrno(errno, normalized);
    return FALSE;
  }
  return TRUE;
}

BOOL CreateDirectoryA(LPCSTR path, const SECURITY_ATTRIBUTES* /*security*/) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return FALSE;
  if (fh::SystemCalls().mkdir(normalized.c_str(), kNewDirectoryMode) != 0) {
    SetLastErrorFromPathErrno(errno, normalized);
    return FALSE;
  }
  return TRUE;
}

DWORD GetFileAttributesA(LPCSTR path) {
  std::string normalized;
  if (!AcceptSinglePath(path, &normalized)) return INVALID_FILE_ATTRIBUTES;
  struct stat info {};
  if (fh::SystemCalls().stat(normalized.c_str(), &info) != 0) {
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
  std::FILE* stream = fh::SystemCalls().fopen(normalized.c_str(), closeOnExecMode.c_str());
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
  if (fh::SystemCalls().mkdir(normalized.c_str(), kNewDirectoryMode) != 0) return errno;
  return 0;
}

namespace fh {

int MakeDirectoryTree(const char* path, unsigned mode) {
  if (path == nullptr) return EINVAL;
  const std::string normalized = NormalizePath(path);
  if (SystemCalls().mkdir(normalized.c_str(), static_cast<mode_t>(mode)) == 0) return 0;
  const int first = errno;
  if (first != ENOENT) return first;
  const std::string parent(ParentPart(path));
  if (parent.empty()) return first;  // no parent named: nothing more to create
  const int parentResult = MakeDirectoryTree(parent.c_str(), mode);
  // EEXIST: the parent appeared meanwhile (another process made it); go on.
  if (parentResult != 0 && parentResult != EEXIST) return parentResult;
  if (SystemCalls().mkdir(normalized.c_str(), static_cast<mode_t>(mode)) == 0) return 0;
  return errno;
}

}  // namespace fh
