// GenerateID from one thread and from four threads at once, drawing from one
// sequence whose batches live in an SQLite database, and the database round
// trips (statements) the generator ran per 300 ids handed out.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench_directory.h"
#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/table_defn.h"
#include "sequence/sequence_generator.h"

namespace {

constexpr const char* kTable = "bench_items";

// One SQLite connection holding SeqGenState, and the sequence primed once
// per process.
bool SequenceReady() {
  static const bool ready = [] {
    InitDBProvider();
    const std::string connect = "Driver=SQLite3;Database=" + fhbench::BenchDirectory() + "/seq.db";
    if (!AddConnParamsEntry(CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "SeqDB", 1,
                                                  connect.c_str(), "ODBC", "SQLITE")) ||
        !EstablishDBConnections() ||
        !AddDataSourceMapEntry(CreateDataSourceMapEntry(kTable, "SeqDB"))) {
      return false;
    }
    ConnectionHandle* handle = GetConnectionHandle("SeqDB");
    const int created = ExecuteUpdate(handle,
                                      "create table SeqGenState (SEQNAME varchar(64) not null "
                                      "primary key, CURRENTBATCHEND integer)");
    ReleaseConnectionHandle("SeqDB");
    return created == 1 && UpdateSeqGen(kTable, "BenchSeq");
  }();
  return ready;
}

void BM_GenerateID(benchmark::State& state) {
  if (!SequenceReady()) {
    state.SkipWithError("cannot prepare the sequence");
    return;
  }
  ColumnDefnEntry column;
  column.columnName = "id";
  column.generatorName = "BenchSeq";
  const int64_t statementsBefore = fh::SequenceStatementCount();
  for (auto _ : state) {
    if (GenerateID(kTable, &column) == -1) {
      state.SkipWithError("GenerateID failed");
      break;
    }
  }
  if (state.thread_index() == 0) {
    // Thread 0 reports for all threads: statements run while every thread
    // drew (the others start and end close to it).
    const auto ids = static_cast<double>(state.iterations()) * state.threads();
    const auto statements = static_cast<double>(fh::SequenceStatementCount() - statementsBefore);
    state.counters["round_trips_per_300_ids"] = ids > 0 ? statements * 300.0 / ids : 0.0;
  }
}
BENCHMARK(BM_GenerateID)->Threads(1)->Threads(4)->UseRealTime();

}  // namespace
