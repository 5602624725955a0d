// The engines the database tests run on (shared by every test program that
// needs a real database), and a fixture base that gives each
// test a clean provider registry, connection parameters list, pool and log.
//
// Engines: "sqlite" (a database file the test makes in a temporary
// directory, through the ODBC provider and the SQLite ODBC driver),
// "sqlite_native" (the same file through the native SQLite provider),
// "pgsql" and "mariadb" (the servers scripts/lib/databases.sh
// starts; their data source names and users come from FH_TEST_PGSQL_DSN,
// FH_TEST_MARIADB_DSN, FH_TEST_<ENGINE>_USER and _PASSWORD). An engine whose
// settings are missing fails its tests. FH_TEST_ENGINES (e.g. "sqlite" or
// "sqlite,sqlite_native,mariadb") narrows the engines for a quick run.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace fhtest {

struct Engine {
  std::string name;          // "sqlite", "sqlite_native", "pgsql", "mariadb"
  std::string binaryType;    // column type of a binary value
  std::string longTextType;  // column type of a text of any length
  std::string doubleType;    // column type of a double
  std::string dateTimeType;  // column type of a date and time of day
  bool hasTinyint = true;    // TINYINT exists (read back as a boolean)
  bool sqliteFile = false;   // a SQLite database file (SQLITE dialect), no server
  bool viaOdbc = true;       // opened through the ODBC provider
};

// A SQLite file engine, whichever provider opens it.
inline bool IsSqlite(const Engine& engine) { return engine.sqliteFile; }

// Every engine, or those FH_TEST_ENGINES names.
std::vector<Engine> SelectedEngines();
// The selected engines the ODBC provider opens (for its own tests).
std::vector<Engine> OdbcEngines();
std::string EngineName(const testing::TestParamInfo<Engine>& info);
// Shows an engine by its name in test output.
inline void PrintTo(const Engine& engine, std::ostream* out) { *out << engine.name; }

// A connection parameters entry for engine whose connection name is
// connectionName; SQLite's database is the file "test.db" in directory. An
// engine that is not configured fails the calling test (and gives none).
std::unique_ptr<ConnParamsEntry> MakeEngineEntry(const Engine& engine, const std::string& directory,
                                                 const std::string& connectionName);

// A table name unique to this test process, so that tests running at the
// same time on one server never meet.
std::string UniqueTableName(const std::string& base);

// Resets the database layer (providers, connection parameters, pool) and
// opens a test log; InitDBProvider has run.
class DbTest : public testing::Test {
 protected:
  DbTest();
  ~DbTest() override;

  TempDir dir_;
  TestLog log_;
};

}  // namespace fhtest
