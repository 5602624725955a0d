// The current time as seconds since 1970, with a time source that tests can
// replace.
//
// Kept apart from platform/clock.h so that code which must not see the
// Windows type names (the ODBC provider's sources) can include it.
//
// Thread safety: every function may be called from any thread.
#pragma once

#include <cstdint>

// The current time in whole seconds since 1970-01-01 00:00:00 UTC, read from
// the process's time source: the system clock unless a test installed its
// own (fh::SetUnixTimeSourceForTesting).
int64_t GetUnixTimeSeconds();

namespace fh {

// A replacement time source: returns seconds since 1970.
using UnixTimeSource = int64_t (*)();

// For tests that need a clock they move themselves (an age limit reached
// exactly): every later GetUnixTimeSeconds call, on every thread, reads
// source. None restores the system clock.
void SetUnixTimeSourceForTesting(UnixTimeSource source);

}  // namespace fh
