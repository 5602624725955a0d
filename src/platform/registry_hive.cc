#include "platform/registry_hive.h"

#include <algorithm>

#include "platform/text_conversion.h"

namespace fh {

namespace {

// Keys with at most this many values are searched linearly; larger ones
// carry a hash index.
constexpr std::size_t kLinearSearchLimit = 8;

constexpr char kHexDigits[] = "0123456789abcdef";

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Appends the UTF-16 (little-endian) bytes of a UTF-8 text. Returns false
// (appending nothing) when the text is not well-formed UTF-8.
bool AppendUtf8AsUtf16Le(std::string_view text, std::string* out) {
  if (!IsWellFormedUtf8(text)) return false;
  for (char16_t unit : Utf8ToUtf16(text)) {
    out->push_back(static_cast<char>(unit & 0xFF));
    out->push_back(static_cast<char>(unit >> 8));
  }
  return true;
}

// ---------------------------------------------------------------- reading

class HiveParser {
 public:
  HiveParser(std::string_view text, std::string_view rootName, HiveParseError* error)
      : text_(text), rootName_(rootName), error_(error) {}

  std::optional<RegistryHive> Parse();

 private:
  bool AtEnd() const { return pos_ >= text_.size(); }
  bool AtLineEnd() const {
    return AtEnd() || text_[pos_] == '\n' ||
           (text_[pos_] == '\r' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '\n');
  }
  void SkipLineEnd() {
    if (AtEnd()) return;
    if (text_[pos_] == '\r') ++pos_;
    ++pos_;
    ++line_;
  }
  bool Consume(std::string_view expected) {
    if (text_.substr(pos_, expected.size()) != expected) return false;
    pos_ += expected.size();
    return true;
  }
  bool ConsumeIgnoringCase(std::string_view expected) {
    if (text_.size() - pos_ < expected.size()) return false;
    for (std::size_t i = 0; i < expected.size(); ++i) {
      char c = text_[pos_ + i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      if (c != expected[i]) return false;
    }
    pos_ += expected.size();
    return true;
  }
  // The rest of the current line without its line end; moves past both.
  std::string_view TakeLine() {
    std::size_t start = pos_;
    std::size_t end = text_.find('\n', pos_);
    if (end == std::string_view::npos) end = text_.size();
    std::string_view line = text_.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    pos_ = end;
    if (!AtEnd()) {
      ++pos_;
      ++line_;
    }
    return line;
  }
  bool Fail(const char* message) { return FailAt(line_, message); }
  bool FailAt(std::size_t line, const char* message) {
    if (error_ != nullptr) {
      error_->line = line;
      error_->message = message;
    }
    return false;
  }

  RegistryKey* ParseSection(std::string_view header, std::size_t line, RegistryHive* hive);
  bool ParseValue(RegistryKey* key);
  bool ParseQuoted(std::string* out);
  bool ParseHexNumber(std::size_t maxDigits, DWORD* number);
  bool ParseByteList(std::string* bytes);

  std::string_view text_;
  std::string_view rootName_;
  HiveParseError* error_;
  std::size_t pos_ = 0;
  std::size_t line_ = 1;
  // Scratch buffers reused for every value.
  std::string name_;
  std::string quoted_;
  std::string data_;
};

std::optional<RegistryHive> HiveParser::Parse() {
  RegistryHive hive{std::string(rootName_)};
  Consume("\xEF\xBB\xBF");  // a byte-order mark is tolerated
  if (AtEnd()) return hive;
  if (TakeLine() != kHiveHeaderLine) {
    FailAt(1, "first line is not the hive header");
    return std::nullopt;
  }
  // Valid until the next section creates a key; values never create keys.
  RegistryKey* current = nullptr;
  while (!AtEnd()) {
    if (AtLineEnd()) {
      SkipLineEnd();
      continue;
    }
    char first = text_[pos_];
    if (first == '[') {
      std::size_t headerLine = line_;
      current = ParseSection(TakeLine(), headerLine, &hive);
      if (current == nullptr) return std::nullopt;
    } else if (first == '"' || first == '@') {
      if (current == nullptr) {
        Fail("value outside a section");
        return std::nullopt;
      }
      if (!ParseValue(current)) return std::nullopt;
    } else {
      Fail("unexpected line");
      return std::nullopt;
    }
  }
  return hive;
}

RegistryKey* HiveParser::ParseSection(std::string_view header, std::size_t line,
                                      RegistryHive* hive) {
  if (header.size() < 2 || header.back() != ']') {
    FailAt(line, "section header without closing bracket");
    return nullptr;
  }
  std::string_view path = header.substr(1, header.size() - 2);
  std::string_view root = path.substr(0, std::min(path.size(), rootName_.size()));
  if (root.size() != rootName_.size() || !FoldedNamesEqual(root, rootName_) ||
      (path.size() > root.size() && path[root.size()] != '\\')) {
    FailAt(line, "section of another root key");
    return nullptr;
  }
  path.remove_prefix(root.size());
  if (!IsWellFormedUtf8(path)) {
    FailAt(line, "key path is not UTF-8");
    return nullptr;
  }
  bool created = false;
  return &hive->CreateKey(CanonicalKeyPath(path), &created);
}

bool HiveParser::ParseValue(RegistryKey* key) {
  name_.clear();
  if (Consume("@")) {
    // default value: empty name
  } else if (!ParseQuoted(&name_)) {
    return false;
  } else if (!IsWellFormedUtf8(name_)) {
    return Fail("value name is not UTF-8");
  }
  if (!Consume("=")) return Fail("'=' expected after the value name");

  DWORD type = REG_NONE;
  data_.clear();
  if (!AtEnd() && text_[pos_] == '"') {
    if (!ParseQuoted(&quoted_)) return false;
    type = REG_SZ;
    if (!AppendUtf8AsUtf16Le(quoted_, &data_)) return Fail("quoted text is not UTF-8");
    data_.append(2, '\0');
  } else if (ConsumeIgnoringCase("dword:")) {
    DWORD number = 0;
    if (!ParseHexNumber(8, &number)) return false;
    type = REG_DWORD;
    for (int shift = 0; shift < 32; shift += 8) {
      data_.push_back(static_cast<char>((number >> shift) & 0xFF));
    }
  } else if (ConsumeIgnoringCase("hex:")) {
    type = REG_BINARY;
    if (!ParseByteList(&data_)) return false;
  } else if (ConsumeIgnoringCase("hex(")) {
    if (!ParseHexNumber(8, &type)) return false;
    if (!Consume("):")) return Fail("'):' expected after the type");
    if (!ParseByteList(&data_)) return false;
  } else {
    return Fail("unknown value data form");
  }
  if (!AtLineEnd()) return Fail("unexpected text after the value");
  SkipLineEnd();
  key->SetValue(name_, type, data_);
  return true;
}

bool HiveParser::ParseQuoted(std::string* out) {
  out->clear();
  if (!Consume("\"")) return Fail("'\"' expected");
  while (true) {
    std::size_t start = pos_;
    while (pos_ < text_.size()) {
      char c = text_[pos_];
      if (c == '"' || c == '\\' || c == '\n' || c == '\r') break;
      ++pos_;
    }
    out->append(text_.substr(start, pos_ - start));
    if (AtEnd() || text_[pos_] == '\n' || text_[pos_] == '\r') {
      return Fail("unterminated quoted text");
    }
    if (text_[pos_] == '"') {
      ++pos_;
      break;
    }
    // backslash escape
    ++pos_;
    if (AtEnd()) return Fail("unterminated quoted text");
    switch (text_[pos_]) {
      case '\\':
        out->push_back('\\');
        break;
      case '"':
        out->push_back('"');
        break;
      case 'n':
        out->push_back('\n');
        break;
      case 'r':
        out->push_back('\r');
        break;
      default:
        return Fail("unknown escape in quoted text");
    }
    ++pos_;
  }
  return true;
}

bool HiveParser::ParseHexNumber(std::size_t maxDigits, DWORD* number) {
  std::size_t digits = 0;
  DWORD value = 0;
  while (!AtEnd() && digits < maxDigits) {
    int digit = HexDigitValue(text_[pos_]);
    if (digit < 0) break;
    value = (value << 4) | static_cast<DWORD>(digit);
    ++digits;
    ++pos_;
  }
  if (digits == 0) return Fail("hexadecimal number expected");
  if (!AtEnd() && HexDigitValue(text_[pos_]) >= 0) return Fail("hexadecimal number too long");
  *number = value;
  return true;
}

bool HiveParser::ParseByteList(std::string* bytes) {
  if (AtLineEnd()) return true;  // no bytes
  while (true) {
    if (pos_ + 2 > text_.size()) return Fail("byte expected");
    int high = HexDigitValue(text_[pos_]);
    int low = HexDigitValue(text_[pos_ + 1]);
    if (high < 0 || low < 0) return Fail("byte expected");
    bytes->push_back(static_cast<char>((high << 4) | low));
    pos_ += 2;
    if (!Consume(",")) return true;
    // A list may go on on the next line after ",\".
    if (!AtEnd() && text_[pos_] == '\\') {
      ++pos_;
      if (AtEnd() || !AtLineEnd()) return Fail("line end expected after '\\'");
      SkipLineEnd();
      while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
    }
  }
}

// ---------------------------------------------------------------- writing

// The two-character escape of a character inside quoted text, or nullptr
// when it stands as itself.
const char* QuotedEscape(char32_t c) {
  switch (c) {
    case '\\':
      return "\\\\";
    case '"':
      return "\\\"";
    case '\n':
      return "\\n";
    case '\r':
      return "\\r";
    default:
      return nullptr;
  }
}

void AppendQuoted(std::string_view text, std::string* out) {
  out->push_back('"');
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char* escape = QuotedEscape(static_cast<unsigned char>(text[i]));
    if (escape == nullptr) continue;
    out->append(text.substr(start, i - start));
    out->append(escape);
    start = i + 1;
  }
  out->append(text.substr(start));
  out->push_back('"');
}

std::uint32_t Le32At(std::string_view data) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[i]);
  return value;
}

