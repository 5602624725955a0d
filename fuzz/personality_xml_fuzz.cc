// Feeds arbitrary bytes to the personality file reader: every input must end
// without a crash, a leak or a sanitizer report, and the personalities it
// declares must read back whole (the list is emptied after each input).
// Index tables are asked for against one defined table; with no data source
// configured their statements never reach a database.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dictionary/table_defn.h"
#include "framework/index_table.h"
#include "personality/personality.h"
#include "personality/personality_xml.h"

namespace {

// One temporary file per fuzzing process, removed at exit.
const std::string& InputPath() {
  static const std::string path = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp != nullptr ? tmp : "/tmp") + "/fh_persona_fuzz_XXXXXX";
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

// "Orders" (ID INT, CODE CHAR(20), key ID, CODE) for the index tables.
void DefineOrders() {
  ColumnDefnEntry id;
  id.columnName = "ID";
  id.dataType = KES_SQL_INT;
  ColumnDefnEntry code;
  code.columnName = "CODE";
  code.dataType = KES_SQL_CHAR;
  code.maxSize = 20;
  ConstraintDefn keys;
  keys.primaryKeyColumns = {"ID", "CODE"};
  keys.primaryKeyCount = 2;
  fh::AddTableDefn(fh::CreateTableDefn("Orders", std::nullopt, {id, code}, keys));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* /*argc*/, char*** /*argv*/) {
  InputPath();
  std::atexit(RemoveInput);
  DefineOrders();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteInput(data, size)) return 0;
  InitPersonality();
  CreatePersonalityFromXMLFile(InputPath().c_str());
  // Read every personality back, so that a damaged definition shows up
  // under the sanitizers.
  for (const std::string& name : GetPersonalityNames()) {
    PrintPersonalityDefn(name.c_str());
    GetConstituentTables(name.c_str());
  }
  GetDominantTables();
  fh::ResetPersonalitiesForTesting();
  fh::ClearIndexedDominantTables();
  return 0;
}
