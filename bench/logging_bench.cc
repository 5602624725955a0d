// Lines per second of LogInfo against a raw fprintf + fflush loop writing a
// line of the same length to the same file, with one and with two threads.
// Each LogInfo run reports "ratio_vs_raw": its rate divided by the rate of
// the raw run with the same number of threads just before it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <string>

#include "log/log.h"
#include "log/log_file.h"
#include "platform/clock.h"

namespace {

// A private directory removed at exit.
class BenchDir {
 public:
  BenchDir() {
    std::random_device random;
    path_ =
        std::filesystem::temp_directory_path() / ("fh_logging_bench." + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~BenchDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string File() const { return (path_ / "bench.log").string(); }
  std::string Directory() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

BenchDir& Dir() {
  static BenchDir dir;
  return dir;
}

std::map<int, double> g_rawRate;  // threads -> lines per second; written by thread 0 only

// Wall-clock rate of the whole run; thread 0 measures between the start and
// stop barriers of the loop.
class RunTimer {
 public:
  void Start() { start_ = std::chrono::steady_clock::now(); }
  double LinesPerSecond(const benchmark::State& state) const {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    return static_cast<double>(state.iterations()) * state.threads() / seconds;
  }

 private:
  std::chrono::steady_clock::time_point start_;
};

void BM_RawFprintfFlush(benchmark::State& state) {
  static std::FILE* stream = nullptr;
  static RunTimer timer;
  if (state.thread_index() == 0) {
    stream = std::fopen(Dir().File().c_str(), "w");
    timer.Start();
  }
  const int threadId = static_cast<int>(GetCurrentThreadId());
  int i = 0;
  for (auto _ : state) {
    // The same bytes a LogInfo line below carries.
    std::fprintf(stream, "[ 2026-03-04 09:05:03:007 ] [ %d ] [INFO] benchmark line %d of the run\n",
                 threadId, ++i);
    std::fflush(stream);
  }
  if (state.thread_index() == 0) {
    const double rate = timer.LinesPerSecond(state);
    g_rawRate[state.threads()] = rate;
    state.counters["lines_per_second"] = rate;
    std::fclose(stream);
  }
}

void BM_LogInfo(benchmark::State& state) {
  static RunTimer timer;
  if (state.thread_index() == 0) {
    fh::ResetLogFileForTesting();
    InitLogDefaults();
    SetLogParams("bench.log", Dir().Directory().c_str(), 10000, 1);
    if (!OpenLogFileOverwrite()) state.SkipWithError("cannot open the log");
    timer.Start();
  }
  int i = 0;
  for (auto _ : state) {
    LogInfo("benchmark line %d of the run\n", ++i);
  }
  if (state.thread_index() == 0) {
    const double rate = timer.LinesPerSecond(state);
    state.counters["lines_per_second"] = rate;
    const auto raw = g_rawRate.find(state.threads());
    if (raw != g_rawRate.end()) state.counters["ratio_vs_raw"] = rate / raw->second;
    fh::ResetLogFileForTesting();
  }
}

// A filtered line: the cost of a LogTrace call at level 1.
void BM_FilteredLogTrace(benchmark::State& state) {
  fh::ResetLogFileForTesting();
  InitLogDefaults();
  SetLogParams("bench.log", Dir().Directory().c_str(), 10000, 1);
  OpenLogFileOverwrite();
  int i = 0;
  for (auto _ : state) {
    LogTrace("filtered line %d\n", ++i);
  }
  fh::ResetLogFileForTesting();
}

// Raw and LogInfo alternate so that each ratio compares runs made close
// together.
BENCHMARK(BM_RawFprintfFlush)->Threads(1)->UseRealTime();
BENCHMARK(BM_LogInfo)->Threads(1)->UseRealTime();
BENCHMARK(BM_RawFprintfFlush)->Threads(2)->UseRealTime();
BENCHMARK(BM_LogInfo)->Threads(2)->UseRealTime();
BENCHMARK(BM_FilteredLogTrace);

}  // namespace
