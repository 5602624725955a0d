// A real log file at trace level in a temporary directory, open for the
// lifetime of the object, so tests can check the exact lines the utilities
// write. Only one may exist at a time (the log is process-wide).
#pragma once

#include <string>

#include "support/test_support.h"

namespace fhtest {

class UtilLogCapture {
 public:
  UtilLogCapture();
  ~UtilLogCapture();
  UtilLogCapture(const UtilLogCapture&) = delete;
  UtilLogCapture& operator=(const UtilLogCapture&) = delete;

  // Everything written to the log so far.
  std::string Text() const;
  // true when some line carries tag (e.g. "[TRACE]") followed by a blank and
  // exactly message.
  bool HasLine(const std::string& tag, const std::string& message) const;

 private:
  TempDir dir_;
};

}  // namespace fhtest
