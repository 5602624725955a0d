// Creating data sources into a temporary odbc.ini, and connecting through
// one.
#include "db/odbc/odbc_dsn.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "db/connection.h"
#include "support/db_engines.h"

namespace fhtest {
namespace {

// Points ODBCINI at a file of the test's own for the test's lifetime.
class OdbcDsnTest : public DbTest {
 protected:
  OdbcDsnTest() {
    if (const char* previous = std::getenv("ODBCINI")) previous_ = previous;
    ::setenv("ODBCINI", dir_.Sub("odbc.ini").c_str(), 1);
  }
  ~OdbcDsnTest() override {
    if (previous_) {
      ::setenv("ODBCINI", previous_->c_str(), 1);
    } else {
      ::unsetenv("ODBCINI");
    }
  }
  std::string Ini() const { return ReadFileBytes(dir_.Sub("odbc.ini")); }

  std::optional<std::string> previous_;
};

TEST_F(OdbcDsnTest, CreateDSNWritesTheGivenPairsAndConnects) {
  const std::string database = dir_.Sub("made.db");
  ASSERT_TRUE(
      CreateDSN("fh_made", "made_by_test", "null", "NULL", "NULL", database.c_str(), "SQLite3"))
      << log_.Messages();
  const std::string ini = Ini();
  EXPECT_NE(ini.find("[fh_made]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Driver=SQLite3"), std::string::npos) << ini;
  EXPECT_NE(ini.find("DESCRIPTION=made_by_test"), std::string::npos) << ini;
  EXPECT_NE(ini.find("DATABASE=" + database), std::string::npos) << ini;
  EXPECT_EQ(ini.find("SERVER"), std::string::npos) << ini;  // "NULL" in any case: left out
  EXPECT_EQ(ini.find("UID"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("PWD"), std::string::npos) << ini;

  auto entry = CreateConnParamsEntry("t", 1, "fh_made", nullptr, nullptr, "MadeDB", 0, nullptr,
                                     "ODBC", "SQLITE");
  auto handle = OpenDBConnection(entry.get());
  ASSERT_NE(handle, nullptr) << log_.Messages();
  EXPECT_EQ(ExecuteUpdate(handle.get(), "create table t (id integer)"), 1);
  CloseDBConnection(std::move(handle));
  EXPECT_TRUE(FileExists(database));
}

TEST_F(OdbcDsnTest, CreateDSNNeedsADriverAndAName) {
  EXPECT_FALSE(CreateDSN(nullptr, "d", "s", "u", "p", "db", "SQLite3"));
  EXPECT_FALSE(CreateDSN("x", "d", "s", "u", "p", "db", nullptr));
  EXPECT_EQ(log_.Count("DriverName or DSN name is NULL \n"), 2u);
  EXPECT_FALSE(CreateDSN("x", "d", "s", "u", "p", "db", "No Such Driver"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "SQLConfigDataSource returned FALSE \n"));
}

TEST_F(OdbcDsnTest, CreateDSNFromFileCreatesOnePerLine) {
  const std::string file = dir_.Sub("dsns.txt");
  ASSERT_TRUE(WriteFileBytes(file, "fh_one first srv alice NULL " + dir_.Sub("one.db") +
                                       "   SQLite3\r\n"
                                       "fh_bad desc srv u p db No Such Driver\n"
                                       "fh_two second srv bob pw2 " +
                                       dir_.Sub("two.db") +
                                       " SQLite3\n"
                                       "fh_short only three\n"
                                       "fh_after x x x x x SQLite3\n"));
  EXPECT_TRUE(CreateDSNFromFile(file.c_str()));
  const std::string ini = Ini();
  EXPECT_NE(ini.find("[fh_one]"), std::string::npos) << ini;
  EXPECT_NE(ini.find("[fh_two]"), std::string::npos) << ini;
  EXPECT_EQ(ini.find("[fh_after]"), std::string::npos) << ini;  // stops at the short line
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Creating DSN fh_bad Failed\n"));
  EXPECT_NE(ini.find("PWD=pw2"), std::string::npos) << ini;
  const std::string one =
      ini.substr(ini.find("[fh_one]"), ini.find("[fh_two]") - ini.find("[fh_one]"));
  EXPECT_EQ(one.find("PWD"), std::string::npos) << one;  // "NULL" password: no pair

  EXPECT_FALSE(CreateDSNFromFile(dir_.Sub("missing.txt").c_str()));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Error opening File " + dir_.Sub("missing.txt") + " \n"));
}

}  // namespace
}  // namespace fhtest
