// Select queries: the builders' refusals and the shape they build.
#include "query/select_query.h"

#include <gtest/gtest.h>

#include <cstring>

#include "dictionary/column_types.h"
#include "support/test_log.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class SelectQueryTest : public testing::Test {
 protected:
  SelectQueryTest() {
    InitializeMemPool();
    query_ = CreateSelectQuery();
  }
  ~SelectQueryTest() override {
    FreeSelectQuery(query_);
    fh::ResetMemPoolForTest();
  }
  TestLog log_;
  SelectQuery* query_ = nullptr;
};

TEST_F(SelectQueryTest, ColumnReferencesRefuseMissingNamesAndUnknownTypes) {
  MemPool* pool = query_->pool;
  const struct {
    bool list;
    const char* name;
    uint8_t type;
    uint8_t aggregate;
    bool accepted;
    const char* line;
  } cases[] = {
      {false, nullptr, KES_SQL_INT, fh::kAggregateCount, true, nullptr},
      {true, nullptr, KES_SQL_INT, fh::kAggregateCount, false, "\nColumn Name is NULL\n"},
      {false, nullptr, KES_SQL_INT, fh::kAggregateNone, false, "\nColumn Name is NULL\n"},
      {false, "c", 21, 0, true, nullptr},
      {false, "c", 22, 0, true, nullptr},  // TEXT: widened character columns
      {false, "c", 23, 0, false, "\nInvalid Data Type\n"},
      {true, "c", 23, 0, false, "\nInvalid Data Type\n"},
  };
  for (const auto& c : cases) {
    fh::ColumnRef* column =
        c.list ? CreateListColumnRef("T", nullptr, c.name, nullptr, 0, c.type, c.aggregate, pool)
               : CreateColumnRef("T", nullptr, c.name, nullptr, 0, c.type, c.aggregate, pool);
    EXPECT_EQ(column != nullptr, c.accepted) << int(c.type) << " " << (c.name ? c.name : "none");
    if (c.line != nullptr) {
      EXPECT_TRUE(log_.HasLine("[ERROR]", c.line));
    }
  }
}

TEST_F(SelectQueryTest, RemoveColumnMatchesNameAndTableIgnoringCase) {
  MemPool* pool = query_->pool;
  AddColumnToSelectQuery(query_, CreateColumnRef("T", nullptr, "id", nullptr, 0, 5, 0, pool));
  AddColumnToSelectQuery(query_,
                         CreateColumnRef(nullptr, nullptr, "name", nullptr, 0, 14, 0, pool));
  AddColumnToSelectQuery(query_, CreateColumnRef("U", nullptr, "id", nullptr, 0, 5, 0, pool));
  EXPECT_FALSE(RemoveColumnFromSelectQuery(query_, "id", "X"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Invalid Column Name"));
  EXPECT_TRUE(RemoveColumnFromSelectQuery(query_, "ID", "u"));
  EXPECT_TRUE(RemoveColumnFromSelectQuery(query_, "Name", "anything"));
  ASSERT_EQ(query_->columns->count, 1);
  EXPECT_STREQ(static_cast<fh::ColumnRef*>(query_->columns->head->data)->tableName, "T");
}

TEST_F(SelectQueryTest, CriteriaCopyTheirValueAndLinkParents) {
  MemPool* pool = query_->pool;
  EXPECT_EQ(CreateCriteria(nullptr, "x", 1, 5, pool), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "\nEmpty Column Assigned\n"));
  char value[] = "a\0b";
  fh::ColumnRef* column = CreateColumnRef(nullptr, nullptr, "c", nullptr, 0, 20, 0, pool);
  fh::SelectCriteria* left = CreateCriteria(column, value, 3, 5, pool);
  fh::SelectCriteria* right = CreateCriteria(column, value, 1, 6, pool);
  value[0] = 'z';  // the caller keeps its own
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(std::memcmp(left->value, "a\0b\0", 4), 0);
  fh::SelectCriteria* both = CreateAndCriteria(left, right, pool);
  EXPECT_EQ(both->operatorCode, 7);
  EXPECT_EQ(left->parent, both);
  EXPECT_EQ(right->parent, both);
  EXPECT_EQ(CreateOrCriteria(both, nullptr, pool)->operatorCode, 8);
}

TEST_F(SelectQueryTest, NamesOfCodesStopAtTheirTables) {
  EXPECT_STREQ(fh::GetAggregateName(0), "INVALID TYPE");
  EXPECT_STREQ(fh::GetAggregateName(6), "AVG");
  EXPECT_EQ(fh::GetAggregateName(7), nullptr);
  EXPECT_STREQ(fh::GetSelectOperatorName(10), "BETWEEN");
  EXPECT_EQ(fh::GetSelectOperatorName(11), nullptr);
  EXPECT_STREQ(fh::GetJoinTypeName(LEFT_JOIN), "LEFT_JOIN");
  EXPECT_EQ(fh::GetJoinTypeName(2), nullptr);
}

TEST_F(SelectQueryTest, NoQueryWithoutTheRootPool) {
  fh::ResetMemPoolForTest();
  query_ = nullptr;
  EXPECT_EQ(CreateSelectQuery(), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n"));
}

}  // namespace
}  // namespace fhtest
