// The texts the four dialects write, through the shared generator.
#include "sql/sql_generator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>

#include "query/criteria_node.h"
#include "sql/firebird_dialect.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sql_test_helpers.h"
#include "sql/sqlite_dialect.h"
#include "support/test_log.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class SqlTextTest : public testing::Test {
 public:
  SqlTextTest() {
    FreeAllTableDefns();
    InitializeMemPool();
    query_ = CreateSelectQuery();
  }
  ~SqlTextTest() override {
    FreeSelectQuery(query_);
    fh::ResetMemPoolForTest();
    FreeAllTableDefns();
  }
  MemPool* pool() { return query_->pool; }
  fh::ColumnRef* Col(const char* table, const char* alias, const char* name,
                     uint8_t type = KES_SQL_INT, uint8_t aggregate = 0,
                     const char* columnAlias = nullptr) {
    return CreateColumnRef(table, alias, name, columnAlias, 0, type, aggregate, pool());
  }
  void Table(const char* name, const char* alias = nullptr) {
    AddTable(query_, CreateTableRef(name, alias, pool()));
  }
  TestLog log_;
  SelectQuery* query_ = nullptr;
};

struct SelectCase {
  const char* name;
  std::function<void(SqlTextTest&, SelectQuery*)> build;
  const char* mysql;
  const char* pgsql;
  const char* firebird;
};

TEST_F(SqlTextTest, SelectFormsPerDialect) {
  const SelectCase cases[] = {
      {"one table", [](SqlTextTest& t, SelectQuery*) { t.Table("T"); }, "select * from T\n",
       "select * from T\n", "select  * from T\n"},
      {"two aliased tables",
       [](SqlTextTest& t, SelectQuery*) {
         t.Table("A", "a");
         t.Table("B", "b");
       },
       "select * from A as a , B as b \n", "select * from A as a , B as b \n",
       "select  * from A a , B b \n"},
      {"limit and offset",
       [](SqlTextTest& t, SelectQuery* q) {
         t.Table("T");
         q->limit = 10;
         q->offset = 5;
       },
       "select * from T\nlimit 5 , 10", "select * from T\nlimit 10 offset 5",
       "select first 10 skip 5  * from T\n"},
      {"limit without offset",
       [](SqlTextTest& t, SelectQuery* q) {
         t.Table("T");
         q->limit = 3;
       },
       "select * from T\nlimit 3", "select * from T\nlimit 3", "select first 3  * from T\n"},
      {"offset without limit",
       [](SqlTextTest& t, SelectQuery* q) {
         t.Table("T");
         q->offset = 5;
       },
       "select * from T\n", "select * from T\n", "select skip 5  * from T\n"},
      {"columns, alias and COUNT(*)",
       [](SqlTextTest& t, SelectQuery* q) {
         AddColumnToSelectQuery(q, t.Col("T", "a", "id", KES_SQL_INT, 0, "ident"));
         AddColumnToSelectQuery(q,
                                t.Col(nullptr, nullptr, nullptr, KES_SQL_INT, fh::kAggregateCount));
         AddColumnToSelectQuery(q, t.Col("T", nullptr, "qty", KES_SQL_INT, fh::kAggregateMax));
         t.Table("T", "a");
       },
       "select a.id as ident , COUNT(*), MAX(T.qty) \nfrom T as a \n",
       "select a.id as ident , COUNT(*), MAX(T.qty) \nfrom T as a \n",
       "select a.id as ident , COUNT(*), MAX(T.qty) \nfrom T a \n"},
      {"join qualified by its sides",
       [](SqlTextTest& t, SelectQuery* q) {
         Vector* base = CreateColumnVector(t.pool());
         Vector* joined = CreateColumnVector(t.pool());
         AddColumnToVector(t.pool(), t.Col(nullptr, nullptr, "id"), base);
         AddColumnToVector(t.pool(), t.Col(nullptr, nullptr, "k"), base);
         AddColumnToVector(t.pool(), t.Col(nullptr, nullptr, "pid"), joined);
         AddColumnToVector(t.pool(), t.Col("C", nullptr, "k"), joined);
         AddJoin(q, CreateJoin("P", "p", "C", nullptr, LEFT_JOIN, base, joined, t.pool()));
         t.Table("X");
       },
       "select * from  P as p  left join  C  on p.id = C.pid and p.k = C.k ,X\n",
       "select * from  P as p  left join  C  on p.id = C.pid and p.k = C.k ,X\n",
       "select  * from  P p  left join  C  on p.id = C.pid and p.k = C.k ,X\n"},
      {"group by, having, order by",
       [](SqlTextTest& t, SelectQuery* q) {
         t.Table("T");
         Vector* group = CreateColumnVector(t.pool());
         AddColumnToVector(t.pool(), t.Col("T", nullptr, "kind"), group);
         AddColumnToVector(t.pool(), t.Col(nullptr, "t", "sub"), group);
         const int32_t two = 2;
         Having* having =
             fh::CreateHaving(t.Col("T", nullptr, "id", KES_SQL_INT, fh::kAggregateCount), &two, 4,
                              fh::kCriteriaGreater, t.pool());
         SetGroupBy(q, CreateGroupBy(group, having, t.pool()));
         Vector* sort = CreateColumnVector(t.pool());
         AddColumnToVector(t.pool(), t.Col("T", nullptr, "kind"), sort);
         AddColumnToVector(t.pool(), t.Col(nullptr, nullptr, "id"), sort);
         SetSortOrder(q, CreateSortOrder(sort, 0, t.pool()));
       },
       "select * from T\ngroup by T.kind,t.sub\nhaving  COUNT(T.id)  >  2 order by T.kind,id  "
       "desc ",
       "select * from T\ngroup by T.kind,t.sub\nhaving  COUNT(T.id)  >  2 order by T.kind,id  "
       "desc ",
       "select  * from T\ngroup by T.kind,t.sub\nhaving  COUNT(T.id)  >  2 order by T.kind,id  "
       "desc "},
  };
  for (const SelectCase& c : cases) {
    SCOPED_TRACE(c.name);
    const struct {
      const fh::DialectWords& words;
      const char* expected;
    } dialects[] = {{kMysqlWords, c.mysql},
                    {kPgsqlWords, c.pgsql},
                    {kSqliteWords, c.pgsql},
                    {kFirebirdWords, c.firebird}};
    for (const auto& d : dialects) {
      FreeSelectQuery(query_);
      query_ = CreateSelectQuery();
      c.build(*this, query_);
      EXPECT_EQ(fh::GenSelectText(d.words, query_).value_or("<none>"), d.expected) << d.words.name;
    }
  }
}

