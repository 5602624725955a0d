// Shared pieces of the data object tests: a small dictionary of related
// tables (parent <- child <- grandchild with composite keys, a table keyed
// by two texts, a table with a generated BIGINT key, and tables whose
// foreign keys form a cycle or refer to themselves), loaded from an XML
// file, and a fixture that reaches one engine as the connection "conn" with
// the graph's tables created in the database with plain foreign keys (no
// cascade, so the engines refuse a parent deleted before its children).
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "support/sql_engine_fixture.h"

namespace fhtest {

// The tables' names, unique to this test process.
struct DataObjectTables {
  std::string parent;  // pid INT key, name CHAR(40)
  std::string child;   // (pid, cno) key, label CHAR(40) default "none"; pid -> parent
  std::string grand;   // (pid, cno, gno) key, note CHAR(40); (pid, cno) -> child
  std::string texts;   // (a, b) CHAR(10) key
  std::string ids;     // id BIGINT key from a generator, note CHAR(40)
  std::string cycleA;  // refers to cycleB
  std::string cycleB;  // refers to cycleA
  std::string self;    // refers to itself
};
const DataObjectTables& TestTables();
// The generator of ids.id (unique to this process).
std::string IdsSequence();

// Writes the dictionary into directory and loads it; false on failure.
bool LoadTestDictionary(const std::string& directory);

// The rows of the object's collection for table: each row's values in the
// collection's column order as texts joined by "|" ("NULL" for none), then
// "#" and the state. Empty when the table is not in the object.
std::vector<std::string> RowTexts(DataObject* object, const std::string& table);
// The collection's column names joined by "|".
std::string ColumnTexts(DataObject* object, const std::string& table);

// A row of texts (none: NULL) converted by the collection's column types,
// inserted with InsertStringRowIntoDO.
bool InsertTexts(DataObject* object, const std::string& table,
                 const std::vector<const char*>& texts);

class DataObjectTest : public SqlEngineFixture {
 protected:
  void SetUp() override;
  void TearDown() override;

  // The rows of a query on "conn" as SqlEngineFixture::Rows gives them;
  // {"query failed"} when it failed.
  std::vector<std::string> Rows(const std::string& query) {
    return SqlEngineFixture::Rows(query).value_or(std::vector<std::string>{"query failed"});
  }
  // Fills the graph: parents 1 and 2; children (1,1), (1,2); grandchildren
  // (1,1,1), (1,1,2), (1,2,1).
  void FillGraph();

  const DataObjectTables& t_ = TestTables();
};

}  // namespace fhtest
