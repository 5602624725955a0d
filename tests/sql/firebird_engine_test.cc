// The FIREBIRD dialect's texts on a real Firebird engine, through isql-fb on
// an embedded database: create, insert, update, delete and select, values
// compared as text.
#include <gtest/gtest.h>

#include <cctype>
#include <climits>

#include "dictionary/data_dict_loader.h"
#include "query/criteria_node.h"
#include "sql/firebird_dialect.h"
#include "sql/sql_dialects.h"
#include "sql/sql_test_helpers.h"
#include "support/isql_fb_helpers.h"
#include "support/test_log.h"
#include "support/test_support.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class FirebirdEngineTest : public testing::Test {
 protected:
  FirebirdEngineTest() {
    FreeAllTableDefns();
    InitializeMemPool();
    DefineTable(
        "FbValues",
        {Column("id", KES_SQL_INT, 0, false), Column("name", KES_SQL_CHAR, 40),
         Column("txt", KES_SQL_TEXT, 300), Column("ti", KES_SQL_TINYINT),
         Column("bi", KES_SQL_BIGINT), Column("d", KES_SQL_DOUBLE), Column("flag", KES_SQL_BOOLEAN),
         Column("born", KES_SQL_DATE), Column("tm", KES_SQL_TIME), Column("ts", KES_SQL_DATETIME),
         Column("bin", KES_SQL_BLOB)},
        {"id"});
    DefineTable("FbKeys",
                {Column("code", KES_SQL_CHAR, 10), Column("born", KES_SQL_DATE),
                 Column("qty", KES_SQL_INT)},
                {"code", "born"});
  }
  ~FirebirdEngineTest() override {
    fh::ResetMemPoolForTest();
    FreeAllTableDefns();
  }
  void Add(const std::optional<std::string>& text) {
    ASSERT_TRUE(text.has_value());
    statements_.push_back(*text);
  }
  TempDir dir_;
  TestLog log_;
  std::vector<std::string> statements_;
};

