#include "platform/text_conversion.h"

#include <climits>
#include <cstring>

#include "platform/last_error.h"

namespace {

using fh::kReplacementCharacter;

bool IsContinuation(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// Decodes the code point starting at units[*position]; an unpaired surrogate
// gives U+FFFD and false.
bool DecodeUtf16(const WCHAR* units, std::size_t count, std::size_t* position,
                 char32_t* codePoint) {
  char32_t unit = units[*position];
  ++*position;
  if (!IsHighSurrogate(unit) && !IsLowSurrogate(unit)) {
    *codePoint = unit;
    return true;
  }
  if (IsHighSurrogate(unit) && *position < count && IsLowSurrogate(units[*position])) {
    char32_t low = units[*position];
    ++*position;
    *codePoint = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    return true;
  }
  *codePoint = kReplacementCharacter;
  return false;
}

int Utf8Length(char32_t codePoint) {
  if (codePoint < 0x80) return 1;
  if (codePoint < 0x800) return 2;
  if (codePoint < 0x10000) return 3;
  return 4;
}

char32_t ScalarOrReplacement(char32_t codePoint) {
  if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  return codePoint;
}

// Writes into a caller's buffer of fixed capacity, or only counts when there
// is none. A character that does not fit whole stops the writing.
template <typename Unit>
class BoundedSink {
 public:
  BoundedSink(Unit* out, std::size_t capacity) : out_(out), capacity_(capacity) {}

  void Put(const Unit* units, std::size_t n) {
    if (overflow_) return;
    if (out_ != nullptr) {
      if (count_ + n > capacity_) {
        overflow_ = true;
        return;
      }
      std::memcpy(out_ + count_, units, n * sizeof(Unit));
    }
    count_ += n;
  }

  std::size_t count() const { return count_; }
  bool overflow() const { return overflow_; }

 private:
  Unit* out_;
  std::size_t capacity_;
  std::size_t count_ = 0;
  bool overflow_ = false;
};

bool IsNarrowCodePage(UINT codePage) { return codePage == CP_UTF8 || codePage == CP_ACP; }

}  // namespace

namespace fh {

int EncodeUtf8(char32_t codePoint, char* bytes) {
  codePoint = ScalarOrReplacement(codePoint);
  int n = Utf8Length(codePoint);
  switch (n) {
    case 1:
      bytes[0] = static_cast<char>(codePoint);
      break;
    case 2:
      bytes[0] = static_cast<char>(0xC0 | (codePoint >> 6));
      bytes[1] = static_cast<char>(0x80 | (codePoint & 0x3F));
      break;
    case 3:
      bytes[0] = static_cast<char>(0xE0 | (codePoint >> 12));
      bytes[1] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | (codePoint & 0x3F));
      break;
    default:
      bytes[0] = static_cast<char>(0xF0 | (codePoint >> 18));
      bytes[1] = static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
      bytes[2] = static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
      bytes[3] = static_cast<char>(0x80 | (codePoint & 0x3F));
      break;
  }
  return n;
}

bool DecodeUtf8(std::string_view text, std::size_t* position, char32_t* codePoint) {
  const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  std::size_t start = *position;
  unsigned char lead = byteAt(start);
  *position = start + 1;
  if (lead < 0x80) {
    *codePoint = lead;
    return true;
  }
  int continuations = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuations = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuations = 2;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuations = 3;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    *codePoint = kReplacementCharacter;
    return false;
  }
  for (int i = 0; i < continuations; ++i) {
    if (*position >= text.size() || !IsContinuation(byteAt(*position), low, high)) {
      *codePoint = kReplacementCharacter;
      return false;
    }
    value = (value << 6) | (byteAt(*position) & 0x3F);
    ++*position;
    low = 0x80;
    high = 0xBF;
  }
  *codePoint = value;
  return true;
}

