// Null-tolerant counterparts of C library text and byte functions. Each gives
// the standard function's result unless its comment says otherwise; a missing
// (null) argument never crashes: it gives the stated "none" result.
// Comparisons give -1, 0 or 1. No function keeps state; none logs.
#pragma once

#include <cstddef>

// strlen; 0 for none.
std::size_t StringLength(const char* text);

// strcpy: destination, or none (nothing written) when either is none.
char* StringCopy(char* destination, const char* source);

// Bounded copy into a destination of n bytes that always terminates: copies
// at most n - 1 bytes of source, stops after source's NUL (no padding) and
// always writes a NUL within the n bytes. destination, or none (nothing
// written) when either is none or n is 0.
char* StringCopyN(char* destination, const char* source, std::size_t n);

// strcat: destination, or none (nothing written) when either is none.
char* StringConcat(char* destination, const char* source);

// strcmp on signed characters (a byte of 0x80 and above sorts before 'A').
// Both none: 0; only first none: -1; only second none: 1.
int StringCompare(const char* first, const char* second);

// strncmp (unsigned bytes), at most n bytes; null rule of StringCompare.
int StringCompareN(const char* first, const char* second, std::size_t n);

// StringCompare with ASCII letters folded to lower case.
int StringCompareNoCase(const char* first, const char* second);

// Copies at most size - 1 bytes of text into buffer and terminates it.
// Returns strlen(text) (a result >= size means the copy was cut); 0 when an
// argument is missing or size <= 0 (nothing written).
std::size_t StringCopyBounded(char* buffer, const char* text, int size);

// Appends text to the text in buffer so that the whole stays below size
// bytes, always terminated. Returns strlen(buffer before) + strlen(text); a
// buffer without a NUL in its first size bytes counts as size long and is
// left unchanged. 0 when an argument is missing; strlen(text) when size <= 0.
std::size_t StringConcatBounded(char* buffer, const char* text, int size);

// memcpy / memset: destination, or none (nothing written) when a pointer is
// none.
void* CopyBytes(void* destination, const void* source, std::size_t n);
void* FillBytes(void* destination, int value, std::size_t n);

// memcmp with the null rule of StringCompare.
int CompareBytes(const void* first, const void* second, std::size_t n);

// memchr / strchr / strpbrk; none for a missing argument.
const void* FindByte(const void* buffer, int value, std::size_t n);
void* FindByte(void* buffer, int value, std::size_t n);
const char* FindChar(const char* text, int c);
char* FindChar(char* text, int c);
const char* FindAnyChar(const char* text, const char* characters);
char* FindAnyChar(char* text, const char* characters);

// strspn; 0 for a missing argument.
std::size_t SpanChars(const char* text, const char* characters);

// true when dataLength >= prefixLength and the first prefixLength bytes of
// data equal prefix. false for missing arguments or negative lengths (an
// empty prefix, length 0, always matches present data).
bool StartsWithBytes(const void* data, int dataLength, const void* prefix, int prefixLength);

// Reverses the first n bytes of text in place. REQUIRES: text holds at least
// n bytes. Nothing happens for none or n < 2.
void ReverseString(char* text, int n);
