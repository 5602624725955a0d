// A registry key handle that closes itself: the registry layer's functions
// close every key they opened on every return path.
#pragma once

#include "platform/registry.h"
#include "platform/win32_types.h"

namespace fh {

class OpenKey {
 public:
  OpenKey() = default;
  ~OpenKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  // Where the opening call stores the key.
  PHKEY out() { return &key_; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace fh
