// Writing one typed registry value: the key path is created level by level
// when missing, the caller's UTF-8 text is turned into the bytes of the
// requested type and stored through the wide registry call. Every step is
// logged through the level functions.
//
// Thread safety: gv_use64BitRegView is set once by the tool's main before the
// first registry call and only read afterwards; the functions keep no other
// state and take no lock.
#pragma once

#include <string>
#include <vector>

#include "platform/win32_types.h"

// When true, keys are created, opened and deleted in the 64-bit registry view
// (KEY_WOW64_64KEY added to the access mask); false at start.
extern bool gv_use64BitRegView;

namespace fh {
// Puts the registry layer's process-wide state back to its start (view flag
// false). For tests.
void ResetRegistryViewFlag();

// The access mask the writer and the deleter open keys with: KEY_ALL_ACCESS,
// with KEY_WOW64_64KEY when gv_use64BitRegView is set.
REGSAM RegistryWriteAccess();
}  // namespace fh

// Writes valueData as a value of the given type code under root\subKey,
// creating the key when needed. valueName "--" addresses the key's default
// value, valueData "--" stands for the empty text. Types: 1 and 2 UTF-16 text
// with its terminator; 3 the UTF-8 bytes with their terminator; 4 the text
// read as an unsigned decimal (32 bits); 7 a list split at ';' with '^' as
// escape; 11 the text read by ParseDecimalQword; any other code the first 4
// bytes of the UTF-16 text, zero-padded.
// Returns 0; 13 when valueName or valueData is null; else the Win32 code of
// the key creation, the key opening or the write, whichever failed first.
LONG writeValueEx(HKEY root, const char* subKey, const char* valueName, const char* valueData,
                  DWORD type);

// Creates root\subKey (every missing level) or opens it when it exists, then
// closes it. Returns 0 or the creation's Win32 code.
LONG addRegistryKeyEx(HKEY root, const char* subKey);

// Converts a zero-terminated UTF-8 text to UTF-16 (ill-formed sequences
// become U+FFFD). True with the text in wide; false when utf8 is null (wide
// untouched) or the conversion fails (wide empty).
bool ChangeUtf8ToWideStr(const char* utf8, std::u16string& wide);

// The multi-string form of a zero-terminated text: units separated by
// `separator` become `replacement`, a unit after `escape` is copied as it is
// (an escape as the last unit copies the terminator and ends the walk), and
// two zero units close the list. *size receives the byte size of the result
// (units x 2). text null is read as the empty text.
std::vector<WCHAR> TranslateSeparators(const WCHAR* text, WCHAR escape, WCHAR separator,
                                       WCHAR replacement, DWORD* size);

// TranslateSeparators with escape '^', separator ';' and replacement 0: the
// REG_MULTI_SZ bytes of the text.
std::vector<WCHAR> MakeMultiStringData(const WCHAR* wide, DWORD* size);

// The 64-bit value of a narrow text: for every byte up to the terminator,
// value = value * 10 + (byte - '0'), the byte read as a signed 8-bit number,
// modulo 2^64. No sign, no blanks skipped, every byte taken as a digit
// ("1a" gives 59). Null gives 0.
ULONGLONG ParseDecimalQword(const char* text);

namespace fh {

// The REG_DWORD reading of a narrow text, as a C library's strtoul with base
// 10 and a 32-bit unsigned long reads it: leading white space skipped, an
// optional sign, decimal digits up to the first other character; no digits
// give 0, a value above 4294967295 gives 4294967295, a minus sign negates
// modulo 2^32. Null gives 0.
DWORD ParseDecimalDword(const char* text);

}  // namespace fh