std::uint32_t Utf16UnitAt(std::string_view data, std::size_t index) {
  return static_cast<unsigned char>(data[2 * index]) |
         (static_cast<std::uint32_t>(static_cast<unsigned char>(data[2 * index + 1])) << 8);
}

// Appends data as quoted text when it is exactly a well-formed UTF-16 text
// with one zero unit at its end; otherwise appends nothing and returns false.
bool TryAppendQuotedUtf16(std::string_view data, std::string* out) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  std::size_t units = data.size() / 2 - 1;
  if (Utf16UnitAt(data, units) != 0) return false;
  std::size_t base = out->size();
  // At most 3 bytes per unit (a two-unit pair takes 4, an escape 2) and quotes.
  out->resize(base + units * 3 + 2);
  char* write = out->data() + base;
  *write++ = '"';
  for (std::size_t i = 0; i < units; ++i) {
    char32_t codePoint = Utf16UnitAt(data, i);
    if (codePoint >= 0x20 && codePoint < 0x80 && codePoint != '\\' && codePoint != '"') {
      *write++ = static_cast<char>(codePoint);
      continue;
    }
    if (codePoint == 0 || (codePoint >= 0xDC00 && codePoint <= 0xDFFF)) {
      out->resize(base);
      return false;
    }
    if (codePoint >= 0xD800 && codePoint <= 0xDBFF) {
      char32_t low = i + 1 < units ? Utf16UnitAt(data, i + 1) : 0;
      if (low < 0xDC00 || low > 0xDFFF) {
        out->resize(base);
        return false;
      }
      codePoint = 0x10000 + ((codePoint - 0xD800) << 10) + (low - 0xDC00);
      ++i;
    }
    const char* escape = QuotedEscape(codePoint);
    if (escape != nullptr) {
      *write++ = escape[0];
      *write++ = escape[1];
    } else {
      char bytes[4];
      int n = EncodeUtf8(codePoint, bytes);
      for (int b = 0; b < n; ++b) *write++ = bytes[b];
    }
  }
  *write++ = '"';
  out->resize(static_cast<std::size_t>(write - out->data()));
  return true;
}

