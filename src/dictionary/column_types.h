// Column type codes: the 8-bit codes 0 to 22 that a column definition
// carries, the data-type names that select them, their fixed value sizes and
// the CHAR-to-TEXT widening.
//
// Thread safety: everything here is constant; any thread may call it.
#pragma once

#include <cstdint>

inline constexpr uint8_t KES_SQL_NOT_SUPPORTED_TYPE = 0;  // raw bytes as given
inline constexpr uint8_t KES_SQL_TINYINT = 1;             // signed, 1 byte
inline constexpr uint8_t KES_SQL_UNSIGNED_TINYINT = 2;    // unsigned, 1 byte
inline constexpr uint8_t KES_SQL_SMALLINT = 3;            // signed, 2 bytes
inline constexpr uint8_t KES_SQL_UNSIGNED_SMALLINT = 4;   // unsigned, 2 bytes
inline constexpr uint8_t KES_SQL_INT = 5;                 // signed, 4 bytes
inline constexpr uint8_t KES_SQL_UNSIGNED_INT = 6;        // unsigned, 4 bytes
inline constexpr uint8_t KES_SQL_BIGINT = 7;              // signed, 8 bytes
inline constexpr uint8_t KES_SQL_UNSIGNED_LONG_INT = 8;   // unsigned, 8 bytes
inline constexpr uint8_t KES_SQL_FLOAT = 9;               // float, 4 bytes
inline constexpr uint8_t KES_SQL_DOUBLE = 10;             // double, 8 bytes
inline constexpr uint8_t KES_SQL_REAL = 11;               // float, 4 bytes
inline constexpr uint8_t KES_SQL_DECIMAL = 12;            // the number's text
inline constexpr uint8_t KES_SQL_NUMERIC = 13;            // the number's text
inline constexpr uint8_t KES_SQL_CHAR = 14;               // zero-terminated text
inline constexpr uint8_t KES_SQL_NCHAR = 15;              // zero-terminated text
inline constexpr uint8_t KES_SQL_DATE = 16;               // KesDateTime, length 11
inline constexpr uint8_t KES_SQL_TIME = 17;               // KesDateTime, length 11
inline constexpr uint8_t KES_SQL_DATETIME = 18;           // KesDateTime, length 11
inline constexpr uint8_t KES_SQL_BOOLEAN = 19;            // 1 byte: 1 true, 0 false
inline constexpr uint8_t KES_SQL_BLOB = 20;               // raw bytes
inline constexpr uint8_t KES_SQL_CLOB = 21;               // raw bytes
inline constexpr uint8_t KES_SQL_TEXT = 22;               // zero-terminated text

namespace fh {

// The highest valid type code.
inline constexpr uint8_t kMaxColumnTypeCode = KES_SQL_TEXT;

// A CHAR or NCHAR column of this max-size or more is stored as TEXT.
inline constexpr int32_t kCharWideningMaxSize = 256;

}  // namespace fh

// The type code a data-type text selects, compared without regard to letter
// case: the symbolic names above and the aliases "INTEGER", "LONG" (5),
// "BIGINT" (7), "FLOAT" (9), "CHAR", "NCHAR" (15), "DATE" (16), "TIME" (17),
// "DATETIME", "TIMESTAMP" (18), "BOOLEAN" (19), "BLOB" (20), "CLOB" (21),
// "TEXT" (22). KES_SQL_BIGINT, KES_SQL_NCHAR and KES_SQL_BOOLEAN are names for
// code only and select nothing. An unlisted text or none gives 0. Logs
// nothing.
uint8_t GetColumnTypeFromName(const char* dataTypeName);

namespace fh {

// The symbolic name of a code ("KES_SQL_INT"); "UNKNOWN" above 22.
const char* GetColumnTypeSymbol(uint8_t dataType);

// The fixed value size of codes 1 to 11 (1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 4),
// 11 for codes 16 to 18, 1 for 19; 0 for the types whose values take their
// own length (0, 12 to 15, 20 to 22) and for codes above 22.
int32_t GetColumnTypeSize(uint8_t dataType);

// true for codes 1 to 8.
bool IsIntegerColumnType(uint8_t dataType);
// true for codes 1, 3, 5, 7.
bool IsSignedIntegerColumnType(uint8_t dataType);
// true for codes 9 to 11.
bool IsFloatingColumnType(uint8_t dataType);
// true for codes 12 to 15 and 22 (values held as zero-terminated texts).
bool IsTextColumnType(uint8_t dataType);
// true for codes 16 to 18.
bool IsDateTimeColumnType(uint8_t dataType);

// The widening rule: KES_SQL_CHAR or KES_SQL_NCHAR with maxSize of 256 or
// more becomes KES_SQL_TEXT; every other code is returned unchanged.
uint8_t WidenColumnType(uint8_t dataType, int32_t maxSize);

}  // namespace fh
