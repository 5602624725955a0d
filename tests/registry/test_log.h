// A real log file for tests: opens the process-wide log in a directory at
// level 4 (every tag) and reads back what was written, with the time stamp
// and thread id of each line removed so that tests can look for
// "[TAG] message" texts.
#pragma once

#include <string>
#include <string_view>

#include "logging/log_file.h"
#include "support/test_support.h"

namespace fhtest {

// Removes "[ <time stamp> ] [ <thread id> ] " from every line that has it.
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

class TestLog {
 public:
  explicit TestLog(const std::string& directory, const char* fileName = "test.log", int level = 4)
      : path_(directory + "/" + fileName) {
    InitLogDefaults();
    SetLogParams(fileName, directory.c_str(), 10000000, static_cast<unsigned char>(level));
    opened_ = OpenLogFileAppend();
  }
  ~TestLog() { Close(); }
  TestLog(const TestLog&) = delete;
  TestLog& operator=(const TestLog&) = delete;

  bool opened() const { return opened_; }

  void Close() {
    if (closed_) return;
    closed_ = true;
    CloseLogFile();
    FreeLogParams();
  }

  // The log's lines as "[TAG] message", one per line.
  std::string Messages() const { return StripLinePrefixes(ReadFileBytes(path_)); }

 private:
  std::string path_;
  bool opened_ = false;
  bool closed_ = false;
};

}  // namespace fhtest