void AppendUtf8(char32_t codePoint, std::string* out) {
  char bytes[4];
  int n = EncodeUtf8(codePoint, bytes);
  out->append(bytes, static_cast<std::size_t>(n));
}

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    char32_t codePoint;
    DecodeUtf8(text, &position, &codePoint);
    if (codePoint >= 0x10000) {
      out.push_back(static_cast<char16_t>(0xD800 + ((codePoint - 0x10000) >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + ((codePoint - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(codePoint));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t position = 0;
  while (position < text.size()) {
    char32_t codePoint;
    DecodeUtf16(text.data(), text.size(), &position, &codePoint);
    AppendUtf8(codePoint, &out);
  }
  return out;
}

bool IsWellFormedUtf8(std::string_view text) {
  std::size_t position = 0;
  char32_t codePoint;
  while (position < text.size()) {
    if (static_cast<unsigned char>(text[position]) < 0x80) {
      ++position;
      continue;
    }
    if (!DecodeUtf8(text, &position, &codePoint)) return false;
  }
  return true;
}

bool IsWellFormedUtf16(std::u16string_view text) {
  std::size_t position = 0;
  char32_t codePoint;
  while (position < text.size()) {
    if (!DecodeUtf16(text.data(), text.size(), &position, &codePoint)) return false;
  }
  return true;
}

std::string SanitizeUtf8(std::string_view text) {
  if (IsWellFormedUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() + 8);
  std::size_t position = 0;
  while (position < text.size()) {
    char32_t codePoint;
    DecodeUtf8(text, &position, &codePoint);
    AppendUtf8(codePoint, &out);
  }
  return out;
}

}  // namespace fh

int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar) {
  if (!IsNarrowCodePage(CodePage) || lpMultiByteStr == nullptr || cbMultiByte == 0 ||
      cbMultiByte < -1 || cchWideChar < 0 || (lpWideCharStr == nullptr && cchWideChar != 0)) {
    return FailWithCode(ERROR_INVALID_PARAMETER, 0);
  }
  if ((dwFlags & ~MB_ERR_INVALID_CHARS) != 0) return FailWithCode(ERROR_INVALID_FLAGS, 0);
  std::size_t length =
      cbMultiByte == -1 ? std::strlen(lpMultiByteStr) + 1 : static_cast<std::size_t>(cbMultiByte);
  std::string_view text(lpMultiByteStr, length);
  BoundedSink<WCHAR> sink(cchWideChar == 0 ? nullptr : lpWideCharStr,
                          static_cast<std::size_t>(cchWideChar));
  std::size_t position = 0;
  while (position < text.size() && !sink.overflow()) {
    char32_t codePoint;
    if (!fh::DecodeUtf8(text, &position, &codePoint) && (dwFlags & MB_ERR_INVALID_CHARS) != 0) {
      return FailWithCode(ERROR_NO_UNICODE_TRANSLATION, 0);
    }
    WCHAR units[2];
    if (codePoint >= 0x10000) {
      units[0] = static_cast<WCHAR>(0xD800 + ((codePoint - 0x10000) >> 10));
      units[1] = static_cast<WCHAR>(0xDC00 + ((codePoint - 0x10000) & 0x3FF));
      sink.Put(units, 2);
    } else {
      units[0] = static_cast<WCHAR>(codePoint);
      sink.Put(units, 1);
    }
  }
  if (sink.overflow()) return FailWithCode(ERROR_INSUFFICIENT_BUFFER, 0);
  return static_cast<int>(sink.count());
}

int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL* lpUsedDefaultChar) {
  if (!IsNarrowCodePage(CodePage) || lpWideCharStr == nullptr || cchWideChar == 0 ||
      cchWideChar < -1 || cbMultiByte < 0 || (lpMultiByteStr == nullptr && cbMultiByte != 0) ||
      lpDefaultChar != nullptr || lpUsedDefaultChar != nullptr) {
    return FailWithCode(ERROR_INVALID_PARAMETER, 0);
  }
  if ((dwFlags & ~WC_ERR_INVALID_CHARS) != 0) return FailWithCode(ERROR_INVALID_FLAGS, 0);
  std::size_t count = 0;
  if (cchWideChar == -1) {
    while (lpWideCharStr[count] != 0) ++count;
    ++count;
  } else {
    count = static_cast<std::size_t>(cchWideChar);
  }
  BoundedSink<char> sink(cbMultiByte == 0 ? nullptr : lpMultiByteStr,
                         static_cast<std::size_t>(cbMultiByte));
  std::size_t position = 0;
  while (position < count && !sink.overflow()) {
    char32_t codePoint;
    if (!DecodeUtf16(lpWideCharStr, count, &position, &codePoint) &&
        (dwFlags & WC_ERR_INVALID_CHARS) != 0) {
      return FailWithCode(ERROR_NO_UNICODE_TRANSLATION, 0);
    }
    char bytes[4];
    int n = fh::EncodeUtf8(codePoint, bytes);
    sink.Put(bytes, static_cast<std::size_t>(n));
  }
  if (sink.overflow()) return FailWithCode(ERROR_INSUFFICIENT_BUFFER, 0);
  if (sink.count() > static_cast<std::size_t>(INT_MAX))
    return FailWithCode(ERROR_INVALID_PARAMETER, 0);
  return static_cast<int>(sink.count());
}
