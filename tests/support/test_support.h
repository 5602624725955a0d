// Small helpers shared by the test programs: a temporary directory removed
// with its content, whole-file reads and writes, and running a program as a
// child process with its output captured.
#pragma once

#include <string>
#include <vector>

namespace fhtest {

// A fresh directory under $TMPDIR (or /tmp), removed recursively on
// destruction.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string Sub(const std::string& name) const;

 private:
  std::string path_;
};

// The file's bytes; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);
bool FileExists(const std::string& path);
// Creates or replaces the file; true on success.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

struct ProcessResult {
  int exitCode = -1;   // the exit status, or -1 when the child did not exit normally
  std::string output;  // standard output and standard error together
};

// Runs program with args (args[0] is not the program name; it is added) and
// extra environment assignments ("NAME=value") added to the current
// environment. When runAsUser is not empty and the caller is root, the child
// switches to that user first.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args,
                         const std::vector<std::string>& environment = {},
                         const std::string& runAsUser = "");

}  // namespace fhtest
