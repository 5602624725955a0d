#include "platform/registry.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/last_error.h"
#include "platform/registry_store.h"
#include "support/system_call_faults.h"
#include "support/test_support.h"

namespace {

constexpr const char* kEmptyHive = "Windows Registry Editor Version 5.00\n\n";

HKEY CreateKey(HKEY parent, const char* path, REGSAM sam = KEY_ALL_ACCESS,
               DWORD* disposition = nullptr) {
  HKEY key = nullptr;
  EXPECT_EQ(RegCreateKeyExA(parent, path, 0, nullptr, 0, sam, nullptr, &key, disposition), 0)
      << (path != nullptr ? path : "(null)");
  return key;
}

LONG OpenKey(HKEY parent, const char* path, REGSAM sam, HKEY* key) {
  return RegOpenKeyExA(parent, path, 0, sam, key);
}

LONG SetBytes(HKEY key, const char16_t* name, DWORD type, const std::string& bytes) {
  return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                        static_cast<DWORD>(bytes.size()));
}

LONG SetString(HKEY key, const char16_t* name, const std::u16string& text) {
  return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(char16_t)));
}

LONG SetDword(HKEY key, const char16_t* name, DWORD number) {
  return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), 4);
}

// The value's bytes as the narrow query returns them; nullopt on failure.
std::optional<std::string> QueryNarrow(HKEY key, const char* name, DWORD* type = nullptr) {
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, type, nullptr, &size) != 0) return std::nullopt;
  std::string bytes(size, '\0');
  if (RegQueryValueExA(key, name, nullptr, type, reinterpret_cast<BYTE*>(bytes.data()), &size) !=
      0) {
    return std::nullopt;
  }
  bytes.resize(size);
  return bytes;
}

std::vector<std::string> DirectoryEntries(const std::string& path) {
  std::vector<std::string> names;
  if (DIR* dir = opendir(path.c_str())) {
    while (dirent* entry = readdir(dir)) {
      std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    closedir(dir);
  }
  return names;
}

// Runs body in a child process and returns its exit code (body's result).
int RunInChild(const std::function<int()>& body, uid_t uid = 0, gid_t gid = 0) {
  pid_t child = fork();
  if (child == 0) {
    if (uid != 0 && (setgid(gid) != 0 || setuid(uid) != 0)) _exit(125);
    _exit(body());
  }
  int status = 0;
  if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
  return WEXITSTATUS(status);
}

// A scratch directory on tmpfs when the machine has one, so that the many
// commits of these tests cost no disk flushes; removed with its content.
class ScratchDirectory {
 public:
  ScratchDirectory() {
    std::string pattern = access("/dev/shm", W_OK | X_OK) == 0 ? "/dev/shm/fhreg.XXXXXX" : "";
    if (!pattern.empty() && mkdtemp(pattern.data()) != nullptr &&
        chmod(pattern.c_str(), 0755) == 0) {
      path_ = pattern;
    } else {
      fallback_.emplace();
      path_ = fallback_->path();
    }
  }
  ~ScratchDirectory() {
    if (!fallback_) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  std::string Sub(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
  std::optional<fhtest::TempDir> fallback_;
};

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fh::ResetRegistryState();
    directory_ = temp_.Sub("var/registry");
    setenv("FH_REGISTRY_DIR", directory_.c_str(), 1);
  }
  void TearDown() override {
    EXPECT_EQ(fh::OpenRegistryKeyCount(), 0u) << "a key handle was not closed";
    fh::ResetRegistryState();
    unsetenv("FH_REGISTRY_DIR");
  }

  std::string HivePath() const { return directory_ + "/HKLM.reg"; }
  std::string HiveText() const { return fhtest::ReadFileBytes(HivePath()); }

  ScratchDirectory temp_;
  std::string directory_;
};

TEST_F(RegistryTest, CreatesEveryLevelOpensQueriesAndDeletes) {
  EXPECT_FALSE(fhtest::FileExists(directory_));
  DWORD disposition = 0;
  HKEY key =
      CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Quillon\\Fernhall", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(GetLastError(), 0u);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(SetString(key, u"InstallDir", u"/opt/fernhall"), 0);
  EXPECT_EQ(RegCloseKey(key), 0);

  key = CreateKey(HKEY_LOCAL_MACHINE, "system\\QUILLON\\fernhall", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  EXPECT_EQ(QueryNarrow(key, "INSTALLDIR"), std::string("/opt/fernhall", 14));
  EXPECT_EQ(RegDeleteValueA(key, "installdir"), 0);
  EXPECT_EQ(QueryNarrow(key, "InstallDir"), std::nullopt);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key, "InstallDir"), 2);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(RegCloseKey(key), 6);  // already closed

  // The emptied key stays; a missing one is not found.
  HKEY opened = nullptr;
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Quillon\\Fernhall", KEY_READ, &opened), 0);
  EXPECT_EQ(RegCloseKey(opened), 0);
  opened = reinterpret_cast<HKEY>(&disposition);
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Quillon\\Missing", KEY_READ, &opened), 2);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(HiveText(), std::string(kEmptyHive) +
                            "[HKEY_LOCAL_MACHINE\\SYSTEM]\n\n"
                            "[HKEY_LOCAL_MACHINE\\SYSTEM\\Quillon]\n\n"
                            "[HKEY_LOCAL_MACHINE\\SYSTEM\\Quillon\\Fernhall]\n\n");
}

