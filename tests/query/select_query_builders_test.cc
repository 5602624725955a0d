// The convenience builders: name vectors, join column vectors, joins made
// in one call (and the ON text a dialect writes from them), columns added by
// name.
#include "query/select_query_builders.h"

#include <gtest/gtest.h>

#include <string>

#include "dictionary/column_types.h"
#include "sql/mysql_dialect.h"
#include "support/test_log.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class SelectQueryBuildersTest : public testing::Test {
 protected:
  SelectQueryBuildersTest() {
    InitializeMemPool();
    query_ = CreateSelectQuery();
  }
  ~SelectQueryBuildersTest() override {
    FreeSelectQuery(query_);
    fh::ResetMemPoolForTest();
  }
  template <typename T>
  static const T* At(const Vector* vector, int index) {
    const VectorNode* node = vector->head.get();
    for (int i = 0; i < index; ++i) node = node->next.get();
    return static_cast<const T*>(node->data);
  }
  TestLog log_;
  SelectQuery* query_ = nullptr;
};

TEST_F(SelectQueryBuildersTest, ColumnVectorsHoldCopiesOfTheNames) {
  char name[] = "b";
  const Vector* names = MakeColumnVector(query_->pool, 3, "a", name, "c");
  name[0] = 'x';
  ASSERT_NE(names, nullptr);
  ASSERT_EQ(names->count, 3);
  EXPECT_STREQ(At<char>(names, 1), "b");
  EXPECT_STREQ(At<char>(names, 2), "c");
  EXPECT_EQ(MakeColumnVector(query_->pool, 0)->count, 0);
  EXPECT_EQ(MakeColumnVector(query_->pool, 2, "a", static_cast<const char*>(nullptr)), nullptr);
  EXPECT_EQ(MakeColumnVector(query_->pool, -1), nullptr);

  const Vector* join = MakeColumnVectorForJoin(query_->pool, "Items", 2, "ID", "CAT");
  ASSERT_NE(join, nullptr);
  ASSERT_EQ(join->count, 2);
  const fh::ColumnRef* second = At<fh::ColumnRef>(join, 1);
  EXPECT_STREQ(second->tableName, "Items");
  EXPECT_EQ(second->tableAlias, nullptr);
  EXPECT_STREQ(second->columnName, "CAT");
  EXPECT_EQ(second->dataType, KES_SQL_INT);
  EXPECT_TRUE(log_.HasLine("[TRACE]", "@@ Inside MakeColumnVector @@\n"));
  EXPECT_TRUE(log_.HasLine("[TRACE]", "@@ Inside MakeColumnVectorForJoin @@\n"));
}

TEST_F(SelectQueryBuildersTest, JoinsOnColumnsPairTheNamesOfBothSides) {
  const struct {
    const char* baseAlias;
    const char* joinedAlias;
    uint8_t joinType;
    const char* text;
  } cases[] = {
      {"i", "c", LEFT_JOIN,
       "select * from  Items as i  left join  Categories as c  on i.ID = c.ID and i.CAT = c.CAT "},
      {nullptr, nullptr, INNER_JOIN,
       "select * from  Items  inner join  Categories  on Items.ID = Categories.ID and Items.CAT = "
       "Categories.CAT "},
  };
  for (const auto& row : cases) {
    SelectQuery* query = CreateSelectQuery();
    ASSERT_TRUE(AddJoinOnColumns(query, "Items", row.baseAlias, "Categories", row.joinedAlias,
                                 row.joinType, 2, "ID", "CAT"));
    EXPECT_EQ(MysqlGenSelectQuery(query).value_or("<none>"), row.text);
    FreeSelectQuery(query);
  }
  EXPECT_FALSE(AddJoinOnColumns(query_, "Items", nullptr, "Categories", nullptr, INNER_JOIN, 1,
                                static_cast<const char*>(nullptr)));
  EXPECT_EQ(query_->joins->count, 0);
  Vector* base = MakeColumnVectorForJoin(query_->pool, "Items", 1, "ID");
  Vector* joined = MakeColumnVectorForJoin(query_->pool, "Categories", 1, "ID");
  ASSERT_TRUE(AddJoinToSelectQuery(query_, "Items", nullptr, "Categories", nullptr, INNER_JOIN,
                                   base, joined));
  const Join* join = At<Join>(query_->joins, 0);
  EXPECT_EQ(join->baseColumns, base);
  EXPECT_STREQ(join->joinedTable, "Categories");
}

TEST_F(SelectQueryBuildersTest, ColumnsByNameFollowTheColumnReferenceRules) {
  const struct {
    const char* name;
    uint8_t type;
    uint8_t aggregate;
    bool added;
  } cases[] = {
      {"QTY", KES_SQL_INT, fh::kAggregateSum, true},
      {nullptr, KES_SQL_INT, fh::kAggregateCount, true},
      {nullptr, KES_SQL_INT, fh::kAggregateNone, false},
      {"QTY", 23, fh::kAggregateNone, false},
  };
  int32_t expected = 0;
  for (const auto& row : cases) {
    EXPECT_EQ(AddColumnByName(query_, "Items", "i", row.name, nullptr, 7, row.type, row.aggregate),
              row.added);
    if (row.added) ++expected;
    EXPECT_EQ(query_->columns->count, expected);
  }
  const fh::ColumnRef* first = At<fh::ColumnRef>(query_->columns, 0);
  EXPECT_STREQ(first->tableAlias, "i");
  EXPECT_EQ(first->number, 7);
  EXPECT_FALSE(AddColumnByName(nullptr, "Items", nullptr, "QTY", nullptr, 0, KES_SQL_INT, 0));
}

}  // namespace
}  // namespace fhtest
