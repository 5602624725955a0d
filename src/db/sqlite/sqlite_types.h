// The column type code a SQLite result column's declared type maps to:
// the code the ODBC provider ends up with for the same column through the
// SQLite ODBC driver, so both SQLite providers type a result alike.
//
// Thread safety: a pure function.
#pragma once

#include <cstdint>

namespace fh {

// declaredType as sqlite3_column_decltype gives it; matched by its leading
// word in any letter case. None (an expression) gives KES_SQL_NCHAR.
uint8_t MapSqliteDeclaredType(const char* declaredType);

// An expression column (no declared type) is typed by its value in the
// first row: storageClass is that value's sqlite3_column_type. Integers
// give KES_SQL_INT, floating-point values KES_SQL_DOUBLE, binary values
// KES_SQL_BLOB, texts and NULL KES_SQL_NCHAR.
uint8_t MapSqliteStorageClass(int storageClass);

}  // namespace fh
