#include "util/string_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using Text = std::optional<std::string>;
constexpr std::nullopt_t kNone = std::nullopt;

struct PatternCase {
  const char* text;
  const char* pattern;
};

TEST(StringHelpersTest, OccurrenceCountsAndIndices) {
  struct Case {
    PatternCase in;
    int count;
    int first;
    int last;
  };
  const Case cases[] = {
      {{"abc.log", ".log"}, 1, 3, 3}, {{"abc", ".log"}, 0, 0, -1},
      {{"aab", "ab"}, 0, 0, -1},    // the mismatching a is not re-examined
      {{"aaab", "aab"}, 0, 0, -1},  // likewise
      {{"abab", "ab"}, 2, 0, 2},      {{"aaaa", "aa"}, 2, 0, 2},  // no overlap
      {{"xabyab", "ab"}, 2, 1, 4},    {{"abc", ""}, 0, 0, -1},    // an empty pattern never occurs
      {{"", "a"}, 0, 0, -1},          {{"ab", "abc"}, 0, 0, -1},
      {{nullptr, "a"}, -1, -1, -1},   {{"a", nullptr}, -1, -1, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.in.text ? c.in.text : "(none)") + " / " +
                 (c.in.pattern ? c.in.pattern : "(none)"));
    EXPECT_EQ(CountSubString(c.in.text, c.in.pattern), c.count);
    EXPECT_EQ(GetSubStringIndex(c.in.text, c.in.pattern), c.first);
    EXPECT_EQ(GetLastSubStringIndex(c.in.text, c.in.pattern), c.last);
  }
}

TEST(StringHelpersTest, OccurrenceTexts) {
  struct Case {
    PatternCase in;
    Text before, after, afterLast, removeAll, removeFirst, removeLast;
  };
  const Case cases[] = {
      {{"abc.log", ".log"}, "abc", "", "", "abc", "abc", "abc"},
      {{"abc.txt", ".log"}, "", "txt", "abc.txt", "abc.txt", kNone, kNone},
      {{"a.b.c", "."}, "a", "b.c", "c", "abc", "ab.c", "a.bc"},
      {{"aab", "ab"}, "", "b", "aab", "aab", kNone, kNone},
      // No occurrence and a text not longer than the pattern: empty, inside
      // the text.
      {{"ab", "xyz"}, "", "", "ab", "ab", kNone, kNone},
      {{"abc", "xyz"}, "", "", "abc", "abc", kNone, kNone},
      {{"abc", ""}, "", "abc", "abc", "abc", kNone, kNone},
      {{"", "a"}, "", "", "", "", kNone, kNone},
      {{"--", "-"}, "", "-", "", "", "-", "-"},
      {{nullptr, "a"}, kNone, kNone, kNone, kNone, kNone, kNone},
      {{"a", nullptr}, kNone, kNone, kNone, kNone, kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.in.text ? c.in.text : "(none)") + " / " +
                 (c.in.pattern ? c.in.pattern : "(none)"));
    EXPECT_EQ(GetStringBefore(c.in.text, c.in.pattern), c.before);
    EXPECT_EQ(GetStringAfter(c.in.text, c.in.pattern), c.after);
    EXPECT_EQ(GetStringAfterLast(c.in.text, c.in.pattern), c.afterLast);
    EXPECT_EQ(RemoveAllSubStrings(c.in.text, c.in.pattern), c.removeAll);
    EXPECT_EQ(RemoveFirstSubString(c.in.text, c.in.pattern), c.removeFirst);
    EXPECT_EQ(RemoveLastSubString(c.in.text, c.in.pattern), c.removeLast);
  }
}

TEST(StringHelpersTest, SplitString) {
  using Pieces = std::optional<std::vector<std::string>>;
  struct Case {
    PatternCase in;
    Pieces pieces;
  };
  const Case cases[] = {
      {{"a;b;;c", ";"}, std::vector<std::string>{"a", "b", "", "c"}},
      {{";a;", ";"}, std::vector<std::string>{"", "a", ""}},
      {{"abc", ";"}, std::vector<std::string>{"abc"}},
      {{"", ";"}, std::vector<std::string>{""}},
      {{"a::b", "::"}, std::vector<std::string>{"a", "b"}},
      {{"aab", "ab"}, std::vector<std::string>{"aab"}},
      {{"abc", ""}, std::vector<std::string>{"abc"}},
      {{nullptr, ";"}, std::nullopt},
      {{"a", nullptr}, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.in.text ? c.in.text : "(none)");
    const Pieces pieces = SplitString(c.in.text, c.in.pattern);
    EXPECT_EQ(pieces, c.pieces);
    if (pieces) {
      EXPECT_EQ(static_cast<int>(pieces->size()), CountSubString(c.in.text, c.in.pattern) + 1);
    }
  }
  std::vector<std::string> array = *SplitString("x,y", ",");
  FreeStringArray(array, 2);
  EXPECT_TRUE(array.empty());
}

