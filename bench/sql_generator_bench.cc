// What generating statements costs: an insert and an update of a 12-column
// row, and a select with a five-leaf criteria tree, in the MYSQL dialect
// (the other dialects share the generator).
#include <benchmark/benchmark.h>

#include <string>

#include "dictionary/table_defn.h"
#include "query/select_query.h"
#include "sql/mysql_dialect.h"
#include "store/row_object.h"
#include "util/memory_pool.h"

namespace {

ColumnDefnEntry Column(const char* name, uint8_t type, int32_t size = 0) {
  ColumnDefnEntry column;
  column.columnName = name;
  column.dataType = type;
  column.maxSize = size;
  return column;
}

const char* DefineBenchTable() {
  static const bool defined = [] {
    ConstraintDefn keys;
    keys.primaryKeyColumns = {"id"};
    keys.primaryKeyCount = 1;
    std::vector<ColumnDefnEntry> columns = {
        Column("id", KES_SQL_INT),         Column("name", KES_SQL_CHAR, 40),
        Column("note", KES_SQL_TEXT, 300), Column("qty", KES_SQL_SMALLINT),
        Column("total", KES_SQL_BIGINT),   Column("price", KES_SQL_DOUBLE),
        Column("rate", KES_SQL_FLOAT),     Column("active", KES_SQL_BOOLEAN),
        Column("born", KES_SQL_DATE),      Column("at", KES_SQL_DATETIME),
        Column("tm", KES_SQL_TIME),        Column("data", KES_SQL_BLOB)};
    return fh::AddTableDefn(
               fh::CreateTableDefn("BenchRow", std::nullopt, std::move(columns), keys)) != nullptr;
  }();
  return defined ? "BenchRow" : nullptr;
}

std::unique_ptr<RowObject> BenchRow() {
  KesDateTime when;
  when.date = KesDate{2021, 3, 4};
  when.time = KesTime{12, 34, 56};
  const std::string bytes(64, '\x27');
  std::vector<std::optional<fh::ColumnValue>> values = {
      fh::ColumnValue::FromInteger(KES_SQL_INT, 7),
      fh::ColumnValue::FromText("O'Brien the third"),
      fh::ColumnValue::FromText(std::string(200, 'x') + "'\\"),
      fh::ColumnValue::FromInteger(KES_SQL_SMALLINT, 12),
      fh::ColumnValue::FromInteger(KES_SQL_BIGINT, 9000000000),
      fh::ColumnValue::FromDouble(0.1),
      fh::ColumnValue::FromFloat(2.5f),
      fh::ColumnValue::FromInteger(KES_SQL_BOOLEAN, 1),
      fh::ColumnValue::FromDateTime(KesDateTime{when.date, std::nullopt}),
      fh::ColumnValue::FromDateTime(when),
      fh::ColumnValue::FromDateTime(KesDateTime{std::nullopt, when.time}),
      fh::ColumnValue::FromBytes(bytes.data(), bytes.size())};
  return CreateNewRowObject(std::move(values), {});
}

void BM_InsertText(benchmark::State& state) {
  const char* table = DefineBenchTable();
  auto row = BenchRow();
  for (auto _ : state) benchmark::DoNotOptimize(MysqlGenInsertQuery(table, row.get()));
}
BENCHMARK(BM_InsertText);

void BM_UpdateText(benchmark::State& state) {
  const char* table = DefineBenchTable();
  auto row = BenchRow();
  for (auto _ : state) benchmark::DoNotOptimize(MysqlGenUpdateQuery(table, row.get()));
}
BENCHMARK(BM_UpdateText);

void BM_SelectText(benchmark::State& state) {
  InitializeMemPool();
  SelectQuery* query = CreateSelectQuery();
  MemPool* pool = query->pool;
  AddTable(query, CreateTableRef("BenchRow", "b", pool));
  fh::SelectCriteria* tree = nullptr;
  for (int i = 0; i < 5; ++i) {
    fh::ColumnRef* column =
        CreateColumnRef(nullptr, "b", "name", nullptr, 0, KES_SQL_CHAR, 0, pool);
    fh::SelectCriteria* leaf = CreateCriteria(column, "O'Brien", 7, 5, pool);
    tree = tree == nullptr ? leaf : CreateOrCriteria(tree, leaf, pool);
  }
  SetCriteria(query, tree);
  query->limit = 10;
  for (auto _ : state) benchmark::DoNotOptimize(MysqlGenSelectQuery(query));
  FreeSelectQuery(query);
  fh::ReleaseMemPool();
}
BENCHMARK(BM_SelectText);

}  // namespace
