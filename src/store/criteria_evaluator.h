// Evaluation of criteria trees (query/criteria_node.h) against the rows of an
// in-memory table.
//
// Binding gives every leaf the index and type code of the column it names
// (matched ignoring case) and reads its operand once, as
// ReadCriteriaComparison (query/criteria_literal.h) says: integers exactly
// (never wrapped to the column's width), floating-point values as doubles,
// decimals exactly by value, dates and times by value (a DATE by its date,
// a TIME by its time of day), booleans by truth (false before true), texts,
// CLOBs and BLOBs byte-wise (letter case matters). A literal that cannot be
// read as its column's type refuses the whole criteria.
//
// An absent (NULL) row value never matches, whatever the comparison (also
// "!="); as the language has no negation, this selects exactly the rows an
// SQL where clause of the same tree selects. A connective combines its
// children (an absent child counts as true): 7 AND, 8 OR, any other code
// false.
//
// Thread safety: a CompiledCriteria is read-only once made; any number of
// threads may call Matches on it at once.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/column_values.h"
#include "query/criteria_literal.h"
#include "query/criteria_node.h"
#include "store/column_lookup.h"
#include "store/row_object.h"

namespace fh {

class CompiledCriteria {
 public:
  CompiledCriteria() = default;
  // Leaves refer into their own texts: a compiled criteria is not copied.
  CompiledCriteria(const CompiledCriteria&) = delete;
  CompiledCriteria& operator=(const CompiledCriteria&) = delete;

  // Binds tree (setting each leaf's columnIndex and columnType) to the
  // columns of source and compiles it. None when a node names a column the
  // source does not have (*unknownColumn then holds that name), when a
  // literal cannot be read as its column's type ("Criteria value %s cannot
  // be compared with column %s: %s\n", error, with the literal, the column
  // and what the column takes; *unknownColumn stays empty) or memory is
  // exhausted (*unknownColumn stays empty).
  static std::unique_ptr<CompiledCriteria> Compile(CriteriaNode* tree, const ColumnSource& source,
                                                   std::string* unknownColumn);

  // true when row satisfies the criteria. Comparisons have no side effects,
  // so a connective whose left side decides skips its right side.
  bool Matches(const RowObject& row) const;

  // Appends the rows of rows (none entries skipped) that satisfy the
  // criteria to matches, in order: Matches per row, with the rows and their
  // values fetched ahead. Allocates nothing but the room matches grows by.
  void Filter(const std::vector<RowObject*>& rows, std::vector<RowObject*>& matches) const;

  // The hash of the key this criteria fixes, when it is a conjunction of
  // equalities ("=", after the literal was read as its column's type) that
  // names each column of keyColumns exactly once and nothing else: every
  // row it matches has that KeyHashOfRow. None for any other criteria.
  std::optional<uint64_t> KeyHash(const std::vector<int32_t>& keyColumns) const;

  // The hash of row's values at keyColumns (of the column types keyTypes),
  // read as the comparisons read them, so that equal values hash alike (5 in
  // a SMALLINT as 5 in an INT, 2.50 as 2.5 in a DECIMAL, -0.0 as 0.0). None
  // when one of them no equality can match: absent, not of its column's
  // kind, a NaN, or a decimal text that is no number.
  static std::optional<uint64_t> KeyHashOfRow(const RowObject& row,
                                              const std::vector<int32_t>& keyColumns,
                                              const std::vector<uint8_t>& keyTypes);

 private:
  // How a leaf reads the row's value.
  enum class Kind : uint8_t {
    kSigned,    // integer types but the unsigned 64-bit one, and booleans
    kUnsigned,  // KES_SQL_UNSIGNED_LONG_INT
    kFloating,  // as a double
    kDecimal,   // a decimal text, by value
    kBytes,     // texts, CLOBs and BLOBs
    kDateTime,  // the date and time fields the column's type compares
  };
  // A leaf with its operand converted once, read as the comparison needs it.
  struct Leaf {
    int32_t columnIndex = 0;
    uint8_t columnType = 0;
    uint8_t code = 0;
    Kind kind = Kind::kSigned;
    int64_t integer = 0;     // kSigned; kDateTime: the packed fields
    uint64_t unsigned_ = 0;  // kUnsigned
    double real = 0;         // kFloating
    std::string text;        // kBytes, kDecimal (canonical digits)
    DecimalDigits decimal;   // kDecimal: the digits of text, read once
  };
  // One step of the program: the result so far is one truth value.
  enum class Op : uint8_t {
    kLeaf,         // result = leaves_[argument] on the row
    kTrue,         // result = true (an absent child)
    kFalse,        // result = false (a connective of an unknown code)
    kJumpIfFalse,  // AND: when the result is false, go to argument
    kJumpIfTrue,   // OR: when the result is true, go to argument
  };
  struct Step {
    Op op;
    uint32_t argument;
  };

  static Kind KindOf(uint8_t columnType);
  // The hash of the value a leaf's equality matches.
  static uint64_t LeafHash(const Leaf& leaf);
  // The hash of a row's value of columnType; none when no equality matches it.
  static std::optional<uint64_t> ValueHash(const ColumnValue& value, uint8_t columnType);

  bool Emit(const CriteriaNode* tree);
  // The leaf of node, its operand read as the column's type; none (and the
  // error line) when it cannot be read.
  static std::optional<Leaf> MakeLeaf(const CriteriaNode& node);
  // Asks the processor to fetch the places in row's value array that the
  // first two leaves read.
  void Prefetch(const RowObject& row) const;
  bool LeafMatches(const Leaf& leaf, const RowObject& row) const;

  std::vector<Leaf> leaves_;
  std::vector<Step> program_;
};

}  // namespace fh
