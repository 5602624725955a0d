// A string-keyed hash map with chained buckets that refers to its values
// without owning them: the sequence generator keeps its batches in one, the
// XML data import its local ids.
//
// Layout: a fixed array of buckets chosen at construction (10 when 0 is
// asked for). Each bucket is a chain whose first entry lives in the array and
// is empty (no key) while unused or after its key was removed. A key's bucket
// is h mod the bucket count, where h starts at 0 and takes h = h * 26 + c for
// every byte c of the key read as unsigned, reduced mod the count at each
// step. Keys are compared exactly (case-sensitive).
//
// Ownership: the map owns its entries and copies of their keys; values are
// the caller's (the map never frees one, also not when Put replaces it).
// An entry stays at the same address until its key is removed or the map is
// destroyed, so a caller may key an object lock on it.
//
// Thread safety: none of its own; callers serialise access to one map.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace fh {

struct StringHashMapEntry {
  std::optional<std::string> key;  // none: an unused first entry
  void* value = nullptr;           // not owned
  std::unique_ptr<StringHashMapEntry> next;
};

class StringHashMap {
 public:
  // bucketCount buckets, 10 when it is 0.
  explicit StringHashMap(std::size_t bucketCount);
  StringHashMap(const StringHashMap&) = delete;
  StringHashMap& operator=(const StringHashMap&) = delete;
  // Frees every entry and key, never a value.
  ~StringHashMap();

  std::size_t bucketCount() const { return buckets_.size(); }
  // The bucket key falls into (see the top of this file).
  std::size_t BucketIndex(const char* key) const;

  // Replaces the value of key's entry in place, or adds an entry: into the
  // bucket's empty first entry, else at the end of its chain. false for a
  // null key or when memory is exhausted (the map is then unchanged).
  bool Put(const char* key, void* value);
  // key's value, or none (also when key is absent or null).
  void* GetValue(const char* key) const;
  // key's entry, or none.
  StringHashMapEntry* GetEntry(const char* key);
  const StringHashMapEntry* GetEntry(const char* key) const;
  bool Contains(const char* key) const;
  // Unlinks and frees key's entry; an emptied first entry is cleared and
  // keeps its chain. false when key is absent.
  bool Remove(const char* key);
  // Number of keys held.
  std::size_t Count() const { return count_; }
  // Every key, bucket by bucket in chain order, followed by one null entry.
  // The texts are the map's own: valid until their entry is removed. Empty
  // (without the null entry) when memory is exhausted.
  std::vector<const char*> Keys() const;
  // Puts into other every key of this map that other lacks, with this map's
  // value. false when memory runs out part-way (keys put so far stay).
  bool MergeInto(StringHashMap& other) const;

 private:
  std::vector<StringHashMapEntry> buckets_;
  std::size_t count_ = 0;
};

}  // namespace fh
