// Stored query definitions on every engine: each section of a definition
// generated in each dialect and run on the engine (Firebird's text through
// isql-fb), the criteria trees, and the names and values that must never
// reach the SQL as they are.
#include "storedquery/stored_query.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "db/connection_pool.h"
#include "dictionary/column_types.h"
#include "dictionary/table_defn.h"
#include "query/select_query.h"
#include "storedquery/stored_query_criteria.h"
#include "storedquery/stored_query_test_helpers.h"
#include "support/isql_fb_helpers.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

using TextRows = std::vector<std::string>;

std::vector<std::string> Join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> all;
  for (const auto& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

// "{as}" is the alias keyword of the dialects that write one, "{*}" the
// select list of a query without columns.
std::string ForDialect(std::string text, const std::string& dialect) {
  const bool firebird = dialect == "FIREBIRD";
  for (auto [mark, word] : {std::pair<std::string, std::string>{"{as}", firebird ? "" : "as "},
                            {"{*}", firebird ? " * from" : "* from"}}) {
    for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark)) {
      text.replace(at, mark.size(), word);
    }
  }
  return text;
}

struct SectionCase {
  const char* name;
  int queryId;
  std::vector<std::string> definition;
  std::string text;  // with the marks of ForDialect
  TextRows rows;
  bool ordered;
};

std::vector<SectionCase> SectionCases() {
  return {
      {"tables only", 1, Join({{QueryRow(1)}, TableRow(1, 11, "Items", std::nullopt)}),
       "select {*} Items\n", TextRows{"1|bolt|10|1", "2|nut|5|1", "3|o'ring|7|2", "4|gear|2|3"},
       false},
      {"aggregates, COUNT without column, group-by", 2,
       Join({{QueryRow(2)},
             ColumnRow(2, 21, "CAT_ID", std::nullopt, "Items", std::nullopt, std::nullopt),
             ColumnRow(2, 22, "", std::nullopt, std::nullopt, std::nullopt, "COUNT"),
             ColumnRow(2, 23, "QTY", std::nullopt, "Items", std::nullopt, "SUM"),
             TableRow(2, 21, "Items", std::nullopt),
             GroupByRows(2, 21, "Items", "CAT_ID"),
             SortRows(2, 21, "Items", "CAT_ID", 1)}),
       "select Items.CAT_ID, COUNT(*), SUM(Items.QTY) \nfrom Items\ngroup by Items.CAT_ID\n"
       "order by Items.CAT_ID  asc ",
       TextRows{"1|2|15", "2|1|7", "3|1|2"}, true},
      {"inner join, sort rows 1 1 0 descending", 3,
       Join({{QueryRow(3)},
             ColumnRow(3, 31, "NAME", std::nullopt, "Items", "i", std::nullopt),
             ColumnRow(3, 32, "CNAME", std::nullopt, "Categories", "c", std::nullopt),
             JoinRows(3, 31, "Items", "i", "Categories", "c", "CAT_ID", "CAT_ID", "INNER_JOIN"),
             SortRows(3, 31, "i", "CAT_ID", 1),
             SortRows(3, 32, "i", "NAME", 1),
             SortRows(3, 33, "i", "QTY", 0)}),
       "select i.NAME,c.CNAME \nfrom  Items {as}i  inner join  Categories {as}c  on i.CAT_ID = "
       "c.CAT_ID order by i.CAT_ID,i.NAME,i.QTY  desc ",
       // The generators write the direction once, after the last column, where
       // SQL applies it to that column alone: the order is not compared.
       TextRows{"o'ring|rubber", "nut|metal", "bolt|metal"}, false},
      {"left join", 4,
       Join({{QueryRow(4)},
             ColumnRow(4, 41, "NAME", std::nullopt, "Items", "i", std::nullopt),
             ColumnRow(4, 42, "CNAME", std::nullopt, "Categories", "c", std::nullopt),
             JoinRows(4, 41, "Items", "i", "Categories", "c", "CAT_ID", "CAT_ID", "LEFT_JOIN"),
             SortRows(4, 41, "i", "ITEM_ID", 1)}),
       "select i.NAME,c.CNAME \nfrom  Items {as}i  left join  Categories {as}c  on i.CAT_ID = "
       "c.CAT_ID order by i.ITEM_ID  asc ",
       TextRows{"bolt|metal", "nut|metal", "o'ring|rubber", "gear|NULL"}, true},
      {"criteria leaf with a quote in the value", 5,
       Join({{QueryRow(5)},
             TableRow(5, 51, "Items", std::nullopt),
             {CriteriaRootRow(5, 51), RelationalRow(51, "NAME", "=", "o'ring")}}),
       "select {*} Items\nwhere NAME =  'o''ring' ", TextRows{"3|o'ring|7|2"}, false},
      {"AND/OR tree", 6,
       Join({{QueryRow(6)},
             TableRow(6, 61, "Items", std::nullopt),
             SortRows(6, 61, "Items", "ITEM_ID", 1),
             {CriteriaRootRow(6, 60), BooleanRow(60, 61, "OR", 64), BooleanRow(61, 62, "AND", 63),
              RelationalRow(62, "QTY", ">", "4"), RelationalRow(63, "CAT_ID", "=", "1"),
              RelationalRow(64, "NAME", "=", "gear")}}),
       "select {*} Items\nwhere  (QTY >  '4'  AND CAT_ID =  '1' )  OR NAME =  'gear' order by "
       "Items.ITEM_ID  asc ",
       TextRows{"1|bolt|10|1", "2|nut|5|1", "4|gear|2|3"}, true},
      {"BETWEEN a numeric range", 7,
       Join({{QueryRow(7)},
             TableRow(7, 71, "Items", std::nullopt),
             {CriteriaRootRow(7, 71), RelationalRow(71, "QTY", "BETWEEN", "1 AND 5")}}),
       "select {*} Items\nwhere QTY BETWEEN  1 AND 5 ", TextRows{"2|nut|5|1", "4|gear|2|3"}, false},
  };
}

