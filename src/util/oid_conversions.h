// Object identifiers (OIDs) and IPv4 addresses in their binary and text
// forms.
//
// An OID is an array of unsigned 32-bit sub-identifiers with a count; its
// text starts with a point, as in ".1.3.6.1". An IPv4 address is four
// sub-identifiers 0-255; its text is four decimals joined by points, without
// a leading point.
//
// Buffers: a function that writes into the caller's buffer takes the
// buffer's capacity right after it (in elements: bytes for texts,
// sub-identifiers for OIDs) and never writes past it; when the result does
// not fit it is refused before anything is written. Every text written into
// a caller's buffer is NUL-terminated, so its capacity must count the NUL.
// A new text is returned by value and belongs to the caller; an allocation
// failure is logged as "Unable to allocate buffer !!! \n" and gives none.
//
// Every function logs its entry line at trace level. Thread safety: the
// functions touch only their arguments; calls on distinct buffers may run on
// any threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "log/log.h"

// Point-prefixed decimal text of the length / 4 sub-identifiers of oid
// (length is in bytes; a remainder below 4 is ignored). length receives the
// text's length (0 when none is returned). None when oid is null while
// length / 4 > 0.
std::optional<std::string> ConvertToStringFromOID(const std::uint32_t* oid, std::size_t& length);

// The same text as ConvertToStringFromOID for count sub-identifiers, written
// with its NUL into out. Returns false when oid or out is null (out is then
// untouched) or the text does not fit (out then holds the empty text when
// outCapacity > 0).
bool ConvertToStringFromOid(const std::uint32_t* oid, std::size_t count, char* out,
                            std::size_t outCapacity);

// Dotted decimal text (no leading point) of oid[from] ... oid[to - 1],
// written with its NUL into out; the empty text when from == to.
// REQUIRES: oid holds at least `to` sub-identifiers.
// Returns false when from > to, an argument is null or the text does not fit
// (out then holds the empty text when outCapacity > 0).
bool ConvertToIpAddressFromOid(char* out, std::size_t outCapacity, const std::uint32_t* oid,
                               std::size_t from, std::size_t to);

// Parses an OID text (isIp false) or an IPv4 text (isIp true) into oid.
// The text needs at least one point, else "Incorrect format of OID\n" or
// "Incorrect format of IpAddress\n" is logged and the result is -1. An OID
// text is read from after its leading point (from its start when it has
// none), an IP text from its start. Every part must be a non-empty run of
// decimal digits whose value fits in 32 bits, else -1. The expected number of
// parts is the number of points for an OID and one more for an IP text.
// Results: the number of parts, written to oid[0 ...], when it equals the
// expected count; 0 (nothing written) when it does not; -1 (nothing written)
// for a malformed text, a null argument, or more parts than oidCapacity.
int ConvertToOidOrIpFromString(std::uint32_t* oid, std::size_t oidCapacity, const char* text,
                               bool isIp);

// True when the first n characters of text (fewer when a NUL comes first)
// are four parts joined by exactly three points, each part a non-empty run
// of decimal digits of value 0-255 (leading zeros allowed, any length).
// Logs "len is %d\n" with n.
bool IsValidIPAddress(const char* text, std::size_t n);

// True when the first n characters of text (fewer when a NUL comes first)
// start with a point and hold more than one point.
bool IsValidOid(const char* text, std::size_t n);

// Lexicographic comparison by sub-identifier: 1 when a is greater, -1 when it
// is smaller, 0 when equal; at a common prefix the longer OID is greater.
int CompareOid(const std::uint32_t* a, std::size_t aCount, const std::uint32_t* b,
               std::size_t bCount);

// Copies count sub-identifiers of source to destination[0 ...]. False, with
// nothing written, when count exceeds destinationCapacity or a needed
// argument is null.
bool CopyOid(std::uint32_t* destination, std::size_t destinationCapacity,
             const std::uint32_t* source, std::size_t count);

// Copies count sub-identifiers of source to destination[offset ...], leaving
// destination[0 .. offset - 1] as it was. False, with nothing written, when
// offset + count exceeds destinationCapacity or a needed argument is null.
bool SetNOid(std::uint32_t* destination, std::size_t destinationCapacity,
             const std::uint32_t* source, std::size_t offset, std::size_t count);

// Replaces target's content with a new copy of count sub-identifiers of
// source. 1 on success; 0 when source is null while count > 0; 99 when the
// allocation fails (logged as "Unable to allocate memory\n"; target is then
// unchanged).
int ReallocateAndSetOID(std::vector<std::uint32_t>& target, const std::uint32_t* source,
                        std::size_t count);

// Number of points among the first n characters of text (fewer when a NUL
// comes first); 0 for a null text.
int GetOidLength(const char* text, std::size_t n);

// The first of the count sub-identifiers of oid that is greater than value,
// or 0 when there is none.
std::uint32_t GetNextSubId(std::uint32_t value, const std::uint32_t* oid, std::size_t count);

// Widen the first n bytes of text into sub-identifiers oid[0 .. n - 1].
// CopyStringToOid takes each byte as a signed char (0xFF becomes 0xFFFFFFFF);
// CopyStringToOID as an unsigned one (0xFF becomes 255). False, with nothing
// written, when n exceeds oidCapacity or a needed argument is null.
bool CopyStringToOid(std::uint32_t* oid, std::size_t oidCapacity, const char* text, std::size_t n);
bool CopyStringToOID(std::uint32_t* oid, std::size_t oidCapacity, const char* text, std::size_t n);

// Writes oid[from] ... oid[from + n - 1], each reduced modulo 255 to one
// character, then a NUL, into out (n + 1 bytes).
// REQUIRES: oid holds at least from + n sub-identifiers.
// False, with nothing written, when n + 1 exceeds outCapacity or a needed
// argument is null.
bool ConvertToCharArray(char* out, std::size_t outCapacity, const std::uint32_t* oid,
                        std::size_t from, std::size_t n);

// Logs each sub-identifier with "%lu\t" at debug level.
void PrintOid(const std::uint32_t* oid, std::size_t count);

// Logs each of the n bytes with the caller's format at debug level, the byte
// passed as an int. The format may hold at most one conversion, and it must
// be one that takes an int (d, i, o, u, x, X or c, with the usual flags,
// hh/h, and a width and precision of at most three digits); any other format
// is refused with an error line and nothing else is logged.
void PrintStream(const std::uint8_t* bytes, std::size_t n, const char* format)
    FH_PRINTF_FORMAT(3, 0);
