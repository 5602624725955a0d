#include "log/status_texts.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/last_error.h"
#include "platform/system_messages.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using ::testing::StartsWith;

struct CatalogueCase {
  DWORD code;
  const char* text;
};

TEST(GetErrorCodeMessageTest, HoldsTheCatalogueTexts) {
  const std::vector<CatalogueCase> cases = {
      {1508,
       "The requested operation is successful. Changes will not be effective until the browser "
       "is rebooted."},
      {10001, "fh.db.agent.config.script.powerscript_notfound"},
      {10002, "fh.db.agent.config.run_as_admin.credentials_not_available"},
      {10003, "fh.db.agent.config.returned_zero_failure"},
      {17021, "OfficeUpdateError: Creating temp folder."},
      {17023, "OfficeUpdateError: User cancelled installation."},
      {17024, "OfficeUpdateError: Creating folder failed."},
      {17025, "OfficeUpdateError: Patch already installed."},
      {17026, "OfficeUpdateError: Patch already installed to admin installation."},
      {17027, "OfficeUpdateError: Installation source requires full file update."},
      {17028, "OfficeUpdateError: No product installed for contained patch."},
      {17029, "OfficeUpdateError: Patch failed to install."},
      {17030, "OfficeUpdateError: Invalid CIF format."},
      {17031, "OfficeUpdateError: Invalid baseline."},
      {17034, "OfficeUpdateError: Required patch does not apply to the machine."},
      {17038,
       "OfficeUpdateError: You do not have sufficient privileges to complete this installation "
       "for all users of the machine. Log on as administrator and then retry this installation."},
      {17044, "OfficeUpdateError: Installer was unable to run detection for this package."},
      {17048, "OfficeUpdateError : This installation requires Windows Installer 3.1 or greater."},
      {17301, "OfficeUpdateError: General Detection error"},
      {17302, "OfficeUpdateError: Applying patch."},
      {17303, "OfficeUpdateError: Extracting file."},
      {20001, "Patch update delayed since application is used by another process"},
      {2359302,
       "Patch already Installed and the changes will not be effective until the system is "
       "rebooted."},
      {2359303,
       "Patch already Uninstalled and the changes will not be effective until the system is "
       "rebooted."},
      // Everything else gets the generated text, as a signed decimal.
      {17022, "Unknown Error. Code : 17022"},
      {17049, "Unknown Error. Code : 17049"},
      {0, "Unknown Error. Code : 0"},
      {2147483647u, "Unknown Error. Code : 2147483647"},
      {2147483648u, "Unknown Error. Code : -2147483648"},
      {0x80070005u, "Unknown Error. Code : -2147024891"},
      {0xFFFFFFFFu, "Unknown Error. Code : -1"},
  };
  for (const CatalogueCase& c : cases) EXPECT_EQ(GetErrorCodeMessage(c.code), c.text) << c.code;
}

class StatusTextLogTest : public ::testing::Test {
 protected:
  std::string Messages() const { return log_.Messages(); }
  TempDir dir_;
  TestLog log_{dir_.path()};
};

TEST_F(StatusTextLogTest, SystemTextWinsAndComesOnOneLine) {
  const std::string text = GetErrorMessageText(5);
  EXPECT_FALSE(text.empty());
  EXPECT_THAT(text, Not(StartsWith("Unknown Error")));
  EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos);
  const std::string line = "[ERROR] Error Code : 5 , Error Message : " + text + " \n";
  EXPECT_THAT(Messages(), HasSubstr(line));
}

TEST_F(StatusTextLogTest, CodeZeroIsLoggedAtInfoLevel) {
  const std::string text = GetErrorMessageText(0);
  EXPECT_FALSE(text.empty());
  EXPECT_THAT(Messages(), HasSubstr("[INFO] Message : " + text + " \n"));
  EXPECT_THAT(Messages(), Not(HasSubstr("[ERROR]")));
}

TEST_F(StatusTextLogTest, CataloguedAndUnknownCodesFallBack) {
  EXPECT_EQ(GetErrorMessageText(17025), "OfficeUpdateError: Patch already installed.");
  EXPECT_EQ(GetErrorMessageText(17022), "Unknown Error. Code : 17022");
  LogErrorCodeMessage(0x80001234u);
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[ERROR] Error Code : 17025 , Error Message : OfficeUpdateError: "
                             "Patch already installed. \n"));
  EXPECT_THAT(
      log,
      HasSubstr("[ERROR] Error Code : 17022 , Error Message : Unknown Error. Code : 17022 \n"));
  EXPECT_THAT(log, HasSubstr("[ERROR] Error Code : -2147478988 , Error Message : Unknown Error. "
                             "Code : -2147478988 \n"));
}

TEST_F(StatusTextLogTest, NarrowLookupTrimsAndReturnsZero) {
  EXPECT_EQ(LogErrorCodeMessageA(17025), 0);
  EXPECT_EQ(LogErrorCodeMessageA(2), 0);
  const std::string log = Messages();
  EXPECT_THAT(log, HasSubstr("[ERROR] Error Code : 17025 , Error Message : OfficeUpdateError: "
                             "Patch already installed. \n"));
  const std::string wideText = GetErrorMessageText(2);
  const std::string trimmed = wideText.substr(0, wideText.find_last_not_of(' ') + 1);
  EXPECT_THAT(Messages(), HasSubstr("[ERROR] Error Code : 2 , Error Message : " + trimmed + " \n"));
}

TEST_F(StatusTextLogTest, LastErrorTextUsesTheThreadsCode) {
  SetLastError(17022);  // no system text
  LogLastErrorText();
  EXPECT_THAT(Messages(), HasSubstr("[ERROR]  Error Message: (null)\n"));
  SetLastError(2);
  LogLastErrorText();
  std::string systemText;
  for (const fh::SystemMessage& message : fh::SystemMessageTable()) {
    if (message.code == 2) systemText = message.text;
  }
  ASSERT_FALSE(systemText.empty());
  // The last-error text comes as the system stores it, line end included.
  EXPECT_THAT(Messages(), HasSubstr("[ERROR]  Error Message: " + systemText + "\n"));
}

TEST_F(StatusTextLogTest, WideToUtf8) {
  std::string utf8 = "stale";
  EXPECT_TRUE(ChangeWideToUtf8Str(u"Grüße, 世界 🙂", utf8));
  EXPECT_EQ(utf8, "Grüße, 世界 🙂");
  const char16_t loneSurrogate[] = {u'a', 0xD800, u'b', 0};
  EXPECT_TRUE(ChangeWideToUtf8Str(loneSurrogate, utf8));
  EXPECT_EQ(utf8,
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_TRUE(ChangeWideToUtf8Str(u"", utf8));
  EXPECT_EQ(utf8, "");
  EXPECT_FALSE(ChangeWideToUtf8Str(nullptr, utf8));
  EXPECT_EQ(utf8, "");
  EXPECT_THAT(Messages(), HasSubstr("[ERROR]  Error Message: "));
}

}  // namespace
}  // namespace fhtest