TEST_P(StoredQueryTest, EachSectionIsGeneratedInEveryDialectAndRunsOnTheEngine) {
  for (const SectionCase& row : SectionCases()) {
    SCOPED_TRACE(row.name);
    Exec(row.definition);
    for (const char* dialect : {"MYSQL", "PGSQL", "FIREBIRD", "SQLITE"}) {
      MapTable("Items", DialectConnection(dialect));
      std::string text;
      EXPECT_TRUE(GenerateStoredQuery(row.queryId, &text)) << dialect;
      EXPECT_EQ(text, ForDialect(row.text, dialect)) << dialect;
    }
    MapTable("Items", kDefinitions);
    std::string text;
    ASSERT_TRUE(GenerateStoredQuery(row.queryId, &text));
    EXPECT_EQ(text, ForDialect(row.text, EngineDialect(GetParam())));
    auto rows = Query(text);
    ASSERT_TRUE(rows.has_value()) << text << "\n" << log_.Messages();
    TextRows expected = row.rows;
    if (!row.ordered) {
      std::sort(rows->begin(), rows->end());
      std::sort(expected.begin(), expected.end());
    }
    EXPECT_EQ(*rows, expected);
  }
}

TEST_P(StoredQueryTest, FirebirdTextRunsOnFirebird) {
  std::vector<std::string> statements = DataTableStatements();
  for (const SectionCase& row : SectionCases()) Exec(row.definition);
  MapTable("Items", DialectConnection("FIREBIRD"));
  for (int queryId : {3, 4, 6}) {
    std::string text;
    ASSERT_TRUE(GenerateStoredQuery(queryId, &text)) << queryId;
    statements.push_back(text);
  }
  const IsqlRun run = RunIsqlStatements(dir_.path(), statements);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  TextRows names;
  for (const auto& record : ParseIsqlRecords(run.output)) {
    names.push_back(record.count("CNAME") ? record.at("NAME") + "|" + record.at("CNAME")
                                          : record.at("NAME"));
  }
  TextRows expected{"o'ring|rubber", "nut|metal",   "bolt|metal", "bolt|metal", "nut|metal",
                    "o'ring|rubber", "gear|<null>", "bolt",       "nut",        "gear"};
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
}

