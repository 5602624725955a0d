// The framework on PostgreSQL (through the ODBC provider and psqlODBC)
// beside libpq doing the same work on the same server in the same run:
//   - 100,000 rows of a five-column keyed table (id INT key, qty INT,
//     name CHAR(40), price DOUBLE, note CHAR(40)) read by ExecuteQuery (the
//     provider alone) and by LoadTable (provider, loader and store), each
//     against libpq selecting the same rows and reading every value into a
//     typed column value;
//   - UnLoadTable of those rows, against the load;
//   - SaveTable of 10,000 new rows against libpq's prepared insert run one
//     row at a time in one transaction.
// Each libpq run comes first; the framework run then reports
// "speed_vs_libpq" (libpq's wall time per iteration divided by its own: 1.0
// is as fast as libpq, 0.5 twice as slow), and the ratios are printed again
// at the end as medians of the repetitions. Times are wall times: the
// server's work is part of each.
//
// It needs a PostgreSQL server: the one scripts/lib/databases.sh starts
// (source scripts/lib/databases.sh; fh_start_databases), found through
// ODBCINI, FH_TEST_PGSQL_DSN and FH_TEST_PGSQL_USER as the database tests
// find it. Without one it says so and exits with 2.
#include <benchmark/benchmark.h>
#include <libpq-fe.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "bench_framework.h"
#include "bench_timing.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
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
constexpr char kLoadTable[] = "fhb_loadrows";
constexpr char kSaveTable[] = "fhb_saverows";
constexpr char kColumns[] =
    "(id int not null primary key, qty int, name varchar(40), price double precision, "
    "note varchar(40))";

// The seconds per iteration of each repetition of a benchmark.
struct Samples {
  std::vector<double> all;
  double last = 0;
  void Add(double seconds) {
    all.push_back(seconds);
    last = seconds;
  }
  double Median() const {
    if (all.empty()) return 0;
    std::vector<double> sorted = all;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }
};

Samples g_libpqLoadSeconds;  // BM_LibpqSelect
Samples g_libpqSaveSeconds;  // BM_LibpqInsert
Samples g_loadSeconds;       // BM_LoadTable
Samples g_unloadSeconds;     // UnLoadTable of the rows BM_LoadTable loaded
Samples g_saveSeconds;       // BM_SaveTable

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

int Quantity(int id) { return static_cast<int>((static_cast<unsigned>(id) * 2654435761u) % 1000u); }
std::string Name(int id) { return "item name " + std::to_string(id % 97); }
double Price(int id) { return Quantity(id) * 0.25; }
std::string Note(int id) { return "note " + std::to_string(id); }

