// Vector: the general container of the library, an ordered chain of untyped
// element pointers, optionally kept sorted by a comparison function.
//
// Shape: a singly linked chain of VectorNode records from head to tail with a
// count. There is no contiguous storage: indexing walks the chain.
//
// Ownership: the vector owns its nodes once they are linked in (head and each
// node's next are unique_ptrs); it never owns the elements the nodes point
// to. Nodes are freed by FreeVector, by the deleting operations and by the
// Vector's destructor, never the elements.
//
// Thread safety: AddElement, InsertElementAt, DeleteElement, DeleteElementAt,
// ElementAt, FreeVector and DeleteLCDVector each hold the object lock
// (lock/object_lock.h) on the vector's address for their whole run, so one
// vector may be shared by several threads. The lock is not re-entrant: never
// call a locking operation on a vector while holding its lock (a comparison
// function included), or the thread waits for itself forever. Reading the
// fields directly, GetNthElement and InitVector take no lock: do that only on
// a vector no other thread changes at that moment, or under
// ObjectLockGuard(vector). A node returned by ElementAt or GetNthElement stays
// valid only until someone deletes it.
//
// Logging: every operation but NewVector writes its entry line with LogTrace,
// e.g. "\n\t@@@@@ Inside AddElement() @@@@@ \n"; CloneVector writes
// "@@@@ Inside CloneVector @@@@\n". Callers holding the log's own lock must
// therefore not use vectors.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

struct VectorNode {
  void* data = nullptr;              // the element; never freed by the vector
  std::unique_ptr<VectorNode> next;  // the following node, owned by this one
};

namespace fh {

// Compares the node being inserted with an existing node: positive when the
// new element belongs after the existing one, negative when before, zero when
// they are equal. Only the sign counts (VectorCompareResult makes a sign out
// of any int, e.g. a strcmp result, without truncation). It runs while the
// vector's lock is held: it must not call locking operations on that vector.
using VectorCompare = signed char (*)(const VectorNode* newNode, const VectorNode* existing);

}  // namespace fh

// -1, 0 or 1 after the sign of result: use it to return a wide comparison
// (strcmp, a difference of ints) from a VectorCompare.
constexpr signed char VectorCompareResult(long long result) {
  return static_cast<signed char>((result > 0) - (result < 0));
}

namespace fh {

// The holder of a comparison function handed to InitVector: a record whose
// first field is the comparison function.
struct VectorCompareHolder {
  VectorCompare compare = nullptr;
};

}  // namespace fh

// Embed it in a record or get one from NewVector. Non-copyable; moving is
// allowed only while no other thread uses either vector (the lock is keyed on
// the address, which a move changes).
struct Vector {
  Vector() = default;
  explicit Vector(fh::VectorCompare compareFunction) : compare(compareFunction) {}
  ~Vector();
  Vector(const Vector&) = delete;
  Vector& operator=(const Vector&) = delete;
  Vector(Vector&& other) noexcept;
  Vector& operator=(Vector&& other) noexcept;

  std::unique_ptr<VectorNode> head;     // first node, or none
  std::int32_t count = 0;               // number of nodes reachable from head
  VectorNode* tail = nullptr;           // last node (not owning), or none
  fh::VectorCompare compare = nullptr;  // set: insertions keep the chain sorted

  // Texts owned by this record itself: CloneVector puts its copies here.
  // They live until the record is destroyed (FreeVector and the deleting
  // operations unlink their nodes but keep the texts). Empty otherwise.
  std::vector<std::unique_ptr<char[]>> ownedTexts;
};

// Empties the vector (its nodes are freed) and sets its comparison function
// from holder (unsorted when holder or its function is none). No lock: call it
// before the vector is shared. A null vector is ignored.
void InitVector(Vector* vector, const fh::VectorCompareHolder* holder);

// A new empty unsorted vector, or none when memory is exhausted (logs
// "MEMORY_ALLOCATION_FAILURE\n" with LogError). The caller owns it.
std::unique_ptr<Vector> NewVector();

// A new unsorted vector holding, in the same order, copies of the elements
// read as NUL-terminated texts; a null element stays null. The copies are
// owned by the clone (its ownedTexts) and live as long as the clone record.
// None when vector is none ("Cannot clone vector.  Vector is NULL.\n" with
// LogError) or when memory runs out ("MEMORY_ALLOCATION_FAILURE\n" with
// LogError when the vector itself or a text copy cannot be made). REQUIRES:
// every non-null element of vector is a NUL-terminated text.
std::unique_ptr<Vector> CloneVector(const Vector* vector);

// Frees every node (not the elements): head and tail none, count 0. The
// record keeps its comparison function and may be reused. Locks.
void FreeVector(Vector* vector);

// Links node in: appended to an unsorted vector; sorted into a sorted one by
// a binary search whose probes GetNthElement finds (each logs its entry line).
// 1 when linked in (the vector has taken the node: node is left empty); 0
// when a sorted vector already holds an equal element, or vector or node is
// none (the node stays with the caller). The node's next is cleared first.
// Locks.
int AddElement(Vector* vector, std::unique_ptr<VectorNode>& node);

// Makes a node for element and adds it with AddElement. 1 when linked in; 0
// when the node cannot be allocated or AddElement refused it.
int AddElementData(Vector* vector, void* element);

// Links node in at index (0 = new head, count = new tail), without comparing,
// even on a sorted vector. true when linked in (the node is taken); false
// when index is below 0 or above count, or vector or node is none (the node
// stays with the caller). Locks.
bool InsertElementAt(Vector* vector, std::unique_ptr<VectorNode>& node, int index);

// Unlinks and frees node (not its element). false when the vector is empty or
// none; true otherwise, also when the node is not in the vector (then nothing
// changes). Locks.
bool DeleteElement(Vector* vector, const VectorNode* node);

// As DeleteElement for the node at index. 1 when a node was removed; 0 for an
// index outside 0 to count - 1 or an empty or null vector. Locks.
int DeleteElementAt(Vector* vector, int index);

// The node at index (not owning), or none outside 0 to count - 1. Locks.
VectorNode* ElementAt(const Vector* vector, int index);

// The node n places after start (n = 0: start itself), or none when n is
// below 0 or not below count, the vector is empty or none, start is none, or
// the chain ends first. No lock (see the top of this file).
VectorNode* GetNthElement(const Vector* vector, int n, VectorNode* start);

// Adds every element of source, in order, to destination with AddElement (a
// sorted destination sorts them in and drops those equal to one it holds),
// then empties source with FreeVector. 1, or 99 when the nodes cannot be
// allocated (then neither vector has changed). Merging a vector into itself
// changes nothing and gives 1. 0 when either vector is none. REQUIRES: no
// other thread adds to source during the merge.
int MergeVector(Vector* destination, Vector* source);

// Removes the first node whose element pointer is element (identity, not
// content), finding and unlinking it under one hold of the lock. true when a
// node was removed, else false.
bool DeleteLCDVector(Vector* vector, const void* element);
