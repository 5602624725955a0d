#include "registry/registry_writer.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/registry_store.h"
#include "registry/registry_test_helpers.h"
#include "support/system_call_faults.h"

namespace fhtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kKey[] = "Software\\Quillon\\WriterTest";

std::string Bytes(std::initializer_list<int> values) {
  std::string bytes;
  for (int v : values) bytes.push_back(static_cast<char>(v));
  return bytes;
}

std::string Le64(unsigned long long v) {
  std::string bytes;
  for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
  return bytes;
}

struct WriteCase {
  DWORD type;
  const char* data;
  std::string expected;
};

using WriteValueExTest = RegistryTest;

TEST_F(WriteValueExTest, WritesTheBytesOfEachTypeCode) {
  const std::vector<WriteCase> cases = {
      {REG_SZ, "abc", WideBytes(u"abc")},
      {REG_SZ, "", WideBytes(u"")},
      {REG_SZ, "--", WideBytes(u"")},
      {REG_SZ, "Grüße, 世界", WideBytes(u"Grüße, 世界")},
      {REG_EXPAND_SZ, "%TEMP%\\x", WideBytes(u"%TEMP%\\x")},
      {REG_BINARY, "AB", Bytes({0x41, 0x42, 0x00})},
      {REG_BINARY, "--", Bytes({0x00})},
      {REG_BINARY, "ü", Bytes({0xC3, 0xBC, 0x00})},
      {REG_DWORD, "42", Bytes({42, 0, 0, 0})},
      {REG_DWORD, "0x10", Bytes({0, 0, 0, 0})},
      {REG_DWORD, "--", Bytes({0, 0, 0, 0})},
      {REG_DWORD, "4294967295", Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {REG_DWORD, "4294967296", Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {REG_DWORD, "-1", Bytes({0xFF, 0xFF, 0xFF, 0xFF})},
      {REG_DWORD, "  +258xyz", Bytes({2, 1, 0, 0})},
      {REG_MULTI_SZ, "one;two", WideBytes(std::u16string(u"one\0two\0", 8))},
      {REG_MULTI_SZ, "a;b", WideBytes(std::u16string(u"a\0b\0", 4))},
      {REG_MULTI_SZ, "a^;b;c", WideBytes(std::u16string(u"a;b\0c\0", 6))},
      {REG_MULTI_SZ, "a^^b", WideBytes(std::u16string(u"a^b\0", 4))},
      {REG_MULTI_SZ, "a;;b", WideBytes(std::u16string(u"a\0\0b\0", 5))},
      {REG_MULTI_SZ, "a^", WideBytes(std::u16string(u"a\0\0", 3))},
      {REG_MULTI_SZ, "", Bytes({0, 0, 0, 0})},
      {REG_MULTI_SZ, "--", Bytes({0, 0, 0, 0})},
      {REG_QWORD, "1a", Le64(59)},
      {REG_QWORD, "18446744073709551615", Le64(18446744073709551615ull)},
      {REG_QWORD, "--", Le64(0)},
      {REG_QWORD, "42", Le64(42)},
      // Type codes without a conversion of their own: the first 4 bytes of
      // the UTF-16 text, zero-padded.
      {5, "ABCD", Bytes({0x41, 0, 0x42, 0})},
      {5, "A", Bytes({0x41, 0, 0, 0})},
      {0, "", Bytes({0, 0, 0, 0})},
      {0x20000, "世", Bytes({0x16, 0x4E, 0, 0})},
  };
  int index = 0;
  for (const WriteCase& c : cases) {
    const std::string name = "v" + std::to_string(index++);
    const std::u16string wideName(name.begin(), name.end());
    SCOPED_TRACE(name + " type " + std::to_string(c.type) + " data \"" + c.data + "\"");
    ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, name.c_str(), c.data, c.type), 0);
    const StoredValue stored = QueryStoredValue(kKey, wideName);
    ASSERT_EQ(stored.code, 0);
    EXPECT_EQ(stored.type, c.type);
    EXPECT_EQ(stored.bytes, c.expected);
  }
}

TEST_F(WriteValueExTest, LogsTheSizeOfEachConvertedType) {
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "s", "abc", REG_SZ), 0);
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "b", "AB", REG_BINARY), 0);
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "d", "1", REG_DWORD), 0);
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "m", "one;two", REG_MULTI_SZ), 0);
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "q", "1", REG_QWORD), 0);
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[DEBUG] writeValueEx:  Data type is REG_SZ or REG_EXPAND_SZ or "
                             "REG_BINARY: 8\n"));
  EXPECT_THAT(log, HasSubstr("[DEBUG] writeValueEx:  Data type is REG_BINARY: 3\n"));
  EXPECT_THAT(log, HasSubstr("[DEBUG] writeValueEx:  REG_DWORD -- sizeOfInputData: 4\n"));
  EXPECT_THAT(log, HasSubstr("[DEBUG] writeValueEx:  Data type is REG_MULTI_SZ: 18\n"));
  EXPECT_THAT(log, HasSubstr("[DEBUG] writeValueEx:  REG_QWORD -- sizeOfInputData: 8\n"));
}