// The keys of the data source section of the odbc.ini ODBCINI names.
std::map<std::string, std::string> DataSourceKeys(const std::string& dsn) {
  std::map<std::string, std::string> keys;
  std::ifstream ini(Env("ODBCINI"));
  std::string line;
  bool inside = false;
  while (std::getline(ini, line)) {
    if (!line.empty() && line[0] == '[') {
      inside = line == "[" + dsn + "]";
    } else if (const std::size_t equals = line.find('='); inside && equals != std::string::npos) {
      keys[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return keys;
}

// libpq's connection string for the server the data source names.
std::string LibpqConnectString() {
  std::map<std::string, std::string> keys = DataSourceKeys(Env("FH_TEST_PGSQL_DSN"));
  return "host=" + keys["Servername"] + " port=" + keys["Port"] + " dbname=" + keys["Database"] +
         " user=" + Env("FH_TEST_PGSQL_USER");
}

// One libpq connection for the whole run.
PGconn* Libpq() {
  static PGconn* connection = PQconnectdb(LibpqConnectString().c_str());
  return connection;
}

bool Run(const char* sql) {
  PGresult* result = PQexec(Libpq(), sql);
  const ExecStatusType status = PQresultStatus(result);
  PQclear(result);
  return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

// Both tables made afresh: kLoadTable with kLoadRows rows, kSaveTable empty.
bool MakeTables() {
  const std::string load = std::string("drop table if exists ") + kLoadTable + "; create table " +
                           kLoadTable + " " + kColumns;
  const std::string save = std::string("drop table if exists ") + kSaveTable + "; create table " +
                           kSaveTable + " " + kColumns;
  if (!Run(load.c_str()) || !Run(save.c_str()) || !Run("begin")) return false;
  const std::string insert =
      std::string("insert into ") + kLoadTable + " values ($1, $2, $3, $4, $5)";
  PGresult* prepared = PQprepare(Libpq(), "fill", insert.c_str(), 5, nullptr);
  const bool ok = PQresultStatus(prepared) == PGRES_COMMAND_OK;
  PQclear(prepared);
  for (int id = 0; ok && id < kLoadRows; ++id) {
    const std::string texts[] = {std::to_string(id), std::to_string(Quantity(id)), Name(id),
                                 std::to_string(Price(id)), Note(id)};
    const char* values[] = {texts[0].c_str(), texts[1].c_str(), texts[2].c_str(), texts[3].c_str(),
                            texts[4].c_str()};
    PQclear(PQexecPrepared(Libpq(), "fill", 5, values, nullptr, nullptr, 0));
  }
  return ok && Run("commit") && Run((std::string("analyze ") + kLoadTable).c_str());
}

// The framework started once on the server: the data source "bench" through
// the ODBC provider with the PGSQL dialect, both tables defined and mapped.
bool FrameworkReady() {
  static const bool ready = [] {
    InitDBProvider();
    InitSQLDialects();
    InitTableList();
    if (!InitializeMemPool()) return false;
    const std::string dsn = Env("FH_TEST_PGSQL_DSN");
    const std::string user = Env("FH_TEST_PGSQL_USER");
    const std::string password = Env("FH_TEST_PGSQL_PASSWORD");
    if (!AddConnParamsEntry(CreateConnParamsEntry("b", 1, dsn.c_str(), user.c_str(),
                                                  password.c_str(), "bench", 0, nullptr, "ODBC",
                                                  "PGSQL")) ||
        !EstablishDBConnections() || !fh::SetDialectModeFromConnParams()) {
      return false;
    }
    for (const char* table : {kLoadTable, kSaveTable}) {
      if (!fhbench::DefineBenchTable(table, {fhbench::Column("id", KES_SQL_INT, 0, false),
                                             fhbench::Column("qty", KES_SQL_INT, 0, true),
                                             fhbench::Column("name", KES_SQL_CHAR, 40, true),
                                             fhbench::Column("price", KES_SQL_DOUBLE, 0, true),
                                             fhbench::Column("note", KES_SQL_CHAR, 40, true)}))
        return false;
    }
    return true;
  }();
  return ready;
}

void BM_LibpqSelect(benchmark::State& state) {
  const std::string query = std::string("select id, qty, name, price, note from ") + kLoadTable;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    PGresult* result = PQexec(Libpq(), query.c_str());
    const int count = PQresultStatus(result) == PGRES_TUPLES_OK ? PQntuples(result) : 0;
    std::vector<std::vector<std::optional<fh::ColumnValue>>> rows;
    rows.reserve(static_cast<std::size_t>(count));
    for (int row = 0; row < count; ++row) {
      std::vector<std::optional<fh::ColumnValue>> values;
      values.reserve(5);
      values.push_back(fh::ColumnValue::FromInteger(
          KES_SQL_INT, std::strtol(PQgetvalue(result, row, 0), nullptr, 10)));
      values.push_back(fh::ColumnValue::FromInteger(
          KES_SQL_INT, std::strtol(PQgetvalue(result, row, 1), nullptr, 10)));
      values.push_back(fh::ColumnValue::FromText(PQgetvalue(result, row, 2)));
      values.push_back(
          fh::ColumnValue::FromDouble(std::strtod(PQgetvalue(result, row, 3), nullptr)));
      values.push_back(fh::ColumnValue::FromText(PQgetvalue(result, row, 4)));
      rows.push_back(std::move(values));
    }
    PQclear(result);
    if (rows.size() != kLoadRows) state.SkipWithError("select failed");
    benchmark::DoNotOptimize(rows);
  }
  g_libpqLoadSeconds.Add(fhbench::SecondsSince(start) / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations() * kLoadRows);
}
BENCHMARK(BM_LibpqSelect)->Unit(benchmark::kMillisecond)->UseRealTime();

// The provider alone: ExecuteQuery of the same rows into a result set.
void BM_ExecuteQuery(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on PostgreSQL");
    return;
  }
  const std::string dsn = Env("FH_TEST_PGSQL_DSN");
  const std::string user = Env("FH_TEST_PGSQL_USER");
  auto entry = CreateConnParamsEntry("q", 1, dsn.c_str(), user.c_str(), nullptr, "BenchQuery", 0,
                                     nullptr, "ODBC", "PGSQL");
  auto handle = OpenDBConnection(entry.get());
  if (!handle) {
    state.SkipWithError("cannot open the data source");
    return;
  }
  const std::string query = std::string("select id, qty, name, price, note from ") + kLoadTable;
  const auto start = std::chrono::steady_clock::now();
  for (auto _ : state) {
    auto result = ExecuteQuery(handle.get(), query.c_str());
    if (!result || result->rowCount != kLoadRows) state.SkipWithError("query failed");
    benchmark::DoNotOptimize(result);
  }
  const double seconds = fhbench::SecondsSince(start) / static_cast<double>(state.iterations());
  state.SetItemsProcessed(state.iterations() * kLoadRows);
  if (g_libpqLoadSeconds.last > 0)
    state.counters["speed_vs_libpq"] = g_libpqLoadSeconds.last / seconds;
  CloseDBConnection(std::move(handle));
}
BENCHMARK(BM_ExecuteQuery)->Unit(benchmark::kMillisecond)->UseRealTime();

// LoadTable timed, then UnLoadTable of the same rows timed apart.
void BM_LoadTable(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on PostgreSQL");
    return;
  }
  double loaded = 0;
  double unloaded = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    const bool ok = LoadTable(kLoadTable);
    loaded += fhbench::SecondsSince(start);
    state.PauseTiming();
    const TableData* table = GetTableDataByName(kLoadTable);
    if (!ok || table == nullptr || table->rowCount != kLoadRows)
      state.SkipWithError("LoadTable failed");
    const auto unloadStart = std::chrono::steady_clock::now();
    UnLoadTable(kLoadTable);
    unloaded += fhbench::SecondsSince(unloadStart);
    state.ResumeTiming();
  }
  const auto iterations = static_cast<double>(state.iterations());
  g_loadSeconds.Add(loaded / iterations);
  g_unloadSeconds.Add(unloaded / iterations);
  state.SetItemsProcessed(state.iterations() * kLoadRows);
  state.counters["unload_ms"] = g_unloadSeconds.last * 1e3;
  if (g_libpqLoadSeconds.last > 0)
    state.counters["speed_vs_libpq"] = g_libpqLoadSeconds.last / g_loadSeconds.last;
}
BENCHMARK(BM_LoadTable)->Unit(benchmark::kMillisecond)->UseRealTime();