TEST_F(RegistryTest, WritesTheHiveTextOfATypicalRun) {
  HKEY agent = CreateKey(HKEY_LOCAL_MACHINE, "Software\\Quillon\\Fernhall\\FHAgent");
  EXPECT_EQ(SetString(agent, u"FHAgentInstallDir", u"/opt/fernhall"), 0);
  EXPECT_EQ(SetDword(agent, u"FHAgentLogLevel", 3), 0);
  EXPECT_EQ(RegCloseKey(agent), 0);
  HKEY wide = CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Vendor", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  EXPECT_EQ(SetString(wide, nullptr, u"C:\\Program Files\\\"Vendor\""), 0);
  EXPECT_EQ(SetBytes(wide, u"Blob", REG_BINARY, std::string("AB\0", 3)), 0);
  EXPECT_EQ(SetBytes(wide, u"Big", REG_QWORD, std::string("\x2a\0\0\0\0\0\0\0", 8)), 0);
  EXPECT_EQ(RegCloseKey(wide), 0);
  EXPECT_EQ(HiveText(),
            "Windows Registry Editor Version 5.00\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Quillon]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Quillon\\Fernhall]\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Quillon\\Fernhall\\FHAgent]\n"
            "\"FHAgentInstallDir\"=\"/opt/fernhall\"\n"
            "\"FHAgentLogLevel\"=dword:00000003\n"
            "\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Vendor]\n"
            "@=\"C:\\\\Program Files\\\\\\\"Vendor\\\"\"\n"
            "\"Blob\"=hex:41,42,00\n"
            "\"Big\"=hex(b):2a,00,00,00,00,00,00,00\n"
            "\n");
}

