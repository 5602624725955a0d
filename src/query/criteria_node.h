// Criteria trees: what a criteria text such as
//   qty >= 10 and (name = 'bolt' or name = 'nut')
// becomes once parsed (query/criteria_parser.h), and what the in-memory store
// evaluates against the rows of a table.
//
// Leaves are comparisons of a column with a literal operand (codes 1 to 6);
// inner nodes are connectives (7 AND, 8 OR) without column name and operand.
// The column index and type code are filled in by whoever binds the tree to
// a table; the parser leaves them 0.
//
// Ownership: a node owns its two children (and through them its subtrees) and
// its texts; parent is a plain back pointer. Freeing a node frees its whole
// subtree without recursion, so a tree of any depth can be freed.
//
// Thread safety: no shared state; a tree belongs to the thread that built it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace fh {

inline constexpr uint8_t kCriteriaLess = 1;          // "<"
inline constexpr uint8_t kCriteriaGreater = 2;       // ">"
inline constexpr uint8_t kCriteriaLessEqual = 3;     // "<="
inline constexpr uint8_t kCriteriaGreaterEqual = 4;  // ">="
inline constexpr uint8_t kCriteriaEqual = 5;         // "="
inline constexpr uint8_t kCriteriaNotEqual = 6;      // "!="
inline constexpr uint8_t kCriteriaAnd = 7;
inline constexpr uint8_t kCriteriaOr = 8;

struct CriteriaNode {
  CriteriaNode() = default;
  ~CriteriaNode();
  CriteriaNode(const CriteriaNode&) = delete;
  CriteriaNode& operator=(const CriteriaNode&) = delete;

  std::optional<std::string> columnName;  // leaves only
  std::optional<std::string> operand;     // leaves only; a quoted text keeps its enclosing
                                          // quotes, a doubled quote inside is kept once
  uint8_t operatorCode = 0;
  int32_t columnIndex = 0;  // set when bound to a table
  uint8_t columnType = 0;   // set when bound to a table
  std::unique_ptr<CriteriaNode> left;
  std::unique_ptr<CriteriaNode> right;
  CriteriaNode* parent = nullptr;  // not owning; none for the root

  bool isLeaf() const { return columnName.has_value() && operand.has_value(); }
};

}  // namespace fh

// A new leaf comparing column name with operand by code. None when name or
// operand is none, or memory is exhausted.
std::unique_ptr<fh::CriteriaNode> CreateCriteriaLeaf(const char* name, uint8_t code,
                                                     const char* operand);

// A new connective with left and right as children (either may be none);
// both children get it as parent. None when memory is exhausted (the
// children are then freed).
std::unique_ptr<fh::CriteriaNode> CreateCriteriaConnective(std::unique_ptr<fh::CriteriaNode> left,
                                                           std::unique_ptr<fh::CriteriaNode> right,
                                                           uint8_t code);

// Frees node and its subtrees (the same as letting the pointer go).
void FreeCriteriaTree(std::unique_ptr<fh::CriteriaNode> node);
