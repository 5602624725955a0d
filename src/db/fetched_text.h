// How a value a database hands over as text becomes a column value of the
// type its result column maps to. Shared by the providers, so that a value
// reads the same whichever provider fetched it.
//
// Dates, times and date-times are read as "%d-%d-%d", "%d:%d:%d" and
// "%d-%d-%d %d:%d:%d" (blanks before a number skipped, parts not reached
// stay 0); a boolean is true for the text "1" and false for any other text;
// every other type goes through ConvertStringToValue with the text's length.
//
// Thread safety: pure functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "dictionary/column_values.h"

namespace fh {

// text (zero-terminated, length bytes before the zero) as a value of
// columnType; none when it does not convert.
std::optional<ColumnValue> FetchedTextValue(const char* text, std::size_t length,
                                            uint8_t columnType);

}  // namespace fh
