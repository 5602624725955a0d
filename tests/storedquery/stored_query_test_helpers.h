// Stored query definitions on a real engine: a database of the test
// process's own holding the definition tables (whose names are fixed, so
// they cannot be made unique per process) and two small data tables, and
// the statements that fill the definitions.
//
// SQLite gets a file in the test's directory; a server a scratch database
// of the process's own (support/scratch_database.h).
//
// Data: Items (ITEM_ID, NAME, QTY, CAT_ID) holds (1 bolt 10 1), (2 nut 5 1),
// (3 o'ring 7 2), (4 gear 2 3); Categories (CAT_ID, CNAME) holds (1 metal),
// (2 rubber).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"
#include "support/scratch_database.h"
#include "support/sql_engine_fixture.h"

namespace fhtest {

// The data source of the definitions and data tables, and the data sources
// that only lend their dialect to a statement (never opened).
inline constexpr char kDefinitions[] = "defs";
std::string DialectConnection(const std::string& dialect);  // "as_" + dialect

// The definition and data tables, created and filled.
std::vector<std::string> DefinitionTableStatements();
std::vector<std::string> DataTableStatements();

// A quoted SQL text ('' doubled) or NULL for none.
std::string Sql(const std::optional<std::string>& text);
// Insert statements for the definition rows.
std::string QueryRow(int queryId);
std::vector<std::string> ColumnRow(int queryId, int columnId, std::optional<std::string> name,
                                   std::optional<std::string> alias,
                                   std::optional<std::string> table,
                                   std::optional<std::string> tableAlias,
                                   std::optional<std::string> function);
std::vector<std::string> TableRow(int queryId, int tableId, std::optional<std::string> name,
                                  std::optional<std::string> alias);
std::vector<std::string> JoinRows(int queryId, int joinId, const std::string& base,
                                  std::optional<std::string> baseAlias, const std::string& ref,
                                  std::optional<std::string> refAlias,
                                  const std::string& baseColumn, const std::string& refColumn,
                                  const std::string& joinType);
std::vector<std::string> GroupByRows(int queryId, int id, const std::string& table,
                                     const std::string& column);
std::vector<std::string> SortRows(int queryId, int id, const std::string& table,
                                  const std::string& column, int sortType);
std::string CriteriaRootRow(int queryId, int booleanId);
std::string BooleanRow(int id, int left, const std::string& op, int right);
std::string RelationalRow(int id, const std::string& column, const std::string& op,
                          const std::string& value);

// Every row of a result set as "v1|v2|...", NULL as "NULL".
std::vector<std::string> RowTexts(const DBResultSet& resultSet);

// The database layer, the dialects (data-source mode on), the definition
// and data tables on the engine, every table mapped to kDefinitions, and one
// dialect-only connection per dialect.
class StoredQueryTest : public SqlEngineFixture {
 protected:
  StoredQueryTest();
  void AddDataSources() override;
  void SetUp() override;
  void TearDown() override;

  // Runs statements on kDefinitions; a failure fails the test.
  void Exec(const std::vector<std::string>& statements);
  void Exec(const std::string& statement) { Exec(std::vector<std::string>{statement}); }
  // Runs a query on kDefinitions; its rows as RowTexts, none when it fails.
  std::optional<std::vector<std::string>> Query(const std::string& text);
  // Maps tableName to connection (replacing its entry).
  static void MapTable(const char* tableName, const std::string& connection);

  std::optional<ScratchDatabase> database_;  // on a server engine
};

}  // namespace fhtest
