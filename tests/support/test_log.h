// A real log file for tests: opens the process-wide log (level 4, every tag
// by default) in a directory for the lifetime of the object and reads back
// what was written. Only one may exist at a time: the log is process-wide.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "support/test_support.h"

namespace fhtest {

// Removes "[ <time stamp> ] [ <thread id> ] " from every line that has it,
// leaving "[TAG] message".
std::string StripLinePrefixes(std::string_view text);

class TestLog {
 public:
  // A log in a temporary directory of its own.
  TestLog();
  // A log named fileName in directory (created when missing).
  explicit TestLog(const std::string& directory, const char* fileName = "test.log", int level = 4);
  ~TestLog();
  TestLog(const TestLog&) = delete;
  TestLog& operator=(const TestLog&) = delete;

  bool opened() const { return opened_; }
  // Closes the log and forgets its settings; later log calls write nothing.
  void Close();

  // The file's bytes as written so far.
  std::string Text() const;
  // The log's lines as "[TAG] message", one per line.
  std::string Messages() const { return StripLinePrefixes(Text()); }
  bool Contains(const std::string& piece) const { return Text().find(piece) != std::string::npos; }
  std::size_t Count(const std::string& piece) const;
  // true when some line carries tag (e.g. "[TRACE]"), a blank and message.
  bool HasLine(const std::string& tag, const std::string& message) const {
    return Contains(" " + tag + " " + message);
  }

 private:
  void Open(const std::string& directory, const char* fileName, int level);

  std::optional<TempDir> ownDirectory_;
  std::string path_;
  bool opened_ = false;
  bool closed_ = false;
};

}  // namespace fhtest
