#include "config/tessel_root.h"

#include <new>
#include <utility>

#include "log/log.h"
#include "log/log_file.h"
#include "platform/mutex.h"

namespace {

struct TesselRootState {
  fh::Mutex mutex;
  std::optional<std::string> root GUARDED_BY(mutex);
};

TesselRootState& RootState() {
  static TesselRootState state;
  return state;
}

}  // namespace

void SetTesselRoot(const char* root) {
  LogTrace("@@@ Inside SetTesselRoot @@@\n");
  if (root == nullptr) {
    LogDebug("Default Path Used");
    return;
  }
  TesselRootState& state = RootState();
  fh::MutexLock lock(&state.mutex);
  try {
    std::string copy = root;
    // Under the root's lock, so the log's copy never lags behind a later
    // change (the log never takes the root's lock: no order to invert).
    if (!fh::SetLogRootDirectory(root)) throw std::bad_alloc();
    state.root = std::move(copy);
  } catch (const std::bad_alloc&) {
    LogError("SetTesselRoot: out of memory; root unchanged\n");
  }
}

const char* fh::GetTesselRoot() {
  TesselRootState& state = RootState();
  fh::MutexLock lock(&state.mutex);
  return state.root ? state.root->c_str() : nullptr;
}

std::optional<std::string> fh::CopyTesselRoot() {
  TesselRootState& state = RootState();
  fh::MutexLock lock(&state.mutex);
  return state.root;
}

void fh::ResetTesselRoot() {
  TesselRootState& state = RootState();
  fh::MutexLock lock(&state.mutex);
  state.root.reset();
  fh::SetLogRootDirectory(nullptr);
}
