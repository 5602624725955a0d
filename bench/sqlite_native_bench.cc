// The native SQLite provider beside the sqlite3 C API, on the same database
// file in the same run:
//   - ExecuteQuery of 100,000 rows of five columns (integer, bigint, double,
//     text, date) against a sqlite3 select reading every value into a typed
//     column value (the date parsed into a date value);
//   - LoadTable of 100,000 rows (id INT key, name CHAR(40), qty INT) against
//     a sqlite3 select reading the same rows into typed column values;
//   - SaveTable of 10,000 new rows of five columns (id INT key, BIGINT,
//     DOUBLE, CHAR(40), DATE) against sqlite3 prepared inserts of the same
//     values in one transaction.
// The C API run of each pair comes first; the provider's run then reports
// "speed_vs_sqlite3": the C API's time per iteration divided by its own (1.0
// is as fast as the C API, 0.5 twice as slow), and "cpu_speed_vs_sqlite3",
// the same ratio of CPU times, which other processes' load on the machine
// disturbs far less than wall time. The save reports its wall
// and CPU times as multiples of the C API's: "wall_x_sqlite3" and
// "cpu_x_sqlite3" (1.5 takes half as long again).
#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "bench_directory.h"
#include "bench_framework.h"
#include "bench_timing.h"
#include "db/connection.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "store/row_object.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace {

constexpr int kRows = 100000;
constexpr char kQuery[] = "select i, b, d, t, day from r";
constexpr char kLoadQuery[] = "select id, name, qty from loaditems";

double g_queryLimitSeconds = 0;  // per iteration of BM_Sqlite3TypedQuery
double g_loadLimitSeconds = 0;   // per iteration of BM_Sqlite3TypedLoad
double g_queryLimitCpu = 0;      // the same in CPU seconds
double g_loadLimitCpu = 0;
constexpr int kSaveRows = 10000;
constexpr char kSaveTable[] = "saverows";
double g_saveLimitWall = 0;  // per iteration of BM_Sqlite3PreparedInsert
double g_saveLimitCpu = 0;

// The database file, made once per process: r (five columns) and loaditems
// (three), kRows rows each, in WAL mode as the provider opens it.
const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string file = fhbench::BenchDirectory() + "/native.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "pragma journal_mode = wal;"
                 "create table r (i integer, b bigint, d double, t varchar(40), day date);"
                 "create table loaditems (id int not null primary key, name char(40), qty int);"
                 "create table saverows (id int not null primary key, b bigint, d double, "
                 "t varchar(40), day varchar(30));"
                 "begin;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_stmt* item = nullptr;
    sqlite3_prepare_v2(db, "insert into r values (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    sqlite3_prepare_v2(db, "insert into loaditems values (?, ?, ?)", -1, &item, nullptr);
    for (int row = 0; row < kRows; ++row) {
      const std::string text = "row text number " + std::to_string(row);
      const std::string day =
          "2024-0" + std::to_string(1 + row % 9) + "-1" + std::to_string(row % 10);
      sqlite3_bind_int(insert, 1, row);
      sqlite3_bind_int64(insert, 2, 10000000000LL + row);
      sqlite3_bind_double(insert, 3, row * 0.25);
      sqlite3_bind_text(insert, 4, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 5, day.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
      sqlite3_bind_int(item, 1, row);
      sqlite3_bind_text(item, 2, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int(item, 3, row % 1000);
      sqlite3_step(item);
      sqlite3_reset(item);
    }
    sqlite3_finalize(insert);
    sqlite3_finalize(item);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

fh::ColumnValue TextOf(sqlite3_stmt* select, int column) {
  return fh::ColumnValue::FromText(
      reinterpret_cast<const char*>(sqlite3_column_text(select, column)));
}

// Runs query through the C API, each row read into typed values by read;
// the seconds per iteration, and the CPU seconds per iteration in *cpu.
template <typename Read>
double CApiRun(benchmark::State& state, const char* query, double* cpu, Read read) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  const double cpuStart = fhbench::CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, query, -1, &select, nullptr);
    std::vector<std::vector<fh::ColumnValue>> rows;
    while (sqlite3_step(select) == SQLITE_ROW) rows.push_back(read(select));
    sqlite3_finalize(select);
    if (rows.size() != kRows) state.SkipWithError("select failed");
    benchmark::DoNotOptimize(rows);
  }
  const auto iterations = static_cast<double>(state.iterations());
  *cpu = (fhbench::CpuSeconds() - cpuStart) / iterations;
  const double seconds = fhbench::SecondsSince(start) / iterations;
  state.SetItemsProcessed(state.iterations() * kRows);
  sqlite3_close(db);
  return seconds;
}

