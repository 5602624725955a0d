// The generated text on real engines: MYSQL on MariaDB, PGSQL on PostgreSQL,
// SQLITE on SQLite, all through the ODBC provider and the pool. Values must
// survive the round trip, keys must pick exactly their row, criteria must
// select the intended rows.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/data_dict_loader.h"
#include "query/criteria_node.h"
#include "sql/sql_dialects.h"
#include "sql/sql_test_helpers.h"
#include "support/db_engines.h"
#include "support/sql_engine_fixture.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class SqlEngineTest : public SqlEngineFixture {
 protected:
  void SetUp() override {
    SqlEngineFixture::SetUp();
    if (HasFatalFailure()) return;
    DefineTables();
    DropTables();
  }
  void TearDown() override {
    DropTables();
    SqlEngineFixture::TearDown();
  }

  void Define(const std::string& name, std::vector<ColumnDefnEntry> columns,
              std::vector<std::string> key, std::vector<ForeignKeyDefn> foreignKeys = {}) {
    ASSERT_TRUE(DefineTable(name, std::move(columns), std::move(key), std::move(foreignKeys)));
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(name.c_str(), "conn")));
  }

  // The child comes first in the list: creation must still put its parent
  // first.
  void DefineTables() {
    Define(child_, {Column("cid", KES_SQL_INT), Column("pid", KES_SQL_INT)}, {"cid"},
           {{"pid", "pid", parent_}});
    Define(parent_, {Column("pid", KES_SQL_INT), Column("label", KES_SQL_CHAR, 20)}, {"pid"});
    Define(
        values_,
        {Column("id", KES_SQL_INT, 0, false), Column("name", KES_SQL_CHAR, 40),
         Column("txt", KES_SQL_TEXT, 300), Column("ti", KES_SQL_TINYINT),
         Column("si", KES_SQL_SMALLINT), Column("i", KES_SQL_INT), Column("bi", KES_SQL_BIGINT),
         Column("u", KES_SQL_UNSIGNED_INT), Column("d", KES_SQL_DOUBLE), Column("f", KES_SQL_FLOAT),
         Column("flag", KES_SQL_BOOLEAN), Column("day", KES_SQL_DATE), Column("tm", KES_SQL_TIME),
         Column("ts", KES_SQL_DATETIME), Column("bin", KES_SQL_BLOB)},
        {"id"});
    Define(
        keys_,
        {Column("code", KES_SQL_CHAR, 10), Column("day", KES_SQL_DATE), Column("qty", KES_SQL_INT)},
        {"code", "day"});
  }

  void DropTables() {
    for (const std::string& name : {child_, parent_, values_, keys_}) Run("drop table " + name);
  }

  bool RunGenerated(const std::optional<std::string>& text) {
    EXPECT_TRUE(text.has_value());
    return text && Run(*text);
  }

  // Every row the query selects, converted to rows of table.
  std::vector<std::unique_ptr<RowObject>> Select(SelectQuery* query, const std::string& table) {
    const auto text = GenerateSelectQuery(query);
    EXPECT_TRUE(text.has_value());
    return text ? Query(*text, table) : std::vector<std::unique_ptr<RowObject>>{};
  }

  // Selects table's rows where column compares with value, ordered by sortColumn.
  std::vector<std::unique_ptr<RowObject>> SelectWhere(const std::string& table, const char* column,
                                                      uint8_t type, const void* value,
                                                      int32_t length, uint8_t op,
                                                      const char* sortColumn) {
    SelectQuery* query = CreateSelectQuery();
    AddTable(query, CreateTableRef(table.c_str(), nullptr, query->pool));
    if (column != nullptr) {
      fh::ColumnRef* ref =
          CreateColumnRef(nullptr, nullptr, column, nullptr, 0, type, 0, query->pool);
      SetCriteria(query, CreateCriteria(ref, value, length, op, query->pool));
    }
    Vector* sort = CreateColumnVector(query->pool);
    AddColumnToVector(
        query->pool,
        CreateListColumnRef(nullptr, nullptr, sortColumn, nullptr, 0, 0, 0, query->pool), sort);
    SetSortOrder(query, CreateSortOrder(sort, 1, query->pool));
    auto rows = Select(query, table);
    FreeSelectQuery(query);
    return rows;
  }

  std::vector<int64_t> Ids(const std::vector<std::unique_ptr<RowObject>>& rows, int column = 0,
                           uint8_t type = KES_SQL_INT) {
    std::vector<int64_t> ids;
    for (const auto& row : rows) {
      ids.push_back(row && row->values[column] ? *fh::GetIntegerValue(*row->values[column], type)
                                               : -1);
    }
    return ids;
  }

  std::string child_ = UniqueTableName("sqlchild");
  std::string parent_ = UniqueTableName("sqlparent");
  std::string values_ = UniqueTableName("sqlvalues");
  std::string keys_ = UniqueTableName("sqlkeys");
};

