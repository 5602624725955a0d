// The stand-alone driver on SQLite: it starts the framework's database side
// from a data directory, runs every stored query and logs the result sets;
// a query that cannot be generated is skipped, a missing QueryDetails table
// stops it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "config/tessel_root.h"
#include "db/connection.h"
#include "db/db_provider.h"
#include "framework/tessel.h"
#include "sql/sql_dialects.h"
#include "storedquery/stored_query.h"
#include "storedquery/stored_query_test_helpers.h"
#include "support/scoped_working_directory.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

class RunStoredQueriesTest : public testing::Test {
 protected:
  void SetUp() override {
    fh::ResetDBProvidersForTesting();
    fh::ResetSQLDialectsForTesting();
    std::filesystem::create_directories(root_.Sub("data"));
    std::filesystem::create_directories(root_.Sub("work"));
    ASSERT_TRUE(WriteFileBytes(root_.Sub("data/datadictionary.txt"), ""));
    std::string map;
    for (const char* table :
         {"QueryDetails", "QueryvsColumns", "ColumnDetails", "QueryvsTables", "TableDetails",
          "QueryvsJoins", "JoinDetails", "QueryvsGB", "GroupByDetails", "QueryvsSort",
          "SortDetails", "QueryvsCriteria", "BooleanExp", "RelationalExp", "Items", "Categories"}) {
      map += std::string(table) + " Defs\n";
    }
    ASSERT_TRUE(WriteFileBytes(root_.Sub("data/dsn_table_map.txt"), map));
    ASSERT_TRUE(
        WriteFileBytes(root_.Sub("data/connparams.txt"),
                       "Defs 1 FhDefs NULL NULL - Defs ODBC SQLITE YES " + Connect() + "\n"));
  }
  void TearDown() override {
    DeInitTessel();
    fh::ResetDBProvidersForTesting();
    fh::ResetSQLDialectsForTesting();
  }

  std::string Connect() const { return "Driver=SQLite3;Database=" + root_.Sub("stored.db"); }
  // Runs statements on the database before the driver starts.
  void Prepare(const std::vector<std::string>& statements) {
    InitDBProvider();
    auto entry = CreateConnParamsEntry("prep", 1, "x", nullptr, nullptr, "prep", 1,
                                       Connect().c_str(), "ODBC", "SQLITE");
    auto handle = OpenDBConnection(entry.get());
    ASSERT_NE(handle, nullptr);
    for (const std::string& statement : statements) {
      EXPECT_EQ(ExecuteUpdate(handle.get(), statement.c_str()), 1) << statement;
    }
    CloseDBConnection(std::move(handle));
    fh::ResetDBProvidersForTesting();
  }
  bool Run() {
    SetTesselRoot(root_.path().c_str());
    ScopedWorkingDirectory cwd(root_.Sub("work"));
    return RunStoredQueries();
  }
  std::string Log() const { return ReadFileBytes(root_.Sub("logs/tessel.log")); }

  TempDir root_;
};

TEST_F(RunStoredQueriesTest, RunsEveryQueryAndLogsItsRowsSkippingOneThatCannotBeGenerated) {
  std::vector<std::string> statements = DefinitionTableStatements();
  for (const auto& part :
       {DataTableStatements(),
        {QueryRow(1), QueryRow(2), QueryRow(3)},
        TableRow(1, 11, "Items", std::nullopt),
        TableRow(2, 21, "Items", std::nullopt),
        {CriteriaRootRow(2, 21), RelationalRow(21, "QTY", "<>", "5")},
        ColumnRow(3, 31, "NAME", std::nullopt, "Items", std::nullopt, std::nullopt),
        TableRow(3, 31, "Items", std::nullopt),
        {CriteriaRootRow(3, 31), RelationalRow(31, "NAME", "=", "nut")}}) {
    statements.insert(statements.end(), part.begin(), part.end());
  }
  Prepare(statements);
  ASSERT_TRUE(Run()) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("[DEBUG] ITEM_ID\tNAME\tQTY\tCAT_ID\t\n"), std::string::npos) << log;
  for (const char* row :
       {"1\tbolt\t10\t1\t\n", "2\tnut\t5\t1\t\n", "3\to'ring\t7\t2\t\n", "4\tgear\t2\t3\t\n"}) {
    EXPECT_NE(log.find(row), std::string::npos) << row;
  }
  EXPECT_NE(log.find("[ERROR] Invalid Operator\n"), std::string::npos);
  EXPECT_NE(log.find("[ERROR] \nStored query 2 was not run.\n"), std::string::npos);
  // Query 3 ran after the skipped one: its single row follows the line.
  const std::size_t skipped = log.find("Stored query 2 was not run.");
  EXPECT_NE(log.find("] [DEBUG] nut\t\n", skipped), std::string::npos) << log;
}

TEST_F(RunStoredQueriesTest, WithoutQueryDetailsTableItFails) {
  Prepare(DataTableStatements());
  EXPECT_FALSE(Run());
  EXPECT_NE(Log().find("[ERROR] Query failed\n"), std::string::npos) << Log();
}

TEST_F(RunStoredQueriesTest, WithoutConfigurationItFailsAtThatStep) {
  ASSERT_TRUE(WriteFileBytes(root_.Sub("data/connparams.txt"), ""));
  EXPECT_FALSE(Run());
  EXPECT_NE(Log().find("No entires in data source vector. InitTessel failed.\n"),
            std::string::npos);
}

}  // namespace
}  // namespace fhtest
