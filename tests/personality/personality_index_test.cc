// Index tables of dominant tables: their key columns by type, their
// creation on a new and on an existing database.
#include "personality/personality_index.h"

#include <gtest/gtest.h>

#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include "framework/index_table.h"
#include "personality/personality_test_helpers.h"
#include "support/test_log.h"

namespace {

using fhtest::Column;
using fhtest::DefineTable;

TEST(PersonalityIndexColumnsTest, DeclaresEachKeyAtItsTypeAndSize) {
  fhtest::TestLog log;
  FreeAllTableDefns();
  ASSERT_TRUE(DefineTable("IntKey", {Column("ID", KES_SQL_INT)}, {"ID"}));
  ASSERT_TRUE(DefineTable("BigKey", {Column("ID", KES_SQL_BIGINT)}, {"ID"}));
  ASSERT_TRUE(DefineTable("Mixed", {Column("ID", KES_SQL_INT), Column("NAME", KES_SQL_CHAR, 50)},
                          {"NAME", "ID"}));
  ASSERT_TRUE(DefineTable("Small",
                          {Column("S", KES_SQL_SMALLINT), Column("U", KES_SQL_UNSIGNED_INT),
                           Column("T", KES_SQL_TEXT, 300)},
                          {"S", "U", "T"}));
  ASSERT_TRUE(DefineTable("FloatKey", {Column("F", KES_SQL_FLOAT)}, {"F"}));
  ASSERT_TRUE(DefineTable("NoKey", {Column("ID", KES_SQL_INT)}, {}));
  const struct {
    const char* table;
    std::optional<std::string> columns;
    const char* error;
  } cases[] = {
      {"IntKey", "ID INT, ", nullptr},
      {"BigKey", "ID BIGINT, ", nullptr},
      {"mixed", "NAME VARCHAR(50), ID INT, ", nullptr},
      {"Small", "S INT, U BIGINT, T VARCHAR(300), ", nullptr},
      {"FloatKey", std::nullopt, "Cannot create index column for F: unsupported key type 9\n"},
      {"NoKey", std::nullopt, "No constraints for table NoKey\n"},
      {"Unknown", std::nullopt, "No table definition found for Unknown.\n"},
      {nullptr, std::nullopt, "Cannot get PKColumnInfo.  TableName is NULL\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table != nullptr ? c.table : "null");
    const auto keys = GetPKColumnInfo(c.table);
    EXPECT_EQ(keys ? ConstructPKColumnString(*keys) : std::nullopt, c.columns);
    if (c.error != nullptr) {
      EXPECT_TRUE(log.HasLine("[ERROR]", c.error));
    }
  }
  FreeAllTableDefns();
}

using PersonalityIndexTest = fhtest::PersonalityDbTest;

TEST_P(PersonalityIndexTest, CreatesIndexTablesAndGoesOnPastFailures) {
  const std::string first = fhtest::UniqueTableName("PxA");
  const std::string second = fhtest::UniqueTableName("PxB");
  const std::string notIndexed = fhtest::UniqueTableName("PxC");
  ASSERT_TRUE(DefineTable(first, {Column("ID", KES_SQL_INT), Column("NAME", KES_SQL_CHAR, 50)},
                          {"ID", "NAME"}));
  ASSERT_TRUE(DefineTable(second, {Column("CODE", KES_SQL_BIGINT)}, {"CODE"}));
  ASSERT_TRUE(DefineTable(notIndexed, {Column("ID", KES_SQL_INT)}, {"ID"}));
  for (const std::string& table : {first, second, notIndexed}) ASSERT_TRUE(CreateInDb(table));
  std::string lowerFirst = first;
  for (char& c : lowerFirst) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Attributes in either order; the first dominant table has no definition.
  const std::string xml =
      "<R><DominantTableConfig dominanttableid='Nope' isindexed='true'/>"
      "<DominantTableConfig isindexed='true' dominanttableid='" +
      lowerFirst + "'/><DominantTableConfig dominanttableid='" + notIndexed +
      "' isindexed='false'/><DominantTableConfig dominanttableid='" + second +
      "' nonindexlimit='5' isindexed='true'/></R>";
  const std::string failure = " [ERROR] Cannot create Index Table for ";

  // A new database: every index table asked for is made, past the failure.
  ASSERT_EQ(fhtest::ReadPersonalityText(dir_, xml), 1);
  EXPECT_EQ(log_.Count(failure), 1u);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot create Index Table for Nope\n"));
  EXPECT_EQ(Run("insert into " + first + "_IDX values (7, 'o''k', 'Lines')"), 1);
  EXPECT_EQ(Run("insert into " + second + "_IDX values (9000000000, 'Notes')"), 1);
  EXPECT_EQ(Query("select ID, NAME, TABLENAME from " + first + "_IDX"),
            std::vector<std::string>{"7|o'k|Lines"});
  EXPECT_EQ(Query("select CODE, TABLENAME from " + second + "_IDX"),
            std::vector<std::string>{"9000000000|Notes"});
  EXPECT_EQ(Query("select * from " + notIndexed + "_IDX"), std::nullopt);
  EXPECT_TRUE(fh::IsIndexedDominantTable(first.c_str()));
  EXPECT_TRUE(fh::IsIndexedDominantTable(second.c_str()));
  EXPECT_FALSE(fh::IsIndexedDominantTable(notIndexed.c_str()));

  // A key text with a quote and a backslash is matched by the key condition
  // and stored exactly, whatever the engine makes of backslashes.
  DataObject* holder = CreateDataObject();
  ASSERT_NE(holder, nullptr);
  const RowUnit* row = CreateRowUnit(
      first.c_str(),
      {fh::ColumnValue::FromInteger(KES_SQL_INT, 8), fh::ColumnValue::FromText("a'b\\")}, {},
      holder->pool);
  const auto condition = ConstructPKValueString(first.c_str(), row);
  const auto name = fh::IndexKeyLiteral(&*row->values[1], KES_SQL_CHAR, "conn");
  ASSERT_TRUE(condition && name);
  EXPECT_EQ(Run("insert into " + first + "_IDX values (8, " + *name + ", 'Notes')"), 1);
  EXPECT_EQ(Query("select TABLENAME from " + first + "_IDX where " + *condition),
            std::vector<std::string>{"Notes"});
  EXPECT_EQ(Query("select NAME from " + first + "_IDX where ID = 8"),
            std::vector<std::string>{"a'b\\"});
  fh::FreeDataObject(holder);

  // An existing database: each create fails, each is tried, rows stay.
  ASSERT_EQ(fhtest::ReadPersonalityText(dir_, xml), 1);
  EXPECT_EQ(log_.Count(failure), 4u);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot create Index Table for " + second + "\n"));
  EXPECT_EQ(Query("select CODE, TABLENAME from " + second + "_IDX"),
            std::vector<std::string>{"9000000000|Notes"});
}

INSTANTIATE_TEST_SUITE_P(Engines, PersonalityIndexTest,
                         testing::ValuesIn(fhtest::SelectedEngines()), fhtest::EngineName);

}  // namespace