TEST_F(FirebirdEngineTest, StatementsRunAndValuesReadBack) {
  const unsigned char bytes[] = {0x00, 0xff, 0x00, 0x27};
  Add(fh::FirebirdGenCreateQuery("FbValues"));
  Add(fh::FirebirdGenCreateQuery("FbKeys"));
  auto one = MakeRow({Int(KES_SQL_INT, 1), Text("O'Brien\\"), Text("it's \\ long"),
                      Int(KES_SQL_TINYINT, -128), Int(KES_SQL_BIGINT, INT64_MIN),
                      fh::ColumnValue::FromDouble(1e-300), Int(KES_SQL_BOOLEAN, 1),
                      Date(2021, 3, 4), Time(23, 59, 58), DateTime(1999, 12, 31, 12, 34, 56),
                      fh::ColumnValue::FromBytes(bytes, sizeof bytes)});
  std::vector<std::optional<fh::ColumnValue>> nulls(11);
  nulls[0] = Int(KES_SQL_INT, 2);
  auto two = MakeRow(std::move(nulls));
  Add(fh::FirebirdGenInsertQuery("FbValues", one.get()));
  Add(fh::FirebirdGenInsertQuery("FbValues", two.get()));
  for (const char* code : {"a", "b", "O'B"}) {
    for (int day : {4, 5}) {
      auto row = MakeRow({Text(code), Date(2021, 3, day), Int(KES_SQL_INT, day)});
      Add(fh::FirebirdGenInsertQuery("FbKeys", row.get()));
    }
  }
  auto changed = MakeRow({Text("O'B"), Date(2021, 3, 4), Int(KES_SQL_INT, 40)});
  Add(FirebirdGenUpdateQuery("FbKeys", changed.get()));
  auto gone = MakeRow({Text("a"), Date(2021, 3, 5), Int(KES_SQL_INT, 5)});
  Add(fh::FirebirdGenDeleteQuery("FbKeys", gone.get()));

  // The generated select: criteria on text, date and boolean, with paging.
  SelectQuery* query = CreateSelectQuery();
  AddTable(query, CreateTableRef("FbValues", "v", query->pool));
  AddColumnToSelectQuery(
      query, CreateColumnRef(nullptr, "v", "id", nullptr, 0, KES_SQL_INT, 0, query->pool));
  const unsigned char yes = 1;
  fh::SelectCriteria* byName = CreateCriteria(
      CreateColumnRef(nullptr, "v", "name", nullptr, 0, KES_SQL_CHAR, 0, query->pool), "O'Brien\\",
      8, fh::kCriteriaEqual, query->pool);
  fh::SelectCriteria* byDate = CreateCriteria(
      CreateColumnRef(nullptr, "v", "born", nullptr, 0, KES_SQL_DATE, 0, query->pool), "2021-03-04",
      10, fh::kCriteriaEqual, query->pool);
  fh::SelectCriteria* byFlag = CreateCriteria(
      CreateColumnRef(nullptr, "v", "flag", nullptr, 0, KES_SQL_BOOLEAN, 0, query->pool), &yes, 1,
      fh::kCriteriaEqual, query->pool);
  SetCriteria(query, CreateAndCriteria(CreateAndCriteria(byName, byDate, query->pool), byFlag,
                                       query->pool));
  query->limit = 5;
  Add(FirebirdGenSelectQuery(query));
  FreeSelectQuery(query);
  statements_.push_back(
      "select id as vid, name, cast(txt as varchar(100)) as txt, ti, bi, d, flag, born, tm, ts, "
      "octet_length(bin) as binlen from FbValues order by id");
  statements_.push_back("select code, born as kborn, qty from FbKeys order by qty");

  const IsqlRun run = RunIsqlStatements(dir_.path(), statements_);
  ASSERT_EQ(run.exitCode, 0) << run.output;
  const auto records = ParseIsqlRecords(run.output);
  ASSERT_EQ(records.size(), 1u + 2u + 5u) << run.output;
  EXPECT_EQ(records[0].at("ID"), "1");  // the generated select found its row
  const std::map<std::string, std::string> first = {{"VID", "1"},
                                                    {"NAME", "O'Brien\\"},
                                                    {"TXT", "it's \\ long"},
                                                    {"TI", "-128"},
                                                    {"BI", "-9223372036854775808"},
                                                    {"D", "1.000000000000000e-300"},
                                                    {"FLAG", "1"},
                                                    {"BORN", "2021-03-04"},
                                                    {"TM", "23:59:58.0000"},
                                                    {"TS", "1999-12-31 12:34:56.0000"},
                                                    {"BINLEN", "4"}};
  EXPECT_EQ(records[1], first);
  for (const auto& [column, value] : records[2]) {
    if (column != "VID") {
      EXPECT_EQ(value, "<null>") << column;
    }
  }
  std::vector<std::string> keys;
  for (std::size_t i = 3; i < records.size(); ++i) {
    keys.push_back(records[i].at("CODE") + "/" + records[i].at("KBORN") + "/" +
                   records[i].at("QTY"));
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"a/2021-03-04/4", "b/2021-03-04/4", "b/2021-03-05/5",
                                            "O'B/2021-03-05/5", "O'B/2021-03-04/40"}));
}

TEST_F(FirebirdEngineTest, SampleDictionaryIsCreated) {
  FreeAllTableDefns();
  ASSERT_TRUE(LoadDataDictFiles(FH_SOURCE_DIR "/examples/data"));
  std::vector<std::string> names;
  for (const TableDefn* table : fh::GetTableCreationOrder()) {
    Add(fh::FirebirdGenCreateQuery(table->tableName.c_str()));
    names.push_back(table->tableName);
  }
  ASSERT_GE(names.size(), 5u);
  std::string probe = "select count(*) as tables from rdb$relations where rdb$relation_name in (";
  for (std::size_t i = 0; i < names.size(); ++i) {
    std::string upper;
    for (char c : names[i]) upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    probe += (i == 0 ? "'" : ",'") + upper + "'";
  }
  statements_.push_back(probe + ")");
  const IsqlRun run = RunIsqlStatements(dir_.path(), statements_);
  ASSERT_EQ(run.exitCode, 0) << run.output << ReadFileBytes(dir_.Sub("script.sql"));
  const auto records = ParseIsqlRecords(run.output);
  ASSERT_EQ(records.size(), 1u) << run.output;
  EXPECT_EQ(records[0].at("TABLES"), std::to_string(names.size()));
}

}  // namespace
}  // namespace fhtest
