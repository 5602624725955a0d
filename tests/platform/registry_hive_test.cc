#include "platform/registry_hive.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using fh::ParseHive;
using fh::RegistryHive;
using fh::RegistryKey;
using fh::RegistryValue;
using fh::SerializeHive;

constexpr const char* kRoot = "HKEY_LOCAL_MACHINE";

std::string Utf16Bytes(const std::u16string& text) {
  std::string bytes;
  for (char16_t unit : text) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  }
  return bytes;
}

// The bytes a string value has when written with its terminator.
std::string Sz(const std::u16string& text) { return Utf16Bytes(text) + std::string(2, '\0'); }

struct ValueCase {
  const char* label;
  DWORD type;
  std::string data;
  const char* expectedLine;  // the line written for a value named "v"
};

const std::vector<ValueCase>& ValueCases() {
  static const std::vector<ValueCase> cases = {
      {"string", REG_SZ, Sz(u"abc"), "\"v\"=\"abc\""},
      {"empty string", REG_SZ, Sz(u""), "\"v\"=\"\""},
      {"escapes", REG_SZ, Sz(u"a\\b\"c\nd\re"), "\"v\"=\"a\\\\b\\\"c\\nd\\re\""},
      {"non-ASCII and non-BMP", REG_SZ, Sz(u"\u00E4\u20AC\U0001F600"),
       "\"v\"=\"\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80\""},
      {"string without terminator", REG_SZ, Utf16Bytes(u"ab"), "\"v\"=hex(1):61,00,62,00"},
      {"string of odd size", REG_SZ, Sz(u"a") + "x", "\"v\"=hex(1):61,00,00,00,78"},
      {"string with two terminators", REG_SZ, Sz(u"a") + std::string(2, '\0'),
       "\"v\"=hex(1):61,00,00,00,00,00"},
      {"string with embedded zero", REG_SZ, Sz(std::u16string(u"a\0b", 3)),
       "\"v\"=hex(1):61,00,00,00,62,00,00,00"},
      {"string with unpaired surrogate", REG_SZ, Sz(std::u16string{0xD800, u'a'}),
       "\"v\"=hex(1):00,d8,61,00,00,00"},
      {"string of no bytes", REG_SZ, "", "\"v\"=hex(1):"},
      {"expandable string", REG_EXPAND_SZ, Sz(u"%P%"), "\"v\"=hex(2):25,00,50,00,25,00,00,00"},
      {"multi string", REG_MULTI_SZ, Utf16Bytes(std::u16string(u"a\0b\0\0", 5)),
       "\"v\"=hex(7):61,00,00,00,62,00,00,00,00,00"},
      {"binary", REG_BINARY, std::string("AB\0", 3), "\"v\"=hex:41,42,00"},
      {"empty binary", REG_BINARY, "", "\"v\"=hex:"},
      {"dword", REG_DWORD, std::string("\x2a\x00\x00\x00", 4), "\"v\"=dword:0000002a"},
      {"dword high bits", REG_DWORD, "\xff\xfe\xfd\xfc", "\"v\"=dword:fcfdfeff"},
      {"dword of three bytes", REG_DWORD, "\x01\x02\x03", "\"v\"=hex(4):01,02,03"},
      {"dword of eight bytes", REG_DWORD, std::string(8, '\x01'),
       "\"v\"=hex(4):01,01,01,01,01,01,01,01"},
      {"qword", REG_QWORD, std::string("\x2a\0\0\0\0\0\0\0", 8),
       "\"v\"=hex(b):2a,00,00,00,00,00,00,00"},
      {"none", REG_NONE, "\x01", "\"v\"=hex(0):01"},
      {"unknown type", 0x12345678, "\xff", "\"v\"=hex(12345678):ff"},
      {"largest type", 0xFFFFFFFF, "", "\"v\"=hex(ffffffff):"},
  };
  return cases;
}

TEST(RegistryHiveTextTest, EveryValueRoundTripsByteForByte) {
  for (const ValueCase& c : ValueCases()) {
    SCOPED_TRACE(c.label);
    RegistryHive hive(kRoot);
    bool created = false;
    hive.CreateKey("K", &created).SetValue("v", c.type, c.data);
    std::string text = SerializeHive(hive);
    EXPECT_EQ(text,
              std::string("Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n") +
                  c.expectedLine + "\n\n");
    fh::HiveParseError error;
    std::optional<RegistryHive> parsed = ParseHive(text, kRoot, &error);
    ASSERT_TRUE(parsed) << error.line << ": " << error.message;
    const RegistryKey* key = parsed->FindKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values().size(), 1u);
    EXPECT_EQ(key->values()[0].type, c.type);
    EXPECT_EQ(key->values()[0].data, c.data);
    EXPECT_EQ(SerializeHive(*parsed), text);
  }
}