TEST_P(StoredQueryTest, LoadersTakeDictionaryTypesAndPrintTableAliases) {
  fh::ColumnDefnSource qty;
  qty.columnName = "QTY";
  qty.dataTypeName = "INTEGER";
  std::vector<ColumnDefnEntry> columns{*fh::CreateColumnDefn(qty)};
  fh::AddTableDefn(fh::CreateTableDefn("Items", std::nullopt, std::move(columns), std::nullopt));
  Exec(Join({ColumnRow(8, 81, "QTY", "q", "Items", std::nullopt, "MAX"),
             ColumnRow(8, 82, "NAME", std::nullopt, "Items", std::nullopt, "NOSUCH"),
             TableRow(8, 81, "Items", "it")}));
  SelectQuery* query = CreateSelectQuery();
  testing::internal::CaptureStdout();
  EXPECT_TRUE(fh::BuildStoredQuery(8, query));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "\nTable Alias = it");
  ASSERT_EQ(query->columns->count, 2);
  const auto* first = static_cast<const fh::ColumnRef*>(query->columns->head->data);
  const auto* second = static_cast<const fh::ColumnRef*>(query->columns->head->next->data);
  EXPECT_EQ(first->dataType, KES_SQL_INT);
  EXPECT_EQ(first->aggregate, fh::kAggregateMax);
  EXPECT_STREQ(first->columnAlias, "q");
  EXPECT_EQ(second->dataType, KES_SQL_CHAR);  // not in the dictionary
  EXPECT_EQ(second->aggregate, fh::kAggregateNone);
  FreeSelectQuery(query);
  FreeAllTableDefns();

  // Sort rows 1, 1, 0: one record of the three columns, descending.
  Exec(Join({SortRows(9, 91, "Items", "CAT_ID", 1), SortRows(9, 92, "Items", "NAME", 1),
             SortRows(9, 93, "Items", "QTY", 0)}));
  query = CreateSelectQuery();
  EXPECT_TRUE(fh::BuildStoredQuery(9, query));
  ASSERT_NE(query->sortOrder, nullptr);
  EXPECT_EQ(query->sortOrder->ascending, 0);
  EXPECT_EQ(query->sortOrder->columns->count, 3);
  FreeSelectQuery(query);
  for (const char* line : {"[DEBUG] \nNo Join details\n", "[DEBUG] \nNo GroupBy details\n",
                           "[DEBUG] \nNo Sort details\n"}) {
    EXPECT_NE(log_.Messages().find(line), std::string::npos) << line;
  }
}

struct CriteriaCase {
  const char* name;
  int queryId;
  std::vector<std::string> rows;
  const char* printed;  // PrintQueryCriteria's text; none: not built
  const char* logLine;  // a line the build writes
};

TEST_P(StoredQueryTest, CriteriaTreesAreBuiltFromTheirRows) {
  const std::vector<CriteriaCase> cases = {
      {"leaf: a B_ID without BooleanExp row is a RelationalExp id",
       20,
       {CriteriaRootRow(20, 201), RelationalRow(201, "NAME", "=", "bolt")},
       "NAME=bolt",
       nullptr},
      {"AND/OR tree, left side first",
       21,
       {CriteriaRootRow(21, 210), BooleanRow(210, 211, "AND", 214), BooleanRow(211, 212, "OR", 213),
        RelationalRow(212, "QTY", "<", "3"), RelationalRow(213, "QTY", ">=", "9"),
        RelationalRow(214, "NAME", "LIKE", "b%")},
       "QTY<3ORQTY>=9ANDNAMELIKEb%",
       nullptr},
      {"unknown id", 22, {CriteriaRootRow(22, 999)}, nullptr, "[DEBUG] \nInvalid ID\n"},
      {"self reference",
       23,
       {CriteriaRootRow(23, 230), BooleanRow(230, 230, "AND", 201)},
       nullptr,
       "[ERROR] \nCriteria cycle at B_ID 230\n"},
      {"cycle through two rows",
       24,
       {CriteriaRootRow(24, 240), BooleanRow(240, 201, "OR", 241),
        BooleanRow(241, 240, "AND", 201)},
       nullptr,
       "[ERROR] \nCriteria cycle at B_ID 240\n"},
      {"one side missing",
       25,
       {CriteriaRootRow(25, 250), BooleanRow(250, 201, "AND", 998)},
       nullptr,
       "[ERROR] \nIncomplete criteria at B_ID 250\n"},
  };
  for (const CriteriaCase& row : cases) {
    SCOPED_TRACE(row.name);
    Exec(row.rows);
    EXPECT_EQ(PrintQueryCriteria(row.queryId), row.printed != nullptr);
    const std::string log = log_.Messages();
    if (row.printed != nullptr) {
      EXPECT_NE(log.find(std::string("[DEBUG] \n") + row.printed + "\n"), std::string::npos);
    }
    if (row.logLine != nullptr) {
      EXPECT_NE(log.find(row.logLine), std::string::npos);
    }
  }
  // A query whose criteria cannot be built is not generated (it would run
  // without its condition).
  Exec(TableRow(23, 231, "Items", std::nullopt));
  EXPECT_FALSE(GenerateStoredQuery(23));

  // BuildBooleanExp and BuildRelationalExp directly.
  MemPool* pool = fh::CreateMemPool(fh::GetRootMemPool());
  ConnectionHandle* handle = GetConnectionHandle(kDefinitions);
  const fh::SelectCriteria* tree = BuildBooleanExp(210, pool, handle);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(tree->operatorCode, 7);
  EXPECT_EQ(tree->left->operatorCode, 8);
  EXPECT_EQ(tree->left->parent, tree);
  EXPECT_EQ(tree->right->operatorCode, fh::kSelectOperatorLike);
  EXPECT_STREQ(tree->right->column->columnName, "NAME");
  EXPECT_EQ(tree->right->column->dataType, KES_SQL_NCHAR);
  EXPECT_EQ(tree->right->valueLength, 2);
  EXPECT_EQ(BuildRelationalExp(999, pool), nullptr);
  ReleaseConnectionHandle(kDefinitions);
  fh::DestroyMemPool(pool);
}

