#include "support/system_call_faults.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/system_calls.h"

namespace fhtest {
namespace {

struct FaultPlan {
  std::atomic<bool> active{false};
  Call kind = Call::kOpen;
  int nth = 1;
  std::atomic<int> times{1};
  int err = 0;
  std::string pathContains;
  std::atomic<int> calls{0};
  std::atomic<int> failures{0};
};

FaultPlan& Plan() {
  static FaultPlan plan;
  return plan;
}

bool PathMatches(const char* path) {
  const FaultPlan& plan = Plan();
  if (plan.pathContains.empty()) return true;
  return path != nullptr && std::strstr(path, plan.pathContains.c_str()) != nullptr;
}

// True when this call of kind is to fail; errno is then set.
bool ShouldFail(Call kind, const char* path = nullptr, bool namesPath = false) {
  FaultPlan& plan = Plan();
  if (!plan.active.load() || plan.kind != kind) return false;
  if (!plan.pathContains.empty() && (!namesPath || !PathMatches(path))) return false;
  const int n = ++plan.calls;
  if (n < plan.nth) return false;
  if (plan.times >= 0 && n >= plan.nth + plan.times) return false;
  ++plan.failures;
  errno = plan.err;
  return true;
}

const fh::SystemCallTable& Real() { return fh::RealSystemCalls(); }

int Open(const char* path, int flags, mode_t mode) {
  if (ShouldFail(Call::kOpen, path, true)) return -1;
  return Real().open(path, flags, mode);
}
int Close(int fd) {
  if (ShouldFail(Call::kClose)) {
    Real().close(fd);  // the descriptor is gone either way, as with EIO
    return -1;
  }
  return Real().close(fd);
}
ssize_t Read(int fd, void* buffer, std::size_t size) {
  if (ShouldFail(Call::kRead)) return -1;
  return Real().read(fd, buffer, size);
}
ssize_t Write(int fd, const void* data, std::size_t size) {
  if (ShouldFail(Call::kWrite)) return -1;
  return Real().write(fd, data, size);
}
int Fsync(int fd) {
  if (ShouldFail(Call::kFsync)) return -1;
  return Real().fsync(fd);
}
int Flock(int fd, int operation) {
  if (ShouldFail(Call::kFlock)) return -1;
  return Real().flock(fd, operation);
}
int Stat(const char* path, struct stat* info) {
  if (ShouldFail(Call::kStat, path, true)) return -1;
  return Real().stat(path, info);
}
int MakeTemporary(char* pattern, int flags) {
  if (ShouldFail(Call::kMakeTemporary, pattern, true)) return -1;
  return Real().makeTemporary(pattern, flags);
}
int Rename(const char* from, const char* to) {
  if (ShouldFail(Call::kRename, to, true)) return -1;
  return Real().rename(from, to);
}
int RenameNoReplace(const char* from, const char* to) {
  if (ShouldFail(Call::kRename, to, true)) return -1;
  return Real().renameNoReplace(from, to);
}
int Unlink(const char* path) {
  if (ShouldFail(Call::kUnlink, path, true)) return -1;
  return Real().unlink(path);
}
int Mkdir(const char* path, mode_t mode) {
  if (ShouldFail(Call::kMkdir, path, true)) return -1;
  return Real().mkdir(path, mode);
}
DIR* Opendir(const char* path) {
  if (ShouldFail(Call::kOpendir, path, true)) return nullptr;
  return Real().opendir(path);
}
std::FILE* Fopen(const char* path, const char* mode) {
  if (ShouldFail(Call::kFopen, path, true)) return nullptr;
  return Real().fopen(path, mode);
}
std::size_t Fwrite(const void* data, std::size_t size, std::size_t count, std::FILE* stream) {
  if (ShouldFail(Call::kFwrite)) return 0;
  return Real().fwrite(data, size, count, stream);
}
int Fflush(std::FILE* stream) {
  if (ShouldFail(Call::kFflush)) return EOF;
  return Real().fflush(stream);
}

// The real table with every call that can be failed replaced.
fh::SystemCallTable MakeFailingTable() {
  fh::SystemCallTable table = Real();
  table.open = &Open;
  table.close = &Close;
  table.read = &Read;
  table.write = &Write;
  table.fsync = &Fsync;
  table.flock = &Flock;
  table.stat = &Stat;
  table.makeTemporary = &MakeTemporary;
  table.rename = &Rename;
  table.renameNoReplace = &RenameNoReplace;
  table.unlink = &Unlink;
  table.mkdir = &Mkdir;
  table.opendir = &Opendir;
  table.fopen = &Fopen;
  table.fwrite = &Fwrite;
  table.fflush = &Fflush;
  return table;
}

const fh::SystemCallTable kFailingTable = MakeFailingTable();

}  // namespace

SystemCallFault::SystemCallFault(Call kind, int nth, int err, int times, std::string pathContains) {
  FaultPlan& plan = Plan();
  if (plan.active.load()) std::abort();  // one fault at a time
  plan.kind = kind;
  plan.nth = nth;
  plan.times = times;
  plan.err = err;
  plan.pathContains = std::move(pathContains);
  plan.calls = 0;
  plan.failures = 0;
  plan.active = true;
  fh::SetSystemCallsForTesting(&kFailingTable);
}

SystemCallFault::~SystemCallFault() {
  fh::SetSystemCallsForTesting(nullptr);
  Plan().active = false;
}

int SystemCallFault::calls() const { return Plan().calls.load(); }
int SystemCallFault::failures() const { return Plan().failures.load(); }
void SystemCallFault::Heal() { Plan().times = 0; }

}  // namespace fhtest