TEST_F(RegistryTest, ThirtyTwoBitViewRedirectsSoftwareOnly) {
  HKEY narrow = CreateKey(HKEY_LOCAL_MACHINE, "software\\Q");
  EXPECT_EQ(SetDword(narrow, u"v", 32), 0);
  HKEY wide = CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\Q", KEY_ALL_ACCESS | KEY_WOW64_64KEY);
  EXPECT_EQ(SetDword(wide, u"v", 64), 0);
  HKEY system = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Q");
  EXPECT_EQ(RegCloseKey(system), 0);

  std::string text = HiveText();
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\software\\WOW6432Node\\Q]\n\"v\"=dword:00000020\n"),
            std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\software\\Q]\n\"v\"=dword:00000040\n"),
            std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Q]\n"), std::string::npos);
  EXPECT_EQ(text.find("SYSTEM\\WOW6432Node"), std::string::npos);

  struct Case {
    const char* label;
    HKEY parent;
    const char* path;
    REGSAM view;
    DWORD expected;
  } cases[] = {
      {"default view", HKEY_LOCAL_MACHINE, "Software\\Q", 0, 32},
      {"64-bit view", HKEY_LOCAL_MACHINE, "Software\\Q", KEY_WOW64_64KEY, 64},
      {"explicit 32-bit view", HKEY_LOCAL_MACHINE, "Software\\Q", KEY_WOW64_32KEY, 32},
      {"already redirected path", HKEY_LOCAL_MACHINE, "SOFTWARE\\wow6432node\\Q", 0, 32},
      {"redirected path, 64-bit view", HKEY_LOCAL_MACHINE, "SOFTWARE\\WOW6432Node\\Q",
       KEY_WOW64_64KEY, 32},
      {"relative to a 32-bit handle", narrow, "", 0, 32},
      {"relative to a 64-bit handle", wide, nullptr, 0, 64},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    HKEY key = nullptr;
    ASSERT_EQ(OpenKey(c.parent, c.path, KEY_QUERY_VALUE | c.view, &key), 0);
    DWORD number = 0;
    DWORD size = sizeof number;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size),
              0);
    EXPECT_EQ(number, c.expected);
    EXPECT_EQ(RegCloseKey(key), 0);
  }
  EXPECT_EQ(RegCloseKey(narrow), 0);
  EXPECT_EQ(RegCloseKey(wide), 0);

  // A handle keeps its view for keys opened or created relative to it.
  HKEY software = CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE");
  HKEY child = CreateKey(software, "Child");
  EXPECT_EQ(RegCloseKey(child), 0);
  EXPECT_EQ(RegCloseKey(software), 0);
  EXPECT_NE(HiveText().find("[HKEY_LOCAL_MACHINE\\software\\WOW6432Node\\Child]\n"),
            std::string::npos);
}

