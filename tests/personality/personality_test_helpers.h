// Helpers for the personality tests: reading a personality file written
// from a text, describing the process-wide personality list in one line
// that a test compares whole, defining tables, and a fixture that reaches
// one engine as the connection "conn" with the data-source mode on.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dictionary/table_defn.h"
#include "support/sql_engine_fixture.h"
#include "support/table_definitions.h"
#include "support/test_support.h"

namespace fhtest {

// Writes xml to a file in directory and reads it with
// CreatePersonalityFromXMLFile; its result.
int ReadPersonalityText(const TempDir& directory, const std::string& xml);

// Every personality in list order, "; " between them, each as
// "name(dominant)[description]:" followed by " table#index" per constituent,
// with "!" when it is mandatory and "@fk" when it names a foreign key. An
// absent description shows as "-".
std::string DescribePersonalities();

// The object's rows, one "table:ids" part per collection in table-name
// order, ";" between them: the table's name without the suffix
// UniqueTableName added, then the text of each row's first column (sorted,
// "," between them). "none" for no object.
std::string DescribeObject(const DataObject* object);

// One engine as "conn" (data-source mode on) behind the default data source
// "spare" (on SQLite another database), the memory pool, the dialects
// and an empty personality list; the tables made with CreateInDb are mapped
// to "conn" and dropped again at the end, with their index tables.
class PersonalityDbTest : public SqlEngineFixture {
 protected:
  void SetUp() override;
  void AddDataSources() override;
  void TearDown() override;

  // The rows query gives on "conn" (Rows, blanks at the end of texts
  // removed); none when the query failed.
  std::optional<std::vector<std::string>> Query(const std::string& text) {
    return Rows(text, Blanks::kTrim);
  }
  // Maps the defined table to "conn" and creates it there afresh; it and its
  // index table are dropped at the end.
  bool CreateInDb(const std::string& table);

 private:
  TempDir spareDir_;
};

}  // namespace fhtest