std::vector<std::optional<fh::ColumnValue>> HostileRow(int which) {
  const unsigned char bytes[] = {0x00, 0x01, 0x00, 0xff, 0x27, 0x5c};
  if (which == 1) {
    return {Int(KES_SQL_INT, 1),
            Text("O'Brien"),
            Text("ends with a backslash \\"),
            Int(KES_SQL_TINYINT, -128),
            Int(KES_SQL_SMALLINT, -32768),
            Int(KES_SQL_INT, INT32_MIN),
            Int(KES_SQL_BIGINT, INT64_MIN),
            Int(KES_SQL_UNSIGNED_INT, 4294967295),
            fh::ColumnValue::FromDouble(1e-300),
            fh::ColumnValue::FromFloat(0.1f),
            Int(KES_SQL_BOOLEAN, 1),
            Date(2021, 3, 4),
            Time(23, 59, 58),
            DateTime(1999, 12, 31, 12, 34, 56),
            fh::ColumnValue::FromBytes(bytes, sizeof bytes)};
  }
  if (which == 2) {
    return {Int(KES_SQL_INT, 2),
            Text("na\xc3\xafve \xc3\xbc \xe6\x97\xa5"),
            Text("a\"b;-- '' \\' x"),
            Int(KES_SQL_TINYINT, 127),
            Int(KES_SQL_SMALLINT, 32767),
            Int(KES_SQL_INT, INT32_MAX),
            Int(KES_SQL_BIGINT, INT64_MAX),
            Int(KES_SQL_UNSIGNED_INT, 0),
            fh::ColumnValue::FromDouble(0.1),
            fh::ColumnValue::FromFloat(-1.5f),
            Int(KES_SQL_BOOLEAN, 0),
            Date(1970, 1, 1),
            Time(0, 0, 0),
            DateTime(2038, 1, 19, 3, 14, 7),
            fh::ColumnValue::FromBytes(bytes, 1)};
  }
  std::vector<std::optional<fh::ColumnValue>> nulls(15);
  nulls[0] = Int(KES_SQL_INT, 3);
  return nulls;
}

TEST_P(SqlEngineTest, ValuesSurviveTheRoundTrip) {
  int missing = -1;
  EXPECT_TRUE(CreateAllTables(&missing));
  EXPECT_EQ(missing, 0);
  for (int which = 1; which <= 3; ++which) {
    auto row = MakeRow(HostileRow(which));
    ASSERT_TRUE(RunGenerated(GenerateInsertQuery(values_.c_str(), row.get()))) << which;
  }
  const auto rows = SelectWhere(values_, nullptr, 0, nullptr, 0, 0, "id");
  ASSERT_EQ(rows.size(), 3u);
  static const char* const kNames[] = {"id", "name", "txt",  "ti",  "si", "i",  "bi", "u",
                                       "d",  "f",    "flag", "day", "tm", "ts", "bin"};
  for (int which = 1; which <= 3; ++which) {
    const auto expected = HostileRow(which);
    ASSERT_NE(rows[which - 1], nullptr);
    const auto& got = rows[which - 1]->values;
    ASSERT_EQ(got.size(), expected.size());
    EXPECT_EQ(rows[which - 1]->state, fh::kRowPersisted);
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(got[i], expected[i]) << "row " << which << " column " << kNames[i];
    }
  }
  // A second start on the same database: the creates fail, nothing is missing.
  EXPECT_FALSE(CreateAllTables(&missing));
  EXPECT_EQ(missing, 0);
}

TEST_P(SqlEngineTest, KeysPickExactlyTheirRow) {
  ASSERT_TRUE(CreateAllTables());
  const struct {
    const char* code;
    int day;
    int qty;
  } rows[] = {{"a", 4, 1}, {"a", 5, 2}, {"b", 4, 3}, {"O'B\\", 4, 4}};
  for (const auto& r : rows) {
    auto row = MakeRow({Text(r.code), Date(2021, 3, r.day), Int(KES_SQL_INT, r.qty)});
    ASSERT_TRUE(RunGenerated(GenerateInsertQuery(keys_.c_str(), row.get())));
  }
  auto changed = MakeRow({Text("a"), Date(2021, 3, 4), Int(KES_SQL_INT, 10)});
  ASSERT_TRUE(RunGenerated(GenerateUpdateQuery(keys_.c_str(), changed.get())));
  auto gone = MakeRow({Text("O'B\\"), Date(2021, 3, 4), Int(KES_SQL_INT, 4)});
  ASSERT_TRUE(RunGenerated(GenerateDeleteQuery(keys_.c_str(), gone.get())));
  EXPECT_EQ(Ids(SelectWhere(keys_, nullptr, 0, nullptr, 0, 0, "qty"), 2),
            (std::vector<int64_t>{2, 3, 10}));
}

