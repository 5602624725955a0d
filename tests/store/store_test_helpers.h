// Shared pieces of the store tests: a fixture that starts every test with no
// table definitions, no in-memory tables, no listeners and a fresh log at
// trace level, plus builders for definitions and rows.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/result_data.h"
#include "store/row_object.h"
#include "support/test_log.h"

namespace fhtest {

struct ColumnSpec {
  const char* name;
  const char* type;
  const char* defaultText = nullptr;
  const char* generator = nullptr;
  int32_t maxSize = 40;
};

// Adds a definition of tableName with those columns and primary key.
const TableDefn* DefineTable(const std::string& tableName, const std::vector<ColumnSpec>& columns,
                             const std::vector<std::string>& primaryKey = {});

// A new row whose values are the texts converted to the types of tableName's
// columns (nullptr: NULL). Missing trailing texts are NULL.
std::unique_ptr<RowObject> MakeRow(const std::string& tableName,
                                   const std::vector<const char*>& texts);

// Adds a row built by MakeRow; returns the row (owned by the table) or none.
RowObject* AddRow(const std::string& tableName, const std::vector<const char*>& texts,
                  uint8_t state = fh::kRowNew);

// The text of one column of every row of result, in order ("NULL" for NULL).
std::vector<std::string> ColumnTexts(ResultData* result, const std::string& columnName);

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  TestLog& log() { return *log_; }

 private:
  std::unique_ptr<TestLog> log_;
};

}  // namespace fhtest
