#include "logging/rotation.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string_view>
#include <vector>

#include "lock/object_lock.h"
#include "log/log.h"
#include "log/log_file.h"
#include "log/status_texts.h"
#include "logging/agent_settings.h"
#include "platform/directory_search.h"
#include "platform/files.h"
#include "platform/last_error.h"
#include "registry/file_size.h"

namespace fh {

namespace {

constexpr char kLogExtension[] = ".log";

// The two spellings of the deletion failure line: the live file's (two
// blanks before the colon) and a backup's (one blank).
constexpr char kLiveDeleteFailed[] =
    "RotateSpecificLogs : Unable to delete the file %s and the error code is  :%d\n";
constexpr char kBackupDeleteFailed[] =
    "RotateSpecificLogs : Unable to delete the file %s and the error code is :%d\n";
constexpr char kDeleted[] = "RotateSpecificLogs : The file %s was successfully deleted..:\n";
constexpr char kCopyFailed[] =
    "RotateSpecificLogs : CopyFile failed to move from %s to  %s and the error code is %d \n";

// The part of fileName before its first ".log"; none when there is no ".log".
std::optional<std::string_view> BaseName(std::string_view fileName) {
  const std::size_t at = fileName.find(kLogExtension);
  if (at == std::string_view::npos) return std::nullopt;
  return fileName.substr(0, at);
}

// The names of a ";"-separated list, empty names skipped.
std::vector<std::string> SplitFileList(std::string_view list) {
  std::vector<std::string> names;
  while (!list.empty()) {
    const std::size_t end = list.find(';');
    const std::string_view name = list.substr(0, end);
    if (!name.empty()) names.emplace_back(name);
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 1);
  }
  return names;
}

std::string JoinPath(std::string_view directory, std::string_view name) {
  std::string path;
  path.reserve(directory.size() + 1 + name.size());
  path.append(directory).append("\\").append(name);
  return path;
}

enum class DeletedFile { kLive, kBackup };

// Deletes path and logs the outcome in the spelling of its kind.
void DeleteWithLog(const std::string& path, DeletedFile kind) {
  if (DeleteFileA(path.c_str())) {
    LogInfo(kDeleted, path.c_str());
  } else if (kind == DeletedFile::kLive) {
    LogInfo(kLiveDeleteFailed, path.c_str(), static_cast<int>(GetLastError()));
  } else {
    LogInfo(kBackupDeleteFailed, path.c_str(), static_cast<int>(GetLastError()));
  }
}

// Deletes a stale backup beyond the keep count; a missing one is no news.
void DeleteStaleBackup(const std::string& path) {
  if (DeleteFileA(path.c_str())) {
    LogInfo(kDeleted, path.c_str());
    return;
  }
  const DWORD error = GetLastError();
  if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) {
    LogInfo(kBackupDeleteFailed, path.c_str(), static_cast<int>(error));
  }
}

