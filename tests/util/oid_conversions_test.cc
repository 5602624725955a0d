#include "util/oid_conversions.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "log/log_file.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace {

using Oid = std::vector<std::uint32_t>;

constexpr std::uint32_t kSentinel = 0xDEADBEEF;

using LogCapture = fhtest::TestLog;

TEST(OidTextTest, ConvertToStringFromOIDUsesByteLength) {
  struct Case {
    Oid oid;
    std::size_t byteLength;
    std::string text;
  };
  const Case cases[] = {
      {{1, 3, 6, 1}, 16, ".1.3.6.1"},
      {{1, 3, 6, 1}, 15, ".1.3.6"},  // a partial sub-identifier is ignored
      {{1, 3, 6, 1}, 0, ""},
      {{0, 4294967295u}, 8, ".0.4294967295"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::size_t length = c.byteLength;
    EXPECT_EQ(ConvertToStringFromOID(c.oid.data(), length), c.text);
    EXPECT_EQ(length, c.text.size());
  }
  std::size_t length = 8;
  EXPECT_EQ(ConvertToStringFromOID(nullptr, length), std::nullopt);
  EXPECT_EQ(length, 0u);
}

TEST(OidTextTest, ConvertToStringFromOidRespectsCapacity) {
  const Oid oid = {1, 3, 6, 1, 4};
  char out[16];
  ASSERT_TRUE(ConvertToStringFromOid(oid.data(), oid.size(), out, 11));  // ".1.3.6.1.4" + NUL
  EXPECT_STREQ(out, ".1.3.6.1.4");

  std::string buffer(16, 'x');
  EXPECT_FALSE(ConvertToStringFromOid(oid.data(), oid.size(), buffer.data(), 10));
  EXPECT_EQ(buffer, std::string(1, '\0') + std::string(15, 'x'));
  EXPECT_FALSE(ConvertToStringFromOid(oid.data(), oid.size(), nullptr, 16));
}

TEST(OidTextTest, ConvertToIpAddressFromOidTakesARange) {
  const Oid oid = {1, 3, 6, 10, 0, 0, 1, 9};
  struct Case {
    std::size_t from, to, capacity;
    bool ok;
    std::string text;
  };
  const Case cases[] = {
      {3, 7, 16, true, "10.0.0.1"},
      {3, 7, 9, true, "10.0.0.1"},
      {3, 7, 8, false, ""},
      {7, 8, 16, true, "9"},
      {4, 4, 16, true, ""},
      {5, 4, 16, false, ""},
      {0, 8, 32, true, "1.3.6.10.0.0.1.9"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.from) + ".." + std::to_string(c.to));
    std::string out(32, 'x');
    EXPECT_EQ(ConvertToIpAddressFromOid(out.data(), c.capacity, oid.data(), c.from, c.to), c.ok);
    EXPECT_EQ(std::string(out.c_str()), c.text);
    EXPECT_EQ(out.substr(c.capacity), std::string(32 - c.capacity, 'x'));
  }
}

TEST(ConvertToOidOrIpFromStringTest, ParsesAndRefuses) {
  struct Case {
    const char* text;
    bool isIp;
    std::size_t capacity;
    int result;
    Oid oid;  // expected content of the first parts (unchanged sentinels when nothing is written)
  };
  const Case cases[] = {
      {".1.3.6.1", false, 8, 4, {1, 3, 6, 1}},
      {".1.3.6.1", false, 4, 4, {1, 3, 6, 1}},
      {".1.3.6.1", false, 3, -1, {kSentinel, kSentinel, kSentinel}},  // does not fit
      {"10.0.0.1", true, 4, 4, {10, 0, 0, 1}},
      {"10.0.0.1", true, 3, -1, {kSentinel, kSentinel, kSentinel}},
      {"1.2", true, 4, 2, {1, 2}},
      {".0.00", false, 4, 2, {0, 0}},
      {".4294967295", false, 4, 1, {4294967295u}},
      {".4294967296", false, 4, -1, {kSentinel}},  // beyond 32 bits
      {"1.3.6", false, 4, 0, {kSentinel}},         // OID without its leading point
      {"136", false, 4, -1, {kSentinel}},          // no point
      {"10", true, 4, -1, {kSentinel}},
      {"", true, 4, -1, {kSentinel}},
      {".", false, 4, -1, {kSentinel}},  // empty part
      {".1..3", false, 4, -1, {kSentinel}},
      {".1.3.", false, 4, -1, {kSentinel}},
      {"1.2.3.", true, 4, -1, {kSentinel}},
      {".1.x.3", false, 4, -1, {kSentinel}},
      {".1.-3", false, 4, -1, {kSentinel}},
      {".1.+3", false, 4, -1, {kSentinel}},
      {".1. 3", false, 4, -1, {kSentinel}},
      {"10.00x.0.1", true, 4, -1, {kSentinel}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.text) + (c.isIp ? " as IP" : " as OID"));
    Oid out(9, kSentinel);
    EXPECT_EQ(ConvertToOidOrIpFromString(out.data(), c.capacity, c.text, c.isIp), c.result);
    EXPECT_EQ(Oid(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(c.oid.size())), c.oid);
    EXPECT_EQ(out[c.capacity], kSentinel);
  }
  Oid out(4, kSentinel);
  EXPECT_EQ(ConvertToOidOrIpFromString(out.data(), 4, nullptr, false), -1);
  EXPECT_EQ(ConvertToOidOrIpFromString(nullptr, 4, ".1.3", false), -1);
}

