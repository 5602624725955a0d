// Runs a check in a child process switched to the unprivileged user
// "nobody", so that file permissions apply (root bypasses them).
#pragma once

#include <functional>

namespace fhtest {

// True when the test process may switch users (it runs as root) and the
// user "nobody" exists.
bool CanRunAsNobody();

// Forks, switches the child to nobody, runs check there and returns its
// result (0..255) as the child's exit code; -1 when the child could not be
// run or did not exit normally.
int RunAsNobody(const std::function<int()>& check);

}  // namespace fhtest
