#include "framework/table_test_helpers.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/table_defn.h"
#include "framework/data_source_map.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

int32_t IntOf(const std::optional<ColumnValue>& value) {
  if (!value) return -1;
  int32_t number = 0;
  std::memcpy(&number, value->bytes(), sizeof number);
  return number;
}

ItemRow ItemOf(const std::vector<std::optional<ColumnValue>>& values, int state) {
  return ItemRow{IntOf(values[0]), values[1] ? values[1]->text() : "NULL", IntOf(values[2]), state};
}

}  // namespace

void PrintTo(const ItemRow& row, std::ostream* out) {
  *out << "{" << row.id << ", " << row.name << ", " << row.qty << ", state " << row.state << "}";
}

void TableTest::SetUp() {
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ResetSQLDialectsForTesting();
  InitSQLDialects();
  InitTableList();
  ASSERT_TRUE(InitializeMemPool());
  std::unique_ptr<ConnParamsEntry> entry = MakeEngineEntry(GetParam(), dir_.path(), "conn");
  ASSERT_NE(entry, nullptr);
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
  ASSERT_TRUE(EstablishDBConnections());
  ASSERT_TRUE(SetDialectModeFromConnParams());
  ConstraintDefn constraints;
  constraints.primaryKeyColumns = {"id"};
  constraints.primaryKeyCount = 1;
  ASSERT_NE(AddTableDefn(CreateTableDefn(
                table_, std::nullopt,
                {Column("id", KES_SQL_INT, 0, false), Column("name", KES_SQL_CHAR, 40, true),
                 Column("qty", KES_SQL_INT, 0, true)},
                std::move(constraints))),
            nullptr);
  ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table_.c_str(), "conn")));
  Run("drop table " + table_);
  ASSERT_TRUE(CreateTableInDB(table_.c_str(), "conn"));
}

void TableTest::TearDown() {
  UnLoadAllTable();
  Run("drop table " + table_);
  ResetMemPoolForTest();
  FreeAllTableDefns();
  FreeAllDataSourceMapEntries();
  ResetSQLDialectsForTesting();
}

int TableTest::Run(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("conn");
  const int result = ExecuteUpdate(handle, text.c_str());
  ReleaseConnectionHandle("conn");
  return result;
}

bool TableTest::AddItem(int32_t id, std::optional<std::string> name, int32_t qty) {
  std::vector<std::optional<ColumnValue>> values;
  values.push_back(ColumnValue::FromInteger(KES_SQL_INT, id));
  if (name) {
    values.push_back(ColumnValue::FromText(*name));
  } else {
    values.push_back(std::nullopt);
  }
  values.push_back(ColumnValue::FromInteger(KES_SQL_INT, qty));
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
  ConnectionHandle* handle = GetConnectionHandle("conn");
  const std::string query = "select id, name, qty from " + table_ + " order by id";
  std::unique_ptr<DBResultSet> result = ExecuteQuery(handle, query.c_str());
  ReleaseConnectionHandle("conn");
  if (result == nullptr) return rows;
  while (const DBRow* row = NextDBResultSetRow(result.get())) {
    std::string texts[3];
    for (int i = 0; i < 3; ++i) {
      const std::optional<ColumnValue>& value = (*row)[i];
      texts[i] =
          value ? ConvertValueToString(&*value, result->columns[i].dataType).value_or("?") : "NULL";
    }
    auto number = [](const std::string& text) {
      return text == "NULL" ? -1 : std::atoi(text.c_str());
    };
    rows.push_back(ItemRow{number(texts[0]), texts[1], number(texts[2]), 0});
  }
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
