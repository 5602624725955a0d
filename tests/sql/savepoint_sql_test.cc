// Savepoint statements and which dialects nest a repeated name.
#include "sql/savepoint_sql.h"

#include <gtest/gtest.h>

#include <utility>

namespace fhtest {
namespace {

TEST(SavepointSqlTest, OnlySqliteNestsARepeatedName) {
  const std::pair<const char*, bool> cases[] = {{"MYSQL", false},    {"pgsql", false},
                                                {"Firebird", false}, {"sqlite", true},
                                                {"oracle", true},    {nullptr, true}};
  for (const auto& [dialect, nests] : cases) {
    EXPECT_EQ(fh::MakeSavepointSql("s1", dialect).nests, nests) << (dialect ? dialect : "none");
  }
}

}  // namespace
}  // namespace fhtest
