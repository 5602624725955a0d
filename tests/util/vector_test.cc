#include "util/vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "lock/object_lock.h"

namespace {

int ValueOf(const VectorNode* node) { return *static_cast<const int*>(node->data); }

signed char CompareInts(const VectorNode* newNode, const VectorNode* existing) {
  return VectorCompareResult(static_cast<long long>(ValueOf(newNode)) - ValueOf(existing));
}

// Compares texts with strcmp, whose wide results the vector must read by
// sign only.
signed char CompareTexts(const VectorNode* newNode, const VectorNode* existing) {
  return VectorCompareResult(std::strcmp(static_cast<const char*>(newNode->data),
                                         static_cast<const char*>(existing->data)));
}

const fh::VectorCompareHolder kAscending{CompareInts};

// The elements from head to tail, checking count and tail on the way.
std::vector<int> Values(const Vector& vector) {
  std::vector<int> values;
  const VectorNode* last = nullptr;
  for (const VectorNode* node = vector.head.get(); node != nullptr; node = node->next.get()) {
    values.push_back(ValueOf(node));
    last = node;
  }
  EXPECT_EQ(static_cast<int>(values.size()), vector.count);
  EXPECT_EQ(vector.tail, last);
  return values;
}

std::unique_ptr<VectorNode> NodeFor(int* value) {
  auto node = std::make_unique<VectorNode>();
  node->data = value;
  return node;
}

TEST(VectorTest, UnsortedKeepsInsertionOrder) {
  int v[] = {5, 3, 9, 3};
  Vector vector;
  for (int& x : v) EXPECT_EQ(AddElementData(&vector, &x), 1);
  EXPECT_EQ(Values(vector), (std::vector<int>{5, 3, 9, 3}));
}

TEST(VectorTest, SortedInsertOrdersAndRefusesEqual) {
  int v[] = {3, 1, 2};
  Vector vector;
  InitVector(&vector, &kAscending);
  for (int& x : v) EXPECT_EQ(AddElementData(&vector, &x), 1);
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 2, 3}));

  int two = 2;
  auto node = NodeFor(&two);
  VectorNode* callersNode = node.get();
  EXPECT_EQ(AddElement(&vector, node), 0);
  EXPECT_EQ(node.get(), callersNode);  // refused: still the caller's
  EXPECT_EQ(vector.count, 3);
  EXPECT_EQ(AddElementData(&vector, &two), 0);
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 2, 3}));
}

TEST(VectorTest, SortedInsertMatchesSortForManyOrders) {
  // Every insertion position (front, middle, back) at many sizes, with
  // duplicates that must be refused.
  std::vector<int> input;
  for (int i = 0; i < 60; ++i) input.push_back((i * 37) % 41);
  Vector vector;
  InitVector(&vector, &kAscending);
  std::vector<int> expected;
  for (int& x : input) {
    const bool fresh = std::find(expected.begin(), expected.end(), x) == expected.end();
    EXPECT_EQ(AddElementData(&vector, &x), fresh ? 1 : 0) << x;
    if (fresh) expected.insert(std::lower_bound(expected.begin(), expected.end(), x), x);
    ASSERT_EQ(Values(vector), expected);
  }
}

TEST(VectorTest, WideComparisonResultsCountBySignOnly) {
  // strcmp may return 256 and more; a truncating comparison would take
  // such a result for "equal".
  char a[] = "a";
  char z[] = "\x7f";
  Vector vector;
  fh::VectorCompareHolder holder{CompareTexts};
  InitVector(&vector, &holder);
  EXPECT_EQ(AddElementData(&vector, z), 1);
  EXPECT_EQ(AddElementData(&vector, a), 1);
  EXPECT_EQ(vector.head->data, a);
}

