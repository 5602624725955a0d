// What a criteria comparison means: the literal of a leaf (query/
// criteria_parser.h) read as a value of the compared column's type. The
// in-memory evaluator (store/criteria_evaluator.h) and the SQL text of a
// criteria (sql/sql_generator.h, through the select query's leaves) both
// start from this one reading, so a criteria selects the same rows in
// memory and on an engine.
//
// A literal is a number as written or a quoted text (its value between the
// quotes). Against a column of type
//   1 to 8      integers: a number, quoted or not ('5' is 5), optionally
//               negative and with a fraction. The comparison is exact: a
//               literal with a fraction or outside the column's range is
//               never rounded or wrapped; the leaf is rewritten into the
//               equivalent comparison with an integer of the column's range
//               (id < 2.5 is id <= 2, id = 2.5 matches no row, a TINYINT
//               t < 1000 matches every row that has a value).
//   9, 10, 11   floating point: a number, compared as a double (a FLOAT
//               value widened to double, the literal read to the nearest
//               double).
//   12, 13      decimal texts: a number, compared exactly by value (2.50 =
//               2.5); a stored value that is no number never matches.
//   14, 15, 22, 21   texts (and CLOB): the literal's text, byte-wise.
//   20          BLOB: the literal's bytes, byte-wise.
//   16 / 17 / 18   a date YYYY-MM-DD / a time HH:MM:SS / a date and a time
//               (or a date alone, at midnight), each field a real calendar
//               or clock value; compared by value, a DATE by its date, a TIME
//               by its time of day.
//   19          booleans: TRUE or FALSE in any letter case, or 1 or 0;
//               false sorts before true.
// Any other literal is refused: a text that is no number against a numeric
// column, an impossible date, a boolean other than those, and every literal
// against a column of type 0 or a code above 22.
//
// Thread safety: no state; any thread may call these.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "dictionary/column_values.h"

namespace fh {

struct CriteriaNode;

// A comparison of a column with a literal read as the column's type.
struct CriteriaComparison {
  uint8_t code = 0;       // the comparison (1 to 6), possibly rewritten for integers
  uint8_t valueType = 0;  // the type value is held in: the column's type, but
                          // KES_SQL_DOUBLE for a FLOAT or REAL column
  ColumnValue value;      // the literal; a date-time with only the parts the
                          // column's type compares
  // The bytes a select query's leaf carries for it: value's bytes, or its
  // canonical text for the date-time types.
  std::string selectValue;
};

// The comparison of a column of columnType by code (1 to 6) with operand (a
// leaf's operand as the parser keeps it). None when the literal cannot be
// read as the type; *reason (when given) then says why in a few words.
std::optional<CriteriaComparison> ReadCriteriaComparison(const std::string& operand, uint8_t code,
                                                         uint8_t columnType, std::string* reason);

// ReadCriteriaComparison of a leaf (query/criteria_node.h) against its
// column's type, logging a refusal as "Criteria value %s cannot be compared
// with column %s: %s\n" (error: the operand, the leaf's column name and what
// the column takes).
std::optional<CriteriaComparison> ReadLeafComparison(const CriteriaNode& leaf, uint8_t columnType);

// A decimal number as text, split for an exact comparison: sign, integer
// digits without leading zeros, fraction digits without trailing zeros. Zero
// has no digits and is never negative. The views point into the text read.
struct DecimalDigits {
  bool negative = false;
  std::string_view integer;
  std::string_view fraction;
};

// The digits of text: optional "+" or "-", digits, optionally "." and
// digits. None for any other text.
std::optional<DecimalDigits> ReadDecimalDigits(std::string_view text);

// Negative, zero or positive as a is below, equal to or above b.
int CompareDecimalDigits(const DecimalDigits& a, const DecimalDigits& b);

}  // namespace fh
