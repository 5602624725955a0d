// A real log file for tests: opens the process-wide log (level 4, every tag
// by default) in a directory for the lifetime of the object and reads back
// what was written. Only one may exist at a time: the log is process-wide.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "log/log_file.h"
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

// ---- implementation (header-only, so programs that do not log need no
// logging code)

inline std::string StripLinePrefixes(std::string_view text) {
  std::string out;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    if (line.rfind("[ ", 0) == 0) {
      const std::size_t stampEnd = line.find(" ] [ ");
      const std::size_t idEnd =
          stampEnd == std::string_view::npos ? stampEnd : line.find(" ] ", stampEnd + 5);
      if (idEnd != std::string_view::npos) line.remove_prefix(idEnd + 3);
    }
    out.append(line);
    if (end == std::string_view::npos) break;
    out.push_back('\n');
    text.remove_prefix(end + 1);
  }
  return out;
}

inline TestLog::TestLog() : ownDirectory_(std::in_place) {
  Open(ownDirectory_->path(), "test.log", 4);
}

inline TestLog::TestLog(const std::string& directory, const char* fileName, int level) {
  Open(directory, fileName, level);
}

inline void TestLog::Open(const std::string& directory, const char* fileName, int level) {
  path_ = directory + "/" + fileName;
  fh::ResetLogFileForTesting();
  InitLogDefaults();
  SetLogParams(fileName, directory.c_str(), 10000000, static_cast<unsigned char>(level));
  opened_ = OpenLogFileAppend();
}

inline TestLog::~TestLog() { Close(); }

inline void TestLog::Close() {
  if (closed_) return;
  closed_ = true;
  CloseLogFile();
  FreeLogParams();
  fh::ResetLogFileForTesting();
}

inline std::string TestLog::Text() const { return ReadFileBytes(path_); }

inline std::size_t TestLog::Count(const std::string& piece) const {
  const std::string text = Text();
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

}  // namespace fhtest
