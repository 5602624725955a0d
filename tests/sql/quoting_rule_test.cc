// The one rule for names and texts in SQL (dictionary/sql_text.h), as the
// dialects apply it: only MYSQL reads backslash escapes.
#include <gtest/gtest.h>

#include <string>

#include "dictionary/sql_text.h"
#include "sql/firebird_dialect.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sql_generator.h"
#include "sql/sqlite_dialect.h"

namespace {

TEST(QuotingRuleTest, PlainIdentifiersAndQuotedTexts) {
  const struct {
    std::string name;
    bool plain;
  } names[] = {
      {"customer_id", true},
      {"_x9", true},
      {"Z", true},
      {"", false},
      {"9lives", false},
      {"a b", false},
      {"a-b", false},
      {"a'b", false},
      {std::string(128, 'n'), true},
      {std::string(129, 'n'), false},
  };
  for (const auto& c : names) EXPECT_EQ(fh::IsPlainIdentifier(c.name), c.plain) << c.name;

  EXPECT_EQ(fh::QuoteSqlText("it's a\\b", false), "'it''s a\\b'");
  EXPECT_EQ(fh::QuoteSqlText("it's a\\b", true), "'it''s a\\\\b'");
  EXPECT_EQ(fh::QuoteSqlText(std::string("cut\0here", 8), true), "'cut'");
}

TEST(QuotingRuleTest, EveryDialectAgreesOnBackslashEscapes) {
  for (const fh::DialectWords* words :
       {&kMysqlWords, &kPgsqlWords, &kFirebirdWords, &kSqliteWords}) {
    SCOPED_TRACE(words->name);
    std::string lower = words->name;
    for (char& c : lower) c = static_cast<char>(c | 0x20);
    EXPECT_EQ(fh::DialectReadsBackslashEscapes(lower.c_str()), words == &kMysqlWords);
    EXPECT_EQ(fh::QuoteSqlText(*words, "\\'", 2), words == &kMysqlWords ? "'\\\\'''" : "'\\'''");
  }
  EXPECT_FALSE(fh::DialectReadsBackslashEscapes(nullptr));
}

}  // namespace
