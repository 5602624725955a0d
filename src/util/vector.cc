#include "util/vector.h"

#include <cstring>
#include <new>
#include <utility>

#include "lock/object_lock.h"
#include "log/log.h"

namespace fh {

namespace {

// Frees a detached chain one node at a time (a recursive unique_ptr
// destruction would use stack in proportion to the length).
void FreeChain(std::unique_ptr<VectorNode> head) {
  while (head) head = std::move(head->next);
}

// Clears the chain of vector. REQUIRES: the caller holds the lock or owns
// the vector alone.
void ClearNodes(Vector& vector) {
  FreeChain(std::move(vector.head));
  vector.tail = nullptr;
  vector.count = 0;
}

// The node steps places after start, or none when the chain ends first.
VectorNode* Walk(VectorNode* start, int steps) {
  while (start != nullptr && steps-- > 0) start = start->next.get();
  return start;
}

int Sign(const Vector& vector, const VectorNode& newNode, const VectorNode& existing) {
  return VectorCompareResult(vector.compare(&newNode, &existing));
}

// Links node right after previous (none: as the new head).
void LinkAfter(Vector& vector, VectorNode* previous, std::unique_ptr<VectorNode> node) {
  VectorNode* linked = node.get();
  std::unique_ptr<VectorNode>& slot = previous != nullptr ? previous->next : vector.head;
  node->next = std::move(slot);
  slot = std::move(node);
  if (linked->next == nullptr) vector.tail = linked;
  ++vector.count;
}

// Where a new node goes in a sorted vector: the node it follows (none: it
// becomes the head). false when an equal element is found. A binary search
// over positions keeps the comparisons to O(log n); each probe is found with
// GetNthElement, walking on from the last lower bound. REQUIRES: vector not
// empty.
bool FindSortedPlace(const Vector& vector, const VectorNode& node, VectorNode** previous) {
  int low = 0;
  VectorNode* lowNode = vector.head.get();
  int high = vector.count;
  while (high - low > 1) {
    const int mid = low + (high - low + 1) / 2;
    VectorNode* probe = GetNthElement(&vector, mid - low, lowNode);
    if (probe == nullptr) break;  // count and chain disagree: stop narrowing
    const int r = Sign(vector, node, *probe);
    if (r == 0) return false;
    if (r > 0) {
      low = mid;
      lowNode = probe;
    } else {
      high = mid;
    }
  }
  const int r = Sign(vector, node, *lowNode);
  if (r == 0) return false;
  // Before lowNode only when it is the head (every probe was lower); a
  // comparison that contradicts an earlier probe keeps the node after it.
  *previous = (r < 0 && lowNode == vector.head.get()) ? nullptr : lowNode;
  return true;
}

// Unlinks the node after previous (none: the head) and frees it.
void UnlinkAfter(Vector& vector, VectorNode* previous) {
  std::unique_ptr<VectorNode>& slot = previous != nullptr ? previous->next : vector.head;
  std::unique_ptr<VectorNode> removed = std::move(slot);
  slot = std::move(removed->next);
  if (slot == nullptr) vector.tail = previous;
  --vector.count;
}

// The node before target (none when target is the head); found is false when
// target is not in the chain.
VectorNode* FindPrevious(const Vector& vector, const VectorNode* target, bool* found) {
  VectorNode* previous = nullptr;
  for (VectorNode* node = vector.head.get(); node != nullptr; node = node->next.get()) {
    if (node == target) {
      *found = true;
      return previous;
    }
    previous = node;
  }
  *found = false;
  return nullptr;
}

// A copy of text as a zero-filled, NUL-terminated allocation.
std::unique_ptr<char[]> CopyText(const char* text) {
  const std::size_t length = std::strlen(text);
  auto copy = std::make_unique<char[]>(length + 1);
  std::memcpy(copy.get(), text, length);
  return copy;
}

}  // namespace

}  // namespace fh

Vector::~Vector() { fh::FreeChain(std::move(head)); }

Vector::Vector(Vector&& other) noexcept
    : head(std::move(other.head)),
      count(std::exchange(other.count, 0)),
      tail(std::exchange(other.tail, nullptr)),
      compare(other.compare),
      ownedTexts(std::move(other.ownedTexts)) {}

Vector& Vector::operator=(Vector&& other) noexcept {
  if (this != &other) {
    fh::FreeChain(std::move(head));
    head = std::move(other.head);
    count = std::exchange(other.count, 0);
    tail = std::exchange(other.tail, nullptr);
    compare = other.compare;
    ownedTexts = std::move(other.ownedTexts);
  }
  return *this;
}

void InitVector(Vector* vector, const fh::VectorCompareHolder* holder) {
  LogTrace("\n\t@@@@@ Inside InitVector() @@@@@ \n");
  if (vector == nullptr) return;
  fh::ClearNodes(*vector);
  vector->compare = holder != nullptr ? holder->compare : nullptr;
}