TEST(ConvertToOidOrIpFromStringTest, LogsAMissingPoint) {
  LogCapture log;
  std::uint32_t oid[4];
  ConvertToOidOrIpFromString(oid, 4, "136", false);
  ConvertToOidOrIpFromString(oid, 4, "10", true);
  const std::string text = log.Text();
  EXPECT_NE(text.find("[ERROR] Incorrect format of OID\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[ERROR] Incorrect format of IpAddress\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[TRACE] \n\t@@@@@ Inside ConvertToOidOrIpFromString() @@@@@\n"),
            std::string::npos)
      << text;
}

TEST(IsValidIPAddressTest, AcceptsOnlyFourPartsUpTo255) {
  struct Case {
    std::string text;
    bool valid;
  };
  const Case cases[] = {
      {"10.0.0.1", true},
      {"0.0.0.0", true},
      {"255.255.255.255", true},
      {"000.0.0.001", true},
      {"1.1.1.0000000000000000000255", true},
      {"10.00x.0.1", false},
      {"256.1.1.1", false},
      {"1..1.1", false},
      {".1.1.1", false},
      {"1.1.1.1.", false},
      {".1.1.1.", false},
      {"1.1.1", false},
      {"1.1.1.1.1", false},
      {"1.1.1.99999999999", false},
      {"1.1.1.4294967297", false},  // would wrap to 1 in 32 bits
      {"1.1.1.-1", false},
      {"1.1.1. 1", false},
      {"1.1.1.1 ", false},
      {"", false},
      {"...", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsValidIPAddress(c.text.c_str(), c.text.size()), c.valid);
  }
  EXPECT_TRUE(IsValidIPAddress("10.0.0.1junk", 8));  // only the first n characters
  EXPECT_FALSE(IsValidIPAddress("10.0.0.1junk", 12));
  EXPECT_TRUE(IsValidIPAddress("10.0.0.1", 1000));  // stops at the NUL
  EXPECT_FALSE(IsValidIPAddress(nullptr, 8));
}

TEST(IsValidOidTest, NeedsALeadingPointAndTwoPoints) {
  struct Case {
    std::string text;
    std::size_t n;
    bool valid;
  };
  const Case cases[] = {{".1.3", 4, true},   {".1.3.6.1", 8, true}, {".1", 2, false},
                        {"1.3.6", 5, false}, {"", 0, false},        {".1.3", 2, false},
                        {"..", 2, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IsValidOid(c.text.c_str(), c.n), c.valid);
  }
}

