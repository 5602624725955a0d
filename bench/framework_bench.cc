// Loading and saving whole in-memory tables on SQLite through the framework,
// each beside the sqlite3 C API doing the same work on the same database file
// in the same run:
//   - LoadTable of 100,000 rows (id INT key, name CHAR(40), qty INT) against
//     a sqlite3 select reading every value and copying the texts;
//   - SaveTable of 10,000 new rows against sqlite3 prepared inserts in one
//     transaction.
// The C API run comes first; the framework run then reports
// "speed_vs_sqlite3": the C API's time per iteration divided by its own (1.0
// is as fast as the C API, 0.5 twice as slow).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_directory.h"
#include "bench_framework.h"
#include "bench_timing.h"
#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/table_defn.h"
#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "sql/sql_dialects.h"
#include "store/row_object.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/memory_pool.h"

namespace {

constexpr int kLoadRows = 100000;
constexpr int kSaveRows = 10000;
constexpr char kLoadTable[] = "loaditems";
constexpr char kSaveTable[] = "saveitems";

double g_sqliteLoadSeconds = 0;  // per iteration of BM_Sqlite3Select
double g_sqliteSaveSeconds = 0;  // per iteration of BM_Sqlite3Insert

std::string RowName(int id) { return "item name " + std::to_string(id); }

// The database file, made once per process: kLoadTable filled, kSaveTable
// empty.
const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string file = fhbench::BenchDirectory() + "/tables.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "create table loaditems (id int not null primary key, name char(40), qty int);"
                 "create table saveitems (id int not null primary key, name char(40), qty int);"
                 "begin;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into loaditems values (?, ?, ?)", -1, &insert, nullptr);
    for (int id = 0; id < kLoadRows; ++id) {
      const std::string name = RowName(id);
      sqlite3_bind_int(insert, 1, id);
      sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 3, id % 1000);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

void EmptySaveTable() {
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  sqlite3_exec(db, "delete from saveitems;", nullptr, nullptr, nullptr);
  sqlite3_close(db);
}

// Sets the framework up once: the connection "bench" to the file with the
// data-source mode on, and both tables defined and mapped to it.
bool FrameworkReady() {
  static const bool ready = [] {
    if (!fhbench::StartSqliteFramework(DatabasePath())) return false;
    for (const char* table : {kLoadTable, kSaveTable}) {
      if (!fhbench::DefineBenchTable(table, {fhbench::Column("id", KES_SQL_INT, 0, false),
                                             fhbench::Column("name", KES_SQL_CHAR, 40, true),
                                             fhbench::Column("qty", KES_SQL_INT, 0, true)}))
        return false;
    }
    return true;
  }();
  return ready;
}

void BM_Sqlite3Select(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "select id, name, qty from loaditems", -1, &select, nullptr);
    int rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int(select, 0));
      std::string name(reinterpret_cast<const char*>(sqlite3_column_text(select, 1)));
      benchmark::DoNotOptimize(name);
      benchmark::DoNotOptimize(sqlite3_column_int(select, 2));
      ++rows;
    }
    sqlite3_finalize(select);
    if (rows != kLoadRows) state.SkipWithError("select failed");
  }
  g_sqliteLoadSeconds = fhbench::SecondsSince(start) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kLoadRows);
  sqlite3_close(db);
}
BENCHMARK(BM_Sqlite3Select)->Unit(benchmark::kMillisecond);

void BM_LoadTable(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool loaded = LoadTable(kLoadTable);
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    const TableData* table = GetTableDataByName(kLoadTable);
    if (!loaded || table == nullptr || table->rowCount != kLoadRows)
      state.SkipWithError("LoadTable failed");
    UnLoadTable(kLoadTable);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLoadRows);
  if (g_sqliteLoadSeconds > 0 && seconds > 0)
    state.counters["speed_vs_sqlite3"] =
        g_sqliteLoadSeconds / (seconds / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond);

void BM_Sqlite3Insert(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    sqlite3_exec(db, "delete from saveitems;", nullptr, nullptr, nullptr);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into saveitems values (?, ?, ?)", -1, &insert, nullptr);
    for (int id = 0; id < kSaveRows; ++id) {
      const std::string name = RowName(id);
      sqlite3_bind_int(insert, 1, id);
      sqlite3_bind_text(insert, 2, name.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(insert, 3, id % 1000);
      if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError("commit failed");
    seconds += fhbench::SecondsSince(start);
  }
  g_sqliteSaveSeconds = seconds / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kSaveRows);
  sqlite3_close(db);
}
BENCHMARK(BM_Sqlite3Insert)->Unit(benchmark::kMillisecond);

void BM_SaveTable(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    EmptySaveTable();
    CreateTable(kSaveTable);
    for (int id = 0; id < kSaveRows; ++id) {
      std::vector<std::optional<fh::ColumnValue>> values;
      values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id));
      values.push_back(fh::ColumnValue::FromText(RowName(id)));
      values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id % 1000));
      std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
      AddNewRow(kSaveTable, row);
    }
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const bool saved = SaveTable(kSaveTable);
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    const TableData* table = GetTableDataByName(kSaveTable);
    if (!saved || table == nullptr || table->lastRow == nullptr ||
        table->lastRow->state != fh::kRowPersisted)
      state.SkipWithError("SaveTable failed");
    UnLoadTable(kSaveTable);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kSaveRows);
  if (g_sqliteSaveSeconds > 0 && seconds > 0)
    state.counters["speed_vs_sqlite3"] =
        g_sqliteSaveSeconds / (seconds / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_SaveTable)->Unit(benchmark::kMillisecond);

}  // namespace