TEST(StringHelpersTest, ExactSearches) {
  const char* text = "aab";
  EXPECT_EQ(SubString(text, "ab"), text + 1);  // exact, unlike the occurrence rule
  EXPECT_EQ(SubString(text, "aab"), text);
  EXPECT_EQ(SubString(text, "aabb"), nullptr);  // longer than the text
  EXPECT_EQ(SubString(text, "x"), nullptr);
  EXPECT_EQ(SubString(text, ""), nullptr);
  EXPECT_EQ(SubString(static_cast<const char*>(nullptr), "a"), nullptr);
  EXPECT_EQ(SubString(text, nullptr), nullptr);
  char writable[] = "key=value";
  char* at = SubString(writable, "=");
  ASSERT_NE(at, nullptr);
  *at = '\0';
  EXPECT_STREQ(writable, "key");

  EXPECT_TRUE(FindSubString("aaab", "aab"));
  EXPECT_FALSE(FindSubString("aaab", "abc"));
  EXPECT_FALSE(FindSubString("abc", ""));
  EXPECT_FALSE(FindSubString(nullptr, "a"));
  EXPECT_FALSE(FindSubString("a", nullptr));
}

TEST(StringHelpersTest, GetIndexReadsOnlyTheFirstNBytes) {
  const char buffer[] = {'a', '\0', 'b', 'c'};
  EXPECT_EQ(GetIndex(buffer, 4, 'b'), 2);  // NUL is an ordinary byte
  EXPECT_EQ(GetIndex(buffer, 4, '\0'), 1);
  EXPECT_EQ(GetIndex(buffer, 2, 'b'), -1);
  EXPECT_EQ(GetIndex(buffer, 0, 'a'), -1);
  EXPECT_EQ(GetIndex(buffer, -3, 'a'), -1);
  EXPECT_EQ(GetIndex(nullptr, 4, 'a'), -1);
  // ASan catches a read past the one byte.
  const std::unique_ptr<char[]> one = std::make_unique<char[]>(1);
  one[0] = 'z';
  EXPECT_EQ(GetIndex(one.get(), 1, 'q'), -1);
}

TEST(StringHelpersTest, TokenizeStringSplitsInPlace) {
  char list[] = ";;a.log;b.log;;c.log;";
  char* cursor = nullptr;
  std::vector<std::string> tokens;
  for (char* token = TokenizeString(list, ";", &cursor); token != nullptr;
       token = TokenizeString(nullptr, ";", &cursor)) {
    tokens.emplace_back(token);
  }
  EXPECT_EQ(tokens, (std::vector<std::string>{"a.log", "b.log", "c.log"}));
  EXPECT_STREQ(list + 2, "a.log");                            // terminated in place
  EXPECT_EQ(TokenizeString(nullptr, ";", &cursor), nullptr);  // stays at the end

  char words[] = " one,two  three";
  cursor = nullptr;
  EXPECT_STREQ(TokenizeString(words, " ,", &cursor), "one");
  EXPECT_STREQ(TokenizeString(nullptr, " ,", &cursor), "two");
  EXPECT_STREQ(TokenizeString(nullptr, " ,", &cursor), "three");
  EXPECT_EQ(TokenizeString(nullptr, " ,", &cursor), nullptr);

  char only[] = ";;;";
  cursor = nullptr;
  EXPECT_EQ(TokenizeString(only, ";", &cursor), nullptr);
  cursor = nullptr;
  EXPECT_EQ(TokenizeString(nullptr, ";", &cursor), nullptr);  // nothing to continue
  EXPECT_EQ(TokenizeString(only, nullptr, &cursor), nullptr);
  EXPECT_EQ(TokenizeString(only, ";", nullptr), nullptr);
}

