// 10,000 inserts through the ODBC provider in one transaction, three ways:
// one-off statement texts (ExecuteUpdate), one prepared statement run once
// per row, and the same prepared statement given every row at once (sent in
// parameter arrays of up to 1,000 rows).
//
// PostgreSQL by default (the throwaway server of scripts/lib/databases.sh,
// its FH_TEST_PGSQL_* settings); FH_BENCH_ENGINE=mariadb or sqlite runs the
// same elsewhere. The arrays' and the single rows' runs report "vs_texts":
// their time divided by the one-off texts' (run first).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench_directory.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/db_provider.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 4;

double g_textSeconds = 0;  // per run of BM_OneOffTexts

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

const std::string& Table() {
  static const std::string name = "prepbench_" + std::to_string(::getpid());
  return name;
}

// The connection, opened once; none when the engine is not reachable.
ConnectionHandle* Handle() {
  static std::unique_ptr<ConnParamsEntry> entry;
  static std::unique_ptr<ConnectionHandle> handle = []() -> std::unique_ptr<ConnectionHandle> {
    InitDBProvider();
    const std::string engine = Env("FH_BENCH_ENGINE").empty() ? "pgsql" : Env("FH_BENCH_ENGINE");
    if (engine == "sqlite") {
      const std::string connect =
          "Driver=SQLite3;Database=" + fhbench::BenchDirectory() + "/prepared.db";
      entry = CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "BenchDB", 1,
                                    connect.c_str(), "ODBC", "SQLITE");
    } else {
      const std::string prefix = engine == "mariadb" ? "FH_TEST_MARIADB" : "FH_TEST_PGSQL";
      if (Env((prefix + "_DSN").c_str()).empty()) return nullptr;
      entry = CreateConnParamsEntry("b", 1, Env((prefix + "_DSN").c_str()).c_str(),
                                    Env((prefix + "_USER").c_str()).c_str(),
                                    Env((prefix + "_PASSWORD").c_str()).c_str(), "BenchDB", 0,
                                    nullptr, "ODBC", engine == "mariadb" ? "MYSQL" : "PGSQL");
    }
    auto opened = OpenDBConnection(entry.get());
    if (!opened) return nullptr;
    ExecuteUpdate(opened.get(), ("drop table if exists " + Table()).c_str());
    const std::string create = "create table " + Table() +
                               " (id int primary key, name varchar(40), qty bigint, price double "
                               "precision)";
    if (ExecuteUpdate(opened.get(), create.c_str()) != 1) return nullptr;
    return opened;
  }();
  return handle.get();
}

std::string Name(int row) { return "article number " + std::to_string(row); }
int64_t Quantity(int row) { return 1000000000000LL + row; }
double Price(int row) { return row * 0.37; }

// Empties the table, then runs work in one transaction and times it.
template <class Work>
double TimedRun(ConnectionHandle* handle, Work work) {
  ExecuteUpdate(handle, ("delete from " + Table()).c_str());
  const auto start = std::chrono::steady_clock::now();
  BeginTransaction(handle);
  const bool done = work();
  CommitTransaction(handle);
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  return done ? elapsed.count() : -1;
}

void Report(benchmark::State& state, double seconds, bool isBase) {
  if (isBase) g_textSeconds = seconds / static_cast<double>(state.iterations());
  if (!isBase && g_textSeconds > 0) {
    state.counters["vs_texts"] = seconds / static_cast<double>(state.iterations()) / g_textSeconds;
  }
  state.SetItemsProcessed(state.iterations() * kRows);
}

void BM_OneOffTexts(benchmark::State& state) {
  ConnectionHandle* handle = Handle();
  if (handle == nullptr) return state.SkipWithError("no database (start the servers first)");
  double total = 0;
  for (auto _ : state) {
    const double seconds = TimedRun(handle, [&] {
      for (int row = 0; row < kRows; ++row) {
        char price[32];
        std::snprintf(price, sizeof price, "%.17g", Price(row));
        const std::string text = "insert into " + Table() + " values (" + std::to_string(row) +
                                 ", '" + Name(row) + "', " + std::to_string(Quantity(row)) + ", " +
                                 price + ")";
        if (ExecuteUpdate(handle, text.c_str()) != 1) return false;
      }
      return true;
    });
    if (seconds < 0) return state.SkipWithError("insert failed");
    state.SetIterationTime(seconds);
    total += seconds;
  }
  Report(state, total, true);
}
BENCHMARK(BM_OneOffTexts)->UseManualTime()->Unit(benchmark::kMillisecond);

// The bound values of every row, row after row; names keeps their texts.
std::vector<fh::BoundValue> Values(std::vector<std::string>& names) {
  names.clear();
  names.reserve(kRows);
  std::vector<fh::BoundValue> values(static_cast<std::size_t>(kRows) * kColumns);
  for (int row = 0; row < kRows; ++row) {
    names.push_back(Name(row));
    fh::BoundValue* at = &values[static_cast<std::size_t>(row) * kColumns];
    at[0].kind = fh::BoundKind::kInteger;
    at[0].integer = row;
    at[1].kind = fh::BoundKind::kText;
    at[1].bytes = names.back().data();
    at[1].length = names.back().size();
    at[2].kind = fh::BoundKind::kInteger;
    at[2].integer = Quantity(row);
    at[3].kind = fh::BoundKind::kDouble;
    at[3].real = Price(row);
  }
  return values;
}

// One prepared insert given rowsPerCall rows per ExecutePrepared.
void RunPrepared(benchmark::State& state, int rowsPerCall) {
  ConnectionHandle* handle = Handle();
  if (handle == nullptr) return state.SkipWithError("no database (start the servers first)");
  std::vector<std::string> names;
  const std::vector<fh::BoundValue> values = Values(names);
  const std::string text = "insert into " + Table() + " values (?, ?, ?, ?)";
  double total = 0;
  for (auto _ : state) {
    const double seconds = TimedRun(handle, [&] {
      fh::PreparedStatement* insert = fh::PrepareStatement(handle, text.c_str(), kColumns);
      bool done = insert != nullptr;
      for (int row = 0; done && row < kRows; row += rowsPerCall) {
        done =
            fh::ExecutePrepared(handle, insert, &values[static_cast<std::size_t>(row) * kColumns],
                                rowsPerCall) == 1;
      }
      fh::FinalizeStatement(handle, insert);
      return done;
    });
    if (seconds < 0) return state.SkipWithError("prepared insert failed");
    state.SetIterationTime(seconds);
    total += seconds;
  }
  Report(state, total, false);
}

void BM_PreparedOneRowPerCall(benchmark::State& state) { RunPrepared(state, 1); }
BENCHMARK(BM_PreparedOneRowPerCall)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PreparedEveryRowInOneCall(benchmark::State& state) { RunPrepared(state, kRows); }
BENCHMARK(BM_PreparedEveryRowInOneCall)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace
