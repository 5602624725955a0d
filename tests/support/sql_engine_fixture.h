// A fixture for tests that define their own tables and talk to an engine
// through the SQL generator and the provider: one connection named "conn" on
// the engine under test, the SQL dialects started, no table defined, and a
// clean state again after each test.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "store/row_object.h"
#include "support/db_engines.h"

namespace fhtest {

class SqlEngineFixture : public DbTest, public testing::WithParamInterface<Engine> {
 protected:
  // Connects "conn" to the engine and sets dialect_. A derived SetUp calls
  // it first and returns when it failed (HasFatalFailure()).
  void SetUp() override;
  // Unloads every table, forgets definitions, the data source map and the
  // dialects. A derived TearDown drops its tables first, then calls it.
  void TearDown() override;

  // Runs a statement that returns no rows: the rows it changed (0 when
  // none), or -1 when it failed.
  int64_t Update(const std::string& text);
  // Runs a statement that returns no rows: true when it succeeded.
  bool Run(const std::string& text);
  // The rows query text selects, converted to rows of table; a query that
  // fails adds a test failure and gives no rows.
  std::vector<std::unique_ptr<RowObject>> Query(const std::string& text, const std::string& table);

  std::string dialect_;  // the connection's dialect name ("SQLITE", ...)
};

}  // namespace fhtest