void AppendHexNumber(DWORD number, int minDigits, std::string* out) {
  char digits[8];
  int count = 0;
  do {
    digits[count++] = kHexDigits[number & 0xF];
    number >>= 4;
  } while (number != 0);
  for (int i = count; i < minDigits; ++i) out->push_back('0');
  while (count > 0) out->push_back(digits[--count]);
}

void AppendByteList(std::string_view data, std::string* out) {
  if (data.empty()) return;
  std::size_t base = out->size();
  out->resize(base + data.size() * 3 - 1);
  char* write = out->data() + base;
  for (std::size_t i = 0; i < data.size(); ++i) {
    if (i > 0) *write++ = ',';
    unsigned char byte = static_cast<unsigned char>(data[i]);
    *write++ = kHexDigits[byte >> 4];
    *write++ = kHexDigits[byte & 0xF];
  }
}

void AppendValueData(const RegistryValue& value, std::string* out) {
  if (value.type == REG_SZ && TryAppendQuotedUtf16(value.data, out)) return;
  if (value.type == REG_DWORD && value.data.size() == 4) {
    out->append("dword:");
    AppendHexNumber(Le32At(value.data), 8, out);
    return;
  }
  if (value.type == REG_BINARY) {
    out->append("hex:");
  } else {
    out->append("hex(");
    AppendHexNumber(value.type, 1, out);
    out->append("):");
  }
  AppendByteList(value.data, out);
}

std::size_t EstimateTextSize(const RegistryHive& hive) {
  std::size_t size = kHiveHeaderLine.size() + 2;
  for (const RegistryKey& key : hive.keys()) {
    size += hive.rootName().size() + key.path().size() + 5;
    for (const RegistryValue& value : key.values()) {
      size += value.name.size() + value.data.size() * 3 + 24;
    }
  }
  return size;
}

}  // namespace

// ---------------------------------------------------------------- model

const RegistryValue* RegistryKey::FindValue(std::string_view name) const {
  std::optional<std::size_t> position = FindPosition(name);
  return position ? &values_[*position] : nullptr;
}

