// Every column type on every engine, through the generated statements:
// insert, reload, find by key, update by key and delete by key, with each
// type's boundary values. An engine must hand back exactly what was written
// (a DATE keeps its date, a TIME its time).
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "config/data_source_map.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/column_types.h"
#include "dictionary/date_time.h"
#include "query/criteria_node.h"
#include "sql/sql_dialects.h"
#include "sql/sql_test_helpers.h"
#include "sql/type_round_trip_helpers.h"
#include "support/db_engines.h"
#include "support/sql_engine_fixture.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

class TypeRoundTripTest : public SqlEngineFixture {
 protected:
  void SetUp() override {
    SqlEngineFixture::SetUp();
    // SQLite does not read every 17-digit literal exactly and its ODBC
    // driver hands out doubles at 15 significant digits: the one engine
    // difference this table allows (doubles compared at 15 digits, the
    // largest double left out).
    doubleDigits_ = GetParam().name == "sqlite" ? 15 : 17;
  }

  // The rows of table whose id (and, for a key type, v) equal row's; every
  // row ordered by id when row is none.
  std::vector<std::unique_ptr<RowObject>> Select(const TypeCase& c, const std::string& table,
                                                 const RowObject* row) {
    SelectQuery* query = CreateSelectQuery();
    AddTable(query, CreateTableRef(table.c_str(), nullptr, query->pool));
    if (row != nullptr) SetCriteria(query, KeyCriteria(c, *row, query));
    Vector* sort = CreateColumnVector(query->pool);
    AddColumnToVector(query->pool,
                      CreateListColumnRef(nullptr, nullptr, "id", nullptr, 0, 0, 0, query->pool),
                      sort);
    SetSortOrder(query, CreateSortOrder(sort, 1, query->pool));
    const auto text = GenerateSelectQuery(query);
    FreeSelectQuery(query);
    EXPECT_TRUE(text.has_value());
    return text ? Query(*text, table) : std::vector<std::unique_ptr<RowObject>>{};
  }

  static fh::SelectCriteria* Leaf(const char* column, uint8_t type, const fh::ColumnValue& value,
                                  SelectQuery* query) {
    fh::ColumnRef* ref =
        CreateColumnRef(nullptr, nullptr, column, nullptr, 0, type, 0, query->pool);
    if (value.isDateTime()) {
      const std::string text = KesDateTimeToString(*value.dateTime()).value_or("");
      return CreateCriteria(ref, text.c_str(), static_cast<int32_t>(text.size()),
                            fh::kCriteriaEqual, query->pool);
    }
    return CreateCriteria(ref, value.bytes(), value.length(), fh::kCriteriaEqual, query->pool);
  }

  static fh::SelectCriteria* KeyCriteria(const TypeCase& c, const RowObject& row,
                                         SelectQuery* query) {
    fh::SelectCriteria* id = Leaf("id", KES_SQL_INT, *row.values[0], query);
    if (!c.key) return id;
    return CreateAndCriteria(id, Leaf("v", c.type, KeptValue(*row.values[1], c.type), query),
                             query->pool);
  }

  int doubleDigits_ = 17;
};

TEST_P(TypeRoundTripTest, EveryTypeSurvivesInsertReloadFindUpdateAndDelete) {
  std::vector<TypeCase> cases = TypeCases();
  for (std::size_t k = 0; k < cases.size(); ++k) {
    TypeCase& c = cases[k];
    if (c.type == KES_SQL_DOUBLE && doubleDigits_ < 17) {
      // At 15 digits the largest double rounds up beyond the range.
      std::erase_if(c.values, [](const auto& v) {
        return std::fabs(*fh::GetFloatingValue(*v, KES_SQL_DOUBLE)) == DBL_MAX;
      });
    }
    SCOPED_TRACE(c.name);
    const std::string table = UniqueTableName("rt" + std::to_string(k));
    DropAtEnd(table);
    ASSERT_TRUE(DefineRoundTripTable(table, c, "conn"));
    const auto create = GenerateCreateTableQuery(table.c_str());
    ASSERT_TRUE(create.has_value());
    ASSERT_GE(Update(*create), 0) << *create;

    std::vector<std::unique_ptr<RowObject>> written;
    for (std::size_t i = 0; i < c.values.size(); ++i) {
      written.push_back(RoundTripRow(static_cast<int>(i) + 1, c.values[i], static_cast<int>(i)));
      const auto insert = GenerateInsertQuery(table.c_str(), written.back().get());
      ASSERT_TRUE(insert.has_value());
      ASSERT_EQ(Update(*insert), 1) << *insert;
    }
    auto reloaded = Select(c, table, nullptr);
    ASSERT_EQ(reloaded.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i) {
      EXPECT_TRUE(SameValue(reloaded[i]->values[1], written[i]->values[1], c.type, doubleDigits_))
          << "value " << i;
    }
    // Find, update and delete each row by its key, as the reloaded row
    // and as the row written (which may carry more date-time parts).
    for (std::size_t i = 0; i < written.size(); ++i) {
      SCOPED_TRACE("value " + std::to_string(i));
      ASSERT_EQ(Select(c, table, written[i].get()).size(), 1u);
      const RowObject& key = i % 2 == 0 ? *written[i] : *reloaded[i];
      auto changed =
          RoundTripRow(static_cast<int>(i) + 1, key.values[1], 100 + static_cast<int>(i));
      const auto update = GenerateUpdateQuery(table.c_str(), changed.get());
      ASSERT_TRUE(update.has_value());
      EXPECT_EQ(Update(*update), 1) << *update;
      const auto found = Select(c, table, changed.get());
      ASSERT_EQ(found.size(), 1u);
      EXPECT_EQ(found[0]->values[2], Int(KES_SQL_INT, 100 + static_cast<int>(i)));
      EXPECT_TRUE(SameValue(found[0]->values[1], written[i]->values[1], c.type, doubleDigits_));
      const auto remove = GenerateDeleteQuery(table.c_str(), changed.get());
      ASSERT_TRUE(remove.has_value());
      EXPECT_EQ(Update(*remove), 1) << *remove;
    }
    EXPECT_TRUE(Select(c, table, nullptr).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, TypeRoundTripTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

}  // namespace
}  // namespace fhtest
