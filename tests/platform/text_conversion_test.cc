#include "platform/text_conversion.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"

namespace {

struct Utf8Case {
  const char* label;
  std::string utf8;
  std::u16string utf16;
};

constexpr char16_t kFffd = u'\uFFFD';

// Ill-formed input: one U+FFFD per maximal ill-formed subsequence.
const std::vector<Utf8Case>& DecodeCases() {
  static const std::vector<Utf8Case> cases = {
      {"ascii", "abc", u"abc"},
      {"two bytes", "\xC3\xA4", u"\u00E4"},
      {"three bytes", "\xE2\x82\xAC", u"\u20AC"},
      {"four bytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
      {"highest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
      {"byte order mark passes", "\xEF\xBB\xBF", u"\uFEFF"},
      {"embedded zero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"lone continuation", "\x80", {kFffd}},
      {"two continuations", "\x80\xBF", {kFffd, kFffd}},
      {"overlong C0", "\xC0\x80", {kFffd, kFffd}},
      {"overlong C1", "\xC1\xBF", {kFffd, kFffd}},
      {"overlong E0", "\xE0\x80\x80", {kFffd, kFffd, kFffd}},
      {"overlong F0", "\xF0\x80\x80\x80", {kFffd, kFffd, kFffd, kFffd}},
      {"encoded surrogate", "\xED\xA0\x80", {kFffd, kFffd, kFffd}},
      {"above U+10FFFF", "\xF4\x90\x80\x80", {kFffd, kFffd, kFffd, kFffd}},
      {"F5 lead", "\xF5\x80", {kFffd, kFffd}},
      {"FF byte", "\xFF", {kFffd}},
      {"truncated three bytes at end", "\xE2\x82", {kFffd}},
      {"truncated three bytes before ascii",
       "\xE2\x82"
       "A",
       {kFffd, u'A'}},
      {"truncated four bytes", "\xF0\x9F\x98", {kFffd}},
      {"lead followed by lead", "\xC3\xC3\xA4", {kFffd, u'\u00E4'}},
      {"mixed",
       "a\xF0\x9F\x98\x80"
       "b\xC3",
       {u'a', 0xD83D, 0xDE00, u'b', kFffd}},
      // The example of the Unicode standard (section 3.9, U+FFFD substitution).
      {"standard example",
       "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
       {u'a', kFffd, kFffd, kFffd, u'b', kFffd, u'c', kFffd, kFffd, u'd'}},
  };
  return cases;
}

TEST(MultiByteToWideCharTest, ConvertsTableOfWellAndIllFormedInput) {
  for (const Utf8Case& c : DecodeCases()) {
    SCOPED_TRACE(c.label);
    int length = static_cast<int>(c.utf8.size());
    int needed = MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), length, nullptr, 0);
    ASSERT_EQ(needed, static_cast<int>(c.utf16.size()));
    std::u16string out(static_cast<std::size_t>(needed), u'?');
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, c.utf8.data(), length, out.data(), needed), needed);
    EXPECT_EQ(out, c.utf16);
    EXPECT_EQ(fh::Utf8ToUtf16(c.utf8), c.utf16);
  }
}

TEST(MultiByteToWideCharTest, MinusOneCountsTheTerminator) {
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, nullptr, 0), 4);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "", -1, nullptr, 0), 1);
  WCHAR out[4] = {1, 1, 1, 1};
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 4), 4);
  EXPECT_EQ(std::u16string(out, 4), std::u16string(u"abc\0", 4));
  // An explicit length carries no terminator.
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", 3, nullptr, 0), 3);
  // The process's code page is UTF-8 too.
  EXPECT_EQ(MultiByteToWideChar(CP_ACP, 0, "\xC3\xA4", -1, nullptr, 0), 2);
}

TEST(MultiByteToWideCharTest, ShortBufferFailsWithoutWritingPastIt) {
  WCHAR out[5] = {u'#', u'#', u'#', u'#', u'#'};
  SetLastError(0);
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "abc", -1, out, 3), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(out[3], u'#');
  // A surrogate pair is never split: one unit of room holds nothing of it.
  out[0] = out[1] = u'#';
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "\xF0\x9F\x98\x80", 4, out, 1), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(out[1], u'#');
}

