// The object lock against a plain std::mutex: one address locked and
// unlocked by one thread (no contention), by two threads at once on the same
// address, and with other addresses held at the same time (a longer list).
#include <benchmark/benchmark.h>

#include <mutex>

#include "lock/object_lock.h"

namespace {

int gv_sharedObject = 0;
std::mutex gv_sharedMutex;

void BM_ObjectLockUnlock(benchmark::State& state) {
  for (auto _ : state) {
    LockObject(&gv_sharedObject);
    benchmark::ClobberMemory();
    UnlockObject(&gv_sharedObject);
  }
}
BENCHMARK(BM_ObjectLockUnlock);
BENCHMARK(BM_ObjectLockUnlock)->Threads(2)->UseRealTime();

void BM_StdMutexLockUnlock(benchmark::State& state) {
  for (auto _ : state) {
    gv_sharedMutex.lock();
    benchmark::ClobberMemory();
    gv_sharedMutex.unlock();
  }
}
BENCHMARK(BM_StdMutexLockUnlock);
BENCHMARK(BM_StdMutexLockUnlock)->Threads(2)->UseRealTime();

void BM_ObjectLockGuard(benchmark::State& state) {
  for (auto _ : state) {
    fh::ObjectLockGuard hold(&gv_sharedObject);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ObjectLockGuard);

// Lock and unlock one address while range(0) other addresses stay locked.
void BM_ObjectLockWithOthersHeld(benchmark::State& state) {
  const int others = static_cast<int>(state.range(0));
  static char held[64];
  for (int i = 0; i < others; ++i) LockObject(&held[i]);
  for (auto _ : state) {
    LockObject(&gv_sharedObject);
    benchmark::ClobberMemory();
    UnlockObject(&gv_sharedObject);
  }
  for (int i = 0; i < others; ++i) UnlockObject(&held[i]);
}
BENCHMARK(BM_ObjectLockWithOthersHeld)->Arg(4)->Arg(32);

// Two threads on different addresses: their addresses fall in different
// shards of the table, so neither waits for the other (compare with the
// one-thread BM_ObjectLockUnlock).
void BM_ObjectLockDistinctAddresses(benchmark::State& state) {
  static char objects[2];
  const void* mine = &objects[state.thread_index() % 2];
  for (auto _ : state) {
    LockObject(mine);
    benchmark::ClobberMemory();
    UnlockObject(mine);
  }
}
BENCHMARK(BM_ObjectLockDistinctAddresses)->Threads(2)->UseRealTime();

}  // namespace
