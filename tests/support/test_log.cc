#include "support/test_log.h"

#include "logging/log_file.h"

namespace fhtest {

std::string StripLinePrefixes(std::string_view text) {
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

TestLog::TestLog() : ownDirectory_(std::in_place) { Open(ownDirectory_->path(), "test.log", 4); }

TestLog::TestLog(const std::string& directory, const char* fileName, int level) {
  Open(directory, fileName, level);
}

void TestLog::Open(const std::string& directory, const char* fileName, int level) {
  path_ = directory + "/" + fileName;
  ResetLogFileForTesting();
  InitLogDefaults();
  SetLogParams(fileName, directory.c_str(), 10000000, static_cast<unsigned char>(level));
  opened_ = OpenLogFileAppend();
}

TestLog::~TestLog() { Close(); }

void TestLog::Close() {
  if (closed_) return;
  closed_ = true;
  CloseLogFile();
  FreeLogParams();
  ResetLogFileForTesting();
}

std::string TestLog::Text() const { return ReadFileBytes(path_); }

std::size_t TestLog::Count(const std::string& piece) const {
  const std::string text = Text();
  std::size_t count = 0;
  for (std::size_t at = text.find(piece); at != std::string::npos;
       at = text.find(piece, at + piece.size())) {
    ++count;
  }
  return count;
}

}  // namespace fhtest
