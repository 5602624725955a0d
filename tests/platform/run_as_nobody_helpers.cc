#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

#include "run_as_nobody.h"

namespace fhtest {
namespace {

const passwd* Nobody() { return getpwnam("nobody"); }

}  // namespace

bool CanRunAsNobody() { return geteuid() == 0 && Nobody() != nullptr; }

int RunAsNobody(const std::function<int()>& check) {
  const passwd* nobody = Nobody();
  if (nobody == nullptr) return -1;
  uid_t uid = nobody->pw_uid;
  gid_t gid = nobody->pw_gid;
  pid_t child = fork();
  if (child < 0) return -1;
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(254);
    _exit(check() & 0xFF);
  }
  int status = 0;
  if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

}  // namespace fhtest
