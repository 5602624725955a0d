// The database test fixture shared by every test program that talks to an
// engine: one data source on the engine under test (by default the
// connection "conn"), the SQL dialects started with the data-source mode set
// from it, the memory pool and an empty table list; statements and queries
// run on that connection, rows come back as text, and the tables a test
// makes through it are dropped again at the end, in reverse order of making.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"
#include "store/row_object.h"
#include "support/db_engines.h"

namespace fhtest {

// How Rows treats blanks at the end of a value's text (a CHAR column's
// padding on some engines).
enum class Blanks { kKeep, kTrim };

class SqlEngineFixture : public DbTest, public testing::WithParamInterface<Engine> {
 protected:
  explicit SqlEngineFixture(std::string connection = "conn");

  // Adds the data sources (AddDataSources), opens the pool and sets dialect_.
  // A derived SetUp calls it first and returns when it failed
  // (HasFatalFailure()).
  void SetUp() override;
  // Drops the tables made through the fixture, unloads every table, forgets
  // definitions, the data source map and the dialects. A derived TearDown
  // resets its own state, then calls it.
  void TearDown() override;

  // The data sources, added before the pool opens; by default the engine as
  // connection_ with its SQLite file in dir_. An override adds others around
  // it with AddEngineSource.
  virtual void AddDataSources();
  // Adds the engine's data source named name, a SQLite database in directory.
  void AddEngineSource(const std::string& name, const std::string& directory);

  // Runs a statement that returns no rows on connection_: 1 when it
  // succeeded, 0 when it failed (ExecuteUpdate's result).
  int Run(const std::string& text);
  // The same: the rows it changed (0 when none), or -1 when it failed.
  int64_t Update(const std::string& text);
  // The result set of a query on connection_; none when it failed.
  std::unique_ptr<DBResultSet> Fetch(const std::string& text);
  // The values of every row of a query as texts ("NULL" for SQL NULL, "?"
  // for a value without a text form); none when the query failed.
  std::optional<std::vector<std::vector<std::string>>> Cells(const std::string& text,
                                                             Blanks blanks = Blanks::kKeep);
  // The same, each row's values joined by "|".
  std::optional<std::vector<std::string>> Rows(const std::string& text,
                                               Blanks blanks = Blanks::kKeep);
  // The rows query text selects, converted to rows of table; a query that
  // fails adds a test failure and gives no rows.
  std::vector<std::unique_ptr<RowObject>> Query(const std::string& text, const std::string& table);

  // Scoped tables: each drops a table of that name left over from an
  // earlier run, makes the table, and drops it again in TearDown.
  // A defined table, mapped to connection_ and made by CreateTableInDB.
  bool MakeDefinedTable(const std::string& table);
  // A table made by createText (not mapped); true when the text ran.
  bool MakeTable(const std::string& table, const std::string& createText);
  // A table the code under test makes (an index table, ...): only dropped.
  void DropAtEnd(const std::string& table);
  // Drops the scoped tables now, last made first (TearDown does it too).
  void DropMadeTables();

  const std::string connection_;
  std::string dialect_;  // the connection's dialect name ("SQLITE", ...)

 private:
  std::vector<std::string> created_;
};

}  // namespace fhtest
