// A fixture for the table loader and saver tests: one engine reached as the
// connection "conn" with the data-source mode on, and a defined table
// "items" (id INT key, name CHAR(40), qty INT) mapped to it and created
// empty in the database.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store/row_object.h"
#include "support/sql_engine_fixture.h"
#include "support/table_definitions.h"

namespace fhtest {

// One row as the tests compare it: id, name ("NULL" for SQL NULL), qty (-1
// for SQL NULL), and the state in memory (0 for rows read from the database).
struct ItemRow {
  int32_t id = 0;
  std::string name;
  int32_t qty = 0;
  int state = 0;
  bool operator==(const ItemRow&) const = default;
};
void PrintTo(const ItemRow& row, std::ostream* out);

class TableTest : public SqlEngineFixture {
 protected:
  void SetUp() override;

  // Adds a new row to the in-memory table; false when AddNewRow refused it.
  bool AddItem(int32_t id, std::optional<std::string> name, int32_t qty);
  // The in-memory rows of the table in list order, with their states.
  std::vector<ItemRow> MemoryRows() const;
  // The database rows ordered by id (state 0).
  std::vector<ItemRow> DatabaseRows();
  // The in-memory row whose id is id, or none.
  RowObject* FindRow(int32_t id) const;

  std::string table_ = UniqueTableName("items");
};

}  // namespace fhtest