TEST_F(SqlTextTest, CriteriaValuesAreQuotedAndEscapedByType) {
  Table("T", "t");
  const char name[] = "O'Brien\\";
  const char day[] = "2021-03-04";
  const unsigned char yes = 1;
  const int64_t big = -9223372036854775807LL - 1;
  fh::SelectCriteria* byName =
      CreateCriteria(Col("T", "t", "name", KES_SQL_CHAR), name, 8, fh::kCriteriaEqual, pool());
  fh::SelectCriteria* byDay = CreateCriteria(Col("T", nullptr, "day", KES_SQL_DATE), day, 10,
                                             fh::kCriteriaGreaterEqual, pool());
  fh::SelectCriteria* byFlag = CreateCriteria(Col(nullptr, nullptr, "flag", KES_SQL_BOOLEAN), &yes,
                                              1, fh::kCriteriaEqual, pool());
  fh::SelectCriteria* byBig = CreateCriteria(Col(nullptr, nullptr, "n", KES_SQL_BIGINT), &big, 8,
                                             fh::kCriteriaLess, pool());
  SetCriteria(query_, CreateOrCriteria(CreateAndCriteria(byName, byDay, pool()),
                                       CreateAndCriteria(byFlag, byBig, pool()), pool()));
  // Each AND under the OR keeps its grouping in parentheses.
  const std::string tail =
      " T.day >=  '2021-03-04' )  OR  (flag =  %B  AND n <  -9223372036854775808 ) ";
  auto expect = [&](const fh::DialectWords& words, const char* quotedName, const char* boolean) {
    std::string expected =
        std::string("select * from T as t \nwhere  ( t.name =  ") + quotedName + "  AND " + tail;
    expected.replace(expected.find("%B"), 2, boolean);
    EXPECT_EQ(fh::GenSelectText(words, query_).value_or("<none>"), expected) << words.name;
  };
  expect(kMysqlWords, "'O''Brien\\\\'", "1");
  expect(kPgsqlWords, "'O''Brien\\'", "'t'");
  expect(kSqliteWords, "'O''Brien\\'", "1");
}