TEST(StringHelpersTest, IsStringMatched) {
  struct Case {
    const char* data;
    int length;
    const char* value;
    int valueLength;
    bool matched;
  };
  const Case cases[] = {
      {"Y,N", 3, "N", 1, true},      {"Y,N", 3, "Y", 1, true},      {"Y,N", 3, "Y,", 2, false},
      {"YES,NO", 6, "YE", 2, false},                                 // a whole piece only
      {"YES,NO", 6, "NO", 2, true},  {"YES,NO", 5, "NO", 2, false},  // only the first length bytes
      {"A,,B", 4, "", 0, true},                                      // the empty piece
      {"A,B", 3, "", 0, false},      {"", 0, "", 0, true},          {nullptr, 3, "A", 1, false},
      {"A", 1, nullptr, 1, false},   {"A", -1, "A", 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.data ? c.data : "(none)") + " ? " + (c.value ? c.value : "(none)"));
    EXPECT_EQ(IsStringMatched(c.data, c.length, c.value, c.valueLength), c.matched);
  }
}

TEST(StringHelpersTest, Trimming) {
  struct Case {
    const char* text;
    char c;
    Text leading, trailing, both;
  };
  const Case cases[] = {
      {"x", 'x', "", kNone, kNone},  // one-character text of the trimmed one
      {"a", 'x', "a", "a", "a"},     // one character, another one: kept
      {"ab  ", ' ', "ab  ", "ab", "ab"},
      {"  ab", ' ', "ab", "  ab", "ab"},
      {"  a b  ", ' ', "a b  ", "  a b", "a b"},
      {"xxx", 'x', "", "", ""},  // only the trimmed character: empty, in bounds
      {"", 'x', kNone, "", kNone},
      {nullptr, 'x', kNone, kNone, kNone},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(none)");
    EXPECT_EQ(TrimLeadingChar(c.text, c.c), c.leading);
    EXPECT_EQ(TrimTrailingChar(c.text, c.c), c.trailing);
    EXPECT_EQ(TrimChar(c.text, c.c), c.both);
  }
}

TEST(StringHelpersTest, FilteringAndCase) {
  const char* text = "aZ-09_\xE9 q";
  EXPECT_EQ(GetAlphaChars(text), "aZq");
  EXPECT_EQ(GetAlphaNumericChars(text), "aZ09q");
  EXPECT_EQ(GetNonAlphaNumericChars(text), "-_\xE9 ");
  EXPECT_EQ(ToLowerCopy(text), "az-09_\xE9 q");
  EXPECT_EQ(ToUpperCopy(text), "AZ-09_\xE9 Q");
  EXPECT_EQ(GetAlphaChars(nullptr), kNone);
  EXPECT_EQ(GetAlphaNumericChars(nullptr), kNone);
  EXPECT_EQ(GetNonAlphaNumericChars(nullptr), kNone);
  EXPECT_EQ(ToLowerCopy(nullptr), kNone);
  EXPECT_EQ(ToUpperCopy(nullptr), kNone);
  EXPECT_EQ(GetAlphaChars("123"), "");
}

TEST(StringHelpersTest, AllocationAndSetting) {
  Text target;
  EXPECT_EQ(DuplicateString(target, "abc"), 1);
  EXPECT_EQ(target, "abc");
  EXPECT_EQ(DuplicateString(target, nullptr), 1);
  EXPECT_EQ(target, kNone);

  EXPECT_EQ(AllocateAndSetString(target, "abcdef", 3), 1);
  EXPECT_EQ(target, "abc");
  EXPECT_EQ(AllocateAndSetString(target, "ab", 5), 1);  // stops at the text's end
  EXPECT_EQ(target, "ab");
  EXPECT_EQ(AllocateAndSetString(target, "ab", 0), 1);
  EXPECT_EQ(target, "");
  EXPECT_EQ(AllocateAndSetString(target, "ab", -1), 99);
  EXPECT_EQ(target, "");  // unchanged on failure

  target = "old";
  EXPECT_EQ(ReallocateAndSetString(target, "new text", 3), 1);
  EXPECT_EQ(target, "new");
  EXPECT_EQ(ReallocateAndSetString(target, "x", -1), 99);
  EXPECT_EQ(target, kNone);  // the old text is dropped first
}

TEST(CStringTest, CopiesAndConcatenations) {
  EXPECT_EQ(StringLength(nullptr), 0u);
  EXPECT_EQ(StringLength("abc"), 3u);

  char buffer[8] = "zzzzzzz";
  EXPECT_EQ(StringCopy(buffer, "ab"), buffer);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(StringCopy(buffer, nullptr), nullptr);
  EXPECT_EQ(StringCopy(nullptr, "a"), nullptr);
  EXPECT_EQ(StringConcat(buffer, "cd"), buffer);
  EXPECT_STREQ(buffer, "abcd");
  EXPECT_EQ(StringConcat(buffer, nullptr), nullptr);

  char four[4] = {'q', 'q', 'q', 'q'};
  EXPECT_EQ(StringCopyN(four, "abcdef", sizeof four), four);
  EXPECT_STREQ(four, "abc");  // always terminated within n
  std::memset(four, 'q', sizeof four);
  StringCopyN(four, "a", sizeof four);
  EXPECT_EQ(std::string(four, 4), std::string("a\0qq", 4));  // no padding
  EXPECT_EQ(StringCopyN(four, "a", 0), nullptr);
  EXPECT_EQ(StringCopyN(four, nullptr, 4), nullptr);
}

TEST(CStringTest, BoundedCopyAndConcat) {
  char buffer[6];
  EXPECT_EQ(StringCopyBounded(buffer, "abcdefgh", sizeof buffer), 8u);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(StringCopyBounded(buffer, "ab", sizeof buffer), 2u);
  EXPECT_STREQ(buffer, "ab");
  EXPECT_EQ(StringCopyBounded(buffer, "ab", 0), 0u);
  EXPECT_EQ(StringCopyBounded(buffer, "ab", -1), 0u);
  EXPECT_EQ(StringCopyBounded(nullptr, "ab", 6), 0u);
  EXPECT_EQ(StringCopyBounded(buffer, nullptr, 6), 0u);

  EXPECT_EQ(StringConcatBounded(buffer, "cdefg", sizeof buffer), 7u);
  EXPECT_STREQ(buffer, "abcde");
  EXPECT_EQ(StringConcatBounded(buffer, "x", sizeof buffer), 6u);
  EXPECT_STREQ(buffer, "abcde");
  char full[3] = {'a', 'b', 'c'};  // no NUL within size: left alone
  EXPECT_EQ(StringConcatBounded(full, "xy", sizeof full), 5u);
  EXPECT_EQ(std::string(full, 3), "abc");
  EXPECT_EQ(StringConcatBounded(full, "xy", 0), 2u);
  EXPECT_EQ(StringConcatBounded(nullptr, "xy", 3), 0u);
}

TEST(CStringTest, ComparisonsAndTheNullRule) {
  struct Case {
    const char* first;
    const char* second;
    int compare;
    int noCase;
  };
  const Case cases[] = {
      {nullptr, nullptr, 0, 0}, {nullptr, "a", -1, -1}, {"a", nullptr, 1, 1},
      {"abc", "abd", -1, -1},   {"abc", "ab", 1, 1},    {"ABC", "abc", -1, 0},
      {"abc", "ABD", 1, -1},    {"\xE9", "a", -1, -1},  // signed characters: high bytes sort first
      {"", "", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.first ? c.first : "(none)") + " vs " +
                 (c.second ? c.second : "(none)"));
    EXPECT_EQ(StringCompare(c.first, c.second), c.compare);
    EXPECT_EQ(StringCompareNoCase(c.first, c.second), c.noCase);
  }
  EXPECT_EQ(StringCompareN("abcX", "abcY", 3), 0);
  EXPECT_EQ(StringCompareN("abcX", "abcY", 4), -1);
  EXPECT_EQ(StringCompareN(nullptr, "a", 1), -1);
  EXPECT_EQ(StringCompareN("\xE9", "a", 1), 1);  // strncmp compares unsigned bytes
  EXPECT_EQ(CompareBytes("ab", "ac", 2), -1);
  EXPECT_EQ(CompareBytes("ab", "ac", 1), 0);
  EXPECT_EQ(CompareBytes(nullptr, "a", 1), -1);
  EXPECT_EQ(CompareBytes("a", nullptr, 1), 1);
  EXPECT_EQ(CompareBytes(nullptr, nullptr, 1), 0);
}

TEST(CStringTest, ByteAndCharacterSearches) {
  char bytes[4] = {1, 2, 3, 2};
  EXPECT_EQ(CopyBytes(nullptr, bytes, 1), nullptr);
  EXPECT_EQ(CopyBytes(bytes, nullptr, 1), nullptr);
  EXPECT_EQ(FillBytes(nullptr, 7, 2), nullptr);
  EXPECT_EQ(FindByte(bytes, 2, 4), bytes + 1);
  EXPECT_EQ(FindByte(bytes, 9, 4), nullptr);
  EXPECT_EQ(FindByte(static_cast<const void*>(nullptr), 2, 4), nullptr);
  const char* text = "a=b;c";
  EXPECT_EQ(FindChar(text, '='), text + 1);
  EXPECT_EQ(FindChar(text, '\0'), text + 5);
  EXPECT_EQ(FindChar(static_cast<const char*>(nullptr), 'a'), nullptr);
  EXPECT_EQ(FindAnyChar(text, ";="), text + 1);
  EXPECT_EQ(FindAnyChar(text, "xyz"), nullptr);
  EXPECT_EQ(FindAnyChar(text, nullptr), nullptr);
  EXPECT_EQ(SpanChars("  x", " "), 2u);
  EXPECT_EQ(SpanChars(nullptr, " "), 0u);

  EXPECT_TRUE(StartsWithBytes("abc", 3, "ab", 2));
  EXPECT_TRUE(StartsWithBytes("abc", 3, "", 0));
  EXPECT_FALSE(StartsWithBytes("ab", 2, "abc", 3));
  EXPECT_FALSE(StartsWithBytes("abc", 3, "b", 1));
  EXPECT_FALSE(StartsWithBytes(nullptr, 3, "a", 1));

  char reversible[] = "abcde";
  ReverseString(reversible, 4);
  EXPECT_STREQ(reversible, "dcbae");
  ReverseString(reversible, 1);
  ReverseString(nullptr, 3);
  EXPECT_STREQ(reversible, "dcbae");
}

TEST(NumberTextTest, ConvertStringToInteger) {
  struct Case {
    const char* text;
    int value;
  };
  const Case cases[] = {
      {"12", 12},
      {"-12", -12},
      {"+7", 7},
      {"12a", -1},
      {"-1", -1},
      {"1 2", -1},
      {"--1", -1},
      {"", 0},
      {"-", 0},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", -2147483647 - 1},
      {"2147483648", -1},  // does not fit: the error value
      {"99999999999999999999", -1},
      {nullptr, -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(none)");
    EXPECT_EQ(ConvertStringToInteger(c.text), c.value);
  }
}

TEST(NumberTextTest, ConvertStringToDouble) {
  struct Case {
    const char* text;
    double value;
  };
  const Case cases[] = {
      {"12", 12.0},  {"12.5", 12.5}, {"-0.25", -0.25}, {"+3.5", 3.5}, {".5", 0.5},
      {"12.", 12.0}, {"1a.5", 0},    {"1.2.3", 0},     {"1.5x", 0},   {"", 0},
      {".", 0},      {"+-1", 0},     {nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text ? c.text : "(none)");
    EXPECT_DOUBLE_EQ(ConvertStringToDouble(c.text), c.value);
  }
}

TEST(NumberTextTest, BigEndianBytes) {
  const unsigned char bytes[] = {0xFF, 0x01, 0x00, 0x02, 0x03};
  EXPECT_EQ(ConvertToInteger(bytes, 1), -1);  // sign-extended
  EXPECT_EQ(ConvertToInteger(bytes + 1, 2), 256);
  EXPECT_EQ(ConvertToInteger(bytes, 2), -255);
  EXPECT_EQ(ConvertToInteger(bytes, 4), static_cast<std::int32_t>(0xFF010002u));
  EXPECT_EQ(ConvertToInteger(bytes + 1, 4), 0x01000203);
  EXPECT_EQ(ConvertToInteger(bytes, 5), -1);
  EXPECT_EQ(ConvertToInteger(bytes, 0), 0);
  EXPECT_EQ(ConvertToInteger(nullptr, 2), 0);

  EXPECT_EQ(ConvertBytesToInteger(bytes, 1), 0xFFu);
  EXPECT_EQ(ConvertBytesToInteger(bytes, 4), 0xFF010002u);
  EXPECT_EQ(ConvertBytesToInteger(bytes, 5), 0x01000203u);  // the first byte shifts out
  EXPECT_EQ(ConvertBytesToInteger(bytes, 0), 0u);
  EXPECT_EQ(ConvertBytesToInteger(nullptr, 3), 0u);
}

}  // namespace
