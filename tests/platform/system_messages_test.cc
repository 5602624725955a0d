#include "platform/system_messages.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/last_error.h"
#include "platform/posix_error.h"

namespace {

constexpr DWORD kCodeTextFlags = 0x13FF;   // from system, no inserts, allocate, one line
constexpr DWORD kLastErrorFlags = 0x1300;  // the same without the width limit

// The narrow text of code with flags, through an allocated buffer; *length
// receives the call's result.
std::string NarrowText(DWORD flags, DWORD code, DWORD* length) {
  char* text = nullptr;
  *length = FormatMessageA(flags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                           reinterpret_cast<LPSTR>(&text), 0, nullptr);
  std::string result = text == nullptr ? std::string() : std::string(text);
  EXPECT_EQ(nullptr, LocalFree(text));
  return result;
}

TEST(FormatMessage, OneLineWithTheWidthMask) {
  DWORD length = 0;
  std::string text = NarrowText(kCodeTextFlags, 0, &length);
  EXPECT_EQ("The operation completed successfully. ", text);
  EXPECT_EQ(text.size(), length);

  // A two-line text comes back on one line, each line break one blank.
  std::string twoLines = NarrowText(kCodeTextFlags, ERROR_SHARING_VIOLATION, &length);
  EXPECT_EQ(std::string::npos, twoLines.find_first_of("\r\n"));
  EXPECT_EQ("The file cannot be accessed at the moment. Another process is using it. ", twoLines);
}

TEST(FormatMessage, StoredLineEndsWithoutTheWidthMask) {
  DWORD length = 0;
  std::string text = NarrowText(kLastErrorFlags, ERROR_ACCESS_DENIED, &length);
  EXPECT_EQ("Access to the object is denied.\r\n", text);
  EXPECT_EQ(text.size(), length);
  std::string twoLines = NarrowText(kLastErrorFlags, ERROR_SHARING_VIOLATION, &length);
  EXPECT_EQ("The file cannot be accessed at the moment.\r\nAnother process is using it.\r\n",
            twoLines);
}

TEST(FormatMessage, WidthBreaksLinesAtBlanks) {
  DWORD length = 0;
  const DWORD width = 20;
  std::string wrapped =
      NarrowText(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER | width,
                 ERROR_INVALID_NAME, &length);
  std::string oneLine = NarrowText(kCodeTextFlags, ERROR_INVALID_NAME, &length);
  std::string rejoined;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = wrapped.find("\r\n", start);
    std::string line = wrapped.substr(start, end == std::string::npos ? end : end - start);
    EXPECT_LE(line.size(), width) << line;
    rejoined += line;
    if (end == std::string::npos) break;
    rejoined += ' ';
    start = end + 2;
  }
  EXPECT_EQ(oneLine, rejoined);
  EXPECT_NE(std::string::npos, wrapped.find("\r\n"));
}

TEST(FormatMessage, WideTextEqualsNarrowText) {
  for (DWORD code : {0u, 5u, 32u, 1009u}) {
    WCHAR* wide = nullptr;
    DWORD length = FormatMessageW(kCodeTextFlags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                                  reinterpret_cast<LPWSTR>(&wide), 0, nullptr);
    ASSERT_NE(nullptr, wide);
    DWORD narrowLength = 0;
    std::string narrow = NarrowText(kCodeTextFlags, code, &narrowLength);
    EXPECT_EQ(narrowLength, length);
    EXPECT_EQ(std::u16string(narrow.begin(), narrow.end()), std::u16string(wide));
    LocalFree(wide);
  }
}

TEST(FormatMessage, UnknownCodeHasNoText) {
  for (DWORD code : {17022u, 17025u, 0x80000005u, 0xFFFFFFFFu}) {
    char placeholder = 0;
    char* text = &placeholder;  // overwritten with null on failure
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(kCodeTextFlags, nullptr, code, LANG_NEUTRAL_DEFAULT,
                                 reinterpret_cast<LPSTR>(&text), 0, nullptr));
    EXPECT_EQ(ERROR_MR_MID_NOT_FOUND, GetLastError());
    EXPECT_EQ(nullptr, text);
    WCHAR* wide = nullptr;
    EXPECT_EQ(0u, FormatMessageW(kCodeTextFlags, nullptr, code, 0, reinterpret_cast<LPWSTR>(&wide),
                                 0, nullptr));
    EXPECT_EQ(nullptr, wide);
  }
}