TEST_P(SqlEngineTest, CriteriaOnEachTypeSelectTheIntendedRows) {
  ASSERT_TRUE(CreateAllTables());
  for (int which = 1; which <= 3; ++which) {
    auto row = MakeRow(HostileRow(which));
    ASSERT_TRUE(RunGenerated(GenerateInsertQuery(values_.c_str(), row.get())));
  }
  const int64_t zero = 0;
  const int32_t limit = INT32_MAX;
  const unsigned char yes = 1;
  const unsigned char no = 0;
  const struct {
    const char* column;
    uint8_t type;
    const void* value;
    int32_t length;
    uint8_t op;
    std::vector<int64_t> ids;
  } cases[] = {
      {"name", KES_SQL_CHAR, "O'Brien", 7, fh::kCriteriaEqual, {1}},
      {"txt", KES_SQL_TEXT, "ends with a backslash \\", 23, fh::kCriteriaEqual, {1}},
      {"txt", KES_SQL_TEXT, "a\"b%", 4, fh::kSelectOperatorLike, {2}},
      {"day", KES_SQL_DATE, "2021-03-04", 10, fh::kCriteriaEqual, {1}},
      {"ts", KES_SQL_DATETIME, "2000-01-01 00:00:00", 19, fh::kCriteriaGreater, {2}},
      {"tm", KES_SQL_TIME, "23:59:58", 8, fh::kCriteriaEqual, {1}},
      {"flag", KES_SQL_BOOLEAN, &yes, 1, fh::kCriteriaEqual, {1}},
      {"flag", KES_SQL_BOOLEAN, &no, 1, fh::kCriteriaEqual, {2}},
      {"bi", KES_SQL_BIGINT, &zero, 8, fh::kCriteriaLess, {1}},
      {"i", KES_SQL_INT, &limit, 4, fh::kCriteriaEqual, {2}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Ids(SelectWhere(values_, c.column, c.type, c.value, c.length, c.op, "id")), c.ids)
        << c.column;
  }
}

TEST_P(SqlEngineTest, PagingSkipsAndLimits) {
  ASSERT_TRUE(CreateAllTables());
  for (int which = 1; which <= 3; ++which) {
    auto row = MakeRow(HostileRow(which));
    ASSERT_TRUE(RunGenerated(GenerateInsertQuery(values_.c_str(), row.get())));
  }
  SelectQuery* query = CreateSelectQuery();
  AddTable(query, CreateTableRef(values_.c_str(), "v", query->pool));
  AddColumnToSelectQuery(
      query, CreateColumnRef(nullptr, "v", "id", nullptr, 0, KES_SQL_INT, 0, query->pool));
  Vector* sort = CreateColumnVector(query->pool);
  AddColumnToVector(query->pool,
                    CreateListColumnRef(nullptr, "v", "id", nullptr, 0, 0, 0, query->pool), sort);
  SetSortOrder(query, CreateSortOrder(sort, 0, query->pool));
  query->limit = 1;
  query->offset = 1;
  EXPECT_EQ(Ids(Select(query, values_)), (std::vector<int64_t>{2}));
  FreeSelectQuery(query);
}

TEST_P(SqlEngineTest, SampleDictionaryIsCreatedOnEmptyAndExistingDatabases) {
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ASSERT_TRUE(LoadDataDictFiles(FH_SOURCE_DIR "/examples/data"));
  std::vector<std::string> names;
  for (const TableDefn* table : GetTableDefnList()) {
    names.push_back(table->tableName);
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table->tableName.c_str(), "conn")));
  }
  ASSERT_GE(names.size(), 5u);
  // Drops what an earlier run left, referring tables first (retried until
  // nothing more can be dropped).
  auto dropAll = [&] {
    for (std::size_t pass = 0; pass < names.size(); ++pass) {
      for (const std::string& name : names) Run("drop table " + name);
    }
  };
  dropAll();
  int missing = -1;
  EXPECT_TRUE(CreateAllTables(&missing)) << log_.Messages();
  EXPECT_EQ(missing, 0);
  EXPECT_FALSE(CreateAllTables(&missing));
  EXPECT_EQ(missing, 0);
  dropAll();
}

INSTANTIATE_TEST_SUITE_P(Engines, SqlEngineTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
