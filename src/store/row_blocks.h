// RowBlocks: the memory a table builds its own rows in. Rows of one table
// have one size (the row record and the room for the table's values and
// lengths, store/row_object.h) and are placed one after the other in large
// blocks, so that rows added together lie together and a scan walks memory
// in order.
//
// A slot is never used twice: a deleted row leaves its slot empty, and a
// block is freed once every row placed in it is gone (the block rows are
// being placed in is kept). So a row that is still in its table never moves
// and never shares memory with a row added later.
//
// Ownership: a table owns its RowBlocks; the blocks own their memory, the
// rows in them own their values. Freeing the RowBlocks frees every block
// whether rows in them were destroyed or not: the owner destroys its rows
// first (store/table_data.cc).
//
// Thread safety: as the table's rows: changes are serialised by the caller.
#pragma once

#include <cstddef>
#include <cstdint>

struct RowObject;

namespace fh {

class RowBlocks {
 public:
  // Every block is this many bytes, aligned to its size.
  static constexpr std::size_t kBlockBytes = std::size_t{64} * 1024;

  explicit RowBlocks(std::size_t columnCount) noexcept;
  ~RowBlocks();
  RowBlocks(const RowBlocks&) = delete;
  RowBlocks& operator=(const RowBlocks&) = delete;

  // How many rows one block holds (0 when a row does not fit in a block:
  // NewRow then gives each row a piece of its own).
  std::size_t rowsPerBlock() const { return rowsPerBlock_; }
  // The blocks held now.
  std::size_t blockCount() const { return blockCount_; }

  // A new empty row (state new, no next row) with room for the table's
  // values and lengths, in the current block or a new one. Throws
  // std::bad_alloc.
  RowObject* NewRow();

  // Destroys row, which NewRow placed in a block (any table's), and frees
  // its block once no row placed in it remains (unless rows are still being
  // placed in it).
  static void Release(RowObject* row) noexcept;

 private:
  struct Block;

  void Unlink(Block* block) noexcept;

  std::size_t columnCount_;
  std::size_t slotBytes_;
  std::size_t rowsPerBlock_;
  std::size_t blockCount_ = 0;
  Block* first_ = nullptr;    // every block, newest first
  Block* current_ = nullptr;  // the block rows are placed in
};

}  // namespace fh