// A BETWEEN value is written as it stands, so only a plain range of two
// literals passes; anything that could carry more SQL is refused.
TEST_F(SqlTextTest, BetweenTakesOnlyAPlainRange) {
  const struct {
    const char* range;
    bool written;
  } cases[] = {
      {"1 AND 5", true},
      {" -1.5 and +2 ", true},
      {"'a''b' AND 'c'", true},
      {"'2024-01-01'\tAND\t'2024-12-31'", true},
      {"1 AND 5 OR 1=1", false},
      {"1 AND 5; drop table T", false},
      {"'\\' AND ' OR 1=1 -- '", false},  // a backslash escape on one engine
      {"'open AND 'x'", false},
      {"1AND 5", false},
      {"1 AND", false},
      {"AND 5", false},
      {"", false},
  };
  Table("T");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.range);
    SetCriteria(query_, CreateCriteria(Col("T", nullptr, "n", KES_SQL_INT), c.range,
                                       static_cast<int32_t>(std::strlen(c.range)),
                                       fh::kSelectOperatorBetween, pool()));
    const auto text = fh::GenSelectText(kMysqlWords, query_);
    EXPECT_EQ(text.has_value(), c.written);
    if (c.written) {
      EXPECT_NE(text->find(std::string("BETWEEN  ") + c.range), std::string::npos);
    }
    EXPECT_EQ(log_.HasLine("[ERROR]", std::string("Invalid BETWEEN range: ") + c.range + "\n"),
              !c.written);
  }
}

TEST_F(SqlTextTest, RefusedSelectsGiveNoTextAndTheirLine) {
  EXPECT_FALSE(fh::GenSelectText(kMysqlWords, query_));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "\nNo Tables To Be Selected"));
  AddJoin(query_, CreateJoin("A", nullptr, "B", nullptr, 2, nullptr, nullptr, pool()));
  EXPECT_FALSE(fh::GenSelectText(kMysqlWords, query_));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Invalid Join Type"));
  FreeSelectQuery(query_);
  query_ = CreateSelectQuery();
  Table("T");
  AddColumnToSelectQuery(query_, Col("T", nullptr, "id", KES_SQL_INT, 7));
  EXPECT_FALSE(fh::GenSelectText(kPgsqlWords, query_));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Invalid Aggregate Type"));
}

TEST_F(SqlTextTest, LiteralsReadBackExactly) {
  for (double value : {0.1, 1e-7, 1e-300, -123456.789, 5e307}) {
    const fh::ColumnValue v = fh::ColumnValue::FromDouble(value);
    EXPECT_EQ(std::strtod(fh::WriteSqlLiteral(kSqliteWords, &v, KES_SQL_DOUBLE)->c_str(), nullptr),
              value);
  }
  const fh::ColumnValue f = fh::ColumnValue::FromFloat(0.1f);
  EXPECT_EQ(std::strtof(fh::WriteSqlLiteral(kSqliteWords, &f, KES_SQL_FLOAT)->c_str(), nullptr),
            0.1f);
  const struct {
    uint8_t type;
    int64_t value;
    const char* text;
  } integers[] = {{KES_SQL_TINYINT, -128, "-128"},
                  {KES_SQL_UNSIGNED_TINYINT, 255, "255"},
                  {KES_SQL_SMALLINT, -32768, "-32768"},
                  {KES_SQL_UNSIGNED_INT, 4294967295, "4294967295"},
                  {KES_SQL_BIGINT, 9223372036854775807, "9223372036854775807"},
                  {KES_SQL_UNSIGNED_LONG_INT, -1, "18446744073709551615"}};
  for (const auto& i : integers) {
    const fh::ColumnValue v = fh::ColumnValue::FromInteger(i.type, i.value);
    EXPECT_EQ(fh::WriteSqlLiteral(kMysqlWords, &v, i.type), i.text);
  }
  const unsigned char bytes[] = {0x00, 0xff, 0x27, 0x00};
  const fh::ColumnValue blob = fh::ColumnValue::FromBytes(bytes, 4);
  EXPECT_EQ(fh::WriteSqlLiteral(kMysqlWords, &blob, KES_SQL_BLOB), "X'00ff2700'");
  EXPECT_EQ(fh::WriteSqlLiteral(kPgsqlWords, &blob, KES_SQL_BLOB), "decode('00ff2700','hex')");
  EXPECT_EQ(fh::WriteSqlLiteral(kMysqlWords, nullptr, KES_SQL_CHAR), "NULL");
  const fh::ColumnValue raw = fh::ColumnValue::FromText("x");
  EXPECT_FALSE(fh::WriteSqlLiteral(kMysqlWords, &raw, KES_SQL_NOT_SUPPORTED_TYPE));
  EXPECT_FALSE(fh::WriteSqlLiteral(kMysqlWords, &raw, KES_SQL_DATE));  // bytes for a date
}

