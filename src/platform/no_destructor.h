// Process-wide objects that are built on first use and never destroyed, so
// that threads still running while the process exits (timer workers, threads
// whose handles were closed) never meet a destroyed object.
//
// Thread safety: Get() is safe from any thread (a function-local static
// builds the object once).
#pragma once

#include <new>
#include <utility>

namespace fh {

template <class T>
class NoDestructor {
 public:
  template <class... Args>
  explicit NoDestructor(Args&&... args) {
    ::new (storage_) T(std::forward<Args>(args)...);
  }
  NoDestructor(const NoDestructor&) = delete;
  NoDestructor& operator=(const NoDestructor&) = delete;

  T& get() { return *std::launder(reinterpret_cast<T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace fh
