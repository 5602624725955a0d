// Changes the process's working directory for one scope and restores it, so
// that tests can exercise paths relative to the working directory
// ("..\\data\\..."). Tests using it must not run concurrently with others
// that depend on the working directory.
#pragma once

#include <unistd.h>

#include <climits>
#include <string>

namespace fhtest {

class ScopedWorkingDirectory {
 public:
  explicit ScopedWorkingDirectory(const std::string& directory) {
    char buffer[PATH_MAX];
    if (::getcwd(buffer, sizeof buffer) != nullptr) saved_ = buffer;
    changed_ = ::chdir(directory.c_str()) == 0;
  }
  ~ScopedWorkingDirectory() {
    if (!saved_.empty()) (void)::chdir(saved_.c_str());
  }
  ScopedWorkingDirectory(const ScopedWorkingDirectory&) = delete;
  ScopedWorkingDirectory& operator=(const ScopedWorkingDirectory&) = delete;

  bool changed() const { return changed_; }

 private:
  std::string saved_;
  bool changed_ = false;
};

}  // namespace fhtest
