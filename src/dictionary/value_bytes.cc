#include "dictionary/value_bytes.h"

#include <cstring>

namespace fh {

ValueBytes::ValueBytes(const void* bytes, std::size_t length)
    : length_(static_cast<int64_t>(length)) {
  unsigned char* target = inline_;
  if (onHeap()) {
    heap_ = new unsigned char[length + 1];
    target = heap_;
  }
  if (length > 0) std::memcpy(target, bytes, length);
  target[length] = 0;
}

ValueBytes::ValueBytes(const ValueBytes& other) : ValueBytes() {
  if (other.hasStorage()) *this = ValueBytes(other.data(), other.size());
}

ValueBytes::ValueBytes(ValueBytes&& other) noexcept { TakeFrom(other); }

ValueBytes& ValueBytes::operator=(const ValueBytes& other) {
  if (this != &other)
    *this = other.hasStorage() ? ValueBytes(other.data(), other.size()) : ValueBytes();
  return *this;
}

ValueBytes& ValueBytes::operator=(ValueBytes&& other) noexcept {
  if (this != &other) {
    Release();
    TakeFrom(other);
  }
  return *this;
}

ValueBytes::~ValueBytes() { Release(); }

const unsigned char* ValueBytes::data() const {
  if (!hasStorage()) return nullptr;
  return onHeap() ? heap_ : inline_;
}

unsigned char* ValueBytes::data() {
  if (!hasStorage()) return nullptr;
  return onHeap() ? heap_ : inline_;
}

bool operator==(const ValueBytes& a, const ValueBytes& b) {
  return a.length_ == b.length_ &&
         (!a.hasStorage() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

void ValueBytes::Release() {
  if (onHeap()) delete[] heap_;
  length_ = -1;
}

// Takes other's bytes (moving the heap block, copying inline bytes); other
// is left without storage. Requires: this holds no storage.
void ValueBytes::TakeFrom(ValueBytes& other) noexcept {
  length_ = other.length_;
  if (other.onHeap()) {
    heap_ = other.heap_;
  } else if (other.hasStorage()) {
    std::memcpy(inline_, other.inline_, other.size() + 1);
  }
  other.length_ = -1;
}

}  // namespace fh
