// The in-memory store: SelectRows with a two-leaf criteria over a million
// rows beside SQLite's own ":memory:" database running the same filter on the
// same data (no index, prepared statement), printed as a ratio at the end;
// AddNewRow into tables of 100,000 and 1,000,000 rows (the cost per row must
// not grow with the table); SortResultSet of 100,000 rows beside
// std::stable_sort of the same values.
//
// A five-column keyed table of a million rows (id INTEGER primary key, qty
// INTEGER, name CHAR, price DOUBLE, note CHAR) gives: SelectRows by the whole
// primary key beside SQLite answering the same lookup from its INTEGER
// PRIMARY KEY, the heap bytes one in-memory row costs, and UnLoadTable of
// 100,000 such rows beside adding them.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench_timing.h"
#include "dictionary/table_defn.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

constexpr int kSelectRows = 1000000;
constexpr const char* kCriteria = "qty >= 500 and name = 'bolt'";
const char* const kNames[] = {"bolt", "nut", "washer", "screw", "rivet", "pin", "gear", "cam"};

double gv_storeSeconds = 0;      // per selection
double gv_sqliteSeconds = 0;     // per selection
double gv_storeKeySeconds = 0;   // per key lookup
double gv_sqliteKeySeconds = 0;  // per key lookup
double gv_bytesPerRow = 0;       // heap bytes per row of the keyed table
double gv_addSeconds = 0;        // adding kUnloadRows keyed rows
double gv_unloadSeconds = 0;     // unloading them

constexpr int kKeyRows = 1000000;
constexpr int kUnloadRows = 100000;
constexpr int kLookups = 1000;  // key lookups per iteration

void DefineBenchTable() {
  if (GetTableDefn("Bench") != nullptr) return;
  std::vector<ColumnDefnEntry> columns;
  for (auto [name, type] : {std::pair{"id", "INTEGER"}, {"qty", "INTEGER"}, {"name", "CHAR"}}) {
    fh::ColumnDefnSource source;
    source.columnName = name;
    source.dataTypeName = type;
    source.maxSize = 40;
    columns.push_back(*fh::CreateColumnDefn(source));
  }
  fh::AddTableDefn(
      fh::CreateTableDefn("Bench", std::nullopt, std::move(columns), ConstraintDefn{}));
}

int Quantity(int i) { return static_cast<int>((static_cast<unsigned>(i) * 2654435761u) % 1000u); }
const char* Name(int i) { return kNames[i % 8]; }

std::unique_ptr<RowObject> BenchRow(int i) {
  std::vector<std::optional<fh::ColumnValue>> values;
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, i));
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, Quantity(i)));
  values.push_back(fh::ColumnValue::FromText(Name(i)));
  return CreateNewRowObject(std::move(values), {});
}

// Appends rows 0 to count - 1 made by makeRow to table the way a load
// builds a table (AppendTableRow: the rows in the table's own blocks).
template <typename MakeRow>
void AppendRows(const char* tableName, int count, MakeRow makeRow) {
  TableData* table = GetTableDataByName(tableName);
  std::vector<std::optional<fh::ColumnValue>> values;
  for (int i = 0; i < count; ++i) {
    std::unique_ptr<RowObject> row = makeRow(i);
    values.clear();
    for (std::optional<fh::ColumnValue>& value : row->values) values.push_back(std::move(value));
    fh::AppendTableRow(*table, values, fh::kRowPersisted);
  }
}

// Loads a fresh table "Bench" with rows 0 to count - 1.
void LoadBenchTable(int count) {
  DefineBenchTable();
  UnLoadTable("Bench");
  CreateTable("Bench");
  AppendRows("Bench", count, BenchRow);
}

void DefineKeyedTable() {
  if (GetTableDefn("BenchKeyed") != nullptr) return;
  std::vector<ColumnDefnEntry> columns;
  for (auto [name, type] : {std::pair{"id", "INTEGER"},
                            {"qty", "INTEGER"},
                            {"name", "CHAR"},
                            {"price", "DOUBLE"},
                            {"note", "CHAR"}}) {
    fh::ColumnDefnSource source;
    source.columnName = name;
    source.dataTypeName = type;
    source.maxSize = 40;
    columns.push_back(*fh::CreateColumnDefn(source));
  }
  ConstraintDefn constraints;
  constraints.primaryKeyColumns = {"id"};
  constraints.primaryKeyCount = 1;
  fh::AddTableDefn(
      fh::CreateTableDefn("BenchKeyed", std::nullopt, std::move(columns), constraints));
}

double Price(int i) { return Quantity(i) * 0.25; }
std::string Note(int i) { return "note " + std::to_string(i); }

std::unique_ptr<RowObject> KeyedRow(int i) {
  std::vector<std::optional<fh::ColumnValue>> values;
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, i));
  values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, Quantity(i)));
  values.push_back(fh::ColumnValue::FromText(Name(i)));
  values.push_back(fh::ColumnValue::FromDouble(Price(i)));
  values.push_back(fh::ColumnValue::FromText(Note(i)));
  return CreateNewRowObject(std::move(values), {});
}

// Loads a fresh table "BenchKeyed" with rows 0 to count - 1.
void LoadKeyedTable(int count) {
  DefineKeyedTable();
  UnLoadTable("BenchKeyed");
  CreateTable("BenchKeyed");
  AppendRows("BenchKeyed", count, KeyedRow);
}

// The keys looked up, spread over the table.
int LookupKey(int n) { return static_cast<int>((static_cast<unsigned>(n) * 7919u) % kKeyRows); }

