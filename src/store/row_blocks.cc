#include "store/row_blocks.h"

#include <new>

#include "store/row_object.h"

namespace fh {

// A block's header, at its start; the slots follow.
struct RowBlocks::Block {
  RowBlocks* owner = nullptr;
  Block* previous = nullptr;  // newer
  Block* next = nullptr;      // older
  uint32_t placed = 0;        // slots used, in order
  uint32_t live = 0;          // rows placed and not yet released
};

namespace {

constexpr std::size_t kRowAlignment = alignof(RowObject);
// Where the first slot starts: past the header, at a row's alignment.
constexpr std::size_t kSlotsStart = 64;

std::size_t RoundUp(std::size_t bytes) {
  return (bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

}  // namespace

RowBlocks::RowBlocks(std::size_t columnCount) noexcept
    : columnCount_(columnCount), slotBytes_(RoundUp(RowPieceSize(columnCount))) {
  static_assert(sizeof(Block) <= 64, "the block header fits before the first slot");
  rowsPerBlock_ = (kBlockBytes - kSlotsStart) / slotBytes_;
}

RowBlocks::~RowBlocks() {
  while (first_ != nullptr) {
    Block* block = first_;
    first_ = block->next;
    ::operator delete (block, std::align_val_t{kBlockBytes});
  }
}

RowObject* RowBlocks::NewRow() {
  if (rowsPerBlock_ == 0) {
    void* piece = ::operator new(RowPieceSize(columnCount_));
    return PlaceRowObject(piece, columnCount_, kRowPlacedAlone);
  }
  if (current_ == nullptr || current_->placed == rowsPerBlock_) {
    void* memory = ::operator new (kBlockBytes, std::align_val_t{kBlockBytes});
    Block* block = new (memory) Block;
    block->owner = this;
    block->next = first_;
    if (first_ != nullptr) first_->previous = block;
    first_ = block;
    ++blockCount_;
    Block* old = current_;
    current_ = block;
    // The block rows were placed in until now may hold none any more.
    if (old != nullptr && old->live == 0) {
      Unlink(old);
      ::operator delete (old, std::align_val_t{kBlockBytes});
    }
  }
  Block* block = current_;
  char* slot = reinterpret_cast<char*>(block) + kSlotsStart + block->placed * slotBytes_;
  ++block->placed;
  ++block->live;
  return PlaceRowObject(slot, columnCount_, kRowPlacedInBlock);
}

void RowBlocks::Release(RowObject* row) noexcept {
  auto* block = reinterpret_cast<Block*>(reinterpret_cast<uintptr_t>(row) & ~(kBlockBytes - 1));
  row->~RowObject();
  if (--block->live != 0) return;
  RowBlocks* owner = block->owner;
  if (block == owner->current_) return;
  owner->Unlink(block);
  ::operator delete (block, std::align_val_t{kBlockBytes});
}

void RowBlocks::Unlink(Block* block) noexcept {
  if (block->previous != nullptr) block->previous->next = block->next;
  if (block->next != nullptr) block->next->previous = block->previous;
  if (first_ == block) first_ = block->next;
  --blockCount_;
}

}  // namespace fh
