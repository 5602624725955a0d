// Column values: the in-memory form of one column value (a row's value, a
// column default, a parsed criteria operand) and its conversions from and to
// text by column type code (dictionary/column_types.h).
//
// A value is its own buffer plus a length in bytes. Byte values keep one zero
// byte beyond their length, so a text value is always zero-terminated. A
// value of the date-time types (16, 17, 18) is a KesDateTime record whose
// length counts as 11. An SQL NULL is the absence of a value: callers hold
// std::optional<ColumnValue> (or a null const ColumnValue*).
//
// Ownership: a ColumnValue owns everything it holds. Copying one copies its
// bytes, or its date-time record with both parts, deeply; destroying it frees
// them. A value that was moved from reads as the empty byte value (length 0,
// text ""; mutableBytes() none) until it is assigned again. Texts returned by
// the conversions are new strings the caller owns, except the pool variant,
// whose text belongs to the pool.
//
// Thread safety: no function keeps state. A ColumnValue is safe to read from
// several threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "dictionary/date_time.h"
#include "dictionary/value_bytes.h"

struct MemPool;

namespace fh {

class ColumnValue {
 public:
  // The empty byte value: length 0, one zero byte.
  ColumnValue();

  // A copy of length bytes (bytes may be none when length is 0).
  static ColumnValue FromBytes(const void* bytes, std::size_t length);
  // A copy of the text's bytes; the length is the text's length.
  static ColumnValue FromText(std::string_view text);
  // A date-time value (length 11). The record is copied.
  static ColumnValue FromDateTime(const KesDateTime& dateTime);
  // The low-order fh::GetColumnTypeSize(dataType) bytes of value, in the
  // machine's byte order, for the integer codes 1 to 8; the value as 1 or 0
  // for KES_SQL_BOOLEAN. Other codes give the 8 bytes of value.
  static ColumnValue FromInteger(uint8_t dataType, int64_t value);
  static ColumnValue FromFloat(float value);    // 4 bytes
  static ColumnValue FromDouble(double value);  // 8 bytes

  // The recorded length in bytes: the byte count, or 11 for a date-time.
  int32_t length() const;
  bool isDateTime() const;

  // Byte values: length() bytes followed by one zero byte. None for a
  // date-time value. Valid while the value lives and is not changed.
  const unsigned char* bytes() const;
  unsigned char* mutableBytes();
  // bytes() seen as a zero-terminated text (it may hold further zero bytes
  // within its length); none for a date-time value.
  const char* text() const;

  // The date-time record; none for a byte value.
  const KesDateTime* dateTime() const;
  KesDateTime* mutableDateTime();

  friend bool operator==(const ColumnValue&, const ColumnValue&) = default;

 private:
  // Byte storage holds length + 1 bytes, the last one zero; a moved-from
  // value holds none.
  std::variant<ValueBytes, KesDateTime> storage_;
};

}  // namespace fh

// Reads text as a value of dataType. length is in/out: on entry the byte
// count of text for the byte-copying codes (0, 12, 13, 20, 21); on return
// the value's length (0 when there is no value). A null length counts as 0
// on entry and is not written.
//   0, 12, 13, 20, 21  a copy of the given number of bytes
//   1 to 6             a decimal integer, optional leading "+" or "-"; a text
//                      with any other character (or none) gives 0; stored in
//                      the type's size (its low-order bytes)
//   7, 8               the same in 8 bytes (computed in 64 bits, wrapping)
//   9, 11 / 10         optional sign, digits, optional "." and digits as a
//                      float / double; any other form gives 0
//   14, 15, 22         a copy of the text; length = the text's length
//   16 to 18           ConvertStringToKesDateTime: both parts; a text that is
//                      no date or time gives no value; length 11
//   19                 "TRUE" gives 1, "FALSE" gives 0 (any letter case), any
//                      other text no value; length 1
//   above 22           no value
// A null text gives no value for the codes that read text (all but the
// byte-copying codes with a length of 0, which give an empty value). No
// value is also the result when memory is exhausted. Logs nothing.
std::optional<fh::ColumnValue> ConvertStringToValue(const char* text, uint8_t dataType,
                                                    int32_t* length);

// The value's text (a new string the caller owns), or none:
//   no value                 "NULL"
//   0, above 22              none
//   1, 3, 5 / 2, 4, 6        "%d" / "%u" of the value read at its own size
//   7 / 8                    the signed / unsigned 64-bit value in decimal
//   9, 11 / 10               "%f" of the float / double
//   12 to 15, 20 to 22       the stored text itself (up to its first zero
//                            byte), no quoting
//   16 to 18                 KesDateTimeToString (none when both parts are
//                            absent)
//   19                       "'t'" when the flag is 1, else "'f'"
// A numeric value shorter than its type's size is read as if zero-extended;
// a value of the wrong kind (bytes for a date-time code, a date-time for a
// byte code) gives none. Logs nothing.
std::optional<std::string> ConvertValueToString(const fh::ColumnValue* value, uint8_t dataType);
std::optional<std::string> ConvertValueToString(const std::optional<fh::ColumnValue>& value,
                                                uint8_t dataType);

namespace fh {

// The variant used while a statement is built: the same texts for a missing
// value ("NULL") and codes 1 to 15 and 19, none for every other code, the
// text allocated (zero-terminated) in pool. None as well when pool is none or
// exhausted.
const char* ConvertValueToStringInPool(const ColumnValue* value, uint8_t dataType, MemPool* pool);

// Typed readers for the stores and evaluators. The integer value of codes 1
// to 8 and 19 read at the type's size (unsigned codes zero-extended, code 8
// as its bit pattern); none for other codes or a date-time value.
std::optional<int64_t> GetIntegerValue(const ColumnValue& value, uint8_t dataType);
// The value of codes 9 to 11 as a double; none for other codes.
std::optional<double> GetFloatingValue(const ColumnValue& value, uint8_t dataType);

}  // namespace fh
