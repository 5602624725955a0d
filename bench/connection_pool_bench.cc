// Borrowing and giving back a pooled connection (GetConnectionHandle then
// ReleaseConnectionHandle) from one thread and from four threads at once,
// on a pool of four SQLite connections.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"

namespace {

// A temporary directory made on first use and removed when the program
// ends.
const std::string& BenchDirectory() {
  struct Directory {
    std::string path;
    Directory() {
      path = (std::filesystem::temp_directory_path() / "fh_pool_bench_XXXXXX").string();
      if (::mkdtemp(path.data()) == nullptr) std::abort();
    }
    ~Directory() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Directory directory;
  return directory.path;
}

// Builds the pool once per process.
bool PoolReady() {
  static const bool ready = [] {
    InitDBProvider();
    const std::string connect = "Driver=SQLite3;Database=" + BenchDirectory() + "/pool.db";
    AddConnParamsEntry(CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "PoolDB", 1,
                                             connect.c_str(), "ODBC", "SQLITE"));
    return CreateConnectionPool(4) && GetPooledHandleCount("PoolDB") == 4;
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