struct RefusalCase {
  const char* name;
  std::vector<std::string> rows;  // of query 30, which also reads Items
  const char* logLine;
};

TEST_P(StoredQueryTest, NamesAndValuesThatAreNoPlainSqlAreRefused) {
  const std::vector<RefusalCase> cases = {
      {"table name", TableRow(30, 301, "Items; DROP TABLE Categories", std::nullopt),
       "[ERROR] \nStored query: TABLENAME \"Items; DROP TABLE Categories\" is not a plain "
       "identifier.\n"},
      {"table alias", TableRow(30, 301, "Items", "i x"),
       "[ERROR] \nStored query: TABLEALIAS \"i x\" is not a plain identifier.\n"},
      {"column name",
       ColumnRow(30, 301, "NAME FROM Categories --", std::nullopt, "Items", std::nullopt,
                 std::nullopt),
       "COLUMNNAME \"NAME FROM Categories --\" is not"},
      {"join column",
       JoinRows(30, 301, "Items", "i", "Categories", "c", "CAT_ID OR 1=1", "CAT_ID", "INNER_JOIN"),
       "BASETABLECOLUMN \"CAT_ID OR 1=1\" is not"},
      {"join type",
       JoinRows(30, 301, "Items", "i", "Categories", "c", "CAT_ID", "CAT_ID", "CROSS_JOIN"),
       "[ERROR] \nInvalid Join Type in stored query 30\n"},
      {"group-by column", GroupByRows(30, 301, "Items", "CAT_ID, (SELECT 1)"),
       "COLUMNNAME \"CAT_ID, (SELECT 1)\" is not"},
      {"sort column", SortRows(30, 301, "Items", "QTY desc", 1), "COLUMNNAME \"QTY desc\" is not"},
      {"criteria column",
       {CriteriaRootRow(30, 301), RelationalRow(301, "NAME = NAME OR 1", "=", "x")},
       "LIDENTIFIER \"NAME = NAME OR 1\" is not"},
      {"BETWEEN range",
       {CriteriaRootRow(30, 301), RelationalRow(301, "QTY", "BETWEEN", "1 AND 2 OR 1=1")},
       "[ERROR] \nStored query: BETWEEN range \"1 AND 2 OR 1=1\" is not two numbers.\n"},
      {"operator matching no name",
       {CriteriaRootRow(30, 301), RelationalRow(301, "QTY", "<>", "1")},
       "[ERROR] Invalid Operator\n"},
  };
  const std::vector<std::string> clear = {
      "DELETE FROM QueryvsTables", "DELETE FROM TableDetails",    "DELETE FROM QueryvsColumns",
      "DELETE FROM ColumnDetails", "DELETE FROM QueryvsJoins",    "DELETE FROM JoinDetails",
      "DELETE FROM QueryvsGB",     "DELETE FROM GroupByDetails",  "DELETE FROM QueryvsSort",
      "DELETE FROM SortDetails",   "DELETE FROM QueryvsCriteria", "DELETE FROM RelationalExp"};
  for (const RefusalCase& row : cases) {
    SCOPED_TRACE(row.name);
    Exec(clear);
    Exec(Join({{"INSERT INTO QueryvsTables VALUES (30, 300)",
                "INSERT INTO TableDetails VALUES (300, 'Items', NULL)"},
               row.rows}));
    EXPECT_FALSE(GenerateStoredQuery(30));
    EXPECT_NE(log_.Messages().find(row.logLine), std::string::npos) << log_.Messages();
  }
  EXPECT_EQ(Query("SELECT CNAME FROM Categories")->size(), 2u);
  // The same query with plain names is generated.
  Exec(clear);
  Exec(std::vector<std::string>{"INSERT INTO QueryvsTables VALUES (30, 300)",
                                "INSERT INTO TableDetails VALUES (300, 'Items', NULL)"});
  EXPECT_TRUE(GenerateStoredQuery(30));
}

INSTANTIATE_TEST_SUITE_P(Engines, StoredQueryTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
