#include "util/value_conversions.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/test_support.h"

namespace {

TEST(IntegerTextTest, SignedValues) {
  struct Case {
    int value;
    const char* text;
  };
  const Case cases[] = {
      {0, "0"},  {-45, "-45"}, {45, "45"}, {INT_MAX, "2147483647"}, {INT_MIN, "-2147483648"},
      {-1, "-1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ConvertToStringFromInteger(c.value), c.text);
    EXPECT_EQ(ToString(c.value, fh::kToStringInteger), c.text);
  }
}

TEST(IntegerTextTest, UnsignedValuesAndLength) {
  struct Case {
    unsigned value;
    const char* text;
  };
  const Case cases[] = {
      {0u, "0"}, {7u, "7"}, {2147483648u, "2147483648"}, {UINT_MAX, "4294967295"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t length = 99;
    EXPECT_EQ(ConvertToStringFromUnsignedInteger(c.value, length), c.text);
    EXPECT_EQ(length, std::string(c.text).size());
  }
}

TEST(ToStringTest, BooleansAndUnknownKinds) {
  struct Case {
    int value;
    int kind;
    std::optional<std::string> text;
  };
  const Case cases[] = {{1, 1, "TRUE"},       {-3, 1, "TRUE"},       {0, 1, "FALSE"},
                        {5, 2, std::nullopt}, {5, -1, std::nullopt}, {0, 0, "0"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.value) + " kind " + std::to_string(c.kind));
    EXPECT_EQ(ToString(c.value, c.kind), c.text);
  }
}

TEST(IsDirectoryTest, DirectoriesFilesAndMissingPaths) {
  fhtest::TempDir dir;
  std::filesystem::create_directory(dir.Sub("sub"));
  ASSERT_TRUE(fhtest::WriteFileBytes(dir.Sub("file.txt"), "x"));
  std::filesystem::create_directory_symlink(dir.Sub("sub"), dir.Sub("link"));

  struct Case {
    std::string path;
    bool isDirectory;
  };
  const Case cases[] = {
      {dir.path(), true},
      {dir.Sub("sub"), true},
      {dir.path() + "\\sub", true},  // either separator
      {dir.Sub("link"), true},
      {dir.Sub("file.txt"), false},
      {dir.Sub("missing"), false},
      {dir.Sub("file.txt") + "/sub", false},
      {"", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(IsDirectory(c.path.c_str()), c.isDirectory);
  }
  EXPECT_FALSE(IsDirectory(nullptr));
}

TEST(EncryptDecryptKeyTest, KeyByteFollowsTheModulo255Rule) {
  struct Case {
    int k;
    std::uint8_t keyByte;
  };
  const Case cases[] = {{0, 9},   {100, 109}, {246, 255}, {247, 1},
                        {250, 4}, {255, 9},   {501, 0},   {-9, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.k);
    std::vector<std::uint8_t> buffer = {0x00, 0xFF, 0x5A};
    EncryptDecryptKey(buffer.data(), buffer.size(), c.k);
    EXPECT_EQ(buffer,
              (std::vector<std::uint8_t>{c.keyByte, static_cast<std::uint8_t>(0xFF ^ c.keyByte),
                                         static_cast<std::uint8_t>(0x5A ^ c.keyByte)}));
  }
}

TEST(EncryptDecryptKeyTest, IsItsOwnInverse) {
  const std::vector<std::uint8_t> original = {'s', 'e', 'c', 'r', 'e', 't', 0, 0x80, 0xFF};
  for (int k : {0, 250, 1000, INT_MAX}) {
    SCOPED_TRACE(k);
    std::vector<std::uint8_t> buffer = original;
    EncryptDecryptKey(buffer.data(), buffer.size(), k);
    EXPECT_NE(buffer, original);
    EncryptDecryptKey(buffer.data(), buffer.size(), k);
    EXPECT_EQ(buffer, original);
  }
  std::vector<std::uint8_t> buffer = original;
  EncryptDecryptKey(buffer.data(), 2, 250);  // only the first n bytes change
  EXPECT_EQ(buffer[1], 'e' ^ 4);
  EXPECT_EQ(buffer[2], 'c');
  EncryptDecryptKey(nullptr, 4, 1);  // harmless
}

}  // namespace