template <typename Run>
double SecondsOf(Run run) {
  const auto start = std::chrono::steady_clock::now();
  run();
  return fhbench::SecondsSince(start);
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

void BM_SelectRowsByKeyStore(benchmark::State& state) {
  // The heap this table holds, per row (the rows are made by the same code
  // the loader uses: AppendTableRow).
  const std::size_t heapBefore = mallinfo2().uordblks;
  LoadKeyedTable(kKeyRows);
  const std::size_t heapAfter = mallinfo2().uordblks;
  gv_bytesPerRow = static_cast<double>(heapAfter - heapBefore) / kKeyRows;
  std::vector<std::string> criteria;
  for (int n = 0; n < kLookups; ++n) criteria.push_back("id = " + std::to_string(LookupKey(n)));
  double total = 0;
  int64_t found = 0;
  for (auto _ : state) {
    total += SecondsOf([&] {
      found = 0;
      for (const std::string& text : criteria) {
        std::unique_ptr<ResultData> result = SelectRows("BenchKeyed", text.c_str());
        found += result->rowCount;
      }
    });
  }
  gv_storeKeySeconds = total / static_cast<double>(state.iterations()) / kLookups;
  state.counters["rows_found"] = static_cast<double>(found);
  state.counters["bytes_per_row"] = gv_bytesPerRow;
  state.SetItemsProcessed(state.iterations() * kLookups);
  UnLoadTable("BenchKeyed");
}
BENCHMARK(BM_SelectRowsByKeyStore)->Unit(benchmark::kMillisecond);

void BM_SelectRowsByKeySqlite(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(":memory:", &db);
  sqlite3_exec(db,
               "CREATE TABLE keyed (id INTEGER PRIMARY KEY, qty INTEGER, name TEXT, "
               "price REAL, note TEXT)",
               nullptr, nullptr, nullptr);
  sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(db, "INSERT INTO keyed VALUES (?, ?, ?, ?, ?)", -1, &insert, nullptr);
  for (int i = 0; i < kKeyRows; ++i) {
    const std::string note = Note(i);
    sqlite3_bind_int(insert, 1, i);
    sqlite3_bind_int(insert, 2, Quantity(i));
    sqlite3_bind_text(insert, 3, Name(i), -1, SQLITE_STATIC);
    sqlite3_bind_double(insert, 4, Price(i));
    sqlite3_bind_text(insert, 5, note.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_stmt* select = nullptr;
  sqlite3_prepare_v2(db, "SELECT id, qty, name, price, note FROM keyed WHERE id = ?", -1, &select,
                     nullptr);
  double total = 0;
  int64_t found = 0;
  for (auto _ : state) {
    total += SecondsOf([&] {
      found = 0;
      for (int n = 0; n < kLookups; ++n) {
        sqlite3_bind_int(select, 1, LookupKey(n));
        while (sqlite3_step(select) == SQLITE_ROW) {
          benchmark::DoNotOptimize(sqlite3_column_text(select, 4));
          ++found;
        }
        sqlite3_reset(select);
      }
    });
  }
  gv_sqliteKeySeconds = total / static_cast<double>(state.iterations()) / kLookups;
  state.counters["rows_found"] = static_cast<double>(found);
  state.SetItemsProcessed(state.iterations() * kLookups);
  sqlite3_finalize(select);
  sqlite3_close(db);
}
BENCHMARK(BM_SelectRowsByKeySqlite)->Unit(benchmark::kMillisecond);

// Adding kUnloadRows keyed rows, then UnLoadTable of them, each timed.
void BM_UnLoadTable(benchmark::State& state) {
  DefineKeyedTable();
  double added = 0;
  double unloaded = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<std::unique_ptr<RowObject>> rows;
    rows.reserve(kUnloadRows);
    for (int i = 0; i < kUnloadRows; ++i) rows.push_back(KeyedRow(i));
    added += SecondsOf([&] {
      CreateTable("BenchKeyed");
      for (std::unique_ptr<RowObject>& row : rows) AddNewRow("BenchKeyed", row);
    });
    state.ResumeTiming();
    unloaded += SecondsOf([] { UnLoadTable("BenchKeyed"); });
  }
  gv_addSeconds = added / static_cast<double>(state.iterations());
  gv_unloadSeconds = unloaded / static_cast<double>(state.iterations());
  state.counters["add_ms"] = gv_addSeconds * 1e3;
  state.SetItemsProcessed(state.iterations() * kUnloadRows);
}
BENCHMARK(BM_UnLoadTable)->Unit(benchmark::kMillisecond);

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
  if (gv_storeKeySeconds > 0 && gv_sqliteKeySeconds > 0) {
    std::printf(
        "SelectRows by primary key over %d rows: store %.2f us, SQLite :memory: %.2f us, "
        "SQLite / store = %.2f\n",
        kKeyRows, gv_storeKeySeconds * 1e6, gv_sqliteKeySeconds * 1e6,
        gv_sqliteKeySeconds / gv_storeKeySeconds);
  }
  if (gv_bytesPerRow > 0) {
    std::printf("In-memory row of the 5-column keyed table: %.1f heap bytes\n", gv_bytesPerRow);
  }
  if (gv_addSeconds > 0) {
    std::printf("UnLoadTable of %d rows: %.2f ms, adding them %.2f ms, unload / add = %.3f\n",
                kUnloadRows, gv_unloadSeconds * 1e3, gv_addSeconds * 1e3,
                gv_unloadSeconds / gv_addSeconds);
  }
  return 0;
}
