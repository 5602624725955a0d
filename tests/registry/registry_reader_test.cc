#include "registry/registry_reader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "registry/file_size.h"
#include "registry/registry_test_helpers.h"
#include "registry/registry_writer.h"

namespace fhtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

constexpr char kKey[] = "Software\\Quillon\\ReaderTest";

std::string Dword(DWORD v) { return std::string(reinterpret_cast<const char*>(&v), 4); }

using ReadRegSZTest = RegistryTest;

TEST_F(ReadRegSZTest, ReturnsTheValueInAZeroFilledBufferFiveBytesLonger) {
  ASSERT_EQ(StoreValue(kKey, u"Dir", REG_SZ, WideBytes(u"/opt/agent/")), 0);
  std::optional<std::string> buffer;
  ASSERT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Dir", buffer), 0);
  ASSERT_TRUE(buffer.has_value());
  EXPECT_STREQ(buffer->c_str(), "/opt/agent/");
  // At least the narrow text, its terminator and five spare zeros.
  EXPECT_GE(buffer->size(), std::strlen("/opt/agent/") + 1 + 5);
  EXPECT_EQ(buffer->find_first_not_of('\0', std::strlen("/opt/agent/")), std::string::npos);
}

TEST_F(ReadRegSZTest, TerminatesAStringStoredWithoutTerminator) {
  const std::string unterminated("a\0b\0", 4);  // "ab" without its zero unit
  ASSERT_EQ(StoreValue(kKey, u"Raw", REG_SZ, unterminated), 0);
  std::optional<std::string> buffer;
  ASSERT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Raw", buffer), 0);
  ASSERT_TRUE(buffer.has_value());
  EXPECT_STREQ(buffer->c_str(), "ab");
}

TEST_F(ReadRegSZTest, MissingKeyOrValueGivesTwoAndNoBuffer) {
  std::optional<std::string> buffer = std::string("stale");
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Dir", buffer), 2);
  EXPECT_FALSE(buffer.has_value());
  EXPECT_THAT(Messages(), HasSubstr("[ERROR] ReadRegSZ: Error while opening registry key "
                                    "Software\\Quillon\\ReaderTest ,and the error is  2 \n"));

  ASSERT_EQ(StoreValue(kKey, u"Other", REG_SZ, WideBytes(u"x")), 0);
  buffer = std::string("stale");
  EXPECT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Dir", buffer), 2);
  EXPECT_FALSE(buffer.has_value());
  EXPECT_THAT(Messages(), Not(HasSubstr("Error while reading")));
}

TEST_F(ReadRegSZTest, ReadsAnyTypeAsRawBytes) {
  ASSERT_EQ(StoreValue(kKey, u"Bin", REG_BINARY, std::string("\x01\x02\x03", 3)), 0);
  std::optional<std::string> buffer;
  ASSERT_EQ(ReadRegSZ(HKEY_LOCAL_MACHINE, kKey, "Bin", buffer), 0);
  ASSERT_TRUE(buffer.has_value());
  EXPECT_EQ(*buffer, std::string("\x01\x02\x03\0\0\0\0\0", 8));
}

using ReadDwordRegistryDataTest = RegistryTest;

TEST_F(ReadDwordRegistryDataTest, ReadsAFourByteValue) {
  ASSERT_EQ(StoreValue(kKey, u"Level", REG_DWORD, Dword(260)), 0);
  DWORD value = 0;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "level", &value), 0);
  EXPECT_EQ(value, 260u);
}

TEST_F(ReadDwordRegistryDataTest, MissingKeyOrValueGivesTwoWithADebugLine) {
  DWORD value = 0;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Level", &value), 2);
  ASSERT_EQ(StoreValue(kKey, u"Other", REG_DWORD, Dword(1)), 0);
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Level", &value), 2);
  const std::string log = Messages();
  const std::string line = "[DEBUG] ReadDwordRegistryData:  value  Level Not found: 2 \n";
  const std::size_t first = log.find(line);
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_NE(log.find(line, first + 1), std::string::npos);
  EXPECT_THAT(log, Not(HasSubstr("[ERROR]")));
}

