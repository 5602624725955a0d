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
  void SetUp() override { ResetMemPoolForTest(); }
  void TearDown() override { ResetMemPoolForTest(); }
};

bool IsAligned(const void* piece) {
  return reinterpret_cast<std::uintptr_t>(piece) % kMemPoolAlignment == 0;
}

TEST_F(MemoryPoolTest, PiecesAreAlignedRoundedAndDistinct) {
  MemPool* pool = CreateMemPool(nullptr);
  ASSERT_NE(pool, nullptr);
  std::vector<char*> pieces;
  for (std::size_t size : {1u, 3u, 8u, 9u, 0u, 17u, 100u}) {
    char* piece = static_cast<char*>(MemPoolAlloc(pool, size));
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
  DestroyMemPool(pool);
}

TEST_F(MemoryPoolTest, LargePiecesGetBlocksOfTheirOwn) {
  MemPool* pool = CreateMemPool(nullptr);
  char* small = static_cast<char*>(MemPoolAlloc(pool, 16));
  char* large = static_cast<char*>(MemPoolAlloc(pool, 3 * kMemPoolMinBlockSize));
  ASSERT_NE(large, nullptr);
  EXPECT_TRUE(IsAligned(large));
  std::memset(large, 1, 3 * kMemPoolMinBlockSize);
  std::memset(small, 2, 16);
  EXPECT_EQ(small[15], 2);
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksFromSystem, 2u);
  DestroyMemPool(pool);
}

TEST_F(MemoryPoolTest, CopiesAreZeroTerminated) {
  MemPool* pool = CreateMemPool(nullptr);
  char* text = MemPoolStrDup(pool, "criteria");
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "criteria");
  const char bytes[] = {'a', '\0', 'b'};
  char* copy = MemPoolMemDup(pool, bytes, 3);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::memcmp(copy, bytes, 3), 0);
  EXPECT_EQ(copy[3], '\0');
  EXPECT_STREQ(MemPoolMemDup(pool, nullptr, 0), "");
  EXPECT_EQ(MemPoolMemDup(pool, nullptr, 2), nullptr);
  EXPECT_EQ(MemPoolStrDup(pool, nullptr), nullptr);
  EXPECT_EQ(MemPoolStrDup(nullptr, "x"), nullptr);
  EXPECT_EQ(MemPoolAlloc(nullptr, 8), nullptr);
  EXPECT_EQ(MemPoolAlloc(pool, SIZE_MAX), nullptr);
  const auto* zeroed = static_cast<const unsigned char*>(MemPoolAllocZeroed(pool, 40));
  ASSERT_NE(zeroed, nullptr);
  for (int i = 0; i < 40; ++i) EXPECT_EQ(zeroed[i], 0);
  struct Node {
    int value;
    Node* next;
  };
  Node* node = MemPoolNew<Node>(pool, Node{7, nullptr});
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(node->value, 7);
  DestroyMemPool(pool);
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
  MemPool* pool = CreateMemPool(nullptr);
  MemPool* child = CreateMemPool(pool);
  ASSERT_NE(MemPoolMake<Tracked>(pool, &destroyed, "first"), nullptr);
  ASSERT_NE(MemPoolMake<Tracked>(child, &destroyed, "child"), nullptr);
  Tracked* second = MemPoolMake<Tracked>(pool, &destroyed, std::string(100, 's'));
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(second->name.size(), 100u);
  ClearMemPool(pool);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"child", std::string(100, 's'), "first"}));

  destroyed.clear();
  ASSERT_NE(MemPoolMake<Tracked>(pool, &destroyed, "after clear"), nullptr);
  EXPECT_TRUE(MemPoolAddCleanup(
      pool, [](void* data) { static_cast<std::vector<std::string>*>(data)->push_back("plain"); },
      &destroyed));
  EXPECT_FALSE(MemPoolAddCleanup(pool, nullptr, nullptr));
  DestroyMemPool(pool);
  EXPECT_EQ(destroyed, (std::vector<std::string>{"plain", "after clear"}));
}

TEST_F(MemoryPoolTest, ReleasedBlocksAreReused) {
  MemPool* first = CreateMemPool(nullptr);
  void* piece = MemPoolAlloc(first, 64);
  ASSERT_NE(piece, nullptr);
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksFromSystem, 1u);
  DestroyMemPool(first);
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksKept, 1u);

  MemPool* second = CreateMemPool(nullptr);
  EXPECT_EQ(MemPoolAlloc(second, 64), piece) << "the kept block serves the next pool";
  const MemPoolAllocatorStats stats = GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem, 1u);
  EXPECT_EQ(stats.blocksKept, 0u);
  DestroyMemPool(second);
}

