#include "framework/table_test_helpers.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "store/table_data.h"
#include "store/table_rows.h"

namespace fhtest {
namespace {

int32_t IntOf(const std::optional<fh::ColumnValue>& value) {
  if (!value) return -1;
  int32_t number = 0;
  std::memcpy(&number, value->bytes(), sizeof number);
  return number;
}

ItemRow ItemOf(const std::vector<std::optional<fh::ColumnValue>>& values, int state) {
  return ItemRow{IntOf(values[0]), values[1] ? values[1]->text() : "NULL", IntOf(values[2]), state};
}

}  // namespace

void PrintTo(const ItemRow& row, std::ostream* out) {
  *out << "{" << row.id << ", " << row.name << ", " << row.qty << ", state " << row.state << "}";
}

void TableTest::SetUp() {
  SqlEngineFixture::SetUp();
  if (HasFatalFailure()) return;
  ASSERT_TRUE(
      DefineTable(table_,
                  {Column("id", KES_SQL_INT, 0, false), Column("name", KES_SQL_CHAR, 40, true),
                   Column("qty", KES_SQL_INT, 0, true)},
                  {"id"}));
  ASSERT_TRUE(MakeDefinedTable(table_));
}

bool TableTest::AddItem(int32_t id, std::optional<std::string> name, int32_t qty) {
  std::vector<std::optional<fh::ColumnValue>> values;
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id));
  if (name) {
    values.push_back(fh::ColumnValue::FromText(*name));
  } else {
    values.push_back(std::nullopt);
  }
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, qty));
  std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
  return AddNewRow(table_.c_str(), row);
}

std::vector<ItemRow> TableTest::MemoryRows() const {
  std::vector<ItemRow> rows;
  const TableData* table = GetTableDataByName(table_.c_str());
  if (table == nullptr) return rows;
  for (const RowObject* row = table->firstRow.get(); row != nullptr; row = row->next.get())
    rows.push_back(ItemOf(row->values, row->state));
  return rows;
}

std::vector<ItemRow> TableTest::DatabaseRows() {
  std::vector<ItemRow> rows;
  const auto cells = Cells("select id, name, qty from " + table_ + " order by id");
  auto number = [](const std::string& text) {
    return text == "NULL" ? -1 : std::atoi(text.c_str());
  };
  for (const std::vector<std::string>& row :
       cells.value_or(std::vector<std::vector<std::string>>{}))
    rows.push_back(ItemRow{number(row.at(0)), row.at(1), number(row.at(2)), 0});
  return rows;
}

RowObject* TableTest::FindRow(int32_t id) const {
  const TableData* table = GetTableDataByName(table_.c_str());
  if (table == nullptr) return nullptr;
  for (RowObject* row = table->firstRow.get(); row != nullptr; row = row->next.get()) {
    if (IntOf(row->values[0]) == id) return row;
  }
  return nullptr;
}

}  // namespace fhtest
