#include "dictionary/column_types.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct NameCase {
  const char* name;
  uint8_t code;
};

TEST(ColumnTypesTest, EveryAcceptedNameSelectsItsCode) {
  const std::vector<NameCase> cases = {
      {"KES_SQL_NOT_SUPPORTED_TYPE", 0},
      {"KES_SQL_TINYINT", 1},
      {"KES_SQL_UNSIGNED_TINYINT", 2},
      {"KES_SQL_SMALLINT", 3},
      {"KES_SQL_UNSIGNED_SMALLINT", 4},
      {"KES_SQL_INT", 5},
      {"INTEGER", 5},
      {"LONG", 5},
      {"KES_SQL_UNSIGNED_INT", 6},
      {"BIGINT", 7},
      {"KES_SQL_UNSIGNED_LONG_INT", 8},
      {"KES_SQL_FLOAT", 9},
      {"FLOAT", 9},
      {"KES_SQL_DOUBLE", 10},
      {"KES_SQL_REAL", 11},
      {"KES_SQL_DECIMAL", 12},
      {"KES_SQL_NUMERIC", 13},
      {"KES_SQL_CHAR", 14},
      {"CHAR", 15},
      {"NCHAR", 15},
      {"KES_SQL_DATE", 16},
      {"DATE", 16},
      {"KES_SQL_TIME", 17},
      {"TIME", 17},
      {"KES_SQL_DATETIME", 18},
      {"DATETIME", 18},
      {"TIMESTAMP", 18},
      {"BOOLEAN", 19},
      {"KES_SQL_BLOB", 20},
      {"BLOB", 20},
      {"KES_SQL_CLOB", 21},
      {"CLOB", 21},
      {"KES_SQL_TEXT", 22},
      {"TEXT", 22},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetColumnTypeFromName(c.name), c.code);
  }
}

TEST(ColumnTypesTest, NamesIgnoreLetterCase) {
  const std::vector<NameCase> cases = {
      {"integer", 5}, {"Long", 5},       {"kes_sql_int", 5}, {"bigint", 7},
      {"nchar", 15},  {"timestamp", 18}, {"Boolean", 19},    {"kes_sql_Text", 22},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(GetColumnTypeFromName(c.name), c.code);
  }
}

TEST(ColumnTypesTest, CodeOnlyAndUnknownNamesGiveZero) {
  for (const char* name : {"KES_SQL_BIGINT", "KES_SQL_NCHAR", "KES_SQL_BOOLEAN", "VARCHAR", "INT",
                           "DOUBLE", " INTEGER", "INTEGER ", ""}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(GetColumnTypeFromName(name), KES_SQL_NOT_SUPPORTED_TYPE);
  }
  EXPECT_EQ(GetColumnTypeFromName(nullptr), KES_SQL_NOT_SUPPORTED_TYPE);
}

TEST(ColumnTypesTest, SymbolsAndSizesFollowTheCodes) {
  const std::vector<int32_t> sizes = {0, 1, 1, 2, 2,  4,  4,  8, 8, 4, 8, 4,
                                      0, 0, 0, 0, 11, 11, 11, 1, 0, 0, 0};
  for (int code = 0; code <= fh::kMaxColumnTypeCode; ++code) {
    SCOPED_TRACE(code);
    EXPECT_EQ(fh::GetColumnTypeSize(static_cast<uint8_t>(code)), sizes[code]);
    const std::string symbol = fh::GetColumnTypeSymbol(static_cast<uint8_t>(code));
    // Every symbol names its own code (the code-only names excepted, which
    // select nothing from a file).
    if (symbol != "KES_SQL_BIGINT" && symbol != "KES_SQL_NCHAR" && symbol != "KES_SQL_BOOLEAN") {
      EXPECT_EQ(GetColumnTypeFromName(symbol.c_str()), code);
    }
  }
  EXPECT_STREQ(fh::GetColumnTypeSymbol(KES_SQL_INT), "KES_SQL_INT");
  EXPECT_STREQ(fh::GetColumnTypeSymbol(23), "UNKNOWN");
  EXPECT_EQ(fh::GetColumnTypeSize(23), 0);
}

TEST(ColumnTypesTest, TypeFamilies) {
  for (int code = 0; code <= 255; ++code) {
    const auto type = static_cast<uint8_t>(code);
    SCOPED_TRACE(code);
    EXPECT_EQ(fh::IsIntegerColumnType(type), code >= 1 && code <= 8);
    EXPECT_EQ(fh::IsSignedIntegerColumnType(type),
              code == 1 || code == 3 || code == 5 || code == 7);
    EXPECT_EQ(fh::IsFloatingColumnType(type), code >= 9 && code <= 11);
    EXPECT_EQ(fh::IsTextColumnType(type), (code >= 12 && code <= 15) || code == 22);
    EXPECT_EQ(fh::IsDateTimeColumnType(type), code >= 16 && code <= 18);
  }
}

TEST(ColumnTypesTest, WideCharColumnsBecomeText) {
  struct Case {
    uint8_t type;
    int32_t maxSize;
    uint8_t widened;
  };
  const std::vector<Case> cases = {
      {KES_SQL_NCHAR, 255, KES_SQL_NCHAR}, {KES_SQL_NCHAR, 256, KES_SQL_TEXT},
      {KES_SQL_CHAR, 255, KES_SQL_CHAR},   {KES_SQL_CHAR, 4000, KES_SQL_TEXT},
      {KES_SQL_NCHAR, -1, KES_SQL_NCHAR},  {KES_SQL_INT, 1000, KES_SQL_INT},
      {KES_SQL_BLOB, 1000, KES_SQL_BLOB},  {KES_SQL_TEXT, 10, KES_SQL_TEXT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.type) + "/" + std::to_string(c.maxSize));
    EXPECT_EQ(fh::WidenColumnType(c.type, c.maxSize), c.widened);
  }
}

}  // namespace
