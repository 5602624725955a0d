// Evaluation of criteria trees (query/criteria_node.h) against the rows of an
// in-memory table.
//
// Binding gives every leaf the index and type code of the column it names
// (matched ignoring case) and converts its operand once to the column's type
// with ConvertStringToValue; a text operand (codes 14, 15, 22) of at least
// two characters that starts and ends with a single quote loses both quotes
// first. A leaf then compares the row's value with the operand:
//   1, 3, 5 / 2, 4, 6   signed / unsigned integers at the type's width
//   7                   signed 64-bit integers
//   9                   single-precision floats
//   14, 15, 22          texts, byte-wise (letter case matters)
//   every other type    never matches
// An absent (NULL) row value never matches. A connective combines its
// children (an absent child counts as true): 7 AND, 8 OR, any other code
// false; a leaf with a code outside 1 to 6 is false.
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
#include "query/criteria_node.h"
#include "store/column_lookup.h"
#include "store/row_object.h"

class CompiledCriteria {
 public:
  CompiledCriteria() = default;

  // Binds tree (setting each leaf's columnIndex and columnType) to the
  // columns of source and compiles it. None when a node names a column the
  // source does not have (*unknownColumn then holds that name) or memory is
  // exhausted (*unknownColumn stays empty).
  static std::unique_ptr<CompiledCriteria> Compile(CriteriaNode* tree, const ColumnSource& source,
                                                   std::string* unknownColumn);

  // true when row satisfies the criteria. Comparisons have no side effects,
  // so a connective whose left side decides skips its right side.
  bool Matches(const RowObject& row) const;

  // Appends the rows of the chain from first on that satisfy the criteria to
  // matches, in order: Matches per row, with the rows' values fetched ahead.
  void Filter(RowObject* first, std::vector<RowObject*>& matches) const;

 private:
  // A leaf with its operand converted once, read as the comparison needs it.
  struct Leaf {
    int32_t columnIndex = 0;
    uint8_t columnType = 0;
    uint8_t code = 0;
    bool comparable = false;  // false: the leaf never matches
    int64_t integer = 0;      // integer types
    float real = 0;           // KES_SQL_FLOAT
    std::string text;         // text types
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

  bool Emit(const CriteriaNode* tree);
  // Asks the processor to fetch what the first two leaves read of row: their
  // places in its value array (stage 1) or, once those are near, the values
  // themselves (stage 2).
  void Prefetch(const RowObject& row, int stage) const;
  bool LeafMatches(const Leaf& leaf, const RowObject& row) const;

  std::vector<Leaf> leaves_;
  std::vector<Step> program_;
};