TEST(RegistryHiveTextTest, WritesSectionsInCreationOrderWithEscapedNames) {
  RegistryHive hive(kRoot);
  bool created = false;
  hive.CreateKey("SOFTWARE\\WOW6432Node\\Quillon", &created);
  EXPECT_TRUE(created);
  RegistryKey& key = hive.CreateKey("Software\\Empty", &created);
  EXPECT_EQ(key.path(), "SOFTWARE\\Empty");  // the existing level keeps its case
  RegistryKey& agent = hive.CreateKey("SOFTWARE\\WOW6432Node\\Quillon", &created);
  EXPECT_FALSE(created);
  agent.SetValue("", REG_SZ, Sz(u"default"));
  agent.SetValue("quote\"back\\slash", REG_DWORD, std::string("\x01\0\0\0", 4));
  EXPECT_EQ(SerializeHive(hive),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\Quillon]\n"
            "@=\"default\"\n"
            "\"quote\\\"back\\\\slash\"=dword:00000001\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n"
            "\n");
  EXPECT_EQ(SerializeHive(RegistryHive(kRoot)), "Windows Registry Editor Version 5.00\n\n");
}

TEST(RegistryHiveTextTest, RootKeyValuesGetTheirOwnSection) {
  RegistryHive hive(kRoot);
  bool created = false;
  hive.CreateKey("", &created).SetValue("r", REG_BINARY, "\x07");
  EXPECT_FALSE(created);
  std::string text = SerializeHive(hive);
  EXPECT_EQ(text, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE]\n\"r\"=hex:07\n\n");
  std::optional<RegistryHive> parsed = ParseHive(text, kRoot);
  ASSERT_TRUE(parsed);
  ASSERT_NE(parsed->FindKey("")->FindValue("R"), nullptr);
}