TEST_F(SqlTextTest, StatementsPerDialect) {
  ASSERT_TRUE(DefineTable(
      "T",
      {Column("id", KES_SQL_INT), Column("name", KES_SQL_CHAR, 20), Column("flag", KES_SQL_BOOLEAN),
       Column("day", KES_SQL_DATE), Column("bin", KES_SQL_BLOB), Column("n", KES_SQL_TEXT)},
      {"ID"}));
  const unsigned char bytes[] = {0x00, 0xff};
  auto row = MakeRow({Int(KES_SQL_INT, 7), Text("O'Brien\\"), Int(KES_SQL_BOOLEAN, 1),
                      Date(2021, 3, 4), fh::ColumnValue::FromBytes(bytes, 2), std::nullopt});
  EXPECT_EQ(fh::GenInsertText(kMysqlWords, "T", row.get()),
            "insert into  T values(7,'O''Brien\\\\',1,'2021-03-04',X'00ff',NULL)");
  EXPECT_EQ(fh::GenInsertText(kPgsqlWords, "T", row.get()),
            "insert into  T values(7,'O''Brien\\','t','2021-03-04',decode('00ff','hex'),NULL);");
  EXPECT_EQ(fh::GenInsertText(kFirebirdWords, "T", row.get()),
            "insert into  T values(7,'O''Brien\\',1,'2021-03-04',X'00ff',NULL);");
  EXPECT_EQ(
      fh::GenUpdateText(kMysqlWords, "T", row.get()),
      "update T set name='O''Brien\\\\',flag=1,day='2021-03-04',bin=X'00ff',n=NULL where id=7");
  EXPECT_EQ(fh::GenUpdateText(kPgsqlWords, "T", row.get()),
            "update T set name='O''Brien\\',flag='t',day='2021-03-04',bin=decode('00ff','hex'),"
            "n=NULL where id=7");
  EXPECT_EQ(fh::GenDeleteText(kSqliteWords, "T", row.get()), "delete from T  where id=7");
  EXPECT_TRUE(log_.HasLine("[TRACE]", "Update query is @@@ update T"));  // MYSQL's blank

  ASSERT_TRUE(DefineTable("K", {Column("code", KES_SQL_CHAR, 5), Column("day", KES_SQL_DATE)},
                          {"code", "day"}));
  auto key = MakeRow({Text("a'b"), Date(2021, 3, 4)});
  EXPECT_EQ(fh::GenDeleteText(kFirebirdWords, "K", key.get()),
            "delete from K  where code='a''b' and day='2021-03-04'");
  EXPECT_EQ(fh::GenUpdateText(kSqliteWords, "K", key.get()),
            "update K set  where code='a''b' and day='2021-03-04'");
}

TEST_F(SqlTextTest, NoUpdateOrDeleteWithoutPrimaryKey) {
  ASSERT_TRUE(DefineTable("NoKey", {Column("a", KES_SQL_INT)}, {}));
  auto row = MakeRow({Int(KES_SQL_INT, 1)});
  EXPECT_FALSE(fh::GenUpdateText(kMysqlWords, "NoKey", row.get()));
  EXPECT_FALSE(fh::GenDeleteText(kPgsqlWords, "NoKey", row.get()));
  EXPECT_EQ(log_.Count("Cannot generate query for table NoKey: it has no primary key."), 2u);
  EXPECT_EQ(fh::GenInsertText(kMysqlWords, "NoKey", row.get()), "insert into  NoKey values(1)");
  EXPECT_FALSE(fh::GenInsertText(kMysqlWords, "Unknown", row.get()));
}

