// The byte storage of a column value: its bytes followed by one zero byte,
// kept inside the object up to kInlineLength bytes (integers, floats, dates
// as text, short texts) and on the heap beyond, so that most values cost no
// allocation of their own.
//
// A ValueBytes made by the default constructor, or moved from, holds no
// storage at all: hasStorage() is false, size() 0 and data() none.
// Ownership: it owns its bytes; copies are deep. Thread safety: as for any
// value type (concurrent reads are safe).
#pragma once

#include <cstddef>
#include <cstdint>

namespace fh {

class ValueBytes {
 public:
  // The longest byte count kept inline (one more byte holds the zero).
  static constexpr std::size_t kInlineLength = 23;

  ValueBytes() noexcept {}
  // A copy of length bytes (bytes may be none when length is 0) and a zero
  // byte after them. Throws std::bad_alloc when memory is exhausted.
  ValueBytes(const void* bytes, std::size_t length);
  ValueBytes(const ValueBytes& other);
  ValueBytes(ValueBytes&& other) noexcept;
  ValueBytes& operator=(const ValueBytes& other);
  ValueBytes& operator=(ValueBytes&& other) noexcept;
  ~ValueBytes();

  bool hasStorage() const { return length_ >= 0; }
  std::size_t size() const { return length_ < 0 ? 0 : static_cast<std::size_t>(length_); }
  // size() bytes and the zero byte; none without storage.
  const unsigned char* data() const;
  unsigned char* data();

  // Equal when both hold no storage, or both hold the same bytes.
  friend bool operator==(const ValueBytes& a, const ValueBytes& b);

 private:
  bool onHeap() const { return length_ > static_cast<int64_t>(kInlineLength); }
  void Release();
  void TakeFrom(ValueBytes& other) noexcept;

  int64_t length_ = -1;  // -1: no storage
  union {
    unsigned char inline_[kInlineLength + 1];
    unsigned char* heap_;
  };
};

}  // namespace fh