TEST_F(WriteValueExTest, SuccessLogsEveryStepInOrder) {
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Name", "Data", REG_SZ), 0);
  const std::string log = Messages();
  const std::vector<std::string> steps = {
      "[DEBUG] @@@@@@@@ Inside writeValueEx Method @@@@@@@@ \n",
      "[DEBUG] writeValueEx: Subkey : Software\\Quillon\\WriterTest \n",
      "[DEBUG] writeValueEx: Value Name: Name \n",
      "[DEBUG] writeValueEx: Value Data: Data \n",
      "[DEBUG] UTF String Received:Name\n",
      "[DEBUG] UTF String Received:Data\n",
      "[DEBUG] writeValueEx:  Data type is REG_SZ or REG_EXPAND_SZ or REG_BINARY: 10\n",
      "[DEBUG] addRegistryKeyEx: Inside addRegistryKey method ...... \n",
      "[DEBUG] addRegistryKeyEx:  Create registry key function successfull: 1 \n",
      "[DEBUG] writeValueEx:  Key found ...!: 0\n",
      "[DEBUG] writeValueEx:  After addRegistryKey method in writeValue method!!\n",
      "[INFO] Message : ",
      "[DEBUG] @@@@@@@@ End Of writeValueEx Method @@@@@@@@ \n",
  };
  std::size_t position = 0;
  for (const std::string& step : steps) {
    const std::size_t found = log.find(step, position);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << step << "\n" << log;
    position = found + step.size();
  }
  EXPECT_THAT(log, Not(HasSubstr("[ERROR]")));
}

TEST_F(WriteValueExTest, CreatesEveryMissingLevelThenReportsTheExistingKey) {
  const char* deep = "Software\\Quillon\\Deep\\One\\Two\\Three";
  ASSERT_FALSE(KeyExists("Software\\Quillon\\Deep"));
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, deep, "n", "1", REG_DWORD), 0);
  EXPECT_TRUE(KeyExists("Software\\Quillon\\Deep"));
  EXPECT_TRUE(KeyExists("Software\\Quillon\\Deep\\One\\Two"));
  EXPECT_EQ(QueryStoredValue(deep, u"n").bytes, Bytes({1, 0, 0, 0}));
  EXPECT_THAT(
      Messages(),
      HasSubstr("[DEBUG] addRegistryKeyEx:  Create registry key function successfull: 1 \n"));
  EXPECT_THAT(Messages(), Not(HasSubstr("Opened already existing key!")));

  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, deep, "n", "2", REG_DWORD), 0);
  EXPECT_THAT(Messages(), HasSubstr("[DEBUG] addRegistryKeyEx:  Opened already existing key! \n"));
  EXPECT_EQ(QueryStoredValue(deep, u"n").bytes, Bytes({2, 0, 0, 0}));
}

TEST_F(WriteValueExTest, DashDashNameAndDataWriteAnEmptyDefaultString) {
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "--", "--", REG_SZ), 0);
  const StoredValue stored = QueryStoredValue(kKey, u"");
  ASSERT_EQ(stored.code, 0);
  EXPECT_EQ(stored.type, REG_SZ);
  EXPECT_EQ(stored.bytes, Bytes({0, 0}));
  EXPECT_EQ(QueryStoredValue(kKey, u"--").code, 2);
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[INFO] writeValueEx : going to add the (default) value .\n"));
  EXPECT_THAT(log, HasSubstr("[INFO] writeValueEx : going to add the value data as 0 value .\n"));
}

TEST_F(WriteValueExTest, NonAsciiNameAndTextArriveAsUtf16) {
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Grüße", "世界 🙂", REG_SZ), 0);
  const StoredValue stored = QueryStoredValue(kKey, u"Grüße");
  ASSERT_EQ(stored.code, 0);
  EXPECT_EQ(stored.bytes, WideBytes(u"世界 🙂"));
}

TEST_F(WriteValueExTest, AbsentNameOrDataIsRefusedWithThirteen) {
  EXPECT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, nullptr, "x", REG_SZ), 13);
  EXPECT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "x", nullptr, REG_SZ), 13);
  EXPECT_FALSE(KeyExists(kKey));
  const std::string log = Messages();
  const std::string line = "[ERROR] writeValueEx : Valuename or Valuedata is Empty \n";
  const std::size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(log.find(line, first + 1), std::string::npos);
}

