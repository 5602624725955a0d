// Captures the process-wide log in a temporary file at trace level, so that
// a test can check the lines a call wrote. One capture at a time.
#pragma once

#include <string>

#include "logging/log_file.h"
#include "support/test_support.h"

namespace fhtest {

class CapturedLog {
 public:
  CapturedLog() {
    ResetLogFileForTesting();
    InitLogDefaults();
    SetLogParams("dictdefs_test.log", dir_.path().c_str(), 10000000, 4);
    OpenLogFileOverwrite();
  }
  ~CapturedLog() { ResetLogFileForTesting(); }
  CapturedLog(const CapturedLog&) = delete;
  CapturedLog& operator=(const CapturedLog&) = delete;

  std::string Text() const { return ReadFileBytes(dir_.Sub("dictdefs_test.log")); }
  bool Contains(const std::string& piece) const { return Text().find(piece) != std::string::npos; }
  std::size_t Count(const std::string& piece) const {
    const std::string text = Text();
    std::size_t count = 0;
    for (std::size_t at = text.find(piece); at != std::string::npos;
         at = text.find(piece, at + piece.size())) {
      ++count;
    }
    return count;
  }

 private:
  TempDir dir_;
};

}  // namespace fhtest
