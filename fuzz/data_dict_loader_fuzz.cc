// Feeds arbitrary bytes to the data dictionary loader as an XML file: every
// input must end without a crash, a leak or a sanitizer report, and leave the
// list of table definitions consistent (it is emptied after each input).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dictionary/column_values.h"
#include "dictionary/data_dict_loader.h"
#include "dictionary/table_defn.h"

namespace {

// One temporary file per fuzzing process, removed at exit.
const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr ? tmp : "/tmp") + "/fh_dict_fuzz_XXXXXX";
    const int fd = ::mkstemp(templ.data());
    if (fd < 0) std::abort();
    ::close(fd);
    return templ;
  }();
  return path;
}

void RemoveInput() { std::remove(InputPath().c_str()); }

bool WriteInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(data, 1, size, file) == size;
  return std::fclose(file) == 0 && written;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  InputPath();
  std::atexit(RemoveInput);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) return 0;
  LoadDataDictFromXMLFile(InputPath().c_str());
  // Read every registered default back, so that a damaged value buffer shows
  // up under the sanitizers.
  for (const TableDefn* table : GetTableDefnList()) {
    for (const ColumnDefnEntry& column : table->columns) {
      ConvertValueToString(column.defaultValue, column.dataType);
    }
  }
  FreeAllTableDefns();
  return 0;
}
