// The route of a table: which connection and dialect serve it, by mode and
// by how the data-source map is read.
#include "sql/table_route.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "sql/sql_dialects.h"
#include "support/test_log.h"

namespace fhtest {
namespace {

using fh::RouteLookup;

class TableRouteTest : public testing::Test {
 protected:
  TableRouteTest() {
    Reset();
    InitSQLDialects();
    using Pair = std::pair<const char*, const char*>;
    for (const Pair& connection : {Pair{"ShopDB", "PGSQL"}, Pair{"ArchDB", "sqlite"}}) {
      EXPECT_TRUE(AddConnParamsEntry(CreateConnParamsEntry("l", 1, "dsn", nullptr, nullptr,
                                                           connection.first, 1, "Driver=x", "ODBC",
                                                           connection.second)));
    }
    for (const Pair& entry :
         {Pair{"Orders", "ShopDB"}, Pair{"Archive", "ArchDB"}, Pair{"Ghost", "NoSuchDB"}}) {
      EXPECT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(entry.first, entry.second)));
    }
  }
  ~TableRouteTest() override { Reset(); }
  static void Reset() {
    FreeAllConnParamsEntries();
    FreeAllDataSourceMapEntries();
    fh::ResetSQLDialectsForTesting();
  }
  TestLog log_;
};

TEST_F(TableRouteTest, AnswersPerModeAndLookup) {
  const struct {
    bool modeOn;
    RouteLookup lookup;
    const char* table;
    bool routable;
    const char* connection;
    const char* dialect;  // as DialectName() spells it
    const char* words;    // the description's name
    const char* error;    // the one error line the question logs, if any
  } cases[] = {
      // Mode off: the default data source in the default dialect (SQLITE
      // here), the map unread unless the caller reads it anyway.
      {false, RouteLookup::kByMode, "Orders", true, nullptr, "SQLITE", "SQLITE", nullptr},
      {false, RouteLookup::kByMode, "Nothing", true, nullptr, "SQLITE", "SQLITE", nullptr},
      {false, RouteLookup::kMap, "orders", true, "ShopDB", "SQLITE", "SQLITE", nullptr},
      {false, RouteLookup::kMap, "Nothing", false, nullptr, nullptr, nullptr,
       "No DataSourceMap Entry for Table name Nothing \n"},
      // Mode on: the map's connection and that connection's dialect.
      {true, RouteLookup::kByMode, "Orders", true, "ShopDB", "PGSQL", "PGSQL", nullptr},
      {true, RouteLookup::kByMode, "ORDERS", true, "ShopDB", "PGSQL", "PGSQL", nullptr},
      {true, RouteLookup::kByMode, "archive", true, "ArchDB", "sqlite", "SQLITE", nullptr},
      {true, RouteLookup::kMapQuietly, "Archive", true, "ArchDB", "sqlite", "SQLITE", nullptr},
      {true, RouteLookup::kByMode, "Nothing", false, nullptr, nullptr, nullptr,
       "No DataSourceMap Entry for Table name Nothing \n"},
      {true, RouteLookup::kMap, "Nothing", false, nullptr, nullptr, nullptr,
       "No DataSourceMap Entry for Table name Nothing \n"},
      {true, RouteLookup::kMapQuietly, "Nothing", false, nullptr, nullptr, nullptr, nullptr},
      {true, RouteLookup::kByMode, "Ghost", true, "NoSuchDB", nullptr, nullptr,
       "dbConnPtr is NULL for Connection Name NoSuchDB \n"},
  };
  for (const auto& c : cases) {
    const std::string label =
        std::string(c.table) + (c.modeOn ? " on " : " off ") + std::to_string(int(c.lookup));
    if (c.modeOn) {
      SetDSNMapValid(1, 0);
    } else {
      SetDSNMapValid(0, 3);
    }
    const std::size_t errorsBefore = log_.Count("[ERROR]");
    const fh::TableRoute route = fh::RouteOfTable(c.table, c.lookup);
    EXPECT_STREQ(route.DialectName(), c.dialect) << label;
    // The route and its dialect's name log the error line once, and only then.
    EXPECT_EQ(log_.Count("[ERROR]") - errorsBefore, c.error != nullptr ? 1u : 0u) << label;
    if (c.error != nullptr) {
      EXPECT_TRUE(log_.HasLine("[ERROR]", c.error)) << label;
    }
    EXPECT_EQ(route.routable, c.routable) << label;
    EXPECT_STREQ(route.connection, c.connection) << label;
    const fh::DialectWords* words = route.Words();
    EXPECT_STREQ(words != nullptr ? words->name : nullptr, c.words) << label;
    const SQLDialect* dialect = route.Dialect();
    EXPECT_STREQ(dialect != nullptr ? dialect->name : nullptr, c.words) << label;
  }
}

}  // namespace
}  // namespace fhtest