TEST(RegistryHiveTextTest, ReadsTolerableVariants) {
  struct Case {
    const char* label;
    std::string text;
  } cases[] = {
      {"CRLF line ends",
       "Windows Registry Editor Version "
       "5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\K]\r\n\"v\"=hex:01,02\r\n"},
      {"byte-order mark",
       "\xEF\xBB\xBFWindows Registry Editor Version "
       "5.00\n\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,02\n"},
      {"continued byte list",
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,\\\n  02\n"},
      {"upper-case digits and root",
       "Windows Registry Editor Version 5.00\n\n[hkey_local_machine\\K]\n\"v\"=HEX(3):01,02\n"},
      {"no final line end",
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:01,02"},
      {"section repeated",
       "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n\"v\"=hex:09\n\n\n"
       "[HKEY_LOCAL_MACHINE\\k]\n\"V\"=hex:01,02\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fh::HiveParseError error;
    std::optional<RegistryHive> hive = ParseHive(c.text, kRoot, &error);
    ASSERT_TRUE(hive) << error.line << ": " << error.message;
    const RegistryKey* key = hive->FindKey("K");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values().size(), 1u);
    EXPECT_EQ(key->values()[0].type, REG_BINARY);
    EXPECT_EQ(key->values()[0].data, "\x01\x02");
  }
  std::optional<RegistryHive> empty = ParseHive("", kRoot);
  ASSERT_TRUE(empty);
  EXPECT_EQ(empty->keys().size(), 1u);
}

TEST(RegistryHiveTextTest, RejectsMalformedText) {
  const std::string header = "Windows Registry Editor Version 5.00\n\n";
  const std::string section = header + "[HKEY_LOCAL_MACHINE\\K]\n";
  struct Case {
    const char* label;
    std::string text;
    std::size_t line;
  } cases[] = {
      {"no header", "[HKEY_LOCAL_MACHINE\\K]\n", 1},
      {"other header", "REGEDIT4\n\n", 1},
      {"value before any section", header + "\"v\"=hex:01\n", 3},
      {"other root", header + "[HKEY_CURRENT_USER\\K]\n", 3},
      {"root name prefix only", header + "[HKEY_LOCAL_MACHINEX\\K]\n", 3},
      {"unclosed section", header + "[HKEY_LOCAL_MACHINE\\K\n", 3},
      {"stray line", section + "garbage\n", 4},
      {"unknown escape", section + "\"v\"=\"a\\tb\"\n", 4},
      {"unterminated name", section + "\"v=hex:01\n", 4},
      {"unterminated text", section + "\"v\"=\"abc\n", 4},
      {"missing equals", section + "\"v\" hex:01\n", 4},
      {"unknown data form", section + "\"v\"=qword:1\n", 4},
      {"dword too long", section + "\"v\"=dword:000000001\n", 4},
      {"dword not hex", section + "\"v\"=dword:xyz\n", 4},
      {"odd hex digit", section + "\"v\"=hex:1\n", 4},
      {"bad byte", section + "\"v\"=hex:0g\n", 4},
      {"trailing comma", section + "\"v\"=hex:01,\n", 4},
      {"unclosed type", section + "\"v\"=hex(2:01\n", 4},
      {"type too long", section + "\"v\"=hex(123456789):01\n", 4},
      {"text after value", section + "\"v\"=hex:01 x\n", 4},
      {"ill-formed UTF-8 in name", section + "\"\xC3\"=hex:01\n", 4},
      {"ill-formed UTF-8 in text", section + "\"v\"=\"\xED\xA0\x80\"\n", 4},
      {"deletion entry", section + "\"v\"=-\n", 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fh::HiveParseError error;
    EXPECT_FALSE(ParseHive(c.text, kRoot, &error));
    EXPECT_EQ(error.line, c.line) << error.message;
  }
}

TEST(RegistryHiveModelTest, NamesAreCaseInsensitiveAndCasePreserving) {
  RegistryHive hive(kRoot);
  bool created = false;
  hive.CreateKey("Software\\\xC3\x84pfel", &created);         // "Äpfel"
  RegistryKey* key = hive.FindKey("SOFTWARE\\\xC3\xA4PFEL");  // "äPFEL"
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->path(), "Software\\\xC3\x84pfel");
  EXPECT_EQ(hive.FindKey("Software\\Apfel"), nullptr);

  EXPECT_TRUE(key->SetValue("MyValue", REG_BINARY, "1"));
  EXPECT_FALSE(key->SetValue("MYVALUE", REG_BINARY, "1"));  // nothing changes
  EXPECT_TRUE(key->SetValue("myvalue", REG_DWORD, "2222"));
  ASSERT_EQ(key->values().size(), 1u);
  EXPECT_EQ(key->values()[0].name, "MyValue");
  EXPECT_EQ(key->FindValue("MYVALUE")->type, REG_DWORD);
  EXPECT_FALSE(key->DeleteValue("other"));
  EXPECT_TRUE(key->DeleteValue("MYVALUE"));
  EXPECT_EQ(key->FindValue("MyValue"), nullptr);
}

TEST(RegistryHiveModelTest, IndexedKeysStayConsistentThroughChanges) {
  RegistryHive hive(kRoot);
  bool created = false;
  RegistryKey& key = hive.CreateKey("Big", &created);
  for (int i = 0; i < 300; ++i)
    key.SetValue("Value" + std::to_string(i), REG_BINARY, std::to_string(i));
  for (int i = 0; i < 300; i += 3) EXPECT_TRUE(key.DeleteValue("VALUE" + std::to_string(i)));
  for (int i = 0; i < 300; ++i) {
    const RegistryValue* value = key.FindValue("vAlUe" + std::to_string(i));
    if (i % 3 == 0) {
      EXPECT_EQ(value, nullptr) << i;
    } else {
      ASSERT_NE(value, nullptr) << i;
      EXPECT_EQ(value->data, std::to_string(i));
    }
  }
  std::optional<RegistryHive> parsed = ParseHive(SerializeHive(hive), kRoot);
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->FindKey("BIG")->values().size(), key.values().size());
  EXPECT_EQ(parsed->FindKey("big")->FindValue("VALUE298")->data, "298");

  for (int i = 0; i < 500; ++i) hive.CreateKey("Many\\K" + std::to_string(i), &created);
  EXPECT_NE(hive.FindKey("MANY\\k499"), nullptr);
  EXPECT_EQ(hive.keys().size(), 1u + 1u + 1u + 500u);  // root, Big, Many, children
}

TEST(RegistryHiveModelTest, CanonicalKeyPaths) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"", ""},
      {"\\", ""},
      {"A", "A"},
      {"A\\B", "A\\B"},
      {"\\A\\\\B\\", "A\\B"},
      {"A\\\\\\B\\C\\\\", "A\\B\\C"},
      {"a/b", "a/b"},
  };
  for (const Case& c : cases) EXPECT_EQ(fh::CanonicalKeyPath(c.in), c.out) << c.in;
}

}  // namespace
