#include "support/db_engines.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "db/sqlite/sqlite_provider.h"

namespace fhtest {
namespace {

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

const std::vector<Engine>& AllEngines() {
  static const std::vector<Engine> engines = {
      {"sqlite", "blob", "text", "double", "timestamp", true, true, true},
      {"sqlite_native", "blob", "text", "double", "timestamp", true, true, false},
      {"pgsql", "bytea", "text", "double precision", "timestamp", false, false, true},
      {"mariadb", "longblob", "longtext", "double", "datetime", true, false, true},
  };
  return engines;
}

}  // namespace

std::vector<Engine> SelectedEngines() {
  const std::string wanted = Env("FH_TEST_ENGINES");
  if (wanted.empty()) return AllEngines();
  std::vector<Engine> selected;
  for (const Engine& engine : AllEngines()) {
    std::stringstream names(wanted);
    std::string name;
    while (std::getline(names, name, ',')) {
      if (name == engine.name) selected.push_back(engine);
    }
  }
  return selected;
}

std::vector<Engine> OdbcEngines() {
  std::vector<Engine> engines;
  for (const Engine& engine : SelectedEngines()) {
    if (engine.viaOdbc) engines.push_back(engine);
  }
  return engines;
}

std::string EngineName(const testing::TestParamInfo<Engine>& info) { return info.param.name; }

std::unique_ptr<ConnParamsEntry> MakeEngineEntry(const Engine& engine, const std::string& directory,
                                                 const std::string& connectionName) {
  if (engine.name == "sqlite_native") {
    const std::string file = directory + "/test.db";
    return CreateConnParamsEntry("test", 1, file.c_str(), nullptr, nullptr, connectionName.c_str(),
                                 0, nullptr, fh::kSqliteProviderName, "SQLITE");
  }
  if (engine.name == "sqlite") {
    const std::string connect = "Driver=SQLite3;Database=" + directory + "/test.db";
    return CreateConnParamsEntry("test", 1, "fh_sqlite", nullptr, nullptr, connectionName.c_str(),
                                 1, connect.c_str(), "ODBC", "SQLITE");
  }
  const std::string prefix = engine.name == "pgsql" ? "FH_TEST_PGSQL" : "FH_TEST_MARIADB";
  const std::string dsn = Env((prefix + "_DSN").c_str());
  if (dsn.empty() || Env("ODBCINI").empty()) {
    ADD_FAILURE() << prefix << "_DSN or ODBCINI is not set: start the servers first "
                  << "(source scripts/lib/databases.sh; fh_start_databases), or narrow the "
                  << "engines with FH_TEST_ENGINES=sqlite";
    return nullptr;
  }
  const std::string user = Env((prefix + "_USER").c_str());
  const std::string password = Env((prefix + "_PASSWORD").c_str());
  return CreateConnParamsEntry("test", 1, dsn.c_str(), user.c_str(), password.c_str(),
                               connectionName.c_str(), 0, nullptr, "ODBC",
                               engine.name == "pgsql" ? "PGSQL" : "MYSQL");
}

std::string UniqueTableName(const std::string& base) {
  return base + "_" + std::to_string(::getpid());
}

DbTest::DbTest() : log_(dir_.path(), "tessel.log", 4) {
  FreeConnectionPool();
  FreeAllConnParamsEntries();
  fh::ResetDBProvidersForTesting();
  InitDBProvider();
}

DbTest::~DbTest() {
  FreeConnectionPool();
  FreeAllConnParamsEntries();
  fh::ResetDBProvidersForTesting();
}

}  // namespace fhtest