TEST_F(RegistryTest, DefaultValueAndCasePreservingNames) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Names");
  EXPECT_EQ(SetString(key, nullptr, u"first"), 0);
  EXPECT_EQ(SetString(key, u"", u"second"), 0);  // the same default value
  EXPECT_EQ(SetString(key, u"MixedCase", u"one"), 0);
  EXPECT_EQ(SetString(key, u"MIXEDCASE", u"two"), 0);
  EXPECT_EQ(SetString(key, u"\u00C4rger", u"three"), 0);
  EXPECT_EQ(QueryNarrow(key, nullptr), std::string("second", 7));
  EXPECT_EQ(QueryNarrow(key, ""), std::string("second", 7));
  EXPECT_EQ(QueryNarrow(key, "mixedcase"), std::string("two", 4));
  EXPECT_EQ(QueryNarrow(key, "\xC3\xA4RGER"), std::string("three", 6));
  EXPECT_EQ(HiveText(), std::string(kEmptyHive) +
                            "[HKEY_LOCAL_MACHINE\\SYSTEM]\n\n"
                            "[HKEY_LOCAL_MACHINE\\SYSTEM\\Names]\n"
                            "@=\"second\"\n"
                            "\"MixedCase\"=\"two\"\n"
                            "\"\xC3\x84rger\"=\"three\"\n\n");
  EXPECT_EQ(RegDeleteValueA(key, nullptr), 0);
  EXPECT_EQ(QueryNarrow(key, ""), std::nullopt);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, QuerySizeProtocol) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Sizes");
  ASSERT_EQ(SetString(key, u"s", u"abc"), 0);
  ASSERT_EQ(SetDword(key, u"d", 42), 0);

  DWORD type = 0;
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(size, 4u);  // UTF-8 with its terminator
  EXPECT_EQ(RegQueryValueExW(key, u"s", nullptr, &type, nullptr, &size), 0);
  EXPECT_EQ(size, 8u);                                                         // as stored
  EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, &type, nullptr, nullptr), 0);  // exists

  BYTE buffer[8] = {'#', '#', '#', '#', '#', '#', '#', '#'};
  size = 3;
  type = 0;
  EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, &type, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(type, REG_SZ);
  EXPECT_EQ(buffer[3], '#');  // nothing beyond the stated size
  size = 4;
  EXPECT_EQ(RegQueryValueExA(key, "s", nullptr, nullptr, buffer, &size), 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 5), std::string("abc\0#", 5));
  size = 7;
  EXPECT_EQ(RegQueryValueExW(key, u"s", nullptr, nullptr, buffer, &size), ERROR_MORE_DATA);
  EXPECT_EQ(size, 8u);

  DWORD number = 0;
  size = 8;
  EXPECT_EQ(RegQueryValueExA(key, "d", nullptr, &type, reinterpret_cast<BYTE*>(&number), &size), 0);
  EXPECT_EQ(type, REG_DWORD);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(number, 42u);

  DWORD reserved = 0;
  EXPECT_EQ(RegQueryValueExA(key, "d", &reserved, nullptr, nullptr, &size), 87);
  EXPECT_EQ(RegQueryValueExA(key, "d", nullptr, nullptr, buffer, nullptr), 87);
  EXPECT_EQ(RegQueryValueExA(key, "missing", nullptr, nullptr, nullptr, &size), 2);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, NarrowQueryConvertsStringValuesOnly) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Strings");
  struct Case {
    const char* label;
    DWORD type;
    std::string stored;
    std::string narrow;
  } cases[] = {
      {"non-ASCII text", REG_SZ, std::string("\xE4\0\xAC\x20\x3D\xD8\x00\xDE\0\0", 10),
       "\xC3\xA4\xE2\x82\xAC\xF0\x9F\x98\x80" + std::string(1, '\0')},
      {"expandable", REG_EXPAND_SZ, std::string("%\0P\0%\0\0\0", 8), std::string("%P%\0", 4)},
      {"multi string", REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10),
       std::string("a\0b\0\0", 5)},
      {"unterminated", REG_SZ, std::string("a\0b\0", 4), "ab"},
      {"odd size", REG_SZ, std::string("a\0b", 3), "a"},
      {"single byte", REG_SZ, "a", ""},
      {"unpaired surrogate", REG_SZ,
       std::string("\x00\xD8"
                   "a\0\0\0",
                   6),
       "\xEF\xBF\xBD"
       "a" +
           std::string(1, '\0')},
      {"binary stays raw", REG_BINARY, std::string("a\0b\0", 4), std::string("a\0b\0", 4)},
      {"unknown type stays raw", 99, std::string("a\0", 2), std::string("a\0", 2)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    ASSERT_EQ(SetBytes(key, u"v", c.type, c.stored), 0);
    DWORD type = 0;
    EXPECT_EQ(QueryNarrow(key, "v", &type), c.narrow);
    EXPECT_EQ(type, c.type);
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), 0);
    EXPECT_EQ(size, c.stored.size());
  }
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, HandlesKeepTheirAccessMask) {
  HKEY writer = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Access");
  ASSERT_EQ(SetDword(writer, u"v", 1), 0);
  HKEY reader = nullptr;
  ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Access", KEY_QUERY_VALUE, &reader), 0);
  HKEY setter = nullptr;
  ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Access", KEY_SET_VALUE, &setter), 0);

  EXPECT_EQ(SetDword(reader, u"v", 2), 5);
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteValueA(reader, "v"), 5);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(setter, "v", nullptr, nullptr, nullptr, &size), 5);
  EXPECT_EQ(RegQueryValueExW(setter, u"v", nullptr, nullptr, nullptr, &size), 5);
  EXPECT_EQ(SetDword(setter, u"v", 3), 0);
  EXPECT_EQ(RegQueryValueExA(reader, "v", nullptr, nullptr, nullptr, &size), 0);
  HKEY generic = nullptr;
  ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Access", GENERIC_READ, &generic), 0);
  EXPECT_EQ(RegQueryValueExA(generic, "v", nullptr, nullptr, nullptr, &size), 0);
  EXPECT_EQ(SetDword(generic, u"v", 4), 5);
  for (HKEY key : {writer, reader, setter, generic}) EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, PathsHandlesAndArguments) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "\\SYSTEM\\\\A\\B\\");
  HKEY same = nullptr;
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\A\\B", KEY_READ, &same), 0);
  EXPECT_EQ(RegCloseKey(same), 0);
  DWORD disposition = 0;
  HKEY itself = CreateKey(key, nullptr, KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  HKEY child = CreateKey(itself, "C", KEY_ALL_ACCESS, &disposition);
  EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "system\\a\\b\\c", KEY_READ, &same), 0);
  EXPECT_EQ(RegCloseKey(same), 0);
  for (HKEY open : {key, itself, child}) EXPECT_EQ(RegCloseKey(open), 0);

  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\Line\nBreak", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, &same, nullptr),
            87);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM", 0, KEY_READ, nullptr), 87);
  HKEY bogus = reinterpret_cast<HKEY>(&disposition);
  EXPECT_EQ(OpenKey(bogus, "SYSTEM", KEY_READ, &same), 6);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(bogus), 6);
  EXPECT_EQ(RegCloseKey(HKEY_LOCAL_MACHINE), 0);
  EXPECT_EQ(SetBytes(HKEY_LOCAL_MACHINE, u"", REG_BINARY, "x"), 0);  // root keeps working
  EXPECT_EQ(RegSetValueExW(HKEY_LOCAL_MACHINE, u"v", 0, REG_BINARY, nullptr, 4), 87);
}

