// UTF-8 <-> UTF-16 conversion: the Win32 calls MultiByteToWideChar and
// WideCharToMultiByte for the process's narrow code page (UTF-8), and the
// small C++ helpers the rest of the system reuses.
//
// Ill-formed input is never rejected unless the caller asks for it: each
// maximal ill-formed UTF-8 subsequence becomes one U+FFFD, and each unpaired
// UTF-16 surrogate becomes U+FFFD. Code points outside the BMP become
// surrogate pairs.
//
// Thread safety: every function is reentrant; the Win32 calls set the calling
// thread's last-error code when they fail and leave it alone on success.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/win32_types.h"

// Flags of the two conversion calls: fail with 1113
// (ERROR_NO_UNICODE_TRANSLATION) on ill-formed input instead of substituting.
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
inline constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

// Converts cbMultiByte bytes of UTF-8 at lpMultiByteStr (-1: up to and
// including the terminating zero byte) into UTF-16 units at lpWideCharStr.
// CodePage must be CP_UTF8 or CP_ACP (both mean UTF-8); dwFlags 0 or
// MB_ERR_INVALID_CHARS. Returns the number of units written, or with
// cchWideChar 0 the number needed (lpWideCharStr may then be null).
// Failures return 0 and set the last error: 87 for a bad argument (null
// input, length 0 or below -1, unknown code page), 1004 for unknown flags,
// 122 when the output is too small (the buffer is filled as far as whole
// characters fit, never beyond cchWideChar units), 1113 as above.
int MultiByteToWideChar(UINT CodePage, DWORD dwFlags, LPCSTR lpMultiByteStr, int cbMultiByte,
                        LPWSTR lpWideCharStr, int cchWideChar);

// Converts cchWideChar UTF-16 units (-1: up to and including the terminating
// zero unit) into UTF-8 bytes, with the same conventions as above.
// lpDefaultChar and lpUsedDefaultChar must be null for UTF-8 (87 otherwise);
// dwFlags 0 or WC_ERR_INVALID_CHARS.
int WideCharToMultiByte(UINT CodePage, DWORD dwFlags, LPCWSTR lpWideCharStr, int cchWideChar,
                        LPSTR lpMultiByteStr, int cbMultiByte, LPCSTR lpDefaultChar,
                        BOOL* lpUsedDefaultChar);

namespace fh {

inline constexpr char32_t kReplacementCharacter = U'\uFFFD';

// Decodes the code point at text[*position] and advances *position past it.
// Returns false for an ill-formed sequence: *codePoint is then U+FFFD and
// *position has moved past the maximal ill-formed subpart (at least one
// byte). REQUIRES: *position < text.size().
bool DecodeUtf8(std::string_view text, std::size_t* position, char32_t* codePoint);

// Writes the UTF-8 form of a Unicode scalar value into bytes (room for 4)
// and returns its length; a surrogate or a value above U+10FFFF is written
// as U+FFFD.
int EncodeUtf8(char32_t codePoint, char* bytes);

// Appends the UTF-8 form of a Unicode scalar value (a surrogate or a value
// above U+10FFFF is appended as U+FFFD).
void AppendUtf8(char32_t codePoint, std::string* out);

// Whole-text conversions with substitution of ill-formed parts.
std::u16string Utf8ToUtf16(std::string_view text);
std::string Utf16ToUtf8(std::u16string_view text);

bool IsWellFormedUtf8(std::string_view text);
bool IsWellFormedUtf16(std::u16string_view text);

// The text with every ill-formed part replaced by U+FFFD; the same bytes when
// it is already well-formed.
std::string SanitizeUtf8(std::string_view text);

}  // namespace fh
