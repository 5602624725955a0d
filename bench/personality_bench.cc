// A personality of one dominant row with 1,000 constituent rows on SQLite
// (orders: id INT key, code CHAR(20); lines: id INT key, order_id INT
// referring to orders, qty INT), each piece of work done twice in the same
// run on the same tables:
//   - retrieval: GetDOFromPersonality (one joined query into a data
//     object) beside LoadTableByQuery of the order and of its lines into
//     in-memory tables;
//   - retrieval, a change of every line's qty and the save:
//     GetDOFromPersonality + SetValueForAllRowUnits + SaveDataObject beside
//     LoadTableByQuery + UpdateRowObject per row + SaveTable.
// The in-memory table run comes first; the personality run then reports
// "speed_vs_tables": the table run's time per iteration divided by its own
// (1.0 is as fast, 0.5 twice as slow).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <utility>

#include "bench_directory.h"
#include "bench_framework.h"
#include "bench_timing.h"
#include "config/data_source_map.h"
#include "dataobject/data_object.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/table_defn.h"
#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "personality/personality.h"
#include "personality/personality_retrieval.h"
#include "personality/personality_xml.h"
#include "sql/sql_dialects.h"
#include "store/row_object.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/memory_pool.h"

namespace {

constexpr int kLines = 1000;
constexpr char kOrders[] = "orders";
constexpr char kLinesTable[] = "lines";
constexpr char kOrderQuery[] = "select * from orders where id = 1";
constexpr char kLinesQuery[] = "select * from lines where order_id = 1";

double g_loadSeconds = 0;  // per iteration of BM_LoadTablesByQuery
double g_saveSeconds = 0;  // per iteration of BM_LoadChangeSaveTables

// The database file, made once per process: one order and its lines.
const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string file = fhbench::BenchDirectory() + "/personality.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "create table orders (id int not null primary key, code char(20));"
                 "create table lines (id int not null primary key, order_id int references "
                 "orders(id), qty int);"
                 "begin; insert into orders values (1, 'first');",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into lines values (?, 1, ?)", -1, &insert, nullptr);
    for (int id = 0; id < kLines; ++id) {
      sqlite3_bind_int(insert, 1, id);
      sqlite3_bind_int(insert, 2, id % 10);
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

// Sets the framework up once: the connection "bench" to the file with the
// data-source mode on, both tables defined and mapped, the personality
// "Order" (orders with its lines) read from a file.
bool FrameworkReady() {
  static const bool ready = [] {
    if (!fhbench::StartSqliteFramework(DatabasePath()) || InitPersonality() != 1) return false;
    using fhbench::Column;
    if (!fhbench::DefineBenchTable(kOrders, {Column("id", KES_SQL_INT, 0, false),
                                             Column("code", KES_SQL_CHAR, 20, true)}) ||
        !fhbench::DefineBenchTable(
            kLinesTable,
            {Column("id", KES_SQL_INT, 0, false), Column("order_id", KES_SQL_INT, 0, true),
             Column("qty", KES_SQL_INT, 0, true)},
            {{"order_id", "id", kOrders}}))
      return false;
    const std::string file = fhbench::BenchDirectory() + "/personality.xml";
    std::FILE* out = std::fopen(file.c_str(), "w");
    if (out == nullptr) return false;
    std::fputs(
        "<Personalities><PersonalityConfiguration personalityname='Order' "
        "dominanttableid='orders'><ConstituentTable tableindex='1' tableid='lines' "
        "mandatory='false'/></PersonalityConfiguration></Personalities>",
        out);
    std::fclose(out);
    return CreatePersonalityFromXMLFile(file.c_str()) == 1;
  }();
  return ready;
}

bool LoadBoth() {
  return LoadTableByQuery(kOrders, kOrderQuery) && LoadTableByQuery(kLinesTable, kLinesQuery);
}

void UnloadBoth() {
  UnLoadTable(kOrders);
  UnLoadTable(kLinesTable);
}

void BM_LoadTablesByQuery(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool loaded = LoadBoth();
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    const TableData* lines = GetTableDataByName(kLinesTable);
    if (!loaded || lines == nullptr || lines->rowCount != kLines)
      state.SkipWithError("LoadTableByQuery failed");
    UnloadBoth();
    state.ResumeTiming();
  }
  g_loadSeconds = seconds / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * (kLines + 1));
}
BENCHMARK(BM_LoadTablesByQuery)->Unit(benchmark::kMillisecond);

int LineCount(DataObject* object) {
  int count = 0;
  RowCollection* lines = GetRowCollection(kLinesTable, object);
  for (RowUnit* row = lines != nullptr ? lines->firstRow : nullptr; row != nullptr; row = row->next)
    ++count;
  return count;
}

void BM_GetDOFromPersonality(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    DataObject* object = GetDOFromPersonality("Order");
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    if (object == nullptr || LineCount(object) != kLines)
      state.SkipWithError("GetDOFromPersonality failed");
    fh::FreeDataObject(object);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * (kLines + 1));
  if (g_loadSeconds > 0 && seconds > 0)
    state.counters["speed_vs_tables"] =
        g_loadSeconds / (seconds / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_GetDOFromPersonality)->Unit(benchmark::kMillisecond);

void BM_LoadChangeSaveTables(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  int32_t qty = 0;
  double seconds = 0;
  for (auto _ : state) {
    ++qty;
    const auto start = std::chrono::steady_clock::now();
    bool done = LoadBoth();
    const TableData* lines = GetTableDataByName(kLinesTable);
    for (RowObject* row = lines != nullptr ? lines->firstRow.get() : nullptr; row != nullptr;
         row = row->next.get())
      done = UpdateRowObject(kLinesTable, row, "qty", &qty, sizeof qty) && done;
    done = SaveTable(kLinesTable) && SaveTable(kOrders) && done;
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    if (!done) state.SkipWithError("load, change and save failed");
    UnloadBoth();
    state.ResumeTiming();
  }
  g_saveSeconds = seconds / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kLines);
}
BENCHMARK(BM_LoadChangeSaveTables)->Unit(benchmark::kMillisecond);

void BM_PersonalityChangeSave(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on the SQLite3 ODBC driver");
    return;
  }
  int32_t qty = 1000;
  double seconds = 0;
  for (auto _ : state) {
    ++qty;
    const auto start = std::chrono::steady_clock::now();
    DataObject* object = GetDOFromPersonality("Order");
    bool done = object != nullptr &&
                SetValueForAllRowUnits("qty", kLinesTable, &qty, sizeof qty, object) &&
                SaveDataObject(object);
    seconds += fhbench::SecondsSince(start);
    state.PauseTiming();
    if (!done) state.SkipWithError("retrieve, change and save failed");
    fh::FreeDataObject(object);
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kLines);
  if (g_saveSeconds > 0 && seconds > 0)
    state.counters["speed_vs_tables"] =
        g_saveSeconds / (seconds / static_cast<double>(state.iterations()));
}
BENCHMARK(BM_PersonalityChangeSave)->Unit(benchmark::kMillisecond);

}  // namespace