TEST_F(ReadDwordRegistryDataTest, AnEightByteValueFailsWithMoreData) {
  ASSERT_EQ(StoreValue(kKey, u"Big", REG_QWORD, std::string(8, '\x01')), 0);
  DWORD value = 0;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Big", &value), 234);
  EXPECT_THAT(Messages(),
              HasSubstr("[ERROR] ReadDwordRegistryData: Error while reading DWORD value of Big : "
                        "234 \n"));
}

TEST_F(ReadDwordRegistryDataTest, AShorterValueFillsOnlyItsOwnBytes) {
  ASSERT_EQ(StoreValue(kKey, u"Short", REG_BINARY, std::string("\x34\x12", 2)), 0);
  DWORD value = 0xAAAAAAAAu;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Short", &value), 0);
  EXPECT_EQ(value, 0xAAAA1234u);
}

TEST_F(ReadDwordRegistryDataTest, AnUnreadableHiveIsAnOpeningError) {
  ASSERT_TRUE(WriteFileBytes(HivePath(), "not a hive"));
  DWORD value = 0;
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Level", &value), 1009);
  EXPECT_THAT(Messages(),
              HasSubstr("[ERROR] ReadDwordRegistryData: Error while opening registry key "
                        "Software\\Quillon\\ReaderTest,and the errorcode is : 1009 \n"));
  EXPECT_EQ(ReadDwordRegistryData(HKEY_LOCAL_MACHINE, kKey, "Level", nullptr), 87);
}

using AgentSettingsTest = RegistryTest;

TEST_F(AgentSettingsTest, InstallDirComesFromTheDefaultViewOnly) {
  std::optional<std::string> dir;
  EXPECT_EQ(ReadAgentInstallDir(dir), 2);
  EXPECT_FALSE(dir.has_value());

  // Only in the 64-bit view: the agent does not see it.
  ASSERT_EQ(StoreValue(AGENT_REGISTRY_ROOT, u"FHAgentInstallDir", REG_SZ, WideBytes(u"/wrong/"),
                       KEY_WOW64_64KEY),
            0);
  gv_use64BitRegView = true;  // the readers ignore the flag
  EXPECT_EQ(ReadAgentInstallDir(dir), 2);

  ASSERT_EQ(StoreValue(AGENT_REGISTRY_ROOT, u"FHAgentInstallDir", REG_SZ, WideBytes(u"/opt/fh/")),
            0);
  ASSERT_EQ(ReadAgentInstallDir(dir), 0);
  ASSERT_TRUE(dir.has_value());
  EXPECT_STREQ(dir->c_str(), "/opt/fh/");
}

TEST_F(AgentSettingsTest, EventFlagIsOneUnlessReadable) {
  DWORD flag = 77;
  EXPECT_EQ(ReadEventEnabledFlag(&flag), 0);
  EXPECT_EQ(flag, 1u);

  ASSERT_EQ(StoreValue(AGENT_REGISTRY_ROOT, u"FHEventEnabled", REG_DWORD, Dword(0)), 0);
  flag = 77;
  EXPECT_EQ(ReadEventEnabledFlag(&flag), 0);
  EXPECT_EQ(flag, 0u);

  ASSERT_EQ(StoreValue(AGENT_REGISTRY_ROOT, u"FHEventEnabled", REG_QWORD, std::string(8, '\0')), 0);
  flag = 77;
  EXPECT_EQ(ReadEventEnabledFlag(&flag), 0);
  EXPECT_EQ(flag, 1u);
  EXPECT_EQ(ReadEventEnabledFlag(nullptr), 0);
}

using DeleteValueExTest = RegistryTest;

TEST_F(DeleteValueExTest, DeletesTheValueAndKeepsTheKey) {
  ASSERT_EQ(StoreValue(kKey, u"Gone", REG_DWORD, Dword(1)), 0);
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Gone"), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"Gone").code, 2);
  EXPECT_TRUE(KeyExists(kKey));
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[INFO] deleteValueEx: Inside function deleteValue ..... \n"));
  EXPECT_THAT(log, HasSubstr("[INFO] deleteValueEx:  Key found ...!: 0\n"));
  EXPECT_THAT(log, HasSubstr("[INFO] deleteValueEx:  Delete value Gone success! \n"));
}

