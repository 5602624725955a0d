#include "util/memory_pool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

class MemoryPoolTest : public ::testing::Test {
 protected:
  void SetUp() override { fh::ResetMemPoolForTest(); }
  void TearDown() override { fh::ResetMemPoolForTest(); }
};

bool IsAligned(const void* piece) {
  return reinterpret_cast<std::uintptr_t>(piece) % fh::kMemPoolAlignment == 0;
}

TEST_F(MemoryPoolTest, PiecesAreAlignedRoundedAndDistinct) {
  MemPool* pool = fh::CreateMemPool(nullptr);
  ASSERT_NE(pool, nullptr);
  std::vector<char*> pieces;
  for (std::size_t size : {1u, 3u, 8u, 9u, 0u, 17u, 100u}) {
    char* piece = static_cast<char*>(fh::MemPoolAlloc(pool, size));
    ASSERT_NE(piece, nullptr);
    EXPECT_TRUE(IsAligned(piece)) << size;
    std::memset(piece, 0xAB, size);  // the whole requested size is writable
    pieces.push_back(piece);
  }
  // Consecutive small pieces come from one block, each rounded up to 8.
  EXPECT_EQ(pieces[1] - pieces[0], 8);
  EXPECT_EQ(pieces[2] - pieces[1], 8);
  EXPECT_EQ(pieces[3] - pieces[2], 8);
  EXPECT_EQ(pieces[4] - pieces[3], 16);
  EXPECT_EQ(pieces[5] - pieces[4], 8) << "a zero-size request still takes 8 bytes";
  EXPECT_EQ(pieces[6] - pieces[5], 24);
  fh::DestroyMemPool(pool);
}

TEST_F(MemoryPoolTest, LargePiecesGetBlocksOfTheirOwn) {
  MemPool* pool = fh::CreateMemPool(nullptr);
  char* small = static_cast<char*>(fh::MemPoolAlloc(pool, 16));
  char* large = static_cast<char*>(fh::MemPoolAlloc(pool, 3 * fh::kMemPoolMinBlockSize));
  ASSERT_NE(large, nullptr);
  EXPECT_TRUE(IsAligned(large));
  std::memset(large, 1, 3 * fh::kMemPoolMinBlockSize);
  std::memset(small, 2, 16);
  EXPECT_EQ(small[15], 2);
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksFromSystem, 2u);
  fh::DestroyMemPool(pool);
}

TEST_F(MemoryPoolTest, CopiesAreZeroTerminated) {
  MemPool* pool = fh::CreateMemPool(nullptr);
  char* text = fh::MemPoolStrDup(pool, "criteria");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "criteria");
  const char bytes[] = {'a', '\0', 'b'};
  char* copy = fh::MemPoolMemDup(pool, bytes, 3);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, bytes, 3), 0);
  EXPECT_EQ(copy[3], '\0');
  EXPECT_STREQ(fh::MemPoolMemDup(pool, nullptr, 0), "");
  EXPECT_EQ(fh::MemPoolMemDup(pool, nullptr, 2), nullptr);
  EXPECT_EQ(fh::MemPoolStrDup(pool, nullptr), nullptr);
  EXPECT_EQ(fh::MemPoolStrDup(nullptr, "x"), nullptr);
  EXPECT_EQ(fh::MemPoolAlloc(nullptr, 8), nullptr);
  EXPECT_EQ(fh::MemPoolAlloc(pool, SIZE_MAX), nullptr);
  const auto* zeroed = static_cast<const unsigned char*>(fh::MemPoolAllocZeroed(pool, 40));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(zeroed[i], 0);
  struct Node {
    int value;
    Node* next;
  };
  Node* node = MemPoolNew<Node>(pool, Node{7, nullptr});
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->value, 7);
  fh::DestroyMemPool(pool);
}

