#include "storedquery/stored_query_test_helpers.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

#include "config/data_source_map.h"
#include "db/connection_pool.h"
#include "sql/sql_dialects.h"
#include "storedquery/stored_query_reads.h"

namespace fhtest {
namespace {

std::string Id(int id) { return std::to_string(id); }

std::string Insert(const std::string& table, const std::vector<std::string>& values) {
  std::string text = "INSERT INTO " + table + " VALUES (";
  for (std::size_t i = 0; i < values.size(); ++i) text += (i > 0 ? ", " : "") + values[i];
  return text + ")";
}

constexpr const char* kDialects[] = {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"};

const char* kTables[] = {"QueryDetails",   "QueryvsColumns", "ColumnDetails", "QueryvsTables",
                         "TableDetails",   "QueryvsJoins",   "JoinDetails",   "QueryvsGB",
                         "GroupByDetails", "QueryvsSort",    "SortDetails",   "QueryvsCriteria",
                         "BooleanExp",     "RelationalExp",  "Items",         "Categories"};

}  // namespace

std::string DialectConnection(const std::string& dialect) { return "as_" + dialect; }

std::vector<std::string> DefinitionTableStatements() {
  const std::string id = " INTEGER";
  const std::string text = " VARCHAR(128)";
  return {
      "CREATE TABLE QueryDetails (QUERY_ID" + id + ")",
      "CREATE TABLE QueryvsColumns (QUERY_ID" + id + ", COLUMN_ID" + id + ")",
      "CREATE TABLE ColumnDetails (COLUMN_ID" + id + ", COLUMNNAME" + text + ", COLUMNALIAS" +
          text + ", TABLENAME" + text + ", TABLEALIAS" + text + ", FUNCTIONNAME" + text + ")",
      "CREATE TABLE QueryvsTables (QUERY_ID" + id + ", TABLE_ID" + id + ")",
      "CREATE TABLE TableDetails (TABLE_ID" + id + ", TABLENAME" + text + ", TABLEALIAS" + text +
          ")",
      "CREATE TABLE QueryvsJoins (QUERY_ID" + id + ", JOIN_ID" + id + ")",
      "CREATE TABLE JoinDetails (JOIN_ID" + id + ", BASETABLENAME" + text + ", BASETABLEALIAS" +
          text + ", REFTABLENAME" + text + ", REFTABLEALIAS" + text + ", BASETABLECOLUMN" + text +
          ", REFTABLECOLUMN" + text + ", JOINTYPE" + text + ")",
      "CREATE TABLE QueryvsGB (QUERY_ID" + id + ", GB_ID" + id + ")",
      "CREATE TABLE GroupByDetails (GB_ID" + id + ", TABLENAME" + text + ", COLUMNNAME" + text +
          ")",
      "CREATE TABLE QueryvsSort (QUERY_ID" + id + ", SORT_ID" + id + ")",
      "CREATE TABLE SortDetails (SORT_ID" + id + ", TABLENAME" + text + ", COLUMNNAME" + text +
          ", SORTTYPE" + id + ")",
      "CREATE TABLE QueryvsCriteria (QUERY_ID" + id + ", B_ID" + id + ")",
      "CREATE TABLE BooleanExp (B_ID" + id + ", LEXPRESSION" + id + ", OPERATOR" + text +
          ", REXPRESSION" + id + ")",
      "CREATE TABLE RelationalExp (R_ID" + id + ", LIDENTIFIER" + text + ", OPERATOR" + text +
          ", RIDENTIFIER" + text + ")",
  };
}

std::vector<std::string> DataTableStatements() {
  return {
      "CREATE TABLE Items (ITEM_ID INTEGER, NAME VARCHAR(32), QTY INTEGER, CAT_ID INTEGER)",
      "CREATE TABLE Categories (CAT_ID INTEGER, CNAME VARCHAR(32))",
      "INSERT INTO Items VALUES (1, 'bolt', 10, 1)",
      "INSERT INTO Items VALUES (2, 'nut', 5, 1)",
      "INSERT INTO Items VALUES (3, 'o''ring', 7, 2)",
      "INSERT INTO Items VALUES (4, 'gear', 2, 3)",
      "INSERT INTO Categories VALUES (1, 'metal')",
      "INSERT INTO Categories VALUES (2, 'rubber')",
  };
}

std::string Sql(const std::optional<std::string>& text) {
  if (!text) return "NULL";
  std::string quoted = "'";
  for (char c : *text) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

std::string QueryRow(int queryId) { return Insert("QueryDetails", {Id(queryId)}); }

std::vector<std::string> ColumnRow(int queryId, int columnId, std::optional<std::string> name,
                                   std::optional<std::string> alias,
                                   std::optional<std::string> table,
                                   std::optional<std::string> tableAlias,
                                   std::optional<std::string> function) {
  return {Insert("QueryvsColumns", {Id(queryId), Id(columnId)}),
          Insert("ColumnDetails", {Id(columnId), Sql(name), Sql(alias), Sql(table), Sql(tableAlias),
                                   Sql(function)})};
}

std::vector<std::string> TableRow(int queryId, int tableId, std::optional<std::string> name,
                                  std::optional<std::string> alias) {
  return {Insert("QueryvsTables", {Id(queryId), Id(tableId)}),
          Insert("TableDetails", {Id(tableId), Sql(name), Sql(alias)})};
}

std::vector<std::string> JoinRows(int queryId, int joinId, const std::string& base,
                                  std::optional<std::string> baseAlias, const std::string& ref,
                                  std::optional<std::string> refAlias,
                                  const std::string& baseColumn, const std::string& refColumn,
                                  const std::string& joinType) {
  return {Insert("QueryvsJoins", {Id(queryId), Id(joinId)}),
          Insert("JoinDetails", {Id(joinId), Sql(base), Sql(baseAlias), Sql(ref), Sql(refAlias),
                                 Sql(baseColumn), Sql(refColumn), Sql(joinType)})};
}

std::vector<std::string> GroupByRows(int queryId, int id, const std::string& table,
                                     const std::string& column) {
  return {Insert("QueryvsGB", {Id(queryId), Id(id)}),
          Insert("GroupByDetails", {Id(id), Sql(table), Sql(column)})};
}

std::vector<std::string> SortRows(int queryId, int id, const std::string& table,
                                  const std::string& column, int sortType) {
  return {Insert("QueryvsSort", {Id(queryId), Id(id)}),
          Insert("SortDetails", {Id(id), Sql(table), Sql(column), Id(sortType)})};
}

std::string CriteriaRootRow(int queryId, int booleanId) {
  return Insert("QueryvsCriteria", {Id(queryId), Id(booleanId)});
}

std::string BooleanRow(int id, int left, const std::string& op, int right) {
  return Insert("BooleanExp", {Id(id), Id(left), Sql(op), Id(right)});
}

std::string RelationalRow(int id, const std::string& column, const std::string& op,
                          const std::string& value) {
  return Insert("RelationalExp", {Id(id), Sql(column), Sql(op), Sql(value)});
}

std::vector<std::string> RowTexts(const DBResultSet& resultSet) {
  std::vector<std::string> rows;
  for (const fh::DBRow& row : resultSet.rows) {
    std::string text;
    for (std::size_t i = 0; i < row.size(); ++i) {
      text += (i > 0 ? "|" : "") +
              fh::storedq::ValueText(row[i], resultSet.columns[i].dataType).value_or("NULL");
    }
    rows.push_back(text);
  }
  return rows;
}

StoredQueryTest::StoredQueryTest() : SqlEngineFixture(kDefinitions) {}

void StoredQueryTest::AddDataSources() {
  if (IsSqlite(GetParam())) return AddEngineSource(kDefinitions, dir_.path());
  database_.emplace(GetParam(), "fhsq");
  ASSERT_TRUE(database_->ok());
  std::unique_ptr<ConnParamsEntry> entry = database_->Entry(kDefinitions);
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
}

void StoredQueryTest::SetUp() {
  SqlEngineFixture::SetUp();
  if (HasFatalFailure()) return;
  // Dialect-only data sources: listed after the pool was opened, so never
  // connected; a table mapped to one is written in its dialect.
  for (const char* dialect : kDialects) {
    ASSERT_TRUE(AddConnParamsEntry(CreateConnParamsEntry("dialect", 2, "none", nullptr, nullptr,
                                                         DialectConnection(dialect).c_str(), 0,
                                                         nullptr, "ODBC", dialect)));
  }
  SetDSNMapValid(1, 0);
  for (const char* table : kTables) MapTable(table, kDefinitions);
  Exec(DefinitionTableStatements());
  Exec(DataTableStatements());
}

void StoredQueryTest::TearDown() {
  SqlEngineFixture::TearDown();
  FreeConnectionPool();  // before the scratch database is dropped
  database_.reset();
}

void StoredQueryTest::Exec(const std::vector<std::string>& statements) {
  for (const std::string& statement : statements)
    EXPECT_EQ(Run(statement), 1) << statement << "\n" << log_.Messages();
}

std::optional<std::vector<std::string>> StoredQueryTest::Query(const std::string& text) {
  std::unique_ptr<DBResultSet> resultSet = Fetch(text);
  if (resultSet == nullptr) return std::nullopt;
  return RowTexts(*resultSet);
}

void StoredQueryTest::MapTable(const char* tableName, const std::string& connection) {
  DeleteDataSourceMapEntry(tableName);
  AddDataSourceMapEntry(CreateDataSourceMapEntry(tableName, connection.c_str()));
}

}  // namespace fhtest
