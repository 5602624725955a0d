// SaveTable of 2,000 new rows, all good and with 5% failing (every
// twentieth row's key is already stored), to show that a save with failing
// rows stays linear: a failure costs one rollback and one redo of the batch
// with a savepoint around each statement, never one redo per failing row.
//
// SQLite by default. FH_BENCH_ENGINE=pgsql or mariadb runs the same on the
// throwaway servers of scripts/lib/databases.sh (their FH_TEST_* settings).
// BM_SaveFailingRows reports "vs_good": its time per save divided by
// BM_SaveGoodRows' (run first); the aim is at most 2.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_directory.h"
#include "bench_framework.h"
#include "bench_timing.h"
#include "db/connection.h"
#include "framework/table_saver.h"
#include "store/row_object.h"
#include "store/table_rows.h"

namespace {

constexpr int kRows = 2000;
constexpr int kFailEvery = 20;  // 5%

double g_goodSeconds = 0;  // per save of BM_SaveGoodRows

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

const std::string& TableName() {
  static const std::string name = "failrows_" + std::to_string(::getpid());
  return name;
}

// The connection "bench" on the chosen engine; true when it is up.
bool StartEngine() {
  const std::string engine = Env("FH_BENCH_ENGINE");
  if (engine.empty() || engine == "sqlite") {
    return fhbench::StartSqliteFramework(fhbench::BenchDirectory() + "/failing.db");
  }
  const bool pgsql = engine == "pgsql";
  const std::string prefix = pgsql ? "FH_TEST_PGSQL" : "FH_TEST_MARIADB";
  InitDBProvider();
  InitSQLDialects();
  InitTableList();
  if (!InitializeMemPool()) return false;
  return AddConnParamsEntry(CreateConnParamsEntry(
             "b", 1, Env((prefix + "_DSN").c_str()).c_str(),
             Env((prefix + "_USER").c_str()).c_str(), Env((prefix + "_PASSWORD").c_str()).c_str(),
             "bench", 0, nullptr, "ODBC", pgsql ? "PGSQL" : "MYSQL")) &&
         EstablishDBConnections() && fh::SetDialectModeFromConnParams();
}

int Run(const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle("bench");
  const int result = ExecuteUpdate(handle, text.c_str());
  ReleaseConnectionHandle("bench");
  return result;
}

bool Ready() {
  static const bool ready = [] {
    const char* table = TableName().c_str();
    if (!StartEngine() ||
        !fhbench::DefineBenchTable(table, {fhbench::Column("id", KES_SQL_INT, 0, false),
                                           fhbench::Column("name", KES_SQL_CHAR, 40, true),
                                           fhbench::Column("qty", KES_SQL_INT, 0, true)}))
      return false;
    Run("drop table " + TableName());
    return CreateTableInDB(table, "bench");
  }();
  return ready;
}

// The database emptied (then, when failing, every twentieth key stored) and
// the in-memory table holding kRows new rows.
bool Prepare(bool failing) {
  const char* table = TableName().c_str();
  if (Run("delete from " + TableName()) != 1) return false;
  for (int id = kFailEvery - 1; failing && id < kRows; id += kFailEvery) {
    if (Run("insert into " + TableName() + " values (" + std::to_string(id) + ", 'stored', 0)") !=
        1)
      return false;
  }
  UnLoadTable(table);
  if (!CreateTable(table)) return false;
  for (int id = 0; id < kRows; ++id) {
    std::vector<std::optional<fh::ColumnValue>> values;
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id));
    values.push_back(fh::ColumnValue::FromText("row " + std::to_string(id)));
    values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id % 100));
    std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
    if (!AddNewRow(table, row)) return false;
  }
  return true;
}

// Times SaveTable alone; the seconds per save.
double TimeSaves(benchmark::State& state, bool failing) {
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    if (!Prepare(failing)) state.SkipWithError("cannot prepare the rows");
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    const bool saved = SaveTable(TableName().c_str());
    seconds += fhbench::SecondsSince(start);
    if (saved == failing) state.SkipWithError("the save did not report what it should");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  return seconds / static_cast<double>(state.iterations());
}

void BM_SaveGoodRows(benchmark::State& state) {
  if (!Ready()) {
    state.SkipWithError("cannot set the framework up");
    return;
  }
  g_goodSeconds = TimeSaves(state, false);
}
BENCHMARK(BM_SaveGoodRows)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveFailingRows(benchmark::State& state) {
  if (!Ready()) {
    state.SkipWithError("cannot set the framework up");
    return;
  }
  const double seconds = TimeSaves(state, true);
  if (g_goodSeconds > 0) state.counters["vs_good"] = seconds / g_goodSeconds;
}
BENCHMARK(BM_SaveFailingRows)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