TEST(CompareOidTest, LexicographicBySubIdentifier) {
  struct Case {
    Oid a, b;
    int result;
  };
  const Case cases[] = {
      {{1, 3}, {1, 3, 6}, -1}, {{1, 3, 6}, {1, 3}, 1},  {{1, 3, 6}, {1, 3, 6}, 0},
      {{1, 4}, {1, 3, 6}, 1},  {{2}, {10}, -1},         {{}, {}, 0},
      {{}, {0}, -1},           {{4294967295u}, {0}, 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(CompareOid(c.a.data(), c.a.size(), c.b.data(), c.b.size()), c.result)
        << testing::PrintToString(c.a) << " vs " << testing::PrintToString(c.b);
  }
}

TEST(OidCopyTest, CopyOidAndSetNOidStayInsideTheDestination) {
  const Oid source = {7, 8, 9};
  Oid destination(5, kSentinel);
  EXPECT_TRUE(CopyOid(destination.data(), 3, source.data(), 3));
  EXPECT_EQ(destination, (Oid{7, 8, 9, kSentinel, kSentinel}));
  EXPECT_FALSE(CopyOid(destination.data(), 2, source.data(), 3));

  destination.assign(5, kSentinel);
  EXPECT_TRUE(SetNOid(destination.data(), 5, source.data(), 2, 3));
  EXPECT_EQ(destination, (Oid{kSentinel, kSentinel, 7, 8, 9}));
  destination.assign(5, kSentinel);
  EXPECT_FALSE(SetNOid(destination.data(), 5, source.data(), 3, 3));
  EXPECT_FALSE(SetNOid(destination.data(), 5, source.data(), 6, 0));
  EXPECT_FALSE(SetNOid(destination.data(), 5, source.data(), SIZE_MAX, 2));  // no wrap-around
  EXPECT_EQ(destination, Oid(5, kSentinel));
  EXPECT_TRUE(SetNOid(destination.data(), 5, source.data(), 5, 0));
}

TEST(OidCopyTest, ReallocateAndSetOIDReplacesTheContent) {
  Oid target = {1, 2, 3, 4, 5};
  const Oid source = {9, 8};
  EXPECT_EQ(ReallocateAndSetOID(target, source.data(), source.size()), 1);
  EXPECT_EQ(target, source);
  EXPECT_EQ(ReallocateAndSetOID(target, nullptr, 0), 1);
  EXPECT_TRUE(target.empty());
  target = source;
  EXPECT_EQ(ReallocateAndSetOID(target, nullptr, 3), 0);
  EXPECT_EQ(target, source);
}

TEST(OidScanTest, GetOidLengthAndGetNextSubId) {
  EXPECT_EQ(GetOidLength(".1.3.6", 6), 3);
  EXPECT_EQ(GetOidLength(".1.3.6", 3), 2);
  EXPECT_EQ(GetOidLength(".1.3.6", 0), 0);
  EXPECT_EQ(GetOidLength(".1.3.6", 100), 3);  // stops at the NUL
  EXPECT_EQ(GetOidLength(nullptr, 5), 0);

  const Oid oid = {1, 3, 5, 7};
  struct Case {
    std::uint32_t value, next;
  };
  const Case cases[] = {{0, 1}, {3, 5}, {4, 5}, {6, 7}, {7, 0}, {4294967295u, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(GetNextSubId(c.value, oid.data(), oid.size()), c.next) << c.value;
  }
  EXPECT_EQ(GetNextSubId(0, nullptr, 3), 0u);
}

TEST(OidBytesTest, CopyStringWidensSignedOrUnsigned) {
  const char text[] = "A\xff\x80z";
  Oid out(5, kSentinel);
  ASSERT_TRUE(CopyStringToOid(out.data(), 4, text, 4));
  EXPECT_EQ(out, (Oid{65, 0xFFFFFFFFu, 0xFFFFFF80u, 'z', kSentinel}));
  out.assign(5, kSentinel);
  ASSERT_TRUE(CopyStringToOID(out.data(), 4, text, 4));
  EXPECT_EQ(out, (Oid{65, 255, 128, 'z', kSentinel}));
  out.assign(5, kSentinel);
  EXPECT_FALSE(CopyStringToOid(out.data(), 3, text, 4));
  EXPECT_FALSE(CopyStringToOID(out.data(), 3, text, 4));
  EXPECT_EQ(out, Oid(5, kSentinel));
}

TEST(OidBytesTest, ConvertToCharArrayReducesModulo255) {
  const Oid oid = {99, 65, 320, 255, 510, 256, 4294967295u};
  std::string out(10, 'x');
  ASSERT_TRUE(ConvertToCharArray(out.data(), 7, oid.data(), 1, 6));
  // 4294967295 = 255 * 16843009, so it reduces to 0 as well.
  EXPECT_EQ(out, std::string("AA\0\0\x01\0\0xxx", 10));
  out.assign(10, 'x');
  EXPECT_FALSE(ConvertToCharArray(out.data(), 6, oid.data(), 1, 6));  // no room for the NUL
  EXPECT_EQ(out, std::string(10, 'x'));
  EXPECT_TRUE(ConvertToCharArray(out.data(), 1, oid.data(), 0, 0));
  EXPECT_EQ(out[0], '\0');
}

TEST(OidLoggingTest, PrintOidAndPrintStreamWriteDebugLines) {
  LogCapture log;
  const Oid oid = {1, 3, 4294967295u};
  PrintOid(oid.data(), oid.size());
  const std::uint8_t bytes[] = {0x0a, 0xff};
  PrintStream(bytes, 2, "<%02x>");
  PrintStream(bytes, 2, "%s");  // refused: would read a text from a byte
  PrintStream(bytes, 2, "%d %d");
  PrintStream(bytes, 2, "%1000d");  // width beyond three digits
  PrintStream(bytes, 2, "%ld");
  const std::string positional = "%1$d";  // not a literal: the compiler would object
  PrintStream(bytes, 2, positional.c_str());
  PrintStream(bytes, 1, "%%[%-3hhu]");
  const std::string text = log.Text();
  EXPECT_NE(text.find("[DEBUG] 1\t"), std::string::npos) << text;
  EXPECT_NE(text.find("[DEBUG] 4294967295\t"), std::string::npos) << text;
  EXPECT_NE(text.find("[DEBUG] <0a>"), std::string::npos) << text;
  EXPECT_NE(text.find("[DEBUG] <ff>"), std::string::npos) << text;
  std::size_t refusals = 0;
  for (std::size_t at = text.find("[ERROR] PrintStream"); at != std::string::npos;
       at = text.find("[ERROR] PrintStream", at + 1)) {
    ++refusals;
  }
  EXPECT_EQ(refusals, 5u) << text;
  EXPECT_NE(text.find("[DEBUG] %[10 ]"), std::string::npos) << text;
}

}  // namespace
