// An application embedding the persistence framework: a small inventory.
//
//   inventory_app <root>
//
// <root>/data must hold a data directory like examples/data (copy it: the
// SQLite databases are created inside it). The program starts the
// framework, lists the customers, adds an order whose id comes from the
// sequence generator, selects it with a criteria, changes a product's price,
// deletes an inactive customer, saves, stops, starts again and shows that
// every change persisted. Exit code 0 on success.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "framework/table_saver.h"
#include "framework/tessel.h"
#include "store/result_data.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

// A column's value as text ("NULL" for none), by its definition's type.
std::string Text(const char* table, const RowObject& row, std::size_t column) {
  const TableData* data = GetTableDataByName(table);
  if (!row.values[column]) return "NULL";
  return ConvertValueToString(row.values[column], data->tableDefn->columns[column].dataType)
      .value_or("?");
}

void List(const char* table, const char* criteria) {
  std::unique_ptr<ResultData> rows = SelectRows(table, criteria);
  std::printf("%s%s%s:\n", table, criteria != nullptr ? " where " : "",
              criteria != nullptr ? criteria : "");
  if (rows == nullptr) return;
  const std::size_t columns = GetTableDataByName(table)->tableDefn->columns.size();
  while (RowObject* row = GotoNextRowObject(rows.get())) {
    std::printf("  ");
    for (std::size_t i = 0; i < columns; ++i)
      std::printf("%s%s", i > 0 ? " | " : "", Text(table, *row, i).c_str());
    std::printf("\n");
  }
}

// Adds an order of customerId; its order_id comes from the sequence.
bool AddOrder(int32_t customerId, const char* note) {
  std::vector<std::optional<ColumnValue>> values(5);
  values[1] = ColumnValue::FromInteger(KES_SQL_INT, customerId);
  values[2] = ConvertStringToValue("2026-12-08", KES_SQL_DATE, nullptr);
  values[4] = ColumnValue::FromText(note);
  std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
  const RowObject* added = row.get();
  if (!AddNewRow("orders", row)) return false;
  std::printf("added order %s for customer %d\n", Text("orders", *added, 0).c_str(), customerId);
  return true;
}

bool ChangeSomething() {
  std::unique_ptr<ResultData> product = SelectRows("product", "product_id = 1");
  RowObject* widget = product != nullptr ? GotoNextRowObject(product.get()) : nullptr;
  const double price = 11.25;
  if (widget == nullptr ||
      !UpdateRowObject("product", widget, "unit_price", &price, sizeof price)) {
    return false;
  }
  std::printf("product 1 now costs %.2f\n", price);
  if (!DeleteRowObjectByCriteria("customer", "customer_id = 2")) return false;
  std::printf("customer 2 deleted\n");
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: inventory_app <root>   (<root>/data: a copy of examples/data)\n");
    return 2;
  }
  std::printf("== first start\n");
  if (!InitTessel(argv[1])) {
    std::fprintf(stderr, "InitTessel failed: see %s/logs/tessel.log\n", argv[1]);
    DeInitTessel();
    return 1;
  }
  List("customer", nullptr);
  bool ok = AddOrder(1, "added by inventory_app");
  List("orders", "customer_id = 1");
  ok = ok && ChangeSomething();
  SaveAllTables();
  DeInitTessel();
  if (!ok) return 1;

  std::printf("== after a restart\n");
  if (!InitTessel(argv[1])) {
    DeInitTessel();
    return 1;
  }
  List("customer", nullptr);
  List("orders", nullptr);
  List("product", "product_id = 1");
  DeInitTessel();
  return 0;
}