void BM_Sqlite3TypedQuery(benchmark::State& state) {
  g_queryLimitSeconds = CApiRun(state, kQuery, &g_queryLimitCpu, [](sqlite3_stmt* select) {
    int year = 0, month = 0, day = 0;
    std::sscanf(reinterpret_cast<const char*>(sqlite3_column_text(select, 4)), "%d-%d-%d", &year,
                &month, &day);
    KesDateTime date;
    date.date = CreateKesDate(year, month, day);
    return std::vector<fh::ColumnValue>{
        fh::ColumnValue::FromInteger(KES_SQL_INT, sqlite3_column_int(select, 0)),
        fh::ColumnValue::FromInteger(KES_SQL_BIGINT, sqlite3_column_int64(select, 1)),
        fh::ColumnValue::FromDouble(sqlite3_column_double(select, 2)), TextOf(select, 3),
        fh::ColumnValue::FromDateTime(date)};
  });
}
BENCHMARK(BM_Sqlite3TypedQuery)->Unit(benchmark::kMillisecond);

void BM_NativeExecuteQuery(benchmark::State& state) {
  InitDBProvider();
  auto entry = CreateConnParamsEntry("b", 1, DatabasePath().c_str(), nullptr, nullptr, "BenchDB", 0,
                                     nullptr, "SQLITE", "SQLITE");
  auto handle = OpenDBConnection(entry.get());
  if (!handle) {
    state.SkipWithError("cannot open the database through the native provider");
    return;
  }
  const double cpuStart = fhbench::CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    auto result = ExecuteQuery(handle.get(), kQuery);
    if (!result || result->rowCount != kRows) state.SkipWithError("query failed");
    benchmark::DoNotOptimize(result);
  }
  const auto iterations = static_cast<double>(state.iterations());
  const double seconds = fhbench::SecondsSince(start) / iterations;
  const double cpu = (fhbench::CpuSeconds() - cpuStart) / iterations;
  state.SetItemsProcessed(state.iterations() * kRows);
  if (g_queryLimitSeconds > 0) state.counters["speed_vs_sqlite3"] = g_queryLimitSeconds / seconds;
  if (g_queryLimitCpu > 0 && cpu > 0)
    state.counters["cpu_speed_vs_sqlite3"] = g_queryLimitCpu / cpu;
  CloseDBConnection(std::move(handle));
}
BENCHMARK(BM_NativeExecuteQuery)->Unit(benchmark::kMillisecond);

void BM_Sqlite3TypedLoad(benchmark::State& state) {
  g_loadLimitSeconds = CApiRun(state, kLoadQuery, &g_loadLimitCpu, [](sqlite3_stmt* select) {
    return std::vector<fh::ColumnValue>{
        fh::ColumnValue::FromInteger(KES_SQL_INT, sqlite3_column_int(select, 0)), TextOf(select, 1),
        fh::ColumnValue::FromInteger(KES_SQL_INT, sqlite3_column_int(select, 2))};
  });
}
BENCHMARK(BM_Sqlite3TypedLoad)->Unit(benchmark::kMillisecond);

// The framework on the native provider, set up once: both tables the
// framework benchmarks use, defined and mapped.
bool NativeFrameworkReady() {
  static const bool ready =
      fhbench::StartSqliteFramework(DatabasePath(), true) &&
      fhbench::DefineBenchTable("loaditems", {fhbench::Column("id", KES_SQL_INT, 0, false),
                                              fhbench::Column("name", KES_SQL_CHAR, 40, true),
                                              fhbench::Column("qty", KES_SQL_INT, 0, true)}) &&
      fhbench::DefineBenchTable(kSaveTable, {fhbench::Column("id", KES_SQL_INT, 0, false),
                                             fhbench::Column("b", KES_SQL_BIGINT, 0, true),
                                             fhbench::Column("d", KES_SQL_DOUBLE, 0, true),
                                             fhbench::Column("t", KES_SQL_CHAR, 40, true),
                                             fhbench::Column("day", KES_SQL_DATE, 0, true)});
  return ready;
}

