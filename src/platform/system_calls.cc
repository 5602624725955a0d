#include "platform/system_calls.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <unistd.h>

#include <atomic>

namespace fh {
namespace {

int Open(const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); }
int AccessEffective(const char* path, int mode) {
  return ::faccessat(AT_FDCWD, path, mode, AT_EACCESS);
}
int MakeTemporary(char* pattern, int flags) { return ::mkostemp(pattern, flags); }
int RenameNoReplace(const char* from, const char* to) {
  return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
}
int Stat(const char* path, struct stat* info) { return ::stat(path, info); }
int Lstat(const char* path, struct stat* info) { return ::lstat(path, info); }
int Fstat(int fd, struct stat* info) { return ::fstat(fd, info); }

constexpr SystemCallTable kRealSystemCalls = {
    .open = &Open,
    .close = &::close,
    .read = &::read,
    .write = &::write,
    .fsync = &::fsync,
    .fstat = &Fstat,
    .fchmod = &::fchmod,
    .fchown = &::fchown,
    .flock = &::flock,
    .stat = &Stat,
    .lstat = &Lstat,
    .accessEffective = &AccessEffective,
    .makeTemporary = &MakeTemporary,
    .rename = &::rename,
    .renameNoReplace = &RenameNoReplace,
    .link = &::link,
    .unlink = &::unlink,
    .mkdir = &::mkdir,
    .opendir = &::opendir,
    .readdir = &::readdir,
    .closedir = &::closedir,
    .fopen = &::fopen,
    .fwrite = &::fwrite,
    .fflush = &::fflush,
};

std::atomic<const SystemCallTable*> g_systemCalls{&kRealSystemCalls};

}  // namespace

const SystemCallTable& SystemCalls() { return *g_systemCalls.load(std::memory_order_acquire); }

const SystemCallTable& RealSystemCalls() { return kRealSystemCalls; }

void SetSystemCallsForTesting(const SystemCallTable* table) {
  g_systemCalls.store(table != nullptr ? table : &kRealSystemCalls, std::memory_order_release);
}

}  // namespace fh
