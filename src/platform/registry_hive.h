// The in-memory model of one registry hive (the keys below one root key) and
// its text form.
//
// Text form (UTF-8, "\n" line ends; "\r\n" is accepted when reading):
//
//   Windows Registry Editor Version 5.00
//   <blank line>
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Quillon]
//   @="default value"
//   "InstallDir"="/opt/quillon"
//   "Level"=dword:0000002a
//   "Blob"=hex:41,42,00
//   "Big"=hex(b):2a,00,00,00,00,00,00,00
//   <blank line>
//
// - One section per key, each followed by its values and one blank line.
//   Keys appear in creation order (a parent always before its children);
//   values in the order they were first set. Empty keys keep their section;
//   the root key's own section is written only when it holds values.
// - `"text"` is used for a REG_SZ value whose bytes are exactly well-formed
//   UTF-16 (little-endian) with one zero unit, at the end. `dword:` for a
//   REG_DWORD of exactly 4 bytes, `hex:` for REG_BINARY, and `hex(N):` (N the
//   type in lower-case hex: hex(2), hex(7), hex(b), hex(1), hex(4), ...) for
//   everything else, so that every value keeps its type and bytes exactly.
//   Byte lists stay on one line; the reader also accepts lines continued
//   with "\" after a comma.
// - In quoted names and texts, `\` is written `\\`, `"` is `\"`, a line feed
//   `\n` and a carriage return `\r`; no other escape exists.
// - Anything else (a missing first line, a value outside a section, a bad
//   escape, ill-formed UTF-8, a section of another root) makes the text
//   unreadable as a hive.
//
// Names compare without regard to letter case and keep their case
// (registry_names.h). Lookups are hash-indexed; parsing and writing are
// linear in the size of the text.
//
// Thread safety: a hive is a plain value; share it read-only or guard it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/registry_names.h"
#include "platform/win32_types.h"

namespace fh {

inline constexpr std::string_view kHiveHeaderLine = "Windows Registry Editor Version 5.00";

struct RegistryValue {
  std::string name;  // "" is the key's default value
  DWORD type = REG_NONE;
  std::string data;  // the value's bytes exactly as set
};

class RegistryKey {
 public:
  explicit RegistryKey(std::string path) : path_(std::move(path)) {}

  // Components below the root separated by single '\'; "" for the root key.
  const std::string& path() const { return path_; }
  // In the order they were first set.
  const std::vector<RegistryValue>& values() const { return values_; }

  // Null when absent. The pointer stays valid until the key changes.
  const RegistryValue* FindValue(std::string_view name) const;
  // Adds the value or replaces its type and bytes (its name keeps the case it
  // had). Returns true when anything changed.
  bool SetValue(std::string_view name, DWORD type, std::string_view data);
  // Returns false when there is no such value.
  bool DeleteValue(std::string_view name);

 private:
  std::optional<std::size_t> FindPosition(std::string_view name) const;
  void RebuildIndex();

  std::string path_;
  std::vector<RegistryValue> values_;
  FoldedNameIndex index_;  // kept only for keys with many values
};

class RegistryHive {
 public:
  // rootName is the root key's name as the text form shows it
  // ("HKEY_LOCAL_MACHINE"). The hive starts with the root key alone.
  explicit RegistryHive(std::string rootName);

  const std::string& rootName() const { return rootName_; }
  // keys()[0] is the root key; the others in creation order.
  const std::vector<RegistryKey>& keys() const { return keys_; }

  // path must be canonical (CanonicalKeyPath). Null when absent; the pointer
  // stays valid until a key is created.
  RegistryKey* FindKey(std::string_view path);
  const RegistryKey* FindKey(std::string_view path) const;
  // Creates every missing level of the canonical path (new levels take the
  // case given; existing ones keep theirs). *created tells whether the last
  // level is new. The reference stays valid until a key is created.
  RegistryKey& CreateKey(std::string_view path, bool* created);

 private:
  std::optional<std::size_t> FindKeyPosition(std::string_view path) const;

  std::string rootName_;
  std::vector<RegistryKey> keys_;
  FoldedNameIndex keyIndex_;
};

// The path with runs of '\' collapsed and leading and trailing ones removed:
// "A\\B\" and "\A\B" both become "A\B"; "" and "\" the root.
std::string CanonicalKeyPath(std::string_view path);

struct HiveParseError {
  std::size_t line = 0;  // 1-based
  std::string message;
};

// Reads the text form. An empty text is an empty hive. Returns nullopt for a
// text that is not a well-formed hive of rootName, with the first fault in
// *error (when error is not null).
std::optional<RegistryHive> ParseHive(std::string_view text, std::string_view rootName,
                                      HiveParseError* error = nullptr);

// Writes the text form; ParseHive(SerializeHive(h)) gives h again.
std::string SerializeHive(const RegistryHive& hive);

}  // namespace fh
