// An application embedding the persistence framework: a small inventory.
//
//   inventory_app <root>
//
// <root>/data must hold a data directory like examples/data (copy it: the
// SQLite databases are created inside it). The program starts the
// framework, lists the customers, adds an order whose id comes from the
// sequence generator, selects it with a criteria, changes a product's price,
// deletes an inactive customer, saves, stops, starts again and shows that
// every change persisted. Then it reads the personalities of
// data/personalities.xml and works on one as a single data object: an order
// with its lines, retrieved, given a new line and new quantities, saved and
// retrieved again. Exit code 0 on success.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "framework/table_saver.h"
#include "framework/tessel.h"
#include "personality/personality.h"
#include "personality/personality_retrieval.h"
#include "personality/personality_xml.h"
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
  std::vector<std::optional<fh::ColumnValue>> values(5);
  values[1] = fh::ColumnValue::FromInteger(KES_SQL_INT, customerId);
  values[2] = ConvertStringToValue("2026-12-08", KES_SQL_DATE, nullptr);
  values[4] = fh::ColumnValue::FromText(note);
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

// Prints every collection of a data object: its columns, then each row's
// values and state (1 read, 2 new, 5 read and changed, ...).
void PrintObject(const char* title, const DataObject* object) {
  std::printf("%s:\n", title);
  for (const RowCollection* rows = object->firstCollection; rows != nullptr; rows = rows->next) {
    std::printf("  %s (", rows->tableName);
    for (int32_t i = 0; i < rows->columnCount; ++i)
      std::printf("%s%s", i > 0 ? " | " : "", rows->columnNames[i]);
    std::printf(" | state)\n");
    for (const RowUnit* row = rows->firstRow; row != nullptr; row = row->next) {
      std::printf("   ");
      for (int32_t i = 0; i < rows->columnCount; ++i) {
        const auto& value = row->values[static_cast<std::size_t>(i)];
        std::printf(" %s |",
                    value ? ConvertValueToString(value, rows->columnTypes[i]).value_or("?").c_str()
                          : "NULL");
      }
      std::printf(" %d\n", row->state);
    }
  }
}

struct ObjectFree {
  void operator()(DataObject* object) const { fh::FreeDataObject(object); }
};
using Object = std::unique_ptr<DataObject, ObjectFree>;

// The order with lines as one object: a new line for the first order that
// has lines, every line's quantity set to 3, one save for all of it.
bool WorkOnAnOrder(const std::string& root) {
  const std::string file = root + "/data/personalities.xml";
  if (InitPersonality() != 1 || CreatePersonalityFromXMLFile(file.c_str()) != 1) return false;
  Object orders(GetDOFromPersonality("OrderWithLines"));
  if (orders == nullptr) return false;
  PrintObject("personality OrderWithLines: every order with its lines", orders.get());

  const auto orderId = GetColumnValueFromDO(orders.get(), "order_line", "order_id", 1);
  if (!orderId) return false;
  const std::string id = ConvertValueToString(orderId, KES_SQL_BIGINT).value_or("?");
  const std::string criteria = "order_id = " + id;
  Object order(GetDOFromPersonalityByCriteria("OrderWithLines", criteria.c_str()));
  if (order == nullptr) return false;
  int64_t lastLine = 0;
  const auto lines = GetColumnValuesFromDO("line_no", "order_line", order.get());
  for (const auto& line : lines.value_or(std::vector<std::optional<fh::ColumnValue>>{}))
    if (line)
      lastLine =
          std::max(lastLine, fh::GetIntegerValue(*line, KES_SQL_UNSIGNED_SMALLINT).value_or(0));
  std::vector<std::optional<fh::ColumnValue>> newLine;
  newLine.push_back(*orderId);
  newLine.push_back(fh::ColumnValue::FromInteger(KES_SQL_UNSIGNED_SMALLINT, lastLine + 1));
  newLine.push_back(
      fh::ColumnValue::FromInteger(KES_SQL_INT, 2));  // the spade: a product that exists
  newLine.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, 1));
  newLine.push_back(fh::ColumnValue::FromText("24.0"));
  const int32_t quantity = 3;
  if (!SetValueForAllRowUnits("quantity", "order_line", &quantity, sizeof quantity, order.get()) ||
      !InsertRowIntoDO(order.get(), "order_line", std::move(newLine), {}))
    return false;
  PrintObject(("order " + id + " changed in memory (where " + criteria + ")").c_str(), order.get());
  if (!SaveDataObject(order.get())) return false;
  Object saved(GetDOFromPersonalityByCriteria("OrderWithLines", criteria.c_str()));
  if (saved == nullptr) return false;
  PrintObject(("order " + id + " read again after the save").c_str(), saved.get());
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
  std::printf("== a personality: an order with its lines as one object\n");
  ok = WorkOnAnOrder(argv[1]);
  DeInitTessel();
  return ok ? 0 : 1;
}