TEST_F(RegistryTest, EachRootHasItsOwnHiveAndTheDirectoryIsReadAtEachCall) {
  HKEY user = CreateKey(HKEY_CURRENT_USER, "Software\\Q");  // no view redirect there
  EXPECT_EQ(RegCloseKey(user), 0);
  EXPECT_EQ(fhtest::ReadFileBytes(directory_ + "/HKCU.reg"),
            std::string(kEmptyHive) + "[HKEY_CURRENT_USER\\Software]\n\n" +
                "[HKEY_CURRENT_USER\\Software\\Q]\n\n");
  EXPECT_FALSE(fhtest::FileExists(HivePath()));

  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\First");
  EXPECT_EQ(RegCloseKey(key), 0);
  std::string other = temp_.Sub("other");
  setenv("FH_REGISTRY_DIR", other.c_str(), 1);
  HKEY missing = nullptr;
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\First", KEY_READ, &missing), 2);
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, nullptr, KEY_READ, &missing), 0);  // the root
  EXPECT_EQ(RegCloseKey(missing), 0);
  EXPECT_FALSE(fhtest::FileExists(other)) << "reading must not create the directory";
  EXPECT_EQ(RegDeleteValueA(HKEY_LOCAL_MACHINE, "nothing"), 2);
  EXPECT_FALSE(fhtest::FileExists(other)) << "a failed deletion must not create it either";
  setenv("FH_REGISTRY_DIR", directory_.c_str(), 1);
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\First", KEY_READ, &missing), 0);
  EXPECT_EQ(RegCloseKey(missing), 0);
}

