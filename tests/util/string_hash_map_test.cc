#include "util/string_hash_map.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> KeysOf(const fh::StringHashMap& map) {
  std::vector<const char*> keys = map.Keys();
  EXPECT_FALSE(keys.empty());
  EXPECT_EQ(keys.back(), nullptr);
  return {keys.begin(), keys.end() - 1};
}

TEST(StringHashMapTest, BucketOfAKeyUsesUnsignedBytes) {
  struct Case {
    std::size_t asked;
    const char* key;
    std::size_t bucket;
  };
  const Case cases[] = {
      {0, "", 0},            // 0 buckets asked: 10
      {0, "a", 7},           // 97 mod 10
      {10, "ab", 0},         // (7 * 26 + 98) mod 10
      {50, "\xe9", 33},      // 233, never a negative bucket
      {50, "\xff\xfe", 34},  // (255 mod 50) * 26 + 254 = 384, mod 50
      {1, "anything", 0},
  };
  for (const Case& c : cases) {
    fh::StringHashMap map(c.asked);
    EXPECT_EQ(map.bucketCount(), c.asked == 0 ? 10u : c.asked);
    EXPECT_EQ(map.BucketIndex(c.key), c.bucket) << c.key;
    int value = 1;
    ASSERT_TRUE(map.Put(c.key, &value));
    EXPECT_EQ(map.GetValue(c.key), &value);
  }
}

TEST(StringHashMapTest, ChainKeepsOrderAndReusesAnEmptiedFirstEntry) {
  fh::StringHashMap map(1);  // every key in one chain
  int a = 1, b = 2, c = 3, d = 4;
  ASSERT_TRUE(map.Put("a", &a));
  ASSERT_TRUE(map.Put("b", &b));
  ASSERT_TRUE(map.Put("c", &c));
  EXPECT_EQ(KeysOf(map), (std::vector<std::string>{"a", "b", "c"}));
  fh::StringHashMapEntry* entryOfC = map.GetEntry("c");

  EXPECT_TRUE(map.Remove("a"));  // the first entry empties, its chain stays
  EXPECT_FALSE(map.Remove("a"));
  EXPECT_FALSE(map.Contains("a"));
  EXPECT_EQ(map.GetValue("b"), &b);
  EXPECT_EQ(map.Count(), 2u);
  ASSERT_TRUE(map.Put("d", &d));  // into the emptied first entry
  EXPECT_EQ(KeysOf(map), (std::vector<std::string>{"d", "b", "c"}));

  EXPECT_TRUE(map.Remove("b"));  // from the middle of the chain
  EXPECT_EQ(KeysOf(map), (std::vector<std::string>{"d", "c"}));
  EXPECT_EQ(map.GetEntry("c"), entryOfC);  // entries never move
  EXPECT_EQ(map.GetValue("c"), &c);
  EXPECT_EQ(map.Count(), 2u);
}

TEST(StringHashMapTest, PutReplacesInPlaceAndKeysAreExact) {
  fh::StringHashMap map(10);
  int first = 1, second = 2;
  ASSERT_TRUE(map.Put("Seq", &first));
  fh::StringHashMapEntry* entry = map.GetEntry("Seq");
  ASSERT_TRUE(map.Put("Seq", &second));
  EXPECT_EQ(map.GetEntry("Seq"), entry);
  EXPECT_EQ(entry->value, &second);
  EXPECT_EQ(map.Count(), 1u);
  EXPECT_FALSE(map.Contains("seq"));
  EXPECT_FALSE(map.Contains("Se"));
  EXPECT_EQ(map.GetValue(nullptr), nullptr);
  EXPECT_FALSE(map.Put(nullptr, &first));
}

TEST(StringHashMapTest, MergeAddsOnlyMissingKeys) {
  fh::StringHashMap from(3), into(7);
  int x = 1, y = 2, other = 3;
  ASSERT_TRUE(from.Put("x", &x));
  ASSERT_TRUE(from.Put("y", &y));
  ASSERT_TRUE(into.Put("y", &other));
  ASSERT_TRUE(from.MergeInto(into));
  EXPECT_EQ(into.Count(), 2u);
  EXPECT_EQ(into.GetValue("x"), &x);
  EXPECT_EQ(into.GetValue("y"), &other);  // kept
  EXPECT_EQ(from.Count(), 2u);
}

}  // namespace
