// String helpers: small functions over NUL-terminated byte texts (single
// bytes, no code-page awareness). This header also brings the null-tolerant
// counterparts of the C library (util/c_string.h) and the numbers-in-text
// helpers (util/number_text.h).
//
// Conventions of the family:
// - A text argument is a `const char*` that may be null ("missing"); most
//   functions then give none (std::nullopt, a null pointer, or -1 as stated).
// - A new text is returned by value and owned by the caller;
//   std::optional<std::string> where none and the empty text differ.
// - Functions that change a caller's buffer in place keep char* arguments.
// - Thread safety: every function is safe to call from several threads on
//   different buffers; none keeps state.
// - SubString and ReallocateAndSetString write an entry line with LogTrace:
//   do not call them while holding the log's own lock.
//
// Occurrences. The occurrence functions (CountSubString to SplitString) share
// one matching rule: the text is scanned once from the left keeping a
// position in the pattern; a character equal to the pattern's current
// character advances both; a mismatch resets the pattern position and
// advances the text (the mismatching character is not re-examined as the
// start of a new match); a complete pattern is an occurrence and the scan
// goes on after it (occurrences never overlap). So ab does not occur in aab,
// and aab does not occur in aaab. An empty pattern has no occurrence.
// SubString and FindSubString are exact searches instead.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "util/c_string.h"
#include "util/number_text.h"

// ---- Allocation and setting ----------------------------------------------

// target becomes a copy of text (none when text is none). 1, or 99 when
// memory runs out (target then unchanged).
int DuplicateString(std::optional<std::string>& target, const char* text);

// target becomes a new text of the first n bytes of text (fewer when text
// ends first; none when text is none). 1, or 99 with "Unable to allocate
// memory\n" (LogError) when memory runs out or n is negative (target then
// unchanged).
int AllocateAndSetString(std::optional<std::string>& target, const char* text, int n);

// Logs "\n\t@@@@@ Inside ReallocateAndSetString() @@@@@ \n", drops target's
// old text (target becomes none), then as AllocateAndSetString.
int ReallocateAndSetString(std::optional<std::string>& target, const char* text, int n);

// ---- Occurrence functions (matching rule above) ---------------------------

// Number of occurrences; -1 when text or pattern is missing.
int CountSubString(const char* text, const char* pattern);

// Index of the first occurrence; 0 when there is none (the same as a match
// at 0); -1 when text or pattern is missing.
int GetSubStringIndex(const char* text, const char* pattern);

// Index of the last occurrence; -1 when there is none or an argument is
// missing.
int GetLastSubStringIndex(const char* text, const char* pattern);

// The text before the first occurrence; the empty text when there is none;
// none when an argument is missing.
std::optional<std::string> GetStringBefore(const char* text, const char* pattern);

// The text after the first occurrence. When there is none: the text from
// position strlen(pattern) onward, as if the pattern stood at 0 (the empty
// text when the text is not longer than the pattern). None when an argument
// is missing.
std::optional<std::string> GetStringAfter(const char* text, const char* pattern);

// The text after the last occurrence (GetStringAfter applied once per
// occurrence); a copy of the text when there is none. None when an argument
// is missing.
std::optional<std::string> GetStringAfterLast(const char* text, const char* pattern);

// The text with every occurrence removed (a copy when there is none). None
// when an argument is missing.
std::optional<std::string> RemoveAllSubStrings(const char* text, const char* pattern);

// The text with the first (last) occurrence removed; none when there is no
// occurrence or an argument is missing.
std::optional<std::string> RemoveFirstSubString(const char* text, const char* pattern);
std::optional<std::string> RemoveLastSubString(const char* text, const char* pattern);

// The CountSubString + 1 pieces between occurrences of separator, in order
// (a;b;;c at ; gives a, b, "", c). None when an argument is missing. The
// caller owns the pieces (the array needs no FreeStringArray).
std::optional<std::vector<std::string>> SplitString(const char* text, const char* separator);

// Releases the first count pieces (count taken as 16 bits) and then the whole
// array: array is left empty.
void FreeStringArray(std::vector<std::string>& array, int count);

// ---- Exact searches and tokens --------------------------------------------

// Logs "\n\t@@@@@ Inside SubString() @@@@@ \n". Pointer into text at the first
// exact occurrence of pattern, or none (also when the pattern is longer than
// the text, empty, or an argument is missing).
const char* SubString(const char* text, const char* pattern);
char* SubString(char* text, const char* pattern);

// true when text contains pattern exactly (false for an empty or missing
// pattern or a missing text).
bool FindSubString(const char* text, const char* pattern);

// Index of the first byte c among the first n bytes of buffer, or -1 (also
// for n <= 0 or a missing buffer). Reads at most n bytes; NUL bytes are
// ordinary bytes here.
int GetIndex(const char* buffer, int n, char c);

// Re-entrant tokenizer over a caller's buffer, changed in place. Skips
// leading delimiters, terminates the next token in place and returns it, and
// keeps the position in *cursor. Pass the buffer on the first call and null
// afterwards (continuing from *cursor). None at the end, or when delimiters
// or cursor is missing. Empty pieces between two delimiters are skipped.
// This is the function to split a ";"-separated file list in place.
char* TokenizeString(char* text, const char* delimiters, char** cursor);

// Splits the first length bytes of data at every "," and gives true when one
// piece is exactly the valueLength bytes of value. false for a missing
// argument or negative lengths. Reads at most length bytes of data.
bool IsStringMatched(const char* data, int length, const char* value, int valueLength);

// ---- Trimming and filtering (new texts) -----------------------------------

// The text without its leading c characters. None for an empty or missing
// text.
std::optional<std::string> TrimLeadingChar(const char* text, char c);

// The text without its trailing c characters. None for a missing text and for
// the one-character text made of c; the empty text for "" and for a text made
// only of c.
std::optional<std::string> TrimTrailingChar(const char* text, char c);

// Both of the above: none when either gives none for the text (missing,
// empty, or the single character c); the empty text for a text made only of
// c.
std::optional<std::string> TrimChar(const char* text, char c);

// Only the letters A-Z and a-z / only letters and digits / everything but
// letters and digits. None for a missing text.
std::optional<std::string> GetAlphaChars(const char* text);
std::optional<std::string> GetAlphaNumericChars(const char* text);
std::optional<std::string> GetNonAlphaNumericChars(const char* text);

// A copy with ASCII letters lowered / raised. None for a missing text.
std::optional<std::string> ToLowerCopy(const char* text);
std::optional<std::string> ToUpperCopy(const char* text);