std::string EmptySaveTableSql() { return std::string("truncate ") + kSaveTable; }

void BM_LibpqInsert(benchmark::State& state) {
  const std::string insert =
      std::string("insert into ") + kSaveTable + " values ($1, $2, $3, $4, $5)";
  double seconds = 0;
  static int statement = 0;  // a new name for each iteration of every repetition
  for (auto _ : state) {
    state.PauseTiming();
    Run(EmptySaveTableSql().c_str());
    const std::string name = "save" + std::to_string(statement++);
    state.ResumeTiming();
    const auto start = std::chrono::steady_clock::now();
    bool ok = Run("begin");
    PGresult* prepared = PQprepare(Libpq(), name.c_str(), insert.c_str(), 5, nullptr);
    ok = ok && PQresultStatus(prepared) == PGRES_COMMAND_OK;
    PQclear(prepared);
    for (int id = 0; ok && id < kSaveRows; ++id) {
      const std::string texts[] = {std::to_string(id), std::to_string(Quantity(id)), Name(id),
                                   std::to_string(Price(id)), Note(id)};
      const char* values[] = {texts[0].c_str(), texts[1].c_str(), texts[2].c_str(),
                              texts[3].c_str(), texts[4].c_str()};
      PGresult* result = PQexecPrepared(Libpq(), name.c_str(), 5, values, nullptr, nullptr, 0);
      ok = PQresultStatus(result) == PGRES_COMMAND_OK;
      PQclear(result);
    }
    ok = Run("commit") && ok;
    seconds += fhbench::SecondsSince(start);
    if (!ok) state.SkipWithError("insert failed");
  }
  g_libpqSaveSeconds.Add(seconds / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations() * kSaveRows);
}
BENCHMARK(BM_LibpqInsert)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveTable(benchmark::State& state) {
  if (!FrameworkReady()) {
    state.SkipWithError("cannot set the framework up on PostgreSQL");
    return;
  }
  double seconds = 0;
  for (auto _ : state) {
    state.PauseTiming();
    Run(EmptySaveTableSql().c_str());
    CreateTable(kSaveTable);
    for (int id = 0; id < kSaveRows; ++id) {
      std::vector<std::optional<fh::ColumnValue>> values;
      values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, id));
      values.push_back(fh::ColumnValue::FromInteger(KES_SQL_INT, Quantity(id)));
      values.push_back(fh::ColumnValue::FromText(Name(id).c_str()));
      values.push_back(fh::ColumnValue::FromDouble(Price(id)));
      values.push_back(fh::ColumnValue::FromText(Note(id).c_str()));
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
  g_saveSeconds.Add(seconds / static_cast<double>(state.iterations()));
  state.SetItemsProcessed(state.iterations() * kSaveRows);
  if (g_libpqSaveSeconds.last > 0)
    state.counters["speed_vs_libpq"] = g_libpqSaveSeconds.last / g_saveSeconds.last;
}
BENCHMARK(BM_SaveTable)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  const std::string dsn = Env("FH_TEST_PGSQL_DSN");
  if (Env("ODBCINI").empty() || dsn.empty() || DataSourceKeys(dsn).count("Port") == 0) {
    std::fprintf(stderr,
                 "fh_pgsql_bench: no PostgreSQL data source (ODBCINI and FH_TEST_PGSQL_DSN "
                 "name none); start the server first: source scripts/lib/databases.sh; "
                 "fh_start_databases\n");
    return 2;
  }
  if (PQstatus(Libpq()) != CONNECTION_OK) {
    std::fprintf(stderr,
                 "fh_pgsql_bench: no PostgreSQL server reachable (%s); start one first: "
                 "source scripts/lib/databases.sh; fh_start_databases\n",
                 PQerrorMessage(Libpq()));
    return 2;
  }
  if (!MakeTables()) {
    std::fprintf(stderr, "fh_pgsql_bench: cannot make the tables: %s\n", PQerrorMessage(Libpq()));
    return 2;
  }
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  // Medians of the repetitions (with one repetition, its figures).
  const double load = g_loadSeconds.Median();
  const double libpqLoad = g_libpqLoadSeconds.Median();
  const double unload = g_unloadSeconds.Median();
  const double save = g_saveSeconds.Median();
  const double libpqSave = g_libpqSaveSeconds.Median();
  if (load > 0 && libpqLoad > 0) {
    std::printf("LoadTable of %d rows: %.1f ms, libpq %.1f ms, libpq / LoadTable = %.2f\n",
                kLoadRows, load * 1e3, libpqLoad * 1e3, libpqLoad / load);
    std::printf("UnLoadTable of %d rows: %.1f ms, unload / load = %.3f\n", kLoadRows, unload * 1e3,
                unload / load);
  }
  if (save > 0 && libpqSave > 0) {
    std::printf(
        "SaveTable of %d new rows: %.1f ms, libpq prepared inserts %.1f ms, "
        "SaveTable / libpq = %.2f\n",
        kSaveRows, save * 1e3, libpqSave * 1e3, save / libpqSave);
  }
  Run((std::string("drop table ") + kLoadTable + "; drop table " + kSaveTable).c_str());
  PQfinish(Libpq());
  return 0;
}
