#include "util/string_hash_map.h"

#include <cstring>
#include <new>
#include <utility>

namespace fh {

StringHashMap::StringHashMap(std::size_t bucketCount)
    : buckets_(bucketCount == 0 ? 10 : bucketCount) {}

StringHashMap::~StringHashMap() {
  // Unlink chains one entry at a time so a long chain does not recurse.
  for (StringHashMapEntry& bucket : buckets_) {
    std::unique_ptr<StringHashMapEntry> entry = std::move(bucket.next);
    while (entry) entry = std::move(entry->next);
  }
}

std::size_t StringHashMap::BucketIndex(const char* key) const {
  const std::size_t count = buckets_.size();
  std::size_t h = 0;
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(key); *c != 0; ++c) {
    h = (h * 26 + *c) % count;
  }
  return h;
}

const StringHashMapEntry* StringHashMap::GetEntry(const char* key) const {
  if (key == nullptr) return nullptr;
  for (const StringHashMapEntry* entry = &buckets_[BucketIndex(key)]; entry != nullptr;
       entry = entry->next.get()) {
    if (entry->key && std::strcmp(entry->key->c_str(), key) == 0) return entry;
  }
  return nullptr;
}

StringHashMapEntry* StringHashMap::GetEntry(const char* key) {
  return const_cast<StringHashMapEntry*>(std::as_const(*this).GetEntry(key));
}

void* StringHashMap::GetValue(const char* key) const {
  const StringHashMapEntry* entry = GetEntry(key);
  return entry != nullptr ? entry->value : nullptr;
}

bool StringHashMap::Contains(const char* key) const { return GetEntry(key) != nullptr; }

bool StringHashMap::Put(const char* key, void* value) {
  if (key == nullptr) return false;
  if (StringHashMapEntry* existing = GetEntry(key)) {
    existing->value = value;
    return true;
  }
  try {
    StringHashMapEntry& first = buckets_[BucketIndex(key)];
    if (!first.key) {
      first.key = key;
      first.value = value;
    } else {
      StringHashMapEntry* last = &first;
      while (last->next) last = last->next.get();
      auto added = std::make_unique<StringHashMapEntry>();
      added->key = key;
      added->value = value;
      last->next = std::move(added);
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  ++count_;
  return true;
}

bool StringHashMap::Remove(const char* key) {
  if (key == nullptr) return false;
  StringHashMapEntry& first = buckets_[BucketIndex(key)];
  if (first.key && *first.key == key) {
    first.key.reset();
    first.value = nullptr;
    --count_;
    return true;
  }
  for (StringHashMapEntry* previous = &first; previous->next; previous = previous->next.get()) {
    if (*previous->next->key == key) {
      previous->next = std::move(previous->next->next);
      --count_;
      return true;
    }
  }
  return false;
}

std::vector<const char*> StringHashMap::Keys() const {
  std::vector<const char*> keys;
  try {
    keys.reserve(count_ + 1);
  } catch (const std::bad_alloc&) {
    return keys;
  }
  for (const StringHashMapEntry& bucket : buckets_) {
    for (const StringHashMapEntry* entry = &bucket; entry != nullptr; entry = entry->next.get()) {
      if (entry->key) keys.push_back(entry->key->c_str());
    }
  }
  keys.push_back(nullptr);
  return keys;
}

bool StringHashMap::MergeInto(StringHashMap& other) const {
  for (const StringHashMapEntry& bucket : buckets_) {
    for (const StringHashMapEntry* entry = &bucket; entry != nullptr; entry = entry->next.get()) {
      if (entry->key && !other.Contains(entry->key->c_str()) &&
          !other.Put(entry->key->c_str(), entry->value)) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace fh