TEST_F(WriteValueExTest, The64BitViewFlagBypassesTheRedirection) {
  gv_use64BitRegView = true;
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "wide", "7", REG_DWORD), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"wide", KEY_WOW64_64KEY).bytes, Bytes({7, 0, 0, 0}));
  EXPECT_EQ(QueryStoredValue(kKey, u"wide").code, 2);  // not in the redirected view

  gv_use64BitRegView = false;
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "narrow", "8", REG_DWORD), 0);
  EXPECT_EQ(
      QueryStoredValue("SOFTWARE\\WOW6432Node\\Quillon\\WriterTest", u"narrow", KEY_WOW64_64KEY)
          .bytes,
      Bytes({8, 0, 0, 0}));
  EXPECT_EQ(QueryStoredValue(kKey, u"narrow", KEY_WOW64_64KEY).code, 2);
}

TEST_F(WriteValueExTest, AnUnreadableHiveFailsAtKeyCreationAndStaysUntouched) {
  const std::string corrupt = "this is not a hive\n[HKEY_LOCAL_MACHINE\\x\n";
  ASSERT_TRUE(WriteFileBytes(HivePath(), corrupt));
  EXPECT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "n", "1", REG_DWORD), 1009);
  EXPECT_EQ(ReadFileBytes(HivePath()), corrupt);
  const std::string log = Messages();
  const std::size_t creation = log.find(
      "[ERROR] addRegistryKeyEx:  Create registry key \"Software\\Quillon\\WriterTest\" function "
      "failed: 1009 \n");
  const std::size_t text = log.find("[ERROR] Error Code : 1009 , Error Message : ");
  const std::size_t summary =
      log.find("[ERROR] writeValueEx:  WriteValue failure during key creation! 1009 \n");
  ASSERT_NE(creation, std::string::npos) << log;
  ASSERT_NE(text, std::string::npos) << log;
  ASSERT_NE(summary, std::string::npos) << log;
  EXPECT_LT(creation, text);
  EXPECT_LT(text, summary);
}

TEST_F(WriteValueExTest, AFailedWriteLogsFiveLinesAndTheCodesText) {
  ASSERT_EQ(addRegistryKeyEx(HKEY_LOCAL_MACHINE, kKey),
            0);  // the key exists: no commit before the write
  const std::string hive = ReadFileBytes(HivePath());
  {
    SystemCallFault full(Call::kWrite, 1, ENOSPC);
    EXPECT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Grüße", "世界", REG_SZ), 112);
  }
  fh::ResetRegistryStore();
  EXPECT_EQ(ReadFileBytes(HivePath()), hive);
  const std::string log = Messages();
  const std::vector<std::string> lines = {
      "[ERROR] writeValueEx:  Function WriteValue failure!:112\n",
      "[ERROR] writeValueEx:    Subkey: Software\\Quillon\\WriterTest \n",
      "[ERROR] writeValueEx:    Valuename: Grüße \n",
      "[ERROR] writeValueEx:    Valuedata: 世界 \n",
      "[ERROR] writeValueEx:    Datatype: 1 \n",
      "[ERROR] Error Code : 112 , Error Message : ",
  };
  std::size_t position = 0;
  for (const std::string& line : lines) {
    const std::size_t found = log.find(line, position);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << line << "\n" << log;
    position = found + line.size();
  }
  EXPECT_THAT(log, Not(HasSubstr("End Of writeValueEx")));
}

TEST_F(WriteValueExTest, AFailedWriteAfterDashDashLogsTheEmptyName) {
  ASSERT_EQ(addRegistryKeyEx(HKEY_LOCAL_MACHINE, kKey), 0);
  {
    SystemCallFault failedRename(Call::kRename, 1, EIO);
    EXPECT_NE(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "--", "--", REG_DWORD), 0);
  }
  fh::ResetRegistryStore();
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[ERROR] writeValueEx:    Valuename:  \n"));
  EXPECT_THAT(log, HasSubstr("[ERROR] writeValueEx:    Valuedata:  \n"));
  EXPECT_THAT(log, HasSubstr("[ERROR] writeValueEx:    Datatype: 4 \n"));
}

TEST(AddRegistryKeyExTest, ReturnsTheCreationCode) {
  TempDir hive;
  setenv("FH_REGISTRY_DIR", hive.path().c_str(), 1);
  EXPECT_EQ(addRegistryKeyEx(HKEY_LOCAL_MACHINE, "Software\\Quillon\\Made"), 0);
  EXPECT_TRUE(KeyExists("Software\\Quillon\\Made"));
  EXPECT_EQ(addRegistryKeyEx(HKEY_LOCAL_MACHINE, "Software\\Quillon\\Made"), 0);
  ASSERT_TRUE(WriteFileBytes(hive.Sub("HKLM.reg"), "garbage"));
  EXPECT_EQ(addRegistryKeyEx(HKEY_LOCAL_MACHINE, "Software\\Quillon\\Other"), 1009);
  unsetenv("FH_REGISTRY_DIR");
}