bool RegistryKey::SetValue(std::string_view name, DWORD type, std::string_view data) {
  if (std::optional<std::size_t> position = FindPosition(name)) {
    RegistryValue& value = values_[*position];
    if (value.type == type && value.data == data) return false;
    value.type = type;
    value.data.assign(data);
    return true;
  }
  values_.push_back(RegistryValue{std::string(name), type, std::string(data)});
  if (values_.size() > kLinearSearchLimit) {
    if (index_.size() == 0) {
      RebuildIndex();
    } else {
      index_.Add(name, values_.size() - 1);
    }
  }
  return true;
}

bool RegistryKey::DeleteValue(std::string_view name) {
  std::optional<std::size_t> position = FindPosition(name);
  if (!position) return false;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(*position));
  RebuildIndex();
  return true;
}

std::optional<std::size_t> RegistryKey::FindPosition(std::string_view name) const {
  if (values_.size() <= kLinearSearchLimit) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (FoldedNamesEqual(values_[i].name, name)) return i;
    }
    return std::nullopt;
  }
  return index_.Find(name, [this](std::size_t i) -> std::string_view { return values_[i].name; });
}

void RegistryKey::RebuildIndex() {
  if (values_.size() <= kLinearSearchLimit) {
    index_.Reset(0);
    return;
  }
  index_.Reset(values_.size());
  for (std::size_t i = 0; i < values_.size(); ++i) index_.Add(values_[i].name, i);
}

RegistryHive::RegistryHive(std::string rootName) : rootName_(std::move(rootName)) {
  keys_.emplace_back(std::string());
  keyIndex_.Add("", 0);
}

RegistryKey* RegistryHive::FindKey(std::string_view path) {
  std::optional<std::size_t> position = FindKeyPosition(path);
  return position ? &keys_[*position] : nullptr;
}

const RegistryKey* RegistryHive::FindKey(std::string_view path) const {
  std::optional<std::size_t> position = FindKeyPosition(path);
  return position ? &keys_[*position] : nullptr;
}

std::optional<std::size_t> RegistryHive::FindKeyPosition(std::string_view path) const {
  return keyIndex_.Find(path,
                        [this](std::size_t i) -> std::string_view { return keys_[i].path(); });
}

RegistryKey& RegistryHive::CreateKey(std::string_view path, bool* created) {
  if (std::optional<std::size_t> position = FindKeyPosition(path)) {
    *created = false;
    return keys_[*position];
  }
  std::size_t parent = 0;
  std::size_t componentStart = 0;
  while (componentStart <= path.size()) {
    std::size_t componentEnd = path.find('\\', componentStart);
    if (componentEnd == std::string_view::npos) componentEnd = path.size();
    std::string_view prefix = path.substr(0, componentEnd);
    if (std::optional<std::size_t> position = FindKeyPosition(prefix)) {
      parent = *position;
    } else {
      std::string newPath = keys_[parent].path();
      if (!newPath.empty()) newPath.push_back('\\');
      newPath.append(path.substr(componentStart, componentEnd - componentStart));
      keys_.emplace_back(std::move(newPath));
      parent = keys_.size() - 1;
      keyIndex_.Add(keys_[parent].path(), parent);
    }
    componentStart = componentEnd + 1;
  }
  *created = true;
  return keys_[parent];
}

std::string CanonicalKeyPath(std::string_view path) {
  std::string canonical;
  canonical.reserve(path.size());
  std::size_t i = 0;
  while (i < path.size()) {
    while (i < path.size() && path[i] == '\\') ++i;
    std::size_t start = i;
    while (i < path.size() && path[i] != '\\') ++i;
    if (i > start) {
      if (!canonical.empty()) canonical.push_back('\\');
      canonical.append(path.substr(start, i - start));
    }
  }
  return canonical;
}

std::optional<RegistryHive> ParseHive(std::string_view text, std::string_view rootName,
                                      HiveParseError* error) {
  return HiveParser(text, rootName, error).Parse();
}

std::string SerializeHive(const RegistryHive& hive) {
  std::string out;
  out.reserve(EstimateTextSize(hive));
  out.append(kHiveHeaderLine);
  out.append("\n\n");
  for (const RegistryKey& key : hive.keys()) {
    if (key.path().empty() && key.values().empty()) continue;
    out.push_back('[');
    out.append(hive.rootName());
    if (!key.path().empty()) {
      out.push_back('\\');
      out.append(key.path());
    }
    out.append("]\n");
    for (const RegistryValue& value : key.values()) {
      if (value.name.empty()) {
        out.push_back('@');
      } else {
        AppendQuoted(value.name, &out);
      }
      out.push_back('=');
      AppendValueData(value, &out);
      out.push_back('\n');
    }
    out.push_back('\n');
  }
  return out;
}

}  // namespace fh