// Records its destruction in a shared log.
struct Tracked {
  Tracked(std::vector<std::string>* log, std::string name) : log(log), name(std::move(name)) {}
  ~Tracked() { log->push_back(name); }
  std::vector<std::string>* log;
  std::string name;
};

TEST_F(MemoryPoolTest, PlacedObjectsAreDestroyedWithTheirPoolChildrenFirst) {
  std::vector<std::string> destroyed;
  MemPool* pool = fh::CreateMemPool(nullptr);
  MemPool* child = fh::CreateMemPool(pool);
  ASSERT_NE(MemPoolMake<Tracked>(pool, &destroyed, "first"), nullptr);
  ASSERT_NE(MemPoolMake<Tracked>(child, &destroyed, "child"), nullptr);
  Tracked* second = MemPoolMake<Tracked>(pool, &destroyed, std::string(100, 's'));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->name.size(), 100u);
  fh::ClearMemPool(pool);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"child", std::string(100, 's'), "first"}));

  destroyed.clear();
  ASSERT_NE(MemPoolMake<Tracked>(pool, &destroyed, "after clear"), nullptr);
  EXPECT_TRUE(fh::MemPoolAddCleanup(
      pool, [](void* data) { static_cast<std::vector<std::string>*>(data)->push_back("plain"); },
      &destroyed));
  EXPECT_FALSE(fh::MemPoolAddCleanup(pool, nullptr, nullptr));
  fh::DestroyMemPool(pool);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"plain", "after clear"}));
}

TEST_F(MemoryPoolTest, ReleasedBlocksAreReused) {
  MemPool* first = fh::CreateMemPool(nullptr);
  void* piece = fh::MemPoolAlloc(first, 64);
  ASSERT_NE(piece, nullptr);
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksFromSystem, 1u);
  fh::DestroyMemPool(first);
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksKept, 1u);

  MemPool* second = fh::CreateMemPool(nullptr);
  EXPECT_EQ(fh::MemPoolAlloc(second, 64), piece) << "the kept block serves the next pool";
  const fh::MemPoolAllocatorStats stats = fh::GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem, 1u);
  EXPECT_EQ(stats.blocksKept, 0u);
  fh::DestroyMemPool(second);
}

TEST_F(MemoryPoolTest, ClearingReleasesEverythingAndKeepsThePoolUsable) {
  MemPool* pool = fh::CreateMemPool(nullptr);
  ASSERT_NE(fh::MemPoolAlloc(pool, 100), nullptr);
  for (int i = 0; i < 10; ++i)
    ASSERT_NE(fh::MemPoolAlloc(pool, fh::kMemPoolMinBlockSize / 2), nullptr);
  const std::size_t blocksBefore = fh::GetMemPoolAllocatorStats().blocksFromSystem;
  EXPECT_GT(blocksBefore, 1u);
  MemPool* child = fh::CreateMemPool(pool);
  ASSERT_NE(fh::MemPoolAlloc(child, 10), nullptr);

  fh::ClearMemPool(pool);
  // All blocks but one went back to the allocator, the child with them.
  const fh::MemPoolAllocatorStats stats = fh::GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem - stats.blocksKept, 1u);
  EXPECT_NE(fh::MemPoolAlloc(pool, 8), nullptr);
  fh::DestroyMemPool(pool);
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksKept,
            fh::GetMemPoolAllocatorStats().blocksFromSystem);
}

TEST_F(MemoryPoolTest, ChildrenAreDestroyedWithTheirParent) {
  MemPool* parent = fh::CreateMemPool(nullptr);
  MemPool* child = fh::CreateMemPool(parent);
  MemPool* grandchild = fh::CreateMemPool(child);
  MemPool* sibling = fh::CreateMemPool(parent);
  for (MemPool* pool : {parent, child, grandchild, sibling}) {
    ASSERT_NE(pool, nullptr);
    ASSERT_NE(fh::MemPoolAlloc(pool, 32), nullptr);
  }
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksFromSystem, 4u);
  // Destroying one child early unlinks it; the parent later takes the rest.
  fh::DestroyMemPool(sibling);
  EXPECT_EQ(fh::GetMemPoolAllocatorStats().blocksKept, 1u);
  fh::DestroyMemPool(parent);
  const fh::MemPoolAllocatorStats stats = fh::GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksKept, 4u) << "every block of the family went back";
  EXPECT_EQ(stats.blocksFromSystem, 4u);
}