TEST_F(RegistryTest, KeyRemovedByAnotherWriterGives1018) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Gone");
  ASSERT_EQ(SetDword(key, u"v", 1), 0);
  ASSERT_TRUE(fhtest::WriteFileBytes(HivePath(), kEmptyHive));
  EXPECT_EQ(SetDword(key, u"v", 2), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_KEY_DELETED);
  DWORD size = 0;
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_KEY_DELETED);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key, "Child", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(HiveText(), kEmptyHive);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, CorruptHiveFailsEveryCallAndStaysUntouched) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Kept");
  ASSERT_EQ(SetDword(key, u"v", 1), 0);
  const std::string corrupt =
      std::string(kEmptyHive) + "[HKEY_LOCAL_MACHINE\\SYSTEM\\Kept]\n\"v\"=dword:zz\n";
  ASSERT_TRUE(fhtest::WriteFileBytes(HivePath(), corrupt));

  HKEY other = nullptr;
  DWORD size = 0;
  EXPECT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Kept", KEY_READ, &other), ERROR_BADDB);
  EXPECT_EQ(GetLastError(), ERROR_BADDB);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\New", 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &other, nullptr),
            ERROR_BADDB);
  EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, nullptr, &size), ERROR_BADDB);
  EXPECT_EQ(RegQueryValueExW(key, u"v", nullptr, nullptr, nullptr, &size), ERROR_BADDB);
  EXPECT_EQ(SetDword(key, u"v", 2), ERROR_BADDB);
  EXPECT_EQ(SetDword(HKEY_LOCAL_MACHINE, u"v", 2), ERROR_BADDB);
  EXPECT_EQ(RegDeleteValueA(key, "v"), ERROR_BADDB);
  EXPECT_EQ(RegDeleteValueA(key, "missing"), ERROR_BADDB);
  EXPECT_EQ(HiveText(), corrupt);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, FailedCommitLeavesTheOldHive) {
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Disk");
  ASSERT_EQ(SetDword(key, u"v", 1), 0);
  const std::string before = HiveText();
  struct Case {
    fhtest::Call step;
    int err;
    LONG expected;
  } cases[] = {
      {fhtest::Call::kMakeTemporary, EACCES, 5},
      {fhtest::Call::kWrite, ENOSPC, 112},
      {fhtest::Call::kFsync, EIO, 29},
      {fhtest::Call::kRename, ENOSPC, 112},
  };
  for (const Case& c : cases) {
    {
      fhtest::SystemCallFault fault(c.step, 1, c.err);
      EXPECT_EQ(SetDword(key, u"v", 2), c.expected);
      EXPECT_EQ(fault.failures(), 1);
    }
    EXPECT_EQ(HiveText(), before);
    EXPECT_EQ(DirectoryEntries(directory_).size(), 2u) << "only the hive and its lock file";
    DWORD number = 0;
    DWORD size = 4;
    EXPECT_EQ(RegQueryValueExA(key, "v", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size),
              0);
    EXPECT_EQ(number, 1u);
  }
  // A writer that died before its rename leaves a temporary file; the next
  // commit removes it.
  ASSERT_TRUE(fhtest::WriteFileBytes(HivePath() + ".tmp.Ab12Cd", "torn"));
  EXPECT_EQ(SetDword(key, u"v", 2), 0);
  EXPECT_NE(HiveText(), before);
  EXPECT_EQ(DirectoryEntries(directory_).size(), 2u);
  EXPECT_EQ(RegCloseKey(key), 0);
}

