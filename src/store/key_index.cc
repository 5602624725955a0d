#include "store/key_index.h"

#include <strings.h>

#include <optional>
#include <utility>

#include "store/criteria_evaluator.h"

namespace fh {

std::unique_ptr<KeyIndex> KeyIndex::ForDefinition(const TableDefn& definition) {
  if (!definition.constraints || definition.constraints->primaryKeyColumns.empty()) return nullptr;
  auto index = std::make_unique<KeyIndex>();
  for (const std::string& key : definition.constraints->primaryKeyColumns) {
    int32_t found = -1;
    for (std::size_t i = 0; i < definition.columns.size(); ++i) {
      if (strcasecmp(definition.columns[i].columnName.c_str(), key.c_str()) == 0) {
        found = static_cast<int32_t>(i);
        break;
      }
    }
    if (found < 0) return nullptr;
    index->columns_.push_back(found);
    index->types_.push_back(definition.columns[static_cast<std::size_t>(found)].dataType);
  }
  return index;
}

std::size_t KeyIndex::Home(uint64_t hash) const {
  // The high bits of a multiplicative mix: the key hashes of consecutive
  // integers would otherwise fill one run of slots.
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdull;
  hash ^= hash >> 33;
  return static_cast<std::size_t>(hash) & mask_;
}

void KeyIndex::Place(RowObject* row, uint64_t hash) noexcept {
  std::size_t at = Home(hash);
  while (slots_[at].row != nullptr) at = (at + 1) & mask_;
  slots_[at] = Slot{row, hash};
  ++used_;
}

void KeyIndex::Reserve() {
  if ((used_ + 1) * 4 <= slots_.size() * 3) return;
  std::vector<Slot> old(slots_.empty() ? 16 : slots_.size() * 2);  // may throw
  old.swap(slots_);
  mask_ = slots_.size() - 1;
  used_ = 0;
  for (const Slot& slot : old) {
    if (slot.row != nullptr) Place(slot.row, slot.hash);
  }
}

void KeyIndex::Add(RowObject* row) noexcept {
  const std::optional<uint64_t> hash = CompiledCriteria::KeyHashOfRow(*row, columns_, types_);
  if (hash) Place(row, *hash);
}

void KeyIndex::Remove(const RowObject* row) noexcept {
  if (slots_.empty()) return;
  const std::optional<uint64_t> hash = CompiledCriteria::KeyHashOfRow(*row, columns_, types_);
  if (!hash) return;
  std::size_t at = Home(*hash);
  while (slots_[at].row != row) {
    if (slots_[at].row == nullptr) return;
    at = (at + 1) & mask_;
  }
  // Backward shift: move later slots of the run into the gap when the gap
  // lies between their home and where they are.
  std::size_t gap = at;
  for (std::size_t next = (gap + 1) & mask_; slots_[next].row != nullptr;
       next = (next + 1) & mask_) {
    const std::size_t home = Home(slots_[next].hash);
    const bool movable = ((next - home) & mask_) >= ((next - gap) & mask_);
    if (movable) {
      slots_[gap] = slots_[next];
      gap = next;
    }
  }
  slots_[gap] = Slot{};
  --used_;
}

}  // namespace fh
