// The statements of an index table in each dialect.
#include "sql/index_table_sql.h"

#include <gtest/gtest.h>

#include "sql/sql_dialects.h"

namespace fhtest {
namespace {

TEST(IndexTableSqlTest, EntryStatementsPerDialect) {
  // A table name with a quote and a backslash: only MYSQL reads the
  // backslash as an escape, so only its literal doubles it.
  const struct {
    const char* dialect;  // as a connection may spell it
    const char* table;    // the table name's literal
  } cases[] = {
      {"mysql", R"('Pa''rt\\s')"}, {"Pgsql", R"('Pa''rt\s')"}, {"FIREBIRD", R"('Pa''rt\s')"},
      {"sqlite", R"('Pa''rt\s')"}, {nullptr, R"('Pa''rt\s')"},
  };
  for (const auto& c : cases) {
    const fh::DialectWords* words = fh::DialectWordsNamed(c.dialect);
    EXPECT_EQ(words == nullptr, c.dialect == nullptr) << (c.dialect ? c.dialect : "none");
    const fh::IndexEntrySql sql = fh::MakeIndexEntrySql(words, "Dom", "id", "42", R"(Pa'rt\s)");
    const std::string pair = std::string("id = 42 AND TABLENAME = ") + c.table;
    EXPECT_EQ(sql.count, "SELECT count(*) FROM Dom_IDX WHERE " + pair);
    EXPECT_EQ(sql.insert, std::string("INSERT INTO Dom_IDX VALUES (42, ") + c.table + ")");
    EXPECT_EQ(sql.boundInsert, "INSERT INTO Dom_IDX VALUES (?, ?)");
    EXPECT_EQ(sql.remove, "DELETE FROM Dom_IDX WHERE " + pair);
    EXPECT_EQ(sql.boundRemove, "DELETE FROM Dom_IDX WHERE id = ? AND TABLENAME = ?");
  }
  EXPECT_EQ(fh::DialectWordsNamed("oracle"), nullptr);
}

TEST(IndexTableSqlTest, TableTexts) {
  EXPECT_EQ(fh::IndexTableName("Dom"), "Dom_IDX");
  EXPECT_EQ(fh::IndexTableCreateText("Dom", "id INT, code VARCHAR(8), "),
            "CREATE TABLE Dom_IDX(id INT, code VARCHAR(8),  TABLENAME VARCHAR(40))");
  EXPECT_EQ(fh::IndexTableSelectText("Dom", "id = 7 AND code = 'x' "),
            "SELECT TABLENAME FROM Dom_IDX WHERE id = 7 AND code = 'x' ");
}

}  // namespace
}  // namespace fhtest
