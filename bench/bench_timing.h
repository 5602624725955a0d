// Clocks the benchmarks read beside Google Benchmark's own: wall seconds
// since a point, and the process's CPU seconds, for the ratios each program
// prints against its engine's own library.
#pragma once

#include <chrono>
#include <ctime>

namespace fhbench {

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The process's CPU seconds so far.
inline double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

}  // namespace fhbench
