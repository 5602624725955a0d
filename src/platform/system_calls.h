// The system calls the platform's file, hive and directory code makes, in one
// table of plain function pointers. Every open, read, write, fsync, rename,
// unlink, mkdir, flock and stat of src/platform goes through SystemCalls(),
// and so does the log's stream output, so that a test can make a chosen call
// fail with a chosen errno (a full disk, an I/O error, a copy that stops
// part-way) without a fake file system: tests/support/system_call_faults.h.
//
// Each entry behaves exactly as the C library function it is named after
// (same arguments, result and errno). The real table retries nothing: EINTR
// is handled by the callers (RetryOnInterrupt).
//
// Thread safety: SystemCalls() may be called from any thread at any time.
// SetSystemCallsForTesting is for tests; the table it installs must stay
// alive until it is replaced, and calls already running may still use the
// previous table.
#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdio>

namespace fh {

struct SystemCallTable {
  int (*open)(const char* path, int flags, mode_t mode);
  int (*close)(int fd);
  ssize_t (*read)(int fd, void* buffer, std::size_t size);
  ssize_t (*write)(int fd, const void* data, std::size_t size);
  int (*fsync)(int fd);
  int (*fstat)(int fd, struct stat* info);
  int (*fchmod)(int fd, mode_t mode);
  int (*fchown)(int fd, uid_t owner, gid_t group);
  int (*flock)(int fd, int operation);
  int (*stat)(const char* path, struct stat* info);
  int (*lstat)(const char* path, struct stat* info);
  // faccessat(AT_FDCWD, path, mode, AT_EACCESS): checks with the effective ids.
  int (*accessEffective)(const char* path, int mode);
  // mkostemp: creates and opens a unique file from a "...XXXXXX" pattern.
  int (*makeTemporary)(char* pattern, int flags);
  int (*rename)(const char* from, const char* to);
  // renameat2(..., RENAME_NOREPLACE): fails with EEXIST when to exists.
  int (*renameNoReplace)(const char* from, const char* to);
  int (*link)(const char* from, const char* to);
  int (*unlink)(const char* path);
  int (*mkdir)(const char* path, mode_t mode);
  DIR* (*opendir)(const char* path);
  dirent* (*readdir)(DIR* directory);
  int (*closedir)(DIR* directory);
  std::FILE* (*fopen)(const char* path, const char* mode);
  std::size_t (*fwrite)(const void* data, std::size_t size, std::size_t count, std::FILE* stream);
  int (*fflush)(std::FILE* stream);
};

// The table in use.
const SystemCallTable& SystemCalls();

// The table of the real C library calls.
const SystemCallTable& RealSystemCalls();

// Makes table the one in use; null restores the real one.
void SetSystemCallsForTesting(const SystemCallTable* table);

// Calls call() again while it fails with EINTR; returns its last result.
template <typename Call>
auto RetryOnInterrupt(const Call& call) {
  auto result = call();
  while (result == -1 && errno == EINTR) result = call();
  return result;
}

}  // namespace fh
