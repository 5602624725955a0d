// The example embedding program, run as a process on every engine: the
// sample data directory on two scratch databases of a server engine gives
// the same output as on the embedded SQLite default.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>

#include "support/db_engines.h"
#include "support/scratch_database.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

namespace fs = std::filesystem;

// Runs inventory_app on a copy of the sample below root, with connparams
// (none: the sample's own SQLite lines, with the ODBC driver and data source
// lists emptied, as on a machine without any ODBC set-up), from a working
// directory without "../data". Its standard output, or "exit <status>"
// appended on failure.
std::string RunApp(const std::string& root, const std::optional<std::string>& connparams) {
  fs::copy(fs::path(FH_SOURCE_DIR) / "examples/data", fs::path(root) / "data",
           fs::copy_options::recursive);
  fs::create_directories(fs::path(root) / "work");
  if (connparams && !WriteFileBytes(root + "/data/connparams.txt", *connparams)) {
    return "connparams.txt not written";
  }
  std::string environment;
  if (!connparams) {
    if (!WriteFileBytes(root + "/odbcinst.ini", "") || !WriteFileBytes(root + "/odbc.ini", "")) {
      return "empty ODBC lists not written";
    }
    environment = "ODBCSYSINI='" + root + "' ODBCINI='" + root + "/odbc.ini' ";
  }
  const std::string command =
      "cd '" + root + "/work' && " + environment + "'" FH_INVENTORY_APP_PATH "' '" + root + "'";
  std::string output;
  std::FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return "popen failed";
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    output.append(buffer, n);
  const int status = ::pclose(pipe);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) output += "exit " + std::to_string(status);
  return output;
}

// The log's error lines.
std::string ErrorLines(const std::string& log) {
  std::string errors;
  for (std::size_t at = 0, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
    if (log.substr(at, end - at).find("[ERROR]") != std::string::npos) {
      errors += log.substr(at, end - at + 1);
    }
  }
  return errors;
}

TEST(InventoryAppTest, RunsToTheEndOnTheEmbeddedDefault) {
  TempDir root;
  const std::string output = RunApp(root.path(), std::nullopt);
  EXPECT_NE(output.find("== after a restart"), std::string::npos) << output;
  EXPECT_NE(output.find("read again after the save"), std::string::npos) << output;
  EXPECT_EQ(output.find("exit "), std::string::npos) << output;
}

class InventoryAppEngineTest : public DbTest, public testing::WithParamInterface<Engine> {};

// The same program on scratch databases of a server engine prints what it
// prints on the embedded default: the same rows, values and save results.
TEST_P(InventoryAppEngineTest, SameOutputAsOnTheEmbeddedDefault) {
  TempDir sqliteRoot;
  const std::string expected = RunApp(sqliteRoot.path(), std::nullopt);
  ASSERT_EQ(expected.find("exit "), std::string::npos) << expected;
  if (IsSqlite(GetParam())) return;
  ScratchDatabase inventory(GetParam(), "fh_app_inventory");
  ScratchDatabase archive(GetParam(), "fh_app_archive");
  ASSERT_TRUE(inventory.ok() && archive.ok());
  const std::string output =
      RunApp(dir_.path(), inventory.ConnParamsLine("Inventory", 1, "InventoryDB") +
                              archive.ConnParamsLine("Archive", 2, "ArchiveDB"));
  EXPECT_EQ(output, expected) << ErrorLines(ReadFileBytes(dir_.Sub("logs/tessel.log")));
}

INSTANTIATE_TEST_SUITE_P(Engines, InventoryAppEngineTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
