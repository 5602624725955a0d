// The primary-key index of an in-memory table: its rows by the hash of their
// key values (CompiledCriteria::KeyHashOfRow), so that a criteria fixing the
// whole key by equality is answered without a scan (store/table_selection.h).
//
// The index holds every row of the table whose key values can be matched by
// an equality (a row with a NULL key column, for instance, is not held). It
// is a hint, never an answer: a caller checks each row it hands out against
// its criteria. Several rows may share a key (nothing refuses duplicates).
//
// Ownership: the table owns its index; the index points at the table's rows
// and owns nothing of them. Rows must enter it after they are added and leave
// it before they are freed (store/table_rows.cc does both), and their key
// values must not change while they are held (UpdateRowObject refuses key
// columns).
//
// Thread safety: as the table's rows: changes are serialised by the caller;
// concurrent lookups are safe while nobody changes the table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/row_object.h"

namespace fh {

class KeyIndex {
 public:
  // The index of a table of definition; none when the definition has no
  // primary key or names a key column it does not have.
  static std::unique_ptr<KeyIndex> ForDefinition(const TableDefn& definition);

  // The key columns' indices and types, in key order.
  const std::vector<int32_t>& columns() const { return columns_; }
  const std::vector<uint8_t>& types() const { return types_; }

  // Makes room for one more row, so that the next Add cannot fail. Throws
  // std::bad_alloc when memory is exhausted (the index is then unchanged).
  void Reserve();
  // Holds row (when its key can be matched). REQUIRES: Reserve since the
  // last Add.
  void Add(RowObject* row) noexcept;
  // Lets row go; nothing when it is not held.
  void Remove(const RowObject* row) noexcept;

  // Calls visit(row) for every held row whose key hash is hash (and perhaps
  // a few others of an equal hash), in no particular order.
  template <typename Visit>
  void ForEachCandidate(uint64_t hash, Visit visit) const {
    if (slots_.empty()) return;
    for (std::size_t at = Home(hash);; at = (at + 1) & mask_) {
      const Slot& slot = slots_[at];
      if (slot.row == nullptr) return;
      if (slot.hash == hash) visit(slot.row);
    }
  }

 private:
  struct Slot {
    RowObject* row = nullptr;  // none: free
    uint64_t hash = 0;
  };

  std::size_t Home(uint64_t hash) const;
  void Place(RowObject* row, uint64_t hash) noexcept;

  std::vector<int32_t> columns_;
  std::vector<uint8_t> types_;
  // Open addressing with linear probing; the size is a power of two, at
  // most three quarters used.
  std::vector<Slot> slots_;
  std::size_t mask_ = 0;
  std::size_t used_ = 0;
};

}  // namespace fh