TEST_F(MemoryPoolTest, ClearingReleasesEverythingAndKeepsThePoolUsable) {
  MemPool* pool = CreateMemPool(nullptr);
  ASSERT_NE(MemPoolAlloc(pool, 100), nullptr);
  for (int i = 0; i < 10; ++i) ASSERT_NE(MemPoolAlloc(pool, kMemPoolMinBlockSize / 2), nullptr);
  const std::size_t blocksBefore = GetMemPoolAllocatorStats().blocksFromSystem;
  EXPECT_GT(blocksBefore, 1u);
  MemPool* child = CreateMemPool(pool);
  ASSERT_NE(MemPoolAlloc(child, 10), nullptr);

  ClearMemPool(pool);
  // All blocks but one went back to the allocator, the child with them.
  const MemPoolAllocatorStats stats = GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem - stats.blocksKept, 1u);
  EXPECT_NE(MemPoolAlloc(pool, 8), nullptr);
  DestroyMemPool(pool);
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksKept, GetMemPoolAllocatorStats().blocksFromSystem);
}

TEST_F(MemoryPoolTest, ChildrenAreDestroyedWithTheirParent) {
  MemPool* parent = CreateMemPool(nullptr);
  MemPool* child = CreateMemPool(parent);
  MemPool* grandchild = CreateMemPool(child);
  MemPool* sibling = CreateMemPool(parent);
  for (MemPool* pool : {parent, child, grandchild, sibling}) {
    ASSERT_NE(pool, nullptr);
    ASSERT_NE(MemPoolAlloc(pool, 32), nullptr);
  }
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksFromSystem, 4u);
  // Destroying one child early unlinks it; the parent later takes the rest.
  DestroyMemPool(sibling);
  EXPECT_EQ(GetMemPoolAllocatorStats().blocksKept, 1u);
  DestroyMemPool(parent);
  const MemPoolAllocatorStats stats = GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksKept, 4u) << "every block of the family went back";
  EXPECT_EQ(stats.blocksFromSystem, 4u);
}

TEST_F(MemoryPoolTest, RootPoolLivesUnderAUseCount) {
  EXPECT_EQ(GetRootMemPool(), nullptr);
  ASSERT_TRUE(InitializeMemPool());
  MemPool* root = GetRootMemPool();
  ASSERT_NE(root, nullptr);
  ASSERT_TRUE(InitializeMemPool());
  EXPECT_EQ(GetRootMemPool(), root) << "later calls only count";
  EXPECT_EQ(GetMemPoolUseCount(), 2);

  MemPool* query = CreateMemPool(root);
  ASSERT_NE(MemPoolAlloc(query, 16), nullptr);
  ReleaseMemPool();
  EXPECT_EQ(GetRootMemPool(), root);
  EXPECT_NE(MemPoolAlloc(query, 16), nullptr) << "still alive after the first release";

  ReleaseMemPool();
  EXPECT_EQ(GetRootMemPool(), nullptr);
  EXPECT_EQ(GetMemPoolUseCount(), 0);
  const MemPoolAllocatorStats stats = GetMemPoolAllocatorStats();
  EXPECT_EQ(stats.blocksFromSystem, 0u) << "the last release frees every block";
  ReleaseMemPool();
  EXPECT_EQ(GetMemPoolUseCount(), 0);

  ASSERT_TRUE(InitializeMemPool());
  EXPECT_NE(GetRootMemPool(), nullptr);
  ReleaseMemPool();
}

TEST_F(MemoryPoolTest, CleanupsRunningAtTheLastReleaseMayAskForTheRoot) {
  ASSERT_TRUE(InitializeMemPool());
  MemPool* query = CreateMemPool(GetRootMemPool());
  ASSERT_NE(query, nullptr);
  struct Seen {
    bool ran = false;
    MemPool* root = reinterpret_cast<MemPool*>(1);
    int useCount = -1;
  } seen;
  ASSERT_TRUE(MemPoolAddCleanup(
      query,
      [](void* data) {
        auto* observed = static_cast<Seen*>(data);
        observed->ran = true;
        observed->root = GetRootMemPool();
        observed->useCount = GetMemPoolUseCount();
      },
      &seen));
  ReleaseMemPool();
  EXPECT_TRUE(seen.ran);
  EXPECT_EQ(seen.root, nullptr) << "the root is already gone for the cleanups";
  EXPECT_EQ(seen.useCount, 0);
}

TEST_F(MemoryPoolTest, ThreadsShareOneParentAndOnePool) {
  ASSERT_TRUE(InitializeMemPool());
  MemPool* root = GetRootMemPool();
  MemPool* shared = CreateMemPool(root);
  std::vector<std::thread> threads;
  std::vector<std::vector<char*>> pieces(4);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        MemPool* own = CreateMemPool(root);
        char* text = MemPoolStrDup(own, "query text");
        EXPECT_STREQ(text, "query text");
        DestroyMemPool(own);
        char* piece = static_cast<char*>(MemPoolAlloc(shared, 24));
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
  ReleaseMemPool();
}

}  // namespace