TEST(VectorTest, InsertElementAtBoundsAndTail) {
  int v[] = {0, 1, 2, 3, 4};
  Vector vector;
  auto node = NodeFor(&v[1]);
  EXPECT_FALSE(InsertElementAt(&vector, node, 1));  // above count
  EXPECT_FALSE(InsertElementAt(&vector, node, -1));
  EXPECT_NE(node, nullptr);
  EXPECT_TRUE(InsertElementAt(&vector, node, 0));
  EXPECT_EQ(node, nullptr);
  node = NodeFor(&v[3]);
  EXPECT_TRUE(InsertElementAt(&vector, node, 1));  // at count: the new tail
  EXPECT_EQ(AddElementData(&vector, &v[4]), 1);    // appends after it
  node = NodeFor(&v[0]);
  EXPECT_TRUE(InsertElementAt(&vector, node, 0));
  node = NodeFor(&v[2]);
  EXPECT_TRUE(InsertElementAt(&vector, node, 2));
  EXPECT_EQ(Values(vector), (std::vector<int>{0, 1, 2, 3, 4}));
}

TEST(VectorTest, InsertElementAtDoesNotCompare) {
  int v[] = {1, 2, 9};
  Vector vector;
  InitVector(&vector, &kAscending);
  AddElementData(&vector, &v[0]);
  AddElementData(&vector, &v[1]);
  auto node = NodeFor(&v[2]);
  EXPECT_TRUE(InsertElementAt(&vector, node, 0));
  EXPECT_EQ(Values(vector), (std::vector<int>{9, 1, 2}));
}

TEST(VectorTest, ElementAtAndGetNthElementRanges) {
  int v[] = {10, 11, 12};
  Vector vector;
  EXPECT_EQ(ElementAt(&vector, 0), nullptr);
  EXPECT_EQ(ElementAt(nullptr, 0), nullptr);
  for (int& x : v) AddElementData(&vector, &x);
  EXPECT_EQ(ElementAt(&vector, -1), nullptr);
  EXPECT_EQ(ElementAt(&vector, 3), nullptr);
  EXPECT_EQ(ValueOf(ElementAt(&vector, 2)), 12);

  VectorNode* head = vector.head.get();
  EXPECT_EQ(GetNthElement(&vector, 0, head), head);
  EXPECT_EQ(ValueOf(GetNthElement(&vector, 2, head)), 12);
  EXPECT_EQ(GetNthElement(&vector, 3, head), nullptr);
  EXPECT_EQ(GetNthElement(&vector, -1, head), nullptr);
  EXPECT_EQ(GetNthElement(&vector, 2, head->next.get()), nullptr);  // chain ends first
  EXPECT_EQ(GetNthElement(&vector, 0, nullptr), nullptr);
}

TEST(VectorTest, DeleteElementCases) {
  int v[] = {1, 2, 3};
  Vector vector;
  VectorNode stranger;
  EXPECT_FALSE(DeleteElement(&vector, &stranger));  // empty
  for (int& x : v) AddElementData(&vector, &x);
  EXPECT_TRUE(DeleteElement(&vector, &stranger));  // not in it: true, no change
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 2, 3}));

  EXPECT_TRUE(DeleteElement(&vector, vector.tail));  // last: tail moves back
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 2}));
  EXPECT_EQ(AddElementData(&vector, &v[2]), 1);
  EXPECT_TRUE(DeleteElement(&vector, vector.head.get()));
  EXPECT_EQ(Values(vector), (std::vector<int>{2, 3}));
  EXPECT_TRUE(DeleteElement(&vector, vector.head.get()));
  EXPECT_TRUE(DeleteElement(&vector, vector.head.get()));  // the only node
  EXPECT_EQ(Values(vector), std::vector<int>{});
  EXPECT_EQ(v[0] + v[1] + v[2], 6);  // elements untouched
}

TEST(VectorTest, DeleteElementAtCases) {
  int v[] = {1, 2, 3, 4};
  Vector vector;
  EXPECT_EQ(DeleteElementAt(&vector, 0), 0);
  for (int& x : v) AddElementData(&vector, &x);
  EXPECT_EQ(DeleteElementAt(&vector, 4), 0);
  EXPECT_EQ(DeleteElementAt(&vector, -1), 0);
  EXPECT_EQ(DeleteElementAt(&vector, 1), 1);
  EXPECT_EQ(DeleteElementAt(&vector, 2), 1);  // the last one
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 3}));
  EXPECT_EQ(AddElementData(&vector, &v[3]), 1);
  EXPECT_EQ(DeleteElementAt(&vector, 0), 1);
  EXPECT_EQ(Values(vector), (std::vector<int>{3, 4}));
}