TEST(FormatMessage, CallerBufferMustHoldTextAndTerminator) {
  const std::string expected = "The handle is not valid.\r\n";
  const DWORD flags = FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
  char buffer[64];
  std::memset(buffer, 'z', sizeof buffer);
  DWORD exact = static_cast<DWORD>(expected.size() + 1);
  EXPECT_EQ(expected.size(), FormatMessageA(flags, nullptr, 6, 0, buffer, exact, nullptr));
  EXPECT_EQ(expected, std::string(buffer));
  EXPECT_EQ('z', buffer[exact]);

  SetLastError(0);
  EXPECT_EQ(0u, FormatMessageA(flags, nullptr, 6, 0, buffer, exact - 1, nullptr));
  EXPECT_EQ(ERROR_INSUFFICIENT_BUFFER, GetLastError());
  EXPECT_EQ(0u, FormatMessageA(flags, nullptr, 6, 0, nullptr, 100, nullptr));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
}

TEST(FormatMessage, OnlySystemLookupsAreServed) {
  char* text = nullptr;
  for (DWORD flags :
       {0u, FORMAT_MESSAGE_ALLOCATE_BUFFER,
        FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER,
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER}) {
    SetLastError(0);
    EXPECT_EQ(0u, FormatMessageA(flags, "source", 5, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr))
        << flags;
    EXPECT_EQ(ERROR_INVALID_PARAMETER, GetLastError());
    EXPECT_EQ(nullptr, text);
  }
}

TEST(FormatMessage, TableCoversTheCodesTheSystemMeets) {
  for (const fh::SystemMessage& message : fh::SystemMessageTable()) {
    ASSERT_GE(message.text.size(), 3u) << message.code;
    EXPECT_TRUE(message.text.ends_with(".\r\n")) << message.code;
    EXPECT_EQ(std::string_view::npos, message.text.find('%')) << message.code;
    for (char c : message.text) EXPECT_TRUE(c > 0) << message.code;  // plain ASCII
  }
  DWORD length = 0;
  for (DWORD code :
       {0u,   2u,   3u,   5u,   6u,   8u,   13u,   14u,   18u,   32u,   39u,   80u,   87u,  112u,
        122u, 123u, 183u, 206u, 234u, 259u, 1009u, 1010u, 1011u, 1012u, 1013u, 1018u, 1113u}) {
    EXPECT_FALSE(NarrowText(kCodeTextFlags, code, &length).empty()) << code;
  }
  // Every code the errno translation can produce has a text.
  for (int err = 0; err < 140; ++err) {
    DWORD code = Win32ErrorFromErrno(err);
    EXPECT_FALSE(NarrowText(kCodeTextFlags, code, &length).empty()) << err << " -> " << code;
  }
}

struct TrimCase {
  const char* text;
  const char* set;
  const char* expected;
  BOOL removed;
};

TEST(StrTrim, RemovesSetCharactersFromBothEnds) {
  const TrimCase cases[] = {
      {"  abc  ", " ", "abc", TRUE}, {"Access denied. ", " ", "Access denied.", TRUE},
      {"abc", " ", "abc", FALSE},    {"a b c", " ", "a b c", FALSE},
      {"   ", " ", "", TRUE},        {"", " ", "", FALSE},
      {"xxaxbxx", "x", "axb", TRUE}, {"\r\n text \r\n", " \r\n", "text", TRUE},
      {"  abc", "", "  abc", FALSE},
  };
  for (const TrimCase& c : cases) {
    char buffer[32];
    std::strcpy(buffer, c.text);
    EXPECT_EQ(c.removed, StrTrimA(buffer, c.set)) << '"' << c.text << '"';
    EXPECT_STREQ(c.expected, buffer) << '"' << c.text << '"';
  }
  char buffer[] = " x ";
  EXPECT_FALSE(StrTrimA(nullptr, " "));
  EXPECT_FALSE(StrTrimA(buffer, nullptr));
  EXPECT_STREQ(" x ", buffer);
}

TEST(LocalMemory, ZeroFilledBlocksAndNullFree) {
  auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, 64));
  ASSERT_NE(nullptr, block);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(0, block[i]);
  EXPECT_EQ(nullptr, LocalFree(block));
  EXPECT_EQ(nullptr, LocalFree(nullptr));
  void* empty = LocalAlloc(LMEM_FIXED, 0);
  EXPECT_NE(nullptr, empty);
  LocalFree(empty);
}

}  // namespace
