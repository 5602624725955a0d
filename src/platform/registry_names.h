// Registry names compare without regard to letter case (simple Unicode
// upper-case mapping, as the registry does) and keep the case they were
// created with. Names here are well-formed UTF-8.
//
// FoldedNameIndex maps names to positions in a caller's array without
// holding copies of them: a flat open-addressing table of (hash, position)
// pairs, so that building it for 100000 names costs no allocation per name.
//
// Thread safety: the free functions are reentrant; an index is a plain value
// (one writer, or any number of readers).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace fh {

// Hash of the case-folded name; names that compare equal hash equal.
std::uint64_t FoldedNameHash(std::string_view name);

// True when the names are equal without regard to letter case.
bool FoldedNamesEqual(std::string_view a, std::string_view b);

class FoldedNameIndex {
 public:
  // nameAt(position) returns the name stored at that position
  // (std::string_view or anything convertible to it).
  template <typename NameAt>
  std::optional<std::size_t> Find(std::string_view name, const NameAt& nameAt) const {
    if (slots_.empty()) return std::nullopt;
    std::uint64_t hash = FoldedNameHash(name);
    for (std::size_t i = SlotFor(hash);; i = (i + 1) & (slots_.size() - 1)) {
      const Slot& slot = slots_[i];
      if (slot.positionPlusOne == 0) return std::nullopt;
      if (slot.hash == hash && FoldedNamesEqual(nameAt(slot.positionPlusOne - 1), name)) {
        return slot.positionPlusOne - 1;
      }
    }
  }

  // Records that name is at position. REQUIRES: the name is not present yet.
  void Add(std::string_view name, std::size_t position);

  // Empties the index and reserves room for count names.
  void Reset(std::size_t count);

  std::size_t size() const { return used_; }

 private:
  struct Slot {
    std::uint64_t hash = 0;
    std::size_t positionPlusOne = 0;  // 0: empty slot
  };

  std::size_t SlotFor(std::uint64_t hash) const { return hash & (slots_.size() - 1); }
  void Insert(std::uint64_t hash, std::size_t position);
  void Grow(std::size_t minimumSlots);

  std::vector<Slot> slots_;  // size is 0 or a power of two, at most half full
  std::size_t used_ = 0;
};

}  // namespace fh