// Copies the live file to the newest backup and empties it in place, with no
// line written in between. Lines are logged after the lock is released.
void CopyAndTruncateLiveFile(const std::string& livePath, const std::string& newest) {
  // The log's object lock (when the log has a lock token): no line is
  // written between the copy and the truncation.
  ObjectLockGuard lock(LogLockToken());
  if (!CopyFileA(livePath.c_str(), newest.c_str(), FALSE)) {
    const DWORD error = GetLastError();
    lock.Release();
    LogInfo(kCopyFailed, livePath.c_str(), newest.c_str(), static_cast<int>(error));
    return;
  }
  const HANDLE file = CreateFileA(livePath.c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD truncateError = file == INVALID_HANDLE_VALUE ? GetLastError() : 0;
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  lock.Release();
  LogInfo(
      "RotateSpecificLogs : File successfully copied from %s to  %s so we are going to truncate "
      "the content of the first one \n",
      livePath.c_str(), newest.c_str());
  if (file == INVALID_HANDLE_VALUE) {
    std::printf(
        "RotateSpecificLogs : Truncate Existing backup File failed file Name -%s errorcode - %d\n",
        livePath.c_str(), static_cast<int>(truncateError));
    std::fflush(stdout);
  }
}

// Copies the live file to the newest backup and deletes it.
void MoveLiveFile(const std::string& livePath, const std::string& newest) {
  if (!CopyFileA(livePath.c_str(), newest.c_str(), FALSE)) {
    LogInfo(kCopyFailed, livePath.c_str(), newest.c_str(), static_cast<int>(GetLastError()));
    return;
  }
  LogInfo("RotateSpecificLogs : File successfully copied from %s to  %s . \n", livePath.c_str(),
          newest.c_str());
  DeleteWithLog(livePath, DeletedFile::kLive);
}

// Mode 0: the live file's size, or none when it is missing or cannot be
// measured (the file is then left alone).
std::optional<LONGLONG> MeasureLiveFile(const std::string& path) {
  const HANDLE file = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  const DWORD openError = GetLastError();
  if (file == INVALID_HANDLE_VALUE || openError == ERROR_FILE_NOT_FOUND) {
    LogError(
        "RotateSpecificLogs : hFile is NULL or not AVAILABLE (Errorcode : %d) for the file name %s "
        ". \n",
        static_cast<int>(openError), path.c_str());
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return std::nullopt;
  }
  std::optional<LONGLONG> result;
  LONGLONG size = 0;
  if (GetFileSizeByName(path.c_str(), &size)) {
    LogInfo("RotateSpecificLogs : Sucessfully got the %s File size = %lld \n", path.c_str(),
            static_cast<long long>(size));
    result = size;
  } else {
    LogInfo("RotateSpecificLogs : The %s File size detection is failed and the error code is %d \n",
            path.c_str(), static_cast<int>(GetLastError()));
  }
  CloseHandle(file);
  return result;
}

// Shifts the backups of one file up by one and moves the live file to
// number 1 (see the diagram in rotation.h).
void ShiftBackups(const std::string& directory, const std::string& name,
                  const std::string& livePath, int keepCount, int mode) {
  const int count =
      FindNumberOfRepeatedFileNames(directory.c_str(), std::string(*BaseName(name)).c_str());
  LogInfo(
      "RotateSpecificLogs : The return Value from FindNumberOfRepeatedFileNames method is : %d \n",
      count);
  // The count includes the live file, so the highest backup is count - 1.
  for (int k = count; k >= 1; --k) {
    std::string older = MakeBackupFileName(directory.c_str(), name.c_str(), k - 1);
    LogInfo("RotateSpecificLogs : The tempFileName1 : %s . \n", older.c_str());
    if (k >= keepCount) {
      DeleteWithLog(older, DeletedFile::kBackup);
      for (int stale = k - 2; stale >= keepCount; --stale) {
        DeleteStaleBackup(MakeBackupFileName(directory.c_str(), name.c_str(), stale));
      }
      k = keepCount - 1;
      older = MakeBackupFileName(directory.c_str(), name.c_str(), keepCount - 2);
    }
    const std::string newer = MakeBackupFileName(directory.c_str(), name.c_str(), k);
    LogInfo("RotateSpecificLogs : The tempFileName2 : %s . \n", newer.c_str());
    if (k != 1) {
      if (!CopyFileA(older.c_str(), newer.c_str(), FALSE)) {
        const DWORD error = GetLastError();
        LogInfo(kCopyFailed, older.c_str(), newer.c_str(), static_cast<int>(error));
        // A backup that exists but could not be copied would be overwritten
        // by the next step: stop, keeping it and the live file whole for the
        // next rotation. An absent backup (a gap in the numbers) is no loss.
        if (error != ERROR_FILE_NOT_FOUND && error != ERROR_PATH_NOT_FOUND) return;
      } else {
        LogInfo("RotateSpecificLogs : File copied from %s to  %s . \n", older.c_str(),
                newer.c_str());
        DeleteWithLog(older, DeletedFile::kBackup);
      }
    } else if (mode == kRotateMoveLiveFile) {
      MoveLiveFile(livePath, newer);
    } else {
      CopyAndTruncateLiveFile(livePath, newer);
    }
  }
}

void RotateOneFile(const std::string& directory, const std::string& name, DWORD sizeThreshold,
                   int keepCount, int mode) {
  LogInfo("RotateSpecificLogs : Log File Name : %s\n", name.c_str());
  const std::optional<std::string_view> base = BaseName(name);
  if (!base || base->empty()) {
    LogError(
        "RotateSpecificLogs : The file name %s is not a base name followed by .log , so it is not "
        "rotated \n",
        name.c_str());
    return;
  }
  const std::string livePath = JoinPath(directory, name);
  LONGLONG size = 0;
  if (mode == kRotateMoveLiveFile) {
    const std::optional<LONGLONG> measured = MeasureLiveFile(livePath);
    if (!measured) return;
    size = *measured;
  }
  const bool rotate =
      size > static_cast<LONGLONG>(sizeThreshold) || mode == kRotateTruncateLiveFile;
  if (!rotate) return;
  ShiftBackups(directory, name, livePath, keepCount, mode);
}

LONG RotateLogs(const char* directory, const char* fileList, int keepCount, DWORD sizeThreshold,
                int mode) {
  LogInfo("\n @@@@@@@@@@@@@@@Inside RotateSpecificLogs Method @@@@@@@@@@@@@\n");
  std::string logDirectory;
  if (directory != nullptr) {
    logDirectory = directory;
  } else {
    LONG error = 0;
    const std::optional<std::string> installDir = AgentInstallDirOrRead(&error);
    if (!installDir) {
      std::printf("RotateSpecificLogs : Unable to get the agent installed directory %d \n",
                  static_cast<int>(error));
      std::fflush(stdout);
      return error;
    }
    logDirectory = *installDir + "logs\\";
  }
  if (fileList != nullptr) {
    for (const std::string& name : SplitFileList(fileList)) {
      RotateOneFile(logDirectory, name, sizeThreshold, keepCount, mode);
    }
  }
  LogInfo("\n @@@@@@@@@@@@@@@ End of RotateSpecificLogs Method with error code %d @@@@@@@@@@@@@\n",
          0);
  return 0;
}

}  // namespace

}  // namespace fh