TEST_F(RegistryTest, ConcurrentProcessesLoseNoWrites) {
  constexpr int kProcesses = 4;
  constexpr int kWrites = 50;
  HKEY shared = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared");
  ASSERT_EQ(RegCloseKey(shared), 0);
  std::vector<pid_t> children;
  for (int p = 0; p < kProcesses; ++p) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      HKEY own = nullptr;
      std::string path = "SYSTEM\\Shared\\Process" + std::to_string(p);
      if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &own, nullptr) != 0) {
        _exit(1);
      }
      HKEY key = nullptr;
      if (OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", KEY_SET_VALUE, &key) != 0) _exit(2);
      for (int w = 0; w < kWrites; ++w) {
        std::u16string name = u"P" + std::u16string(1, static_cast<char16_t>(u'0' + p)) + u"_";
        for (char c : std::to_string(w)) name.push_back(static_cast<char16_t>(c));
        if (SetDword(key, name.c_str(), static_cast<DWORD>(p * 1000 + w)) != 0) _exit(3);
      }
      _exit(0);
    }
    children.push_back(child);
  }
  // A reader meanwhile always sees a whole hive: never a parse failure.
  pid_t reader = fork();
  ASSERT_GE(reader, 0);
  if (reader == 0) {
    for (int r = 0; r < 200; ++r) {
      HKEY key = nullptr;
      if (OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", KEY_QUERY_VALUE, &key) != 0) _exit(4);
      DWORD size = 0;
      LONG rc = RegQueryValueExA(key, "P0_0", nullptr, nullptr, nullptr, &size);
      RegCloseKey(key);
      if (rc != 0 && rc != 2) _exit(5);
    }
    _exit(0);
  }
  children.push_back(reader);
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
  HKEY key = nullptr;
  ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", KEY_READ, &key), 0);
  for (int p = 0; p < kProcesses; ++p) {
    for (int w = 0; w < kWrites; ++w) {
      std::string name = "P" + std::to_string(p) + "_" + std::to_string(w);
      DWORD number = 0;
      DWORD size = 4;
      ASSERT_EQ(RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                 reinterpret_cast<BYTE*>(&number), &size),
                0)
          << name;
      EXPECT_EQ(number, static_cast<DWORD>(p * 1000 + w));
    }
    HKEY own = nullptr;
    std::string path = "Process" + std::to_string(p);
    EXPECT_EQ(OpenKey(key, path.c_str(), KEY_READ, &own), 0) << path;
    RegCloseKey(own);
  }
  EXPECT_EQ(RegCloseKey(key), 0);
  EXPECT_EQ(DirectoryEntries(directory_).size(), 2u) << "no temporary file left behind";
}

TEST_F(RegistryTest, ConcurrentThreadsLoseNoWrites) {
  constexpr int kThreads = 4;
  constexpr int kWrites = 10;
  HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Threads");
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      HKEY own = nullptr;
      ASSERT_EQ(OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Threads", KEY_ALL_ACCESS, &own), 0);
      for (int w = 0; w < kWrites; ++w) {
        std::u16string name = u"T" + std::u16string(1, static_cast<char16_t>(u'0' + t)) +
                              std::u16string(1, static_cast<char16_t>(u'a' + w));
        EXPECT_EQ(SetDword(own, name.c_str(), static_cast<DWORD>(w)), 0);
        DWORD size = 0;
        EXPECT_EQ(RegQueryValueExW(own, name.c_str(), nullptr, nullptr, nullptr, &size), 0);
      }
      EXPECT_EQ(RegCloseKey(own), 0);
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (int w = 0; w < kWrites; ++w) {
      std::string name = "T" + std::to_string(t) + static_cast<char>('a' + w);
      EXPECT_TRUE(QueryNarrow(key, name.c_str())) << name;
    }
  }
  EXPECT_EQ(RegCloseKey(key), 0);
}

class RegistryPermissionTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    if (geteuid() != 0) GTEST_SKIP() << "needs root to switch to an unprivileged user";
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr) GTEST_SKIP() << "no user nobody";
    uid_ = nobody->pw_uid;
    gid_ = nobody->pw_gid;
    HKEY key = CreateKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Agent");
    ASSERT_EQ(SetDword(key, u"Level", 3), 0);
    ASSERT_EQ(RegCloseKey(key), 0);
    ASSERT_EQ(chmod(directory_.c_str(), 0755), 0);
    ASSERT_EQ(chmod(HivePath().c_str(), 0644), 0);
  }

  // Runs checks as the unprivileged user: each returns true when it holds;
  // the result is the number of the first that failed, 0 when all held.
  int RunChecksAsNobody(const std::vector<std::function<bool()>>& checks) {
    return RunInChild(
        [&checks] {
          for (std::size_t i = 0; i < checks.size(); ++i) {
            if (!checks[i]()) return static_cast<int>(i + 1);
          }
          return 0;
        },
        uid_, gid_);
  }

  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

bool OpenGives(REGSAM sam, LONG expected) {
  HKEY key = nullptr;
  LONG rc = OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Agent", sam, &key);
  if (key != nullptr) RegCloseKey(key);
  return rc == expected && GetLastError() == static_cast<DWORD>(expected);
}