TEST(VectorTest, DeleteLCDVectorMatchesPointerNotValue) {
  int a = 7;
  int b = 7;
  Vector vector;
  AddElementData(&vector, &a);
  AddElementData(&vector, &b);
  AddElementData(&vector, &a);
  EXPECT_TRUE(DeleteLCDVector(&vector, &b));
  EXPECT_FALSE(DeleteLCDVector(&vector, &b));
  EXPECT_TRUE(DeleteLCDVector(&vector, &a));  // the first of two
  ASSERT_EQ(vector.count, 1);
  EXPECT_EQ(vector.head->data, &a);
  EXPECT_EQ(vector.tail, vector.head.get());
}

TEST(VectorTest, FreeVectorKeepsComparisonForReuse) {
  int v[] = {2, 1};
  Vector vector;
  InitVector(&vector, &kAscending);
  for (int& x : v) AddElementData(&vector, &x);
  FreeVector(&vector);
  EXPECT_EQ(Values(vector), std::vector<int>{});
  EXPECT_EQ(vector.compare, &CompareInts);
  for (int& x : v) AddElementData(&vector, &x);
  EXPECT_EQ(Values(vector), (std::vector<int>{1, 2}));
  FreeVector(nullptr);  // harmless
}

TEST(VectorTest, MergeVectorMovesElementsAndEmptiesSource) {
  int v[] = {1, 2, 3, 4};
  Vector destination;
  InitVector(&destination, &kAscending);
  AddElementData(&destination, &v[2]);
  Vector source;
  AddElementData(&source, &v[3]);
  AddElementData(&source, &v[0]);
  int otherThree = 3;
  AddElementData(&source, &otherThree);  // equal to one in destination: dropped
  AddElementData(&source, &v[1]);
  EXPECT_EQ(MergeVector(&destination, &source), 1);
  EXPECT_EQ(Values(destination), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(ElementAt(&destination, 2)->data, &v[2]);
  EXPECT_EQ(source.count, 0);
  EXPECT_EQ(source.head, nullptr);
  EXPECT_EQ(source.tail, nullptr);

  EXPECT_EQ(MergeVector(&destination, &destination), 1);  // into itself: no change
  EXPECT_EQ(destination.count, 4);
  EXPECT_EQ(MergeVector(nullptr, &destination), 0);
}

TEST(VectorTest, CloneVectorCopiesTextsInOrder) {
  char b[] = "beta";
  char a[] = "alpha";
  Vector vector;
  fh::VectorCompareHolder holder{CompareTexts};
  InitVector(&vector, &holder);
  AddElementData(&vector, b);
  AddElementData(&vector, a);
  char empty[] = "";
  AddElementData(&vector, empty);

  std::unique_ptr<Vector> clone = CloneVector(&vector);
  ASSERT_NE(clone, nullptr);
  EXPECT_EQ(clone->compare, nullptr);
  ASSERT_EQ(clone->count, 3);
  std::vector<std::string> texts;
  for (int i = 0; i < clone->count; ++i) {
    const VectorNode* node = ElementAt(clone.get(), i);
    EXPECT_NE(node->data, ElementAt(&vector, i)->data);  // copies, not the originals
    texts.emplace_back(static_cast<const char*>(node->data));
  }
  EXPECT_EQ(texts, (std::vector<std::string>{"", "alpha", "beta"}));
  a[0] = 'X';
  EXPECT_STREQ(static_cast<const char*>(ElementAt(clone.get(), 1)->data), "alpha");

  // The texts outlive the nodes: removing a node keeps its copy valid for a
  // caller that took the pointer.
  const char* kept = static_cast<const char*>(clone->head->data);
  EXPECT_TRUE(DeleteLCDVector(clone.get(), kept));
  EXPECT_STREQ(kept, "");
}

TEST(VectorTest, CloneVectorOfNoneGivesNone) { EXPECT_EQ(CloneVector(nullptr), nullptr); }

TEST(VectorTest, CloneVectorKeepsNullElements) {
  char a[] = "a";
  Vector vector;
  AddElementData(&vector, nullptr);
  AddElementData(&vector, a);
  std::unique_ptr<Vector> clone = CloneVector(&vector);
  ASSERT_NE(clone, nullptr);
  ASSERT_EQ(clone->count, 2);
  EXPECT_EQ(clone->head->data, nullptr);
  EXPECT_STREQ(static_cast<const char*>(clone->tail->data), "a");
}

TEST(VectorTest, NullArgumentsAreRefused) {
  int x = 1;
  auto node = NodeFor(&x);
  EXPECT_EQ(AddElement(nullptr, node), 0);
  EXPECT_NE(node, nullptr);
  std::unique_ptr<VectorNode> none;
  Vector vector;
  EXPECT_EQ(AddElement(&vector, none), 0);
  EXPECT_FALSE(InsertElementAt(&vector, none, 0));
  EXPECT_EQ(AddElementData(nullptr, &x), 0);
  EXPECT_FALSE(DeleteElement(nullptr, nullptr));
  EXPECT_EQ(DeleteElementAt(nullptr, 0), 0);
  EXPECT_FALSE(DeleteLCDVector(nullptr, &x));
  InitVector(nullptr, &kAscending);
}

TEST(VectorTest, InitVectorEmptiesAndSetsComparison) {
  int v[] = {1, 2};
  Vector vector;
  for (int& x : v) AddElementData(&vector, &x);
  InitVector(&vector, &kAscending);
  EXPECT_EQ(vector.count, 0);
  EXPECT_EQ(vector.compare, &CompareInts);
  InitVector(&vector, nullptr);
  EXPECT_EQ(vector.compare, nullptr);
}

TEST(VectorTest, MovingTakesTheChainAndEmptiesTheSource) {
  int v[] = {1, 2};
  Vector source(CompareInts);
  for (int& x : v) AddElementData(&source, &x);
  Vector moved(std::move(source));
  EXPECT_EQ(Values(moved), (std::vector<int>{1, 2}));
  EXPECT_EQ(moved.compare, &CompareInts);
  EXPECT_EQ(Values(source), std::vector<int>{});  // NOLINT(bugprone-use-after-move)
  Vector assigned;
  AddElementData(&assigned, &v[0]);
  assigned = std::move(moved);
  EXPECT_EQ(Values(assigned), (std::vector<int>{1, 2}));
  EXPECT_EQ(AddElementData(&assigned, &v[0]), 0);  // still sorted, refuses equal
}

TEST(VectorTest, LongChainIsFreedWithoutDeepRecursion) {
  int x = 0;
  Vector vector;
  for (int i = 0; i < 200000; ++i) AddElementData(&vector, &x);
  EXPECT_EQ(vector.count, 200000);
}  // the destructor frees the chain; a recursive free would overflow the stack

TEST(VectorTest, OperationsHoldTheVectorsLock) {
  int x = 1;
  Vector vector;
  LockObject(&vector);
  std::atomic<bool> added{false};
  std::thread adder([&] {
    AddElementData(&vector, &x);
    added = true;
  });
  // A grace period for a faulty adder to get through; a correct one waits.
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_FALSE(added);
  EXPECT_EQ(vector.count, 0);
  UnlockObject(&vector);
  adder.join();
  EXPECT_EQ(vector.count, 1);
}

TEST(VectorTest, ConcurrentAddsAndDeletesKeepTheChainConsistent) {
  constexpr int kThreads = 4;
  constexpr int kEach = 500;
  std::vector<int> values(kThreads * kEach);
  Vector vector;
  InitVector(&vector, &kAscending);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kEach; ++i) {
        int& value = values[t * kEach + i];
        value = t * kEach + i;
        EXPECT_EQ(AddElementData(&vector, &value), 1);
        if (i % 2 == 1) {
          EXPECT_TRUE(DeleteLCDVector(&vector, &value));
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::vector<int> expected;
  for (int i = 0; i < kThreads * kEach; i += 2) expected.push_back(i);
  EXPECT_EQ(Values(vector), expected);
}

}  // namespace
