// Time to load a generated data dictionary of 1000 tables of 20 columns each
// (ten XML files of 100 tables, listed in datadictionary.txt) into the list
// of table definitions. The log is closed, as in a framework without logging.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "dictionary/data_dict_loader.h"
#include "dictionary/table_defn.h"

namespace {

constexpr int kFiles = 10;
constexpr int kTablesPerFile = 100;
constexpr int kColumnsPerTable = 20;

const char* const kTypes[] = {"INTEGER",        "CHAR",    "BIGINT", "DATETIME",
                              "KES_SQL_DOUBLE", "BOOLEAN", "TEXT",   "KES_SQL_DECIMAL"};

std::string ColumnXml(int table, int column) {
  std::string xml = "<column name=\"col" + std::to_string(column) + "\">";
  if (column == 0) {
    xml +=
        "<data-type>INTEGER</data-type><nullable>false</nullable><unique>true</unique>"
        "<uniquevalue-generation><generator-name>Seq" +
        std::to_string(table) + "</generator-name></uniquevalue-generation>";
  } else {
    const char* type = kTypes[column % std::size(kTypes)];
    xml += std::string("<description>Column ") + std::to_string(column) + "</description>" +
           "<data-type>" + type + "</data-type><max-size>" + std::to_string(16 + column) +
           "</max-size>";
    if (column % 5 == 0) xml += "<default-value>1</default-value>";
    if (column % 7 == 0) {
      xml += "<allowed-values><value>1</value><value>2</value><value>3</value></allowed-values>";
    }
  }
  return xml + "</column>\n";
}

std::string TableXml(int table) {
  std::string xml = "<table name=\"table" + std::to_string(table) +
                    "\"><description>Generated table</description><columns>\n";
  for (int column = 0; column < kColumnsPerTable; ++column) xml += ColumnXml(table, column);
  xml += "</columns><primary-key><primary-key-column>col0</primary-key-column></primary-key>";
  if (table > 0) {
    xml += "<foreign-keys><foreign-key reference-table-name=\"table" + std::to_string(table - 1) +
           "\"><fk-columns><fk-column><fk-local-column>col1</fk-local-column>"
           "<fk-reference-column>col0</fk-reference-column></fk-column></fk-columns>"
           "<fk-constraints>ON-DELETE-CASCADE</fk-constraints></foreign-key></foreign-keys>";
  }
  return xml + "</table>\n";
}

bool WriteText(const std::filesystem::path& path, const std::string& text) {
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// The generated directory, made once and removed at exit.
class GeneratedDictionary {
 public:
  GeneratedDictionary() {
    std::string templ = (std::filesystem::temp_directory_path() / "fh_dict_bench_XXXXXX").string();
    if (::mkdtemp(templ.data()) == nullptr) return;
    directory_ = templ;
    std::string list;
    for (int file = 0; file < kFiles; ++file) {
      const std::string name = "generated" + std::to_string(file) + ".xml";
      std::string xml = "<?xml version=\"1.0\"?>\n<data-dictionary>\n<description/>\n";
      for (int t = 0; t < kTablesPerFile; ++t) xml += TableXml(file * kTablesPerFile + t);
      xml += "</data-dictionary>\n";
      if (!WriteText(directory_ / name, xml)) return;
      list += name + "\n";
    }
    ok_ = WriteText(directory_ / "datadictionary.txt", list);
  }
  ~GeneratedDictionary() {
    std::error_code ignored;
    if (!directory_.empty()) std::filesystem::remove_all(directory_, ignored);
  }
  bool ok() const { return ok_; }
  std::string directory() const { return directory_.string(); }

 private:
  std::filesystem::path directory_;
  bool ok_ = false;
};

void BM_LoadGeneratedDictionary(benchmark::State& state) {
  static GeneratedDictionary dictionary;
  if (!dictionary.ok()) {
    state.SkipWithError("cannot write the generated dictionary");
    return;
  }
  FreeAllTableDefns();
  for (auto _ : state) {
    LoadDataDictFiles(dictionary.directory().c_str());
    state.PauseTiming();
    if (fh::GetTableDefnCount() != std::size_t(kFiles * kTablesPerFile)) {
      state.SkipWithError("not every table was loaded");
      break;
    }
    FreeAllTableDefns();
    state.ResumeTiming();
  }
  state.counters["tables"] = kFiles * kTablesPerFile;
  state.counters["columns/s"] =
      benchmark::Counter(double(kFiles * kTablesPerFile * kColumnsPerTable),
                         benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_LoadGeneratedDictionary)->Unit(benchmark::kMillisecond);

}  // namespace