TEST(MultiByteToWideCharTest, RejectsBadArguments) {
  WCHAR out[8];
  struct Case {
    const char* label;
    UINT codePage;
    DWORD flags;
    const char* input;
    int inputLength;
    WCHAR* output;
    int outputLength;
    DWORD error;
  } cases[] = {
      {"null input", CP_UTF8, 0, nullptr, -1, out, 8, ERROR_INVALID_PARAMETER},
      {"zero length", CP_UTF8, 0, "abc", 0, out, 8, ERROR_INVALID_PARAMETER},
      {"length below -1", CP_UTF8, 0, "abc", -2, out, 8, ERROR_INVALID_PARAMETER},
      {"negative output size", CP_UTF8, 0, "abc", -1, out, -1, ERROR_INVALID_PARAMETER},
      {"null output with size", CP_UTF8, 0, "abc", -1, nullptr, 8, ERROR_INVALID_PARAMETER},
      {"other code page", 1252, 0, "abc", -1, out, 8, ERROR_INVALID_PARAMETER},
      {"unknown flag", CP_UTF8, 0x1, "abc", -1, out, 8, 1004},
      {"strict and ill-formed", CP_UTF8, MB_ERR_INVALID_CHARS, "a\x80", -1, out, 8,
       ERROR_NO_UNICODE_TRANSLATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    SetLastError(0);
    EXPECT_EQ(
        MultiByteToWideChar(c.codePage, c.flags, c.input, c.inputLength, c.output, c.outputLength),
        0);
    EXPECT_EQ(GetLastError(), c.error);
  }
  EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "ok", -1, out, 8), 3);
}

struct Utf16Case {
  const char* label;
  std::u16string utf16;
  std::string utf8;
};

TEST(WideCharToMultiByteTest, ConvertsTableIncludingUnpairedSurrogates) {
  const std::vector<Utf16Case> cases = {
      {"ascii", u"abc", "abc"},
      {"two bytes", u"\u00E4", "\xC3\xA4"},
      {"three bytes", u"\u20AC", "\xE2\x82\xAC"},
      {"surrogate pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
      {"embedded zero", std::u16string(u"a\0b", 3), std::string("a\0b", 3)},
      {"lone high surrogate", {0xD800}, "\xEF\xBF\xBD"},
      {"lone low surrogate", {0xDC00}, "\xEF\xBF\xBD"},
      {"high then ascii",
       {0xD800, u'a'},
       "\xEF\xBF\xBD"
       "a"},
      {"reversed pair", {0xDC00, 0xD800}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"high then high then low", {0xD800, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
  };
  for (const Utf16Case& c : cases) {
    SCOPED_TRACE(c.label);
    int length = static_cast<int>(c.utf16.size());
    int needed =
        WideCharToMultiByte(CP_UTF8, 0, c.utf16.data(), length, nullptr, 0, nullptr, nullptr);
    ASSERT_EQ(needed, static_cast<int>(c.utf8.size()));
    std::string out(static_cast<std::size_t>(needed), '?');
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, c.utf16.data(), length, out.data(), needed, nullptr,
                                  nullptr),
              needed);
    EXPECT_EQ(out, c.utf8);
    EXPECT_EQ(fh::Utf16ToUtf8(c.utf16), c.utf8);
  }
}

TEST(WideCharToMultiByteTest, SizeQueriesShortBuffersAndBadArguments) {
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E4", -1, nullptr, 0, nullptr, nullptr), 3);
  char out[4] = {'#', '#', '#', '#'};
  SetLastError(0);
  // Two bytes are needed for the letter: one byte of room stays untouched.
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E4", -1, out, 1, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
  EXPECT_EQ(out[0], '#');
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"\u00E4", -1, out, 3, nullptr, nullptr), 3);
  EXPECT_EQ(std::string(out, 3), std::string("\xC3\xA4\0", 3));

  BOOL usedDefault = FALSE;
  SetLastError(0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, out, 4, "?", nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", -1, out, 4, nullptr, &usedDefault), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, nullptr, -1, out, 4, nullptr, nullptr), 0);
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, u"a", 0, out, 4, nullptr, nullptr), 0);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  const char16_t lone[] = {0xD800, 0};
  EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, out, 4, nullptr, nullptr),
            0);
  EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
}

TEST(TextConversionHelpersTest, WellFormednessAndSanitizing) {
  EXPECT_TRUE(fh::IsWellFormedUtf8("plain \xC3\xA4 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(fh::IsWellFormedUtf8("\xED\xA0\x80"));
  EXPECT_FALSE(fh::IsWellFormedUtf8("abc\xC3"));
  EXPECT_TRUE(fh::IsWellFormedUtf16(u"\U0001F600"));
  EXPECT_FALSE(fh::IsWellFormedUtf16(std::u16string{0xDE00, 0xD83D}));
  EXPECT_EQ(fh::SanitizeUtf8("a\xC0\x80"
                             "b"),
            "a\xEF\xBF\xBD\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(fh::SanitizeUtf8("\xC3\xA4"), "\xC3\xA4");
  std::string appended;
  fh::AppendUtf8(0xD800, &appended);  // not a scalar value
  fh::AppendUtf8(0x110000, &appended);
  EXPECT_EQ(appended, "\xEF\xBF\xBD\xEF\xBF\xBD");
}

}  // namespace