LONG RotateSpecificLogs(const char* directory, const char* fileList, int keepCount,
                        DWORD sizeThreshold, int mode) {
  try {
    return fh::RotateLogs(directory, fileList, keepCount, sizeThreshold, mode);
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

LONG RotateLoggerForEverRunningProcess(const char* directory, const char* fileName, int keepCount,
                                       DWORD sizeThreshold) {
  if (fileName == nullptr) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  try {
    std::string prefix;
    if (directory != nullptr) {
      prefix = std::string(directory) + "\\";
    } else {
      LONG error = 0;
      const std::optional<std::string> installDir = fh::AgentInstallDirOrRead(&error);
      if (!installDir) {
        LogError(
            "RotateLoggerForEverRunningProcess : Unable to get the agent installed directory %d \n",
            static_cast<int>(error));
        return error;
      }
      prefix = *installDir + "logs\\";
    }
    const std::string fullName = prefix + fileName;
    LogInfo("RotateLoggerForEverRunningProcess : cSfileName : %s \n", fullName.c_str());
    if (CheckLogSizeReached(fullName.c_str(), sizeThreshold) != 1) return 0;
    return RotateSpecificLogs(prefix.c_str(), fileName, keepCount, sizeThreshold,
                              fh::kRotateTruncateLiveFile);
  } catch (const std::bad_alloc&) {
    return static_cast<LONG>(ERROR_NOT_ENOUGH_MEMORY);
  }
}

int CheckLogSizeReached(const char* path, DWORD sizeThreshold) {
  const HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    LogError("CheckLogSizeReached : Unable to get the file handle \n");
    LogErrorCodeMessageA(GetLastError());
  }
  LARGE_INTEGER size{};
  // A failed open leaves an invalid handle, whose size query fails in turn.
  if (!GetFileSizeEx(file, &size)) {
    LogError("CheckLogSizeReached : Error occurred in getting the size %d \n",
             static_cast<int>(GetLastError()));
    size.QuadPart = 0;
  }
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  // Only the low 32 bits are printed, as a signed number.
  LogInfo("CheckLogSizeReached : The log file size of %s is given by %ld \n",
          path != nullptr ? path : "", static_cast<long>(static_cast<LONG>(size.u.LowPart)));
  if (size.QuadPart < static_cast<LONGLONG>(sizeThreshold)) {
    LogDebug("CheckLogSizeReached : The size is less the required size \n");
    return 0;
  }
  LogInfo("CheckLogSizeReached : The size is greater than the given size .........\n");
  return 1;
}

int FindNumberOfRepeatedFileNames(const char* directory, const char* baseName) {
  LogDebug("@@@@@@@@@@@@Inside FindNoOfRepeatedFileNames Method @@@@@@@@@\n");
  int result = -1;
  try {
    const std::string dir = directory != nullptr ? directory : "";
    const std::string pattern = fh::JoinPath(dir, baseName != nullptr ? baseName : "") + "*.*";
    LogInfo(
        "FindNoOfRepeatedFileNames : Successfully allocated szFormattedPath and the value is %s  "
        ".\n",
        pattern.c_str());
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(pattern.c_str(), &entry);
    LogInfo("FindNoOfRepeatedFileNames : Successfully finded out first file  %d  .\n",
            static_cast<int>(reinterpret_cast<std::intptr_t>(search)));
    if (search == INVALID_HANDLE_VALUE) {
      LogErrorCodeMessage(GetLastError());
      LogError("FindNumberOfRepeatedFileNames : Unable to find the files/folder.\n");
    } else {
      int count = 0;
      do {
        ++count;
        LogInfo("FindNoOfRepeatedFileNames : after memset of szSrcPath is  %s  .\n",
                fh::JoinPath(dir, entry.cFileName).c_str());
      } while (FindNextFileA(search, &entry));
      const DWORD error = GetLastError();
      if (error != ERROR_NO_MORE_FILES) {
        LogErrorCodeMessage(error);
        LogError("FindNumberOfRepeatedFileNames : Couldn't find next file :%d\n",
                 static_cast<int>(error));
      } else {
        result = count;
      }
      FindClose(search);
    }
    LogInfo("FindNoOfRepeatedFileNames : Going to Free the allocated memory in this method.\n");
  } catch (const std::bad_alloc&) {
    result = -1;
  }
  LogDebug(
      "@@@@@@@@@@@@End of FindNoOfRepeatedFileNames Method with return value of No of file count : "
      "%d\t  @@@@@@@@@\n",
      result);
  return result;
}

std::string MakeBackupFileName(const char* directory, const char* fileName, int number) {
  const std::string_view name = fileName != nullptr ? fileName : "";
  const std::string_view base = fh::BaseName(name).value_or(std::string_view());
  std::string path = fh::JoinPath(directory != nullptr ? directory : "", base);
  path += std::to_string(number);
  path += fh::kLogExtension;
  return path;
}