TEST_F(MemoryPoolTest, RootPoolLivesUnderAUseCount) {
  EXPECT_EQ(fh::GetRootMemPool(), nullptr);
  ASSERT_TRUE(InitializeMemPool());
  MemPool* root = fh::GetRootMemPool();
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(InitializeMemPool());
  EXPECT_EQ(fh::GetRootMemPool(), root) << "later calls only count";
  EXPECT_EQ(fh::GetMemPoolUseCount(), 2);

  MemPool* query = fh::CreateMemPool(root);
  ASSERT_NE(fh::MemPoolAlloc(query, 16), nullptr);
  fh::ReleaseMemPool();
  EXPECT_EQ(fh::GetRootMemPool(), root);
  EXPECT_NE(fh::MemPoolAlloc(query, 16), nullptr) << "still alive after the first release";

  fh::ReleaseMemPool();
  EXPECT_EQ(fh::GetRootMemPool(), nullptr);
  EXPECT_EQ(fh::GetMemPoolUseCount(), 0);
  const fh::MemPoolAllocatorStats stats = fh::GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem, 0u) << "the last release frees every block";
  fh::ReleaseMemPool();
  EXPECT_EQ(fh::GetMemPoolUseCount(), 0);

  ASSERT_TRUE(InitializeMemPool());
  EXPECT_NE(fh::GetRootMemPool(), nullptr);
  fh::ReleaseMemPool();
}

TEST_F(MemoryPoolTest, CleanupsRunningAtTheLastReleaseMayAskForTheRoot) {
  ASSERT_TRUE(InitializeMemPool());
  MemPool* query = fh::CreateMemPool(fh::GetRootMemPool());
  ASSERT_NE(query, nullptr);
  struct Seen {
    bool ran = false;
    MemPool* root = reinterpret_cast<MemPool*>(1);
    int useCount = -1;
  } seen;
  ASSERT_TRUE(fh::MemPoolAddCleanup(
      query,
      [](void* data) {
        auto* observed = static_cast<Seen*>(data);
        observed->ran = true;
        observed->root = fh::GetRootMemPool();
        observed->useCount = fh::GetMemPoolUseCount();
      },
      &seen));
  fh::ReleaseMemPool();
  EXPECT_TRUE(seen.ran);
  EXPECT_EQ(seen.root, nullptr) << "the root is already gone for the cleanups";
  EXPECT_EQ(seen.useCount, 0);
}

TEST_F(MemoryPoolTest, ThreadsShareOneParentAndOnePool) {
  ASSERT_TRUE(InitializeMemPool());
  MemPool* root = fh::GetRootMemPool();
  MemPool* shared = fh::CreateMemPool(root);
  std::vector<std::thread> threads;
  std::vector<std::vector<char*>> pieces(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        MemPool* own = fh::CreateMemPool(root);
        char* text = fh::MemPoolStrDup(own, "query text");
        EXPECT_STREQ(text, "query text");
        fh::DestroyMemPool(own);
        char* piece = static_cast<char*>(fh::MemPoolAlloc(shared, 24));
        std::memset(piece, t, 24);
        pieces[t].push_back(piece);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::set<char*> distinct;
  for (int t = 0; t < 4; ++t) {
    for (char* piece : pieces[t]) {
      EXPECT_EQ(piece[23], t);
      distinct.insert(piece);
    }
  }
  EXPECT_EQ(distinct.size(), 800u);
  fh::ReleaseMemPool();
}

}  // namespace
