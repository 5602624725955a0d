// Borrowing and giving back a pooled connection (GetConnectionHandle then
// ReleaseConnectionHandle) from one thread and from four threads at once,
// on a pool of four SQLite connections.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_directory.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"

namespace {

// Builds the pool once per process.
bool PoolReady() {
  static const bool ready = [] {
    InitDBProvider();
    const std::string connect = "Driver=SQLite3;Database=" + fhbench::BenchDirectory() + "/pool.db";
    AddConnParamsEntry(CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "PoolDB", 1,
                                             connect.c_str(), "ODBC", "SQLITE"));
    return CreateConnectionPool(4) && fh::GetPooledHandleCount("PoolDB") == 4;
  }();
  return ready;
}

void BM_GetAndReleaseConnectionHandle(benchmark::State& state) {
  if (!PoolReady()) {
    state.SkipWithError("cannot build the pool");
    return;
  }
  for (auto _ : state) {
    benchmark::DoNotOptimize(GetConnectionHandle("PoolDB"));
    ReleaseConnectionHandle("PoolDB");
  }
}
BENCHMARK(BM_GetAndReleaseConnectionHandle)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
