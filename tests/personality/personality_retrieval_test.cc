// Data objects of personalities on every engine: an order table with two
// constituent tables (lines and notes), retrieved whole, by dominant row, by
// criteria, several personalities merged, and deep retrieval through the
// index table.
#include "personality/personality_retrieval.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "personality/personality_index.h"
#include "personality/personality_test_helpers.h"
#include "util/memory_pool.h"

namespace {

using fhtest::Column;
using fhtest::DefineTable;
using fhtest::DescribeObject;

// Frees an object at the end of a scope.
struct Held {
  explicit Held(DataObject* held) : object(held) {}
  ~Held() { fh::FreeDataObject(object); }
  Held(const Held&) = delete;
  Held& operator=(const Held&) = delete;
  DataObject* object;
};

// Orders 1, 2, 3; lines 10 and 11 of order 1, 12 of order 2; note 20 of
// order 1; "Other" refers to nothing. Personalities:
//   Order      lines (optional), notes (optional), with the order listed
//              again and lines twice
//   Strict     lines mandatory, notes optional
//   Bare       the order alone (the file's last element)
//   Unrelated  a constituent without a key to the order
class PersonalityRetrievalTest : public fhtest::PersonalityDbTest {
 protected:
  void SetUp() override {
    fhtest::PersonalityDbTest::SetUp();
    ASSERT_TRUE(DefineTable(
        ord_, {Column("ID", KES_SQL_INT, 0, false), Column("CODE", KES_SQL_CHAR, 20)}, {"ID"}));
    ASSERT_TRUE(DefineTable(line_,
                            {Column("ID", KES_SQL_INT, 0, false), Column("ORD_ID", KES_SQL_INT),
                             Column("QTY", KES_SQL_INT)},
                            {"ID"}, {{"ORD_ID", "ID", ord_}}));
    ASSERT_TRUE(DefineTable(note_,
                            {Column("ID", KES_SQL_INT, 0, false), Column("ORD_ID", KES_SQL_INT),
                             Column("TXT", KES_SQL_CHAR, 40)},
                            {"ID"}, {{"ORD_ID", "ID", ord_}}));
    ASSERT_TRUE(DefineTable(other_, {Column("ID", KES_SQL_INT, 0, false)}, {"ID"}));
    for (const std::string& table : {ord_, line_, note_, other_}) ASSERT_TRUE(CreateInDb(table));
    for (const char* row : {"1, 'a''1'", "2, 'b'", "3, 'c'"})
      ASSERT_EQ(Run("insert into " + ord_ + " values (" + std::string(row) + ")"), 1);
    for (const char* row : {"10, 1, 5", "11, 1, 6", "12, 2, 7"})
      ASSERT_EQ(Run("insert into " + line_ + " values (" + std::string(row) + ")"), 1);
    ASSERT_EQ(Run("insert into " + note_ + " values (20, 1, 'n')"), 1);
    const std::string xml =
        "<Personalities><DominantTableConfig dominanttableid='" + ord_ +
        "' isindexed='true'/>"
        "<PersonalityConfiguration personalityname='Order' dominanttableid='" +
        ord_ + "'>" + Constituent(0, ord_, "true") + Constituent(1, line_, "false") +
        Constituent(2, note_, "False") + Constituent(3, ord_, "true") +
        Constituent(4, line_, "false") +
        "</PersonalityConfiguration>"
        "<PersonalityConfiguration personalityname='Strict' dominanttableid='" +
        ord_ + "'>" + Constituent(1, line_, "TRUE") + Constituent(2, note_, "FALSE") +
        "</PersonalityConfiguration>"
        "<PersonalityConfiguration personalityname='Unrelated' dominanttableid='" +
        ord_ + "'>" + Constituent(1, other_, "false") +
        "</PersonalityConfiguration>"
        "<PersonalityConfiguration personalityname='Bare' dominanttableid='" +
        ord_ + "'/></Personalities>";
    ASSERT_EQ(fhtest::ReadPersonalityText(dir_, xml), 1);
    holder_ = CreateDataObject();
    ASSERT_NE(holder_, nullptr);
  }
  void TearDown() override {
    fh::FreeDataObject(holder_);
    fhtest::PersonalityDbTest::TearDown();
  }
  static std::string Constituent(int index, const std::string& table, const char* mandatory) {
    return "<ConstituentTable tableindex='" + std::to_string(index) + "' tableid='" + table +
           "' mandatory='" + mandatory + "'/>";
  }
  // A row of the order table as a caller holds it (every column).
  const RowUnit* Order(int32_t id) {
    return CreateRowUnit(ord_.c_str(),
                         {fh::ColumnValue::FromInteger(KES_SQL_INT, id), std::nullopt}, {},
                         holder_->pool);
  }
  int Index(int32_t id, const std::string& table) {
    return Run("insert into " + ord_ + "_IDX values (" + std::to_string(id) + ", '" + table + "')");
  }

  const std::string ord_ = fhtest::UniqueTableName("POrd");
  const std::string line_ = fhtest::UniqueTableName("PLine");
  const std::string note_ = fhtest::UniqueTableName("PNote");
  const std::string other_ = fhtest::UniqueTableName("POther");
  DataObject* holder_ = nullptr;  // the pool of the rows the tests pass in
};

TEST_P(PersonalityRetrievalTest, RetrievesEveryDominantRowWithItsConstituents) {
  const struct {
    const char* personality;
    const char* expected;
  } cases[] = {
      // A left join that finds nothing gives no row (order 3, notes of 2).
      {"Order", "PLine:10,11,12;PNote:20;POrd:1,2,3"},
      {"Strict", "PLine:10,11,12;PNote:20;POrd:1,2"},  // order 3 has no lines
      {"Bare", "POrd:1,2,3"},
      {"Unrelated", "none"},
      {"Missing", "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.personality);
    Held object(GetDOFromPersonality(c.personality));
    EXPECT_EQ(DescribeObject(object.object), c.expected);
  }
  EXPECT_TRUE(log_.HasLine("[ERROR]", "No foreign key between " + other_ + " and " + ord_ + "\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot get DO for personality Unrelated\n"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "No personality found for Missing\n"));
  EXPECT_EQ(GetDOFromPersonality(nullptr), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot get Personality.  personalityName is NULL\n"));

  // The object saves as a unit: a new line of order 3, one line less.
  Held order(GetDOFromPersonality("Order"));
  ASSERT_TRUE(InsertRowIntoDO(
      order.object, line_.c_str(),
      {fh::ColumnValue::FromInteger(KES_SQL_INT, 13), fh::ColumnValue::FromInteger(KES_SQL_INT, 3),
       fh::ColumnValue::FromInteger(KES_SQL_INT, 1)},
      {}));
  ASSERT_TRUE(DeleteRowUnit(GetFirstRowUnit(line_.c_str(), order.object), order.object));
  EXPECT_TRUE(SaveDataObject(order.object));
  Held again(GetDOFromPersonality("Order"));
  EXPECT_EQ(DescribeObject(again.object), "PLine:11,12,13;PNote:20;POrd:1,2,3");
}

TEST_P(PersonalityRetrievalTest, RetrievesByDominantRowAndByCriteria) {
  const struct {
    const char* name;
    DataObject* object;
    const char* expected;
  } cases[] = {
      {"row 1", GetDOFromPersonalityByRowUnit("Order", Order(1)), "PLine:10,11;PNote:20;POrd:1"},
      {"row 2", GetDOFromPersonalityByRowUnit("Order", Order(2)), "PLine:12;PNote:;POrd:2"},
      {"row 3", GetDOFromPersonalityByRowUnit("Bare", Order(3)), "POrd:3"},
      {"unknown", GetDOFromPersonalityByRowUnit("Missing", Order(1)), "none"},
      {"criteria", GetDOFromPersonalityByCriteria("Order", "ID >= 2"), "PLine:12;PNote:;POrd:2,3"},
      {"criteria on text", GetDOFromPersonalityByCriteria("Strict", "CODE = 'b'"),
       "PLine:12;PNote:;POrd:2"},
      {"no match", GetDOFromPersonalityByCriteria("Order", "ID > 5"), ""},
      {"bad criteria", GetDOFromPersonalityByCriteria("Order", "ID >"), "none"},
      {"merged", GetDOFromPersonalities({"Bare", "Order"}), "PLine:10,11,12;PNote:20;POrd:1,2,3"},
      {"merged by row", GetDOFromPersonalitiesByRowUnit({"Order", "Strict"}, Order(2)),
       "PLine:12;PNote:;POrd:2"},
      {"merged by criteria", GetDOFromPersonalitiesByCriteria({"Bare", "Order"}, "ID = 1"),
       "PLine:10,11;PNote:20;POrd:1"},
      {"merged with a failure", GetDOFromPersonalities({"Order", "Missing"}), "none"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Held object(c.object);
    EXPECT_EQ(DescribeObject(object.object), c.expected);
  }
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot Merge DO's.\n"));
}

TEST_P(PersonalityRetrievalTest, DeepRetrievesTheTablesTheIndexListsOnce) {
  Held none(DeepRetrieveDO(ord_.c_str(), Order(1)));
  EXPECT_EQ(none.object, nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Query: SELECT TABLENAME FROM " + ord_ +
                                          "_IDX WHERE ID = 1 . No tables indexed.  Cannot "
                                          "deep retrieve DO for " +
                                          ord_ + "\n"));
  for (const std::string& table : {line_, line_, ord_, note_}) ASSERT_EQ(Index(1, table), 1);
  ASSERT_EQ(Index(2, line_), 1);
  Held first(DeepRetrieveDO(ord_.c_str(), Order(1)));
  EXPECT_EQ(DescribeObject(first.object), "PLine:10,11;PNote:20;POrd:1");
  Held second(DeepRetrieveDO(ord_.c_str(), Order(2)));
  EXPECT_EQ(DescribeObject(second.object), "PLine:12;POrd:2");
  Held third(DeepRetrieveDO(ord_.c_str(), Order(3)));
  EXPECT_EQ(third.object, nullptr);
  EXPECT_EQ(DeepRetrieveDO(other_.c_str(), Order(1)), nullptr);  // no index table
  EXPECT_EQ(DeepRetrieveDO(ord_.c_str(), CreateRowUnit(ord_.c_str(), {}, {}, holder_->pool)),
            nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "No primary keys in dominant table " + ord_ + "\n"));
}

// A saved object keeps the index of its indexed dominant table, so deep
// retrieval finds what the save wrote, and loses what it deleted.
TEST_P(PersonalityRetrievalTest, SavingAnObjectKeepsTheIndexThatDeepRetrievalReads) {
  Held order(GetDOFromPersonality("Order"));
  ASSERT_NE(order.object, nullptr);
  const char* texts[] = {"13", "3", "1", nullptr};
  ASSERT_TRUE(InsertStringRowIntoDO(order.object, line_.c_str(), texts));
  ASSERT_TRUE(SaveDataObject(order.object));
  Held found(DeepRetrieveDO(ord_.c_str(), Order(3)));
  EXPECT_EQ(DescribeObject(found.object), "PLine:13;POrd:3");

  ASSERT_TRUE(DeleteRowUnit(GetLastRowUnit(line_.c_str(), order.object), order.object));
  ASSERT_TRUE(SaveDataObject(order.object));
  EXPECT_EQ(DeepRetrieveDO(ord_.c_str(), Order(3)), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Engines, PersonalityRetrievalTest,
                         testing::ValuesIn(fhtest::SelectedEngines()), fhtest::EngineName);

TEST(PersonalityKeyConditionTest, WritesEachKeyAtItsWidthAndType) {
  fhtest::TestLog log;
  FreeAllTableDefns();
  ASSERT_TRUE(InitializeMemPool());
  DataObject* holder = CreateDataObject();
  ASSERT_NE(holder, nullptr);
  ASSERT_TRUE(DefineTable("IntKey", {Column("ID", KES_SQL_INT)}, {"ID"}));
  ASSERT_TRUE(
      DefineTable("BigKey", {Column("X", KES_SQL_CHAR), Column("ID", KES_SQL_BIGINT)}, {"ID"}));
  ASSERT_TRUE(DefineTable("TextKey", {Column("CODE", KES_SQL_CHAR, 20)}, {"CODE"}));
  ASSERT_TRUE(DefineTable("Two", {Column("ID", KES_SQL_TINYINT), Column("NAME", KES_SQL_CHAR, 9)},
                          {"NAME", "ID"}));
  ASSERT_TRUE(DefineTable("NoKey", {Column("ID", KES_SQL_INT)}, {}));
  using Values = std::vector<std::optional<fh::ColumnValue>>;
  const struct {
    const char* table;
    Values values;
    std::optional<std::string> condition;
    const char* error;
  } cases[] = {
      {"IntKey", {fh::ColumnValue::FromInteger(KES_SQL_INT, -5)}, "ID = -5 ", nullptr},
      {"BigKey",
       {fh::ColumnValue::FromText("x"), fh::ColumnValue::FromInteger(KES_SQL_BIGINT, 9000000000)},
       "ID = 9000000000 ",
       nullptr},
      {"TextKey", {fh::ColumnValue::FromText("o'k")}, "CODE = 'o''k' ", nullptr},
      {"Two",
       {fh::ColumnValue::FromInteger(KES_SQL_TINYINT, 7), fh::ColumnValue::FromText("n")},
       "NAME = 'n'  AND ID = 7 ",
       nullptr},
      {"TextKey",
       {std::nullopt},
       std::nullopt,
       "Key column CODE of TextKey has no value in the row.\n"},
      {"Two",
       {fh::ColumnValue::FromInteger(KES_SQL_TINYINT, 7)},
       std::nullopt,
       "Key column NAME of Two has no value in the row.\n"},
      {"NoKey",
       {fh::ColumnValue::FromInteger(KES_SQL_INT, 1)},
       std::nullopt,
       "No primary columns in the dominant table.\n"},
      {"Unknown", {}, std::nullopt, "No table definition found for Unknown\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.table);
    const RowUnit* row = CreateRowUnit(c.table, c.values, {}, holder->pool);
    EXPECT_EQ(ConstructPKValueString(c.table, row), c.condition);
    if (c.error != nullptr) {
      EXPECT_TRUE(log.HasLine("[ERROR]", c.error));
    }
  }
  fh::FreeDataObject(holder);
  fh::ResetMemPoolForTest();
  FreeAllTableDefns();
}

}  // namespace
