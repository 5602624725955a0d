// A temporary directory for a benchmark program's database files: made on
// first use, removed with everything in it when the program ends.
#pragma once

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace fhbench {

inline const std::string& BenchDirectory() {
  struct Directory {
    std::string path;
    Directory() {
      path = (std::filesystem::temp_directory_path() / "fh_bench_XXXXXX").string();
      if (::mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~Directory() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Directory directory;
  return directory.path;
}

}  // namespace fhbench