void BM_NativeLoadTable(benchmark::State& state) {
  if (!NativeFrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the native provider");
    return;
  }
  double seconds = 0;
  double cpu = 0;
  for (auto _ : state) {
    const double cpuStart = fhbench::CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    const bool loaded = LoadTable("loaditems");
    seconds += fhbench::SecondsSince(start);
    cpu += fhbench::CpuSeconds() - cpuStart;
    state.PauseTiming();
    const TableData* table = GetTableDataByName("loaditems");
    if (!loaded || table == nullptr || table->rowCount != kRows)
      state.SkipWithError("LoadTable failed");
    UnLoadTable("loaditems");
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  const auto iterations = static_cast<double>(state.iterations());
  if (g_loadLimitSeconds > 0 && seconds > 0)
    state.counters["speed_vs_sqlite3"] = g_loadLimitSeconds / (seconds / iterations);
  if (g_loadLimitCpu > 0 && cpu > 0)
    state.counters["cpu_speed_vs_sqlite3"] = g_loadLimitCpu / (cpu / iterations);
}
BENCHMARK(BM_NativeLoadTable)->Unit(benchmark::kMillisecond);

// Wall and CPU seconds of the timed parts of a run.
struct SaveClock {
  double wall = 0;
  double cpu = 0;
  std::chrono::steady_clock::time_point wallStart;
  double cpuStart = 0;

  void Start() {
    wallStart = std::chrono::steady_clock::now();
    cpuStart = fhbench::CpuSeconds();
  }
  void Stop() {
    cpu += fhbench::CpuSeconds() - cpuStart;
    wall += fhbench::SecondsSince(wallStart);
  }
};

void EmptySaveTable(sqlite3* db) {
  sqlite3_exec(db, "delete from saverows;", nullptr, nullptr, nullptr);
}

std::string SaveText(int row) { return "saved row number " + std::to_string(row); }

void BM_Sqlite3PreparedInsert(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  SaveClock clock;
  for (auto _ : state) {
    EmptySaveTable(db);
    clock.Start();
    sqlite3_exec(db, "begin;", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into saverows values (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    for (int row = 0; row < kSaveRows; ++row) {
      const std::string text = SaveText(row);
      char day[16];
      std::snprintf(day, sizeof day, "2024-%02d-%02d", 1 + row % 12, 1 + row % 28);
      sqlite3_bind_int(insert, 1, row);
      sqlite3_bind_int64(insert, 2, 10000000000LL + row);
      sqlite3_bind_double(insert, 3, row * 0.25);
      sqlite3_bind_text(insert, 4, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 5, day, -1, SQLITE_TRANSIENT);
      if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    if (sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr) != SQLITE_OK)
      state.SkipWithError("commit failed");
    clock.Stop();
  }
  EmptySaveTable(db);
  sqlite3_close(db);
  g_saveLimitWall = clock.wall / static_cast<double>(state.iterations());
  g_saveLimitCpu = clock.cpu / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kSaveRows);
}
BENCHMARK(BM_Sqlite3PreparedInsert)->Unit(benchmark::kMillisecond);

// Fills the in-memory table with kSaveRows new rows of the same values the
// C API inserts.
void AddSaveRows() {
  CreateTable(kSaveTable);
  for (int row = 0; row < kSaveRows; ++row) {
    KesDateTime day;
    day.date = CreateKesDate(2024, 1 + row % 12, 1 + row % 28);
    std::vector<std::optional<fh::ColumnValue>> values;
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, row));
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_BIGINT, 10000000000LL + row));
    values.push_back(fh::ColumnValue::FromDouble(row * 0.25));
    values.push_back(fh::ColumnValue::FromText(SaveText(row)));
    values.push_back(fh::ColumnValue::FromDateTime(day));
    std::unique_ptr<RowObject> added = CreateNewRowObject(std::move(values), {});
    AddNewRow(kSaveTable, added);
  }
}

void BM_NativeSaveTable(benchmark::State& state) {
  if (!NativeFrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the native provider");
    return;
  }
  sqlite3* db = nullptr;
  sqlite3_open(DatabasePath().c_str(), &db);
  SaveClock clock;
  for (auto _ : state) {
    state.PauseTiming();
    EmptySaveTable(db);
    AddSaveRows();
    state.ResumeTiming();
    clock.Start();
    const bool saved = SaveTable(kSaveTable);
    clock.Stop();
    state.PauseTiming();
    const TableData* table = GetTableDataByName(kSaveTable);
    if (!saved || table == nullptr || table->lastRow == nullptr ||
        table->lastRow->state != fh::kRowPersisted)
      state.SkipWithError("SaveTable failed");
    UnLoadTable(kSaveTable);
    state.ResumeTiming();
  }
  EmptySaveTable(db);
  sqlite3_close(db);
  state.SetItemsProcessed(state.iterations() * kSaveRows);
  const auto iterations = static_cast<double>(state.iterations());
  if (g_saveLimitWall > 0)
    state.counters["wall_x_sqlite3"] = clock.wall / iterations / g_saveLimitWall;
  if (g_saveLimitCpu > 0) state.counters["cpu_x_sqlite3"] = clock.cpu / iterations / g_saveLimitCpu;
}
BENCHMARK(BM_NativeSaveTable)->Unit(benchmark::kMillisecond);

}  // namespace
