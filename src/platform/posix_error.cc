#include "platform/posix_error.h"

#include <sys/stat.h>

#include <cerrno>
#include <string>

#include "platform/last_error.h"
#include "platform/paths.h"
#include "platform/system_calls.h"

DWORD Win32ErrorFromErrno(int err) {
  switch (err) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EEXIST:
      return ERROR_ALREADY_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
      return ERROR_DISK_FULL;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENAMETOOLONG:
      return ERROR_FILENAME_EXCED_RANGE;
    case ENOTEMPTY:
      return ERROR_DIR_NOT_EMPTY;
    case EBUSY:
    case ETXTBSY:
    case EWOULDBLOCK:
      return ERROR_SHARING_VIOLATION;
    case EISDIR:
      return ERROR_ACCESS_DENIED;
    case EIO:
      return ERROR_WRITE_FAULT;
    case ENOTSUP:
      return ERROR_NOT_SUPPORTED;
    default:
      return ERROR_GEN_FAILURE;
  }
}

DWORD SetLastErrorFromErrno(int err) {
  DWORD code = Win32ErrorFromErrno(err);
  SetLastError(code);
  return code;
}

DWORD Win32PathErrorFromErrno(int err, std::string_view normalizedPath) {
  if (err != ENOENT) return Win32ErrorFromErrno(err);
  std::string parent = fh::ParentOfNormalized(normalizedPath);
  struct stat info {};
  bool parentIsDirectory =
      fh::SystemCalls().stat(parent.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  return parentIsDirectory ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD SetLastErrorFromPathErrno(int err, std::string_view normalizedPath) {
  DWORD code = Win32PathErrorFromErrno(err, normalizedPath);
  SetLastError(code);
  return code;
}
