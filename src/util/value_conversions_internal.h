// Shared plumbing of the value conversions: the allocation-failure rule that
// every function returning a new value follows. Internal to src/util.
#pragma once

#include <new>
#include <optional>

#include "log/log.h"

namespace fh {

// Runs make(), which builds a new value for a caller and returns it as an
// optional. An allocation failure inside make() is logged with the
// conversions' fixed line and gives none; nothing escapes to the caller.
template <class Make>
auto NoneOnAllocationFailure(Make&& make) -> decltype(make()) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate buffer !!! \n");
    return std::nullopt;
  }
}

}  // namespace fh
