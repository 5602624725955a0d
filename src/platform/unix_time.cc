#include "platform/unix_time.h"

#include <atomic>
#include <ctime>

namespace {

int64_t SystemUnixTime() {
  struct timespec now {};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec);
}

std::atomic<fh::UnixTimeSource> g_unixTimeSource{&SystemUnixTime};

}  // namespace

int64_t GetUnixTimeSeconds() { return g_unixTimeSource.load(std::memory_order_acquire)(); }

void fh::SetUnixTimeSourceForTesting(UnixTimeSource source) {
  g_unixTimeSource.store(source != nullptr ? source : &SystemUnixTime, std::memory_order_release);
}
