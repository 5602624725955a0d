// Query results read a block of rows at a time into bound buffers must hold
// exactly what reading each value piece by piece holds (ExecuteQueryBlob
// reads every value that way), on every engine: row counts around the block
// size, a NULL in every type, and texts around the bound buffer's size and
// far beyond it.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/db_result_set.h"
#include "dictionary/column_values.h"
#include "support/db_engines.h"
#include "support/engine_handle_test.h"

namespace fhtest {
namespace {

constexpr int kRows = 1100;  // more than two blocks of a narrow row

class BoundFetchTest : public EngineHandleTest {
 protected:
  void SetUp() override {
    EngineHandleTest::SetUp();
    if (HasFatalFailure()) return;
    table_ = UniqueTableName("fh_bound");
    Run("drop table if exists " + table_);
  }
  void TearDown() override {
    if (handle_) Run("drop table if exists " + table_);
    EngineHandleTest::TearDown();
  }

  // Each value of the query as text, read by ExecuteQuery, expecting rows
  // rows; ExecuteQueryBlob's reading of the same query must agree.
  std::vector<std::vector<std::string>> ReadBoth(const std::string& query, int rows) {
    auto bound = ExecuteQuery(handle_.get(), query.c_str());
    auto pieces = ExecuteQueryBlob(handle_.get(), query.c_str(), nullptr, nullptr);
    EXPECT_NE(bound, nullptr) << query << log_.Messages();
    EXPECT_NE(pieces, nullptr) << query;
    if (!bound || !pieces) return {};
    EXPECT_EQ(bound->rowCount, rows) << query;
    EXPECT_EQ(pieces->rowCount, rows) << query;
    std::vector<std::vector<std::string>> texts;
    for (std::size_t row = 0; row < bound->rows.size() && row < pieces->rows.size(); ++row) {
      std::vector<std::string>& line = texts.emplace_back();
      for (std::size_t column = 0; column < bound->rows[row].size(); ++column) {
        const auto& value = bound->rows[row][column];
        EXPECT_EQ(value, pieces->rows[row][column]) << query << " row " << row << " col " << column;
        line.push_back(
            value ? ConvertValueToString(&*value, bound->columns[column].dataType).value_or("?")
                  : "NULL");
      }
    }
    return texts;
  }

  std::string table_;
};

// length times the letter of row id.
std::string Letters(int length, int id) {
  return std::string(static_cast<std::size_t>(length), static_cast<char>('a' + id % 26));
}

// Row id: every seventh row NULL in every column but the key.
std::string RowValues(int id) {
  if (id % 7 == 3) return "(" + std::to_string(id) + ", null, null, null, null, null, null, null)";
  char number[64];
  std::snprintf(number, sizeof number, "%.17g", id / 3.0 - 100);
  const std::string day = "20" + std::to_string(10 + id % 20) + "-0" + std::to_string(1 + id % 9) +
                          "-" + std::to_string(10 + id % 18);
  return "(" + std::to_string(id) + ", " + std::to_string(id * 7 - 3000) + ", " +
         std::to_string(id * 1000000000000LL) + ", " + number + ", '" + Letters(id % 21, id) +
         "', '" + day + "', '" + day + " 1" + std::to_string(id % 10) + ":0" +
         std::to_string(id % 6) + ":5" + std::to_string(id % 10) + "', " + std::to_string(id) +
         ".125)";
}

TEST_P(BoundFetchTest, BlocksOfRowsReadAsPieceByPiece) {
  const Engine& engine = GetParam();
  ASSERT_EQ(
      Run("create table " + table_ + " (id integer, i integer, b bigint, d " + engine.doubleType +
          ", v varchar(20), day date, at " + engine.dateTimeType + ", n numeric(12, 3))"),
      1);
  for (int first = 0; first < kRows; first += 100) {
    std::string insert = "insert into " + table_ + " values ";
    for (int id = first; id < first + 100; ++id) {
      insert += (id > first ? ", " : "") + RowValues(id);
    }
    ASSERT_EQ(Run(insert), 1) << log_.Messages();
  }
  for (int rows : {0, 1, 511, 512, 513, 1024, 1025, kRows}) {
    const auto texts = ReadBoth("select id, i, b, d, v, day, at, n from " + table_ +
                                    " where id < " + std::to_string(rows) + " order by id",
                                rows);
    ASSERT_EQ(texts.size(), static_cast<std::size_t>(rows));
    for (int id = 0; id < rows; ++id) {
      const std::vector<std::string>& line = texts[static_cast<std::size_t>(id)];
      ASSERT_EQ(line[0], std::to_string(id));
      const bool empty = id % 7 == 3;
      EXPECT_EQ(line[1], empty ? "NULL" : std::to_string(id * 7 - 3000)) << id;
      EXPECT_EQ(line[2], empty ? "NULL" : std::to_string(id * 1000000000000LL)) << id;
      EXPECT_EQ(line[4], empty ? "NULL" : Letters(id % 21, id)) << id;
      for (std::size_t column = 3; column < line.size(); ++column) {
        EXPECT_EQ(line[column] == "NULL", empty) << id << " " << column;
      }
    }
  }
}

// A text of unbounded type (PostgreSQL reports a guessed size for it), read
// alone and beside short columns.
std::string UnsizedTextType(const Engine& engine) {
  if (engine.name == "pgsql") return "varchar";
  if (engine.name == "mariadb") return "varchar(6000)";
  return "varchar(10)";  // SQLite keeps any length
}

TEST_P(BoundFetchTest, TextsAroundTheBufferSizeReadWhole) {
  const Engine& engine = GetParam();
  ASSERT_EQ(
      Run("create table " + table_ + " (id integer, u " + UnsizedTextType(engine) + ", n integer)"),
      1);
  const int lengths[] = {0, 1, 254, 255, 256, 1019, 1020, 1027, 1028, 1029, 1030, 5000};
  int id = 0;
  for (int length : lengths) {
    const std::string text = Letters(length, id);
    ASSERT_EQ(Run("insert into " + table_ + " values (" + std::to_string(id) + ", '" + text +
                  "', " + std::to_string(length) + ")"),
              1)
        << log_.Messages();
    ++id;
  }
  for (const char* columns : {"id, u, n", "u"}) {
    const auto texts =
        ReadBoth(std::string("select ") + columns + " from " + table_ + " order by id", id);
    ASSERT_EQ(texts.size(), std::size(lengths));
    for (std::size_t row = 0; row < texts.size(); ++row) {
      const std::string& u = texts[row][columns[0] == 'u' ? 0 : 1];
      EXPECT_EQ(u, Letters(lengths[row], static_cast<int>(row))) << "length " << lengths[row];
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Engines, BoundFetchTest, testing::ValuesIn(SelectedEngines()), EngineName);

}  // namespace
}  // namespace fhtest
