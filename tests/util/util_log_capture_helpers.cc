#include "logging/log_file.h"
#include "util_log_capture.h"

namespace fhtest {

UtilLogCapture::UtilLogCapture() {
  ResetLogFileForTesting();
  InitLogDefaults();
  SetLogParams("util.log", dir_.path().c_str(), 10000, 4);
  OpenLogFileAppend();
}

UtilLogCapture::~UtilLogCapture() {
  CloseLogFile();
  FreeLogParams();
  ResetLogFileForTesting();
}

std::string UtilLogCapture::Text() const { return ReadFileBytes(dir_.Sub("util.log")); }

bool UtilLogCapture::HasLine(const std::string& tag, const std::string& message) const {
  return Text().find(" " + tag + " " + message) != std::string::npos;
}

}  // namespace fhtest