// Conversions.

struct DwordCase {
  const char* text;
  DWORD expected;
};

TEST(ParseDecimalDwordTest, ReadsLikeA32BitStrtoul) {
  const std::vector<DwordCase> cases = {
      {"0", 0},
      {"42", 42},
      {"0x10", 0},
      {"--", 0},
      {"", 0},
      {"abc", 0},
      {"   17", 17},
      {"\t\n\v\f\r9", 9},
      {"+5", 5},
      {"-1", 4294967295u},
      {"-4294967295", 1},
      {"-4294967296", 4294967295u},
      {"4294967295", 4294967295u},
      {"4294967296", 4294967295u},
      {"99999999999999999999999999", 4294967295u},
      {"12abc", 12},
      {"1 2", 1},
      {"- 1", 0},
      {"+-1", 0},
      {"007", 7},
  };
  for (const DwordCase& c : cases) {
    EXPECT_EQ(fh::ParseDecimalDword(c.text), c.expected) << "\"" << c.text << "\"";
  }
  EXPECT_EQ(fh::ParseDecimalDword(nullptr), 0u);
}

struct QwordCase {
  const char* text;
  ULONGLONG expected;
};

TEST(ParseDecimalQwordTest, TakesEveryByteAsADigitModulo2To64) {
  const std::vector<QwordCase> cases = {
      {"", 0},
      {"0", 0},
      {"42", 42},
      {"1a", 59},
      {"18446744073709551615", 18446744073709551615ull},
      {"18446744073709551616", 0},
      {"-", static_cast<ULONGLONG>(-3)},      // '-' is 45: 45 - 48
      {" 1", static_cast<ULONGLONG>(-159)},   // ' ' is 32: (32 - 48) * 10 + 1
      {"\xFF", static_cast<ULONGLONG>(-49)},  // a byte above 127 counts as negative
  };
  for (const QwordCase& c : cases) {
    EXPECT_EQ(ParseDecimalQword(c.text), c.expected) << "\"" << c.text << "\"";
  }
  EXPECT_EQ(ParseDecimalQword(nullptr), 0u);
}

struct SeparatorCase {
  std::u16string text;
  std::u16string expected;  // without the two closing zero units
};

TEST(TranslateSeparatorsTest, SplitsAtSeparatorsAndHonoursEscapes) {
  const std::vector<SeparatorCase> cases = {
      {u"", u""},
      {u"a", u"a"},
      {u"a;b", std::u16string(u"a\0b", 3)},
      {u"one;two", std::u16string(u"one\0two", 7)},
      {u"a^;b;c", std::u16string(u"a;b\0c", 5)},
      {u"^^", u"^"},
      {u";", std::u16string(1, u'\0')},
      {u";;", std::u16string(2, u'\0')},
      {u"a^", std::u16string(u"a\0", 2)},
      {u"^", std::u16string(1, u'\0')},
      {u"x^y", u"xy"},
  };
  for (const SeparatorCase& c : cases) {
    DWORD size = 0;
    const std::vector<WCHAR> list = MakeMultiStringData(c.text.c_str(), &size);
    std::u16string expected = c.expected;
    expected.append(2, u'\0');
    EXPECT_EQ(std::u16string(list.begin(), list.end()), expected);
    EXPECT_EQ(size, expected.size() * 2);
  }
}

TEST(TranslateSeparatorsTest, UsesTheGivenUnits) {
  DWORD size = 0;
  const std::vector<WCHAR> list = TranslateSeparators(u"a,b\\,c", u'\\', u',', u'|', &size);
  EXPECT_EQ(std::u16string(list.begin(), list.end()), std::u16string(u"a|b,c\0\0", 7));
  EXPECT_EQ(size, 14u);
}

TEST(ChangeUtf8ToWideStrTest, ConvertsAndSubstitutesIllFormedBytes) {
  std::u16string wide = u"untouched";
  EXPECT_FALSE(ChangeUtf8ToWideStr(nullptr, wide));
  EXPECT_EQ(wide, u"untouched");
  EXPECT_TRUE(ChangeUtf8ToWideStr("Grüße 🙂", wide));
  EXPECT_EQ(wide, u"Grüße 🙂");
  EXPECT_TRUE(ChangeUtf8ToWideStr("a\xC3(b", wide));
  EXPECT_EQ(wide, u"a\uFFFD(b");
  EXPECT_TRUE(ChangeUtf8ToWideStr("", wide));
  EXPECT_EQ(wide, u"");
}

}  // namespace
}  // namespace fhtest