TEST_F(SqlTextTest, CreateTableColumnTextsPerDialect) {
  ColumnDefnEntry withDefault = Column("c", KES_SQL_INT, 0, false);
  withDefault.defaultValue = fh::ColumnValue::FromInteger(KES_SQL_INT, -5);
  ColumnDefnEntry boolDefault = Column("c", KES_SQL_BOOLEAN);
  boolDefault.defaultValue = fh::ColumnValue::FromInteger(KES_SQL_BOOLEAN, 1);
  ColumnDefnEntry charDefault = Column("c", KES_SQL_CHAR, 20);
  charDefault.defaultValue = fh::ColumnValue::FromText("it's");
  charDefault.isUnique = true;
  ColumnDefnEntry bigDefault = Column("c", KES_SQL_BIGINT);
  bigDefault.defaultValue = fh::ColumnValue::FromInteger(KES_SQL_BIGINT, 5000000000);
  const struct {
    ColumnDefnEntry column;
    const char* mysql;
    const char* pgsql;
    const char* firebird;
    const char* sqlite;
  } cases[] = {
      {withDefault, "\tc int DEFAULT -5 NOT NULL", "\tc int DEFAULT -5 NOT NULL",
       "\tc int DEFAULT -5 NOT NULL", "\tc int DEFAULT -5 NOT NULL"},
      {bigDefault, "\tc bigint DEFAULT 5000000000", "\tc bigint DEFAULT 5000000000",
       "\tc bigint DEFAULT 5000000000", "\tc bigint DEFAULT 5000000000"},
      {charDefault, "\tc varchar(20) DEFAULT 'it''s' UNIQUE",
       "\tc varchar(21) DEFAULT 'it''s' UNIQUE", "\tc varchar(20) DEFAULT 'it''s' UNIQUE",
       "\tc varchar(20) DEFAULT 'it''s' UNIQUE"},
      {boolDefault, "\tc tinyint DEFAULT 1 ", "\tc boolean DEFAULT 't' ", "\tc SMALLINT DEFAULT 1 ",
       "\tc boolean DEFAULT 1 "},
      {Column("c", KES_SQL_TEXT, 300), "\tc text ", "\tc text ", "\tc BLOB SUB_TYPE TEXT ",
       "\tc text "},
      {Column("c", KES_SQL_DATETIME), "\tc datetime", "\tc timestamp", "\tc timestamp",
       "\tc varchar(30)"},
      {Column("c", KES_SQL_TIME), "\tc time", "\tc time", "\tc time", "\tc varchar(30)"},
      {Column("c", KES_SQL_DOUBLE), "\tc double  ", "\tc double precision  ",
       "\tc double precision  ", "\tc double  "},
      {Column("c", KES_SQL_BLOB), "\tc blob  ", "\tc bytea  ", "\tc BLOB SUB_TYPE BINARY  ",
       "\tc blob  "},
      {Column("c", KES_SQL_NOT_SUPPORTED_TYPE), "\tc blob  ", "\tc bytea  ",
       "\tc BLOB SUB_TYPE BINARY  ", "\tc blob  "},
      {Column("c", KES_SQL_UNSIGNED_INT), "\tc int unsigned  ", "\tc bigint  ", "\tc bigint  ",
       "\tc bigint  "},
  };
  int n = 0;
  for (const auto& c : cases) {
    const std::string name = "C" + std::to_string(n++);
    ASSERT_TRUE(DefineTable(name, {c.column}, {}));
    const std::string head = "CREATE TABLE " + name + "(\n";
    EXPECT_EQ(fh::GenCreateText(kMysqlWords, name.c_str()),
              head + c.mysql + "\n\n) ENGINE = InnoDB;\n\n");
    EXPECT_EQ(fh::GenCreateText(kPgsqlWords, name.c_str()), head + c.pgsql + "\n\n);\n\n");
    EXPECT_EQ(fh::GenCreateText(kFirebirdWords, name.c_str()), head + c.firebird + "\n\n);\n\n");
    EXPECT_EQ(fh::GenCreateText(kSqliteWords, name.c_str()), head + c.sqlite + "\n\n);\n\n");
  }
}

TEST_F(SqlTextTest, CreateTableKeysAndForeignKeyGroups) {
  ASSERT_TRUE(
      DefineTable("F",
                  {Column("id", KES_SQL_INT), Column("a", KES_SQL_INT), Column("b", KES_SQL_INT),
                   Column("c", KES_SQL_INT), Column("k", KES_SQL_TEXT, 300)},
                  {"id", "k"}, {{"a", "x", "T", true}, {"b", "y", "T", true}, {"c", "z", "U"}}));
  const char* columns = "CREATE TABLE F(\n\tid int  ,\n\ta int  ,\n\tb int  ,\n\tc int  ,\n";
  EXPECT_EQ(fh::GenCreateText(kMysqlWords, "F"),
            std::string(columns) +
                "\tk varchar(300)  ,\n\tPRIMARY KEY(id, k),\n"
                "\tFOREIGN KEY(a,b) REFERENCES T (x,y) ON DELETE CASCADE,\n\tINDEX F_IDX0 (a,b),\n"
                "\tFOREIGN KEY(c) REFERENCES U (z),\n\tINDEX F_IDX1 (c)"
                "\n) ENGINE = InnoDB;\n\n");
  EXPECT_EQ(fh::GenCreateText(kPgsqlWords, "F"),
            std::string(columns) +
                "\tk text ,\n\tPRIMARY KEY(id, k),\n"
                "\tFOREIGN KEY(a,b) REFERENCES T (x,y) ON DELETE CASCADE,\n"
                "\tFOREIGN KEY(c) REFERENCES U (z)\n);\n\n");
}

}  // namespace
}  // namespace fhtest