bool CreateGives(const char* path, REGSAM sam, LONG expected) {
  HKEY key = nullptr;
  LONG rc = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, sam, nullptr, &key, nullptr);
  if (key != nullptr) RegCloseKey(key);
  return rc == expected;
}

bool QueryLevelGives(LONG expected) {
  HKEY key = nullptr;
  if (OpenKey(HKEY_LOCAL_MACHINE, "SYSTEM\\Agent", KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != 0) {
    return expected != 0;
  }
  DWORD number = 0;
  DWORD size = 4;
  LONG rc =
      RegQueryValueExA(key, "Level", nullptr, nullptr, reinterpret_cast<BYTE*>(&number), &size);
  RegCloseKey(key);
  return rc == expected && (rc != 0 || number == 3);
}

TEST_F(RegistryPermissionTest, ReadOnlyHiveDeniesEveryWrite) {
  const std::string before = HiveText();
  EXPECT_EQ(RunChecksAsNobody({
                [] { return QueryLevelGives(0); },
                [] { return OpenGives(KEY_READ, 0); },
                [] { return OpenGives(KEY_ALL_ACCESS, 5); },
                [] { return OpenGives(KEY_SET_VALUE, 5); },
                [] { return OpenGives(KEY_CREATE_SUB_KEY, 5); },
                [] { return OpenGives(GENERIC_WRITE, 5); },
                [] { return CreateGives("SYSTEM\\Agent", KEY_READ, 0); },
                [] { return CreateGives("SYSTEM\\Agent", KEY_ALL_ACCESS, 5); },
                [] { return CreateGives("SYSTEM\\Agent\\New", KEY_READ, 5); },
                [] { return SetDword(HKEY_LOCAL_MACHINE, u"v", 1) == 5; },
                [] { return RegDeleteValueA(HKEY_LOCAL_MACHINE, "v") == 5; },
            }),
            0);
  EXPECT_EQ(HiveText(), before);
}

TEST_F(RegistryPermissionTest, WritableDirectoryButReadOnlyFileStillDenies) {
  ASSERT_EQ(chmod(directory_.c_str(), 0777), 0);
  EXPECT_EQ(RunChecksAsNobody({
                [] { return OpenGives(KEY_ALL_ACCESS, 5); },
                [] { return CreateGives("SYSTEM\\Agent\\New", KEY_ALL_ACCESS, 5); },
                [] { return QueryLevelGives(0); },
            }),
            0);
  // A hive the user may write can be changed by that user.
  ASSERT_EQ(chmod(HivePath().c_str(), 0666), 0);
  EXPECT_EQ(RunChecksAsNobody({
                [] { return CreateGives("SYSTEM\\Agent\\New", KEY_ALL_ACCESS, 0); },
            }),
            0);
  EXPECT_NE(HiveText().find("[HKEY_LOCAL_MACHINE\\SYSTEM\\Agent\\New]"), std::string::npos);
}

TEST_F(RegistryPermissionTest, UnreadableHiveDeniesReading) {
  ASSERT_EQ(chmod(HivePath().c_str(), 0600), 0);
  EXPECT_EQ(RunChecksAsNobody({
                [] { return OpenGives(KEY_READ, 5); },
                [] {
                  DWORD size = 0;
                  return RegQueryValueExA(HKEY_LOCAL_MACHINE, "x", nullptr, nullptr, nullptr,
                                          &size) == 5;
                },
            }),
            0);
}

TEST_F(RegistryPermissionTest, MissingDirectoryThatCannotBeCreatedDenies) {
  std::string locked = temp_.Sub("locked");
  ASSERT_EQ(mkdir(locked.c_str(), 0755), 0);
  setenv("FH_REGISTRY_DIR", (locked + "/registry").c_str(), 1);
  EXPECT_EQ(RunChecksAsNobody({
                [] { return OpenGives(KEY_READ, 2); },
                [] { return CreateGives("SYSTEM\\Agent", KEY_ALL_ACCESS, 5); },
            }),
            0);
  EXPECT_FALSE(fhtest::FileExists(locked + "/registry"));
}

}  // namespace