TEST_F(DeleteValueExTest, AMissingValueGivesTwoAndTheFailureLine) {
  ASSERT_EQ(StoreValue(kKey, u"Other", REG_DWORD, Dword(1)), 0);
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Missing"), 2);
  const std::string log = Messages();
  const std::size_t failure = log.find("[ERROR] deleteValueEx:  Delete value Missing failure! \n");
  ASSERT_NE(failure, std::string::npos) << log;
  EXPECT_NE(log.find("[ERROR]  Error Message: ", failure), std::string::npos) << log;
  EXPECT_EQ(QueryStoredValue(kKey, u"Other").code, 0);
}

TEST_F(DeleteValueExTest, AMissingKeyGivesTwoAndTheKeyLine) {
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Any"), 2);
  const std::string log = Messages();
  const std::size_t line =
      log.find("[ERROR] deleteValueEx:  Software\\Quillon\\ReaderTest Key not found!: 2  \n");
  ASSERT_NE(line, std::string::npos) << log;
  EXPECT_NE(log.find("[ERROR]  Error Message: ", line), std::string::npos);
  EXPECT_FALSE(KeyExists(kKey));
}

TEST_F(DeleteValueExTest, DashDashDeletesTheDefaultValue) {
  ASSERT_EQ(StoreValue(kKey, u"", REG_SZ, WideBytes(u"default")), 0);
  ASSERT_EQ(StoreValue(kKey, u"Named", REG_SZ, WideBytes(u"named")), 0);
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "--"), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"").code, 2);
  EXPECT_EQ(QueryStoredValue(kKey, u"Named").code, 0);
  EXPECT_THAT(Messages(),
              HasSubstr("[INFO] deleteValueEx : going to delete the (default) value. \n"));
}

TEST_F(DeleteValueExTest, TheFlagSelectsThe64BitView) {
  ASSERT_EQ(StoreValue(kKey, u"Both", REG_DWORD, Dword(32)), 0);
  ASSERT_EQ(StoreValue(kKey, u"Both", REG_DWORD, Dword(64), KEY_WOW64_64KEY), 0);

  gv_use64BitRegView = true;
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Both"), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"Both", KEY_WOW64_64KEY).code, 2);
  EXPECT_EQ(QueryStoredValue(kKey, u"Both").bytes, Dword(32));

  gv_use64BitRegView = false;
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Both"), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"Both").code, 2);
}

TEST_F(DeleteValueExTest, TheNameIsNotConverted) {
  // A narrow name reaches the registry as it is: the UTF-8 name written by
  // writeValueEx is found again.
  ASSERT_EQ(writeValueEx(HKEY_LOCAL_MACHINE, kKey, "Grüße", "1", REG_DWORD), 0);
  EXPECT_EQ(deleteValueEx(HKEY_LOCAL_MACHINE, kKey, "Grüße"), 0);
  EXPECT_EQ(QueryStoredValue(kKey, u"Grüße").code, 2);
}

TEST(GetFileSizeByNameTest, ReportsSizeOrFailure) {
  TempDir dir;
  LONGLONG size = 123;
  EXPECT_FALSE(GetFileSizeByName(dir.Sub("missing").c_str(), &size));
  EXPECT_EQ(size, 0);

  ASSERT_TRUE(WriteFileBytes(dir.Sub("empty"), ""));
  size = 123;
  EXPECT_TRUE(GetFileSizeByName(dir.Sub("empty").c_str(), &size));
  EXPECT_EQ(size, 0);

  ASSERT_TRUE(WriteFileBytes(dir.Sub("five"), "12345"));
  EXPECT_TRUE(GetFileSizeByName(dir.Sub("five").c_str(), &size));
  EXPECT_EQ(size, 5);

  size = 123;
  EXPECT_FALSE(GetFileSizeByName(nullptr, &size));
  EXPECT_EQ(size, 123);
  EXPECT_FALSE(GetFileSizeByName(dir.Sub("five").c_str(), nullptr));
}

}  // namespace
}  // namespace fhtest
