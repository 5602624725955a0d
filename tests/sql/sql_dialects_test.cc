// Dialect choice per statement: the default dialect, the data-source mode,
// and the refusals.
#include "sql/sql_dialects.h"

#include <gtest/gtest.h>

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "sql/sql_test_helpers.h"
#include "support/test_log.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class SqlDialectsTest : public testing::Test {
 protected:
  SqlDialectsTest() {
    FreeAllTableDefns();
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    fh::ResetSQLDialectsForTesting();
    InitSQLDialects();
    DefineTable("Person", {Column("id", KES_SQL_INT), Column("born", KES_SQL_DATE)}, {"id"});
    row_ = MakeRow({Int(KES_SQL_INT, 1), Date(2000, 1, 2)});
  }
  ~SqlDialectsTest() override {
    FreeAllTableDefns();
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    fh::ResetSQLDialectsForTesting();
  }
  void AddConnection(const char* name, const char* dialect, uint8_t useConnectString) {
    ASSERT_TRUE(AddConnParamsEntry(CreateConnParamsEntry(
        "l", 1, "dsn", nullptr, nullptr, name, useConnectString, "Driver=x", "ODBC", dialect)));
  }
  TestLog log_;
  std::unique_ptr<RowObject> row_;
};

TEST_F(SqlDialectsTest, DialectsAreFoundIgnoringCase) {
  EXPECT_STREQ(FindSQLDialect("mysql")->name, "MYSQL");
  EXPECT_STREQ(FindSQLDialect("Firebird")->name, "FIREBIRD");
  EXPECT_EQ(FindSQLDialect("oracle"), nullptr);
  FreeSQLDialects();
  EXPECT_EQ(FindSQLDialect("MYSQL"), nullptr);
  EXPECT_FALSE(GenerateInsertQuery("Person", row_.get()));
}

TEST_F(SqlDialectsTest, DefaultDialectWritesEveryStatement) {
  EXPECT_EQ(GenerateInsertQuery("Person", row_.get()),
            "insert into  Person values(1,'2000-01-02')");
  SetDSNMapValid(0, 3);
  EXPECT_EQ(GenerateInsertQuery("Person", row_.get()),
            "insert into  Person values(1,'2000-01-02');");
  EXPECT_TRUE(log_.HasLine("[DEBUG]", "Generated Insert Query: insert into  Person"));
  SetDSNMapValid(0, 4);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "\nInvalid Dialect Index\n"));
  SetDSNMapValid(2, 0);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "\nInvalid Status\n"));
  EXPECT_EQ(fh::GetDefaultDialectIndex(), 3);
  EXPECT_EQ(fh::GetDSNMapValid(), 0);
}

TEST_F(SqlDialectsTest, DefaultIndexNamesOneRegisteredDialect) {
  const struct {
    uint8_t index;
    const char* name;
  } cases[] = {{0, "MYSQL"}, {1, "PGSQL"}, {2, "FIREBIRD"}, {3, "SQLITE"}};
  EXPECT_STREQ(fh::DefaultDialectName(), "MYSQL");
  for (const auto& c : cases) {
    SetDSNMapValid(0, c.index);
    EXPECT_STREQ(fh::DefaultDialectName(), c.name) << int{c.index};
    ASSERT_NE(FindSQLDialect(fh::DefaultDialectName()), nullptr) << c.name;
    // A refused index keeps the dialect chosen before.
    SetDSNMapValid(0, 4);
    EXPECT_STREQ(fh::DefaultDialectName(), c.name);
  }
}

TEST_F(SqlDialectsTest, DataSourceModeChoosesByTableWithOrWithoutConnectString) {
  for (uint8_t useConnectString : {0, 1}) {
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    fh::ResetSQLDialectsForTesting();
    InitSQLDialects();
    AddConnection("lite", "sqlite", useConnectString);
    AddConnection("pg", "PGSQL", 0);
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry("Person", "lite")));
    ASSERT_TRUE(fh::SetDialectModeFromConnParams());
    const auto text = GenerateCreateTableQuery("Person");
    ASSERT_TRUE(text.has_value());
    EXPECT_NE(text->find("\tborn varchar(30)"), std::string::npos) << *text;
  }
  // A table the map does not name gets no text.
  DefineTable("Other", {Column("id", KES_SQL_INT)}, {"id"});
  EXPECT_FALSE(GenerateCreateTableQuery("Other"));
}

TEST_F(SqlDialectsTest, SelectWithoutTablesInDataSourceMode) {
  ASSERT_TRUE(InitializeMemPool());
  SetDSNMapValid(1, 0);
  SelectQuery* query = CreateSelectQuery();
  EXPECT_FALSE(GenerateSelectQuery(query));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "No Tables selected in select query.\n"));
  FreeSelectQuery(query);
  fh::ResetMemPoolForTest();
}

}  // namespace
}  // namespace fhtest
