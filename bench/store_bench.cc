// The in-memory store: SelectRows with a two-leaf criteria over a million
// rows beside SQLite's own ":memory:" database running the same filter on the
// same data (no index, prepared statement), printed as a ratio at the end;
// AddNewRow into tables of 100,000 and 1,000,000 rows (the cost per row must
// not grow with the table); SortResultSet of 100,000 rows beside
// std::stable_sort of the same values.
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

constexpr int kSelectRows = 1000000;
constexpr const char* kCriteria = "qty >= 500 and name = 'bolt'";
const char* const kNames[] = {"bolt", "nut", "washer", "screw", "rivet", "pin", "gear", "cam"};

double gv_storeSeconds = 0;   // per selection
double gv_sqliteSeconds = 0;  // per selection

void DefineBenchTable() {
  if (GetTableDefn("Bench") != nullptr) return;
  std::vector<ColumnDefnEntry> columns;
  for (auto [name, type] : {std::pair{"id", "INTEGER"}, {"qty", "INTEGER"}, {"name", "CHAR"}}) {
    ColumnDefnSource source;
    source.columnName = name;
    source.dataTypeName = type;
    source.maxSize = 40;
    columns.push_back(*CreateColumnDefn(source));
  }
  AddTableDefn(CreateTableDefn("Bench", std::nullopt, std::move(columns), ConstraintDefn{}));
}

int Quantity(int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 1000u); }
const char* Name(int i) { return kNames[i % 8]; }

std::unique_ptr<RowObject> BenchRow(int i) {
  std::vector<std::optional<ColumnValue>> values;
  values.push_back(ColumnValue::FromInteger(KES_SQL_INT, i));
  values.push_back(ColumnValue::FromInteger(KES_SQL_INT, Quantity(i)));
  values.push_back(ColumnValue::FromText(Name(i)));
  return CreateNewRowObject(std::move(values), {});
}

// Loads a fresh table "Bench" with rows 0 to count - 1.
void LoadBenchTable(int count) {
  DefineBenchTable();
  UnLoadTable("Bench");
  CreateTable("Bench");
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<RowObject> row = BenchRow(i);
    AddNewRow("Bench", row);
  }
}

template <typename Run>
double SecondsOf(Run run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_SelectRowsStore(benchmark::State& state) {
  LoadBenchTable(kSelectRows);
  double total = 0;
  int64_t found = 0;
  for (auto _ : state) {
    total += SecondsOf([&] {
      std::unique_ptr<ResultData> result = SelectRows("Bench", kCriteria);
      found = result->rowCount;
    });
  }
  gv_storeSeconds = total / static_cast<double>(state.iterations());
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * kSelectRows);
  UnLoadTable("Bench");
}
BENCHMARK(BM_SelectRowsStore)->Unit(benchmark::kMillisecond);

void BM_SelectRowsSqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db, "CREATE TABLE bench (id INTEGER, qty INTEGER, name TEXT)", nullptr, nullptr,
               nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO bench VALUES (?, ?, ?)", -1, &insert, nullptr);
  for (int i = 0; i < kSelectRows; ++i) {
    sqlite3_bind_int(insert, 1, i);
    sqlite3_bind_int(insert, 2, Quantity(i));
    sqlite3_bind_text(insert, 3, Name(i), -1, SQLITE_STATIC);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT id FROM bench WHERE qty >= ? AND name = ?", -1, &select, nullptr);
  double total = 0;
  int64_t found = 0;
  for (auto _ : state) {
    total += SecondsOf([&] {
      std::vector<int> ids;
      sqlite3_bind_int(select, 1, 500);
      sqlite3_bind_text(select, 2, "bolt", -1, SQLITE_STATIC);
      while (sqlite3_step(select) == SQLITE_ROW) ids.push_back(sqlite3_column_int(select, 0));
      sqlite3_reset(select);
      found = static_cast<int64_t>(ids.size());
    });
  }
  gv_sqliteSeconds = total / static_cast<double>(state.iterations());
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * kSelectRows);
  sqlite3_finalize(select);
  sqlite3_close(db);
}
BENCHMARK(BM_SelectRowsSqlite)->Unit(benchmark::kMillisecond);

void BM_AddNewRow(benchmark::State& state) {
  DefineBenchTable();
  const int count = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    UnLoadTable("Bench");
    CreateTable("Bench");
    std::vector<std::unique_ptr<RowObject>> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) rows.push_back(BenchRow(i));
    state.ResumeTiming();
    for (std::unique_ptr<RowObject>& row : rows) AddNewRow("Bench", row);
  }
  state.SetItemsProcessed(state.iterations() * count);
  UnLoadTable("Bench");
}
BENCHMARK(BM_AddNewRow)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

constexpr int kSortRows = 100000;

void BM_SortResultSet(benchmark::State& state) {
  LoadBenchTable(kSortRows);
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<ResultData> result = SelectRows("Bench", nullptr);
    state.ResumeTiming();
    SortResultSet(result.get(), "qty", 1);
    state.PauseTiming();
    result.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSortRows);
  UnLoadTable("Bench");
}
BENCHMARK(BM_SortResultSet)->Unit(benchmark::kMillisecond);

void BM_StdStableSort(benchmark::State& state) {
  std::vector<int> values(kSortRows);
  for (int i = 0; i < kSortRows; ++i) values[static_cast<std::size_t>(i)] = Quantity(i);
  for (auto _ : state) {
    std::vector<int> copy = values;
    std::stable_sort(copy.begin(), copy.end());
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetItemsProcessed(state.iterations() * kSortRows);
}
BENCHMARK(BM_StdStableSort)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  if (gv_storeSeconds > 0 && gv_sqliteSeconds > 0) {
    std::printf(
        "SelectRows over %d rows: store %.2f ms, SQLite :memory: %.2f ms, "
        "SQLite / store = %.2f\n",
        kSelectRows, gv_storeSeconds * 1e3, gv_sqliteSeconds * 1e3,
        gv_sqliteSeconds / gv_storeSeconds);
  }
  return 0;
}
