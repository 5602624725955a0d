// The round-trip table shared by the engine tests: each column type with its
// boundary values, the table each is written to, and how a value read back
// compares with the value written.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/column_values.h"
#include "store/row_object.h"

namespace fhtest {

struct TypeCase {
  const char* name;  // for test output
  uint8_t type;
  int32_t maxSize;
  bool key;  // v is part of the primary key
  std::vector<std::optional<fh::ColumnValue>> values;
};

// Every column type with its boundary values: each integer width's minimum
// and maximum, the unsigned 64-bit maximum, decimals of more than 15
// significant digits, dates and times (as keys, given with more parts than
// the column keeps), long and non-ASCII texts, binary values with zero bytes.
std::vector<TypeCase> TypeCases();

// Defines table (id INT, v of the case's type, n INT; primary key id, and v
// when the case is a key) on connection.
bool DefineRoundTripTable(const std::string& table, const TypeCase& c,
                          const std::string& connection);

// The row (id, v, n).
std::unique_ptr<RowObject> RoundTripRow(int id, const std::optional<fh::ColumnValue>& v, int n);

// The parts of a date-time value a column of type keeps (any other value as
// it is).
fh::ColumnValue KeptValue(const fh::ColumnValue& value, uint8_t type);

// true when got is what an engine must give back for written in a column of
// type: the kept date-time parts, a decimal's number (trailing zeros of the
// fraction aside), every other value byte for byte. doubleDigits below 17
// compares doubles at that many significant digits (SQLite: see the
// README's engine differences).
bool SameValue(const std::optional<fh::ColumnValue>& got,
               const std::optional<fh::ColumnValue>& written, uint8_t type, int doubleDigits = 17);

}  // namespace fhtest