std::unique_ptr<Vector> NewVector() {
  try {
    return std::make_unique<Vector>();
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

std::unique_ptr<Vector> CloneVector(const Vector* vector) {
  LogTrace("@@@@ Inside CloneVector @@@@\n");
  if (vector == nullptr) {
    LogError("Cannot clone vector.  Vector is NULL.\n");
    return nullptr;
  }
  std::unique_ptr<Vector> clone = NewVector();
  if (clone == nullptr) return nullptr;
  try {
    // Copy the texts under one hold of the source's lock, then link them
    // into the private clone.
    std::vector<char*> elements;
    {
      fh::ObjectLockGuard hold(vector);
      elements.reserve(static_cast<std::size_t>(vector->count));
      clone->ownedTexts.reserve(static_cast<std::size_t>(vector->count));
      for (const VectorNode* node = vector->head.get(); node != nullptr; node = node->next.get()) {
        if (node->data == nullptr) {
          elements.push_back(nullptr);
          continue;
        }
        clone->ownedTexts.push_back(fh::CopyText(static_cast<const char*>(node->data)));
        elements.push_back(clone->ownedTexts.back().get());
      }
    }
    for (char* element : elements) {
      if (AddElementData(clone.get(), element) != 1) return nullptr;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  return clone;
}

void FreeVector(Vector* vector) {
  LogTrace("\n\t@@@@@ Inside FreeVector() @@@@@ \n");
  if (vector == nullptr) return;
  std::unique_ptr<VectorNode> chain;
  {
    fh::ObjectLockGuard hold(vector);
    chain = std::move(vector->head);
    vector->tail = nullptr;
    vector->count = 0;
  }
  fh::FreeChain(std::move(chain));  // the nodes are private now: free unlocked
}

int AddElement(Vector* vector, std::unique_ptr<VectorNode>& node) {
  LogTrace("\n\t@@@@@ Inside AddElement() @@@@@ \n");
  if (vector == nullptr || node == nullptr) return 0;
  node->next.reset();
  fh::ObjectLockGuard hold(vector);
  VectorNode* previous = vector->tail;
  if (vector->head != nullptr && vector->compare != nullptr &&
      !fh::FindSortedPlace(*vector, *node, &previous)) {
    return 0;
  }
  fh::LinkAfter(*vector, previous, std::move(node));
  return 1;
}

int AddElementData(Vector* vector, void* element) {
  LogTrace("\n\t@@@@@ Inside AddElementData() @@@@@ \n");
  std::unique_ptr<VectorNode> node;
  try {
    node = std::make_unique<VectorNode>();
  } catch (const std::bad_alloc&) {
    return 0;
  }
  node->data = element;
  return AddElement(vector, node);
}

bool InsertElementAt(Vector* vector, std::unique_ptr<VectorNode>& node, int index) {
  LogTrace("\n\t@@@@@ Inside InsertElementAt() @@@@@ \n");
  if (vector == nullptr || node == nullptr) return false;
  node->next.reset();
  fh::ObjectLockGuard hold(vector);
  if (index < 0 || index > vector->count) return false;
  VectorNode* previous = index == 0 ? nullptr : fh::Walk(vector->head.get(), index - 1);
  if (index > 0 && previous == nullptr) return false;  // count and chain disagree
  fh::LinkAfter(*vector, previous, std::move(node));
  return true;
}

bool DeleteElement(Vector* vector, const VectorNode* node) {
  LogTrace("\n\t@@@@@ Inside DeleteElement() @@@@@ \n");
  if (vector == nullptr) return false;
  fh::ObjectLockGuard hold(vector);
  if (vector->head == nullptr) return false;
  bool found = false;
  VectorNode* previous = fh::FindPrevious(*vector, node, &found);
  if (found) fh::UnlinkAfter(*vector, previous);
  return true;
}

int DeleteElementAt(Vector* vector, int index) {
  LogTrace("\n\t@@@@@ Inside DeleteElementAt() @@@@@ \n");
  if (vector == nullptr) return 0;
  fh::ObjectLockGuard hold(vector);
  if (vector->head == nullptr || index < 0 || index >= vector->count) return 0;
  VectorNode* previous = index == 0 ? nullptr : fh::Walk(vector->head.get(), index - 1);
  if (index > 0 && (previous == nullptr || previous->next == nullptr)) return 0;
  fh::UnlinkAfter(*vector, previous);
  return 1;
}

VectorNode* ElementAt(const Vector* vector, int index) {
  LogTrace("\n\t@@@@@ Inside ElementAt() @@@@@ \n");
  if (vector == nullptr) return nullptr;
  fh::ObjectLockGuard hold(vector);
  if (index < 0 || index >= vector->count) return nullptr;
  return fh::Walk(vector->head.get(), index);
}

VectorNode* GetNthElement(const Vector* vector, int n, VectorNode* start) {
  LogTrace("\n\t@@@@@ Inside GetNthElement() @@@@@ \n");
  if (vector == nullptr || start == nullptr || vector->count == 0) return nullptr;
  if (n < 0 || n >= vector->count) return nullptr;
  return fh::Walk(start, n);
}

int MergeVector(Vector* destination, Vector* source) {
  LogTrace("\n\t@@@@@ Inside MergeVector() @@@@@ \n");
  if (destination == nullptr || source == nullptr) return 0;
  if (destination == source) return 1;
  std::vector<std::unique_ptr<VectorNode>> nodes;
  try {
    fh::ObjectLockGuard hold(source);
    nodes.reserve(static_cast<std::size_t>(source->count));
    for (const VectorNode* node = source->head.get(); node != nullptr; node = node->next.get()) {
      nodes.push_back(std::make_unique<VectorNode>());
      nodes.back()->data = node->data;
    }
  } catch (const std::bad_alloc&) {
    return 99;
  }
  for (std::unique_ptr<VectorNode>& node : nodes) {
    AddElement(destination, node);  // a refused equal element is dropped
  }
  FreeVector(source);
  return 1;
}

bool DeleteLCDVector(Vector* vector, const void* element) {
  LogTrace("\n\t@@@@@ Inside DeleteLCDVector() @@@@@ \n");
  if (vector == nullptr) return false;
  fh::ObjectLockGuard hold(vector);
  VectorNode* previous = nullptr;
  for (VectorNode* node = vector->head.get(); node != nullptr; node = node->next.get()) {
    if (node->data == element) {
      fh::UnlinkAfter(*vector, previous);
      return true;
    }
    previous = node;
  }
  return false;
}
