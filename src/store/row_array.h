// RowArray: the value and length arrays of a row (store/row_object.h). It
// reads and grows like a std::vector of T for the operations rows need
// (indexing, size, iteration, resize, push_back), but its first storage is
// the room its row was placed with, beside the row itself, so that a row's
// values cost no allocation of their own and a scan reads them where it
// reads the row.
//
// Storage: "placed" storage is lent by the row's owner and outlives the
// array; the array never frees it. Growing beyond it moves the elements to
// heap storage the array owns and frees. A default-made array has none.
//
// Thread safety: as for a std::vector (concurrent reads are safe).
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <type_traits>
#include <utility>
#include <vector>

namespace fh {

template <typename T>
class RowArray {
 public:
  RowArray() = default;
  // Empty, with room for capacity elements at room (lent, see above).
  RowArray(T* room, std::size_t capacity) noexcept
      : data_(room), capacity_(static_cast<uint32_t>(capacity)) {}
  RowArray(const RowArray&) = delete;
  RowArray& operator=(const RowArray&) = delete;
  ~RowArray() { Release(); }

  // Replaces the elements by copies of other's.
  RowArray& operator=(const std::vector<T>& other) {
    Reallocate(other.size());
    Clear();
    for (const T& element : other) new (data_ + size_++) T(element);
    return *this;
  }
  // Replaces the elements by copies of other's (another row's).
  RowArray& Assign(const RowArray& other) {
    if (&other == this) return *this;
    Reallocate(other.size());
    Clear();
    for (const T& element : other) new (data_ + size_++) T(element);
    return *this;
  }
  // Replaces the elements by other's, moved in.
  RowArray& operator=(std::vector<T>&& other) {
    Reallocate(other.size());
    Clear();
    for (T& element : other) new (data_ + size_++) T(std::move(element));
    other.clear();
    return *this;
  }

  // A std::vector copy, for code written for one.
  operator std::vector<T>() const { return std::vector<T>(begin(), end()); }  // NOLINT

  std::size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  std::size_t capacity() const { return capacity_; }
  T& operator[](std::size_t at) { return data_[at]; }
  const T& operator[](std::size_t at) const { return data_[at]; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& back() { return data_[size_ - 1]; }

  // Room for count elements. Throws std::bad_alloc (the array unchanged).
  void reserve(std::size_t count) {
    if (count > capacity_) Reallocate(count);
  }
  // Nothing: placed storage fits its row, and heap storage is never larger
  // than it was asked to be.
  void shrink_to_fit() {}

  // Grows with value-initialised (or copied) elements, or drops the last
  // ones. Throws std::bad_alloc (the array unchanged).
  void resize(std::size_t count) {
    reserve(count);
    while (size_ < count) new (data_ + size_++) T();
    Truncate(count);
  }
  void resize(std::size_t count, const T& value) {
    reserve(count);
    while (size_ < count) new (data_ + size_++) T(value);
    Truncate(count);
  }
  void push_back(const T& value) { emplace_back(value); }
  void push_back(T&& value) { emplace_back(std::move(value)); }
  template <typename... Args>
  T& emplace_back(Args&&... args) {
    if (size_ == capacity_) Reallocate(capacity_ == 0 ? 4 : capacity_ * 2u);
    T* element = new (data_ + size_) T(std::forward<Args>(args)...);
    ++size_;
    return *element;
  }
  void clear() { Clear(); }

  friend bool operator==(const RowArray& a, const std::vector<T>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < b.size(); ++i) {
      if (!(a[i] == b[i])) return false;
    }
    return true;
  }

 private:
  void Clear() noexcept { Truncate(0); }
  void Truncate(std::size_t count) noexcept {
    while (size_ > count) data_[--size_].~T();
  }
  // Moves the elements to heap storage for count elements (at least size).
  void Reallocate(std::size_t count) {
    if (count <= capacity_) return;
    T* fresh = static_cast<T*>(::operator new (count * sizeof(T), std::align_val_t{alignof(T)}));
    for (uint32_t i = 0; i < size_; ++i) {
      new (fresh + i) T(std::move(data_[i]));
      data_[i].~T();
    }
    if (owned_) ::operator delete (data_, std::align_val_t{alignof(T)});
    data_ = fresh;
    capacity_ = static_cast<uint32_t>(count);
    owned_ = true;
  }
  void Release() noexcept {
    Clear();
    if (owned_) ::operator delete (data_, std::align_val_t{alignof(T)});
    data_ = nullptr;
    capacity_ = 0;
    owned_ = false;
  }

  T* data_ = nullptr;
  uint32_t size_ = 0;
  uint32_t capacity_ : 31 = 0;
  uint32_t owned_ : 1 = 0;
};

}  // namespace fh
