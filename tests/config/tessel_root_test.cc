#include "config/tessel_root.h"

#include <gtest/gtest.h>

#include <string>

#include "support/test_log.h"

namespace {

class TesselRootTest : public ::testing::Test {
 protected:
  void SetUp() override { fh::ResetTesselRoot(); }
  void TearDown() override { fh::ResetTesselRoot(); }
};

TEST_F(TesselRootTest, StartsUnsetAndKeepsAnOwnedCopy) {
  EXPECT_EQ(fh::GetTesselRoot(), nullptr);
  EXPECT_FALSE(fh::CopyTesselRoot().has_value());

  std::string callerText = "/opt/fernhall";
  SetTesselRoot(callerText.c_str());
  callerText.assign("/somewhere/else/entirely");  // the caller's buffer changes and moves

  ASSERT_NE(fh::GetTesselRoot(), nullptr);
  EXPECT_STREQ(fh::GetTesselRoot(), "/opt/fernhall");
  EXPECT_EQ(fh::CopyTesselRoot(), std::optional<std::string>("/opt/fernhall"));

  SetTesselRoot("");  // the empty text is a root too
  ASSERT_NE(fh::GetTesselRoot(), nullptr);
  EXPECT_STREQ(fh::GetTesselRoot(), "");

  fh::ResetTesselRoot();
  EXPECT_EQ(fh::GetTesselRoot(), nullptr);
}

TEST_F(TesselRootTest, NullKeepsTheRootAndSaysSo) {
  fhtest::TempDir logDir;
  fhtest::TestLog log(logDir.path());
  ASSERT_TRUE(log.opened());

  SetTesselRoot("/srv/tessel");
  SetTesselRoot(nullptr);
  EXPECT_STREQ(fh::GetTesselRoot(), "/srv/tessel");

  log.Close();
  const std::string messages = log.Messages();
  EXPECT_NE(messages.find("[TRACE] @@@ Inside SetTesselRoot @@@\n"), std::string::npos);
  EXPECT_NE(messages.find("[DEBUG] Default Path Used"), std::string::npos);
}

}  // namespace
