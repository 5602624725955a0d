#include "store/criteria_evaluator.h"

#include <cstring>
#include <new>
#include <string_view>
#include <utility>

#include "dictionary/column_types.h"

namespace {

bool IsComparedAsText(uint8_t type) {
  return type == KES_SQL_CHAR || type == KES_SQL_NCHAR || type == KES_SQL_TEXT;
}

bool IsComparable(uint8_t type) {
  return (type >= KES_SQL_TINYINT && type <= KES_SQL_BIGINT) || type == KES_SQL_FLOAT ||
         IsComparedAsText(type);
}

// The operand text as the column's type reads it.
std::string_view OperandText(const std::string& operand, uint8_t type) {
  std::string_view text(operand);
  if (IsComparedAsText(type) && text.size() >= 2 && text.front() == '\'' && text.back() == '\'') {
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

// order is negative, zero or positive as the row value sorts before, equal to
// or after the operand.
bool Satisfies(uint8_t code, int order) {
  switch (code) {
    case kCriteriaLess: return order < 0;
    case kCriteriaGreater: return order > 0;
    case kCriteriaLessEqual: return order <= 0;
    case kCriteriaGreaterEqual: return order >= 0;
    case kCriteriaEqual: return order == 0;
    case kCriteriaNotEqual: return order != 0;
    default: return false;
  }
}

template <typename T>
int Order(T a, T b) {
  return (a > b) - (a < b);
}

std::string_view BytesOf(const ColumnValue& value) {
  return std::string_view(reinterpret_cast<const char*>(value.bytes()),
                          static_cast<std::size_t>(value.length()));
}

// Post-order walk of the tree without recursion. visit(node) is called once
// per node after both of its children.
template <typename Visit>
void PostOrder(CriteriaNode* root, Visit visit) {
  std::vector<std::pair<CriteriaNode*, bool>> pending;  // node, children pushed
  if (root != nullptr) pending.emplace_back(root, false);
  while (!pending.empty()) {
    auto& [node, expanded] = pending.back();
    if (expanded || node->isLeaf()) {
      CriteriaNode* done = node;
      pending.pop_back();
      visit(done);
      continue;
    }
    expanded = true;
    CriteriaNode* current = node;
    if (current->right) pending.emplace_back(current->right.get(), false);
    if (current->left) pending.emplace_back(current->left.get(), false);
  }
}

}  // namespace

std::unique_ptr<CompiledCriteria> CompiledCriteria::Compile(CriteriaNode* tree,
                                                            const ColumnSource& source,
                                                            std::string* unknownColumn) {
  try {
    auto compiled = std::make_unique<CompiledCriteria>();
    bool bound = true;
    PostOrder(tree, [&](CriteriaNode* node) {
      if (!bound) return;
      if (node->columnName) {
        const int32_t index = FindColumnIndex(source, node->columnName->c_str());
        if (index < 0) {
          if (unknownColumn != nullptr) *unknownColumn = *node->columnName;
          bound = false;
          return;
        }
        node->columnIndex = index;
        node->columnType = ColumnTypeAt(source, index);
      }
      if (!node->isLeaf()) {
        if (!node->left) compiled->program_.push_back(Step{Op::kTrue, 0});
        if (!node->right) compiled->program_.push_back(Step{Op::kTrue, 0});
        const Op op = node->operatorCode == kCriteriaAnd  ? Op::kAnd
                      : node->operatorCode == kCriteriaOr ? Op::kOr
                                                          : Op::kFalse;
        compiled->program_.push_back(Step{op, 0});
        return;
      }
      Leaf leaf;
      leaf.columnIndex = node->columnIndex;
      leaf.columnType = node->columnType;
      leaf.code = node->operatorCode;
      if (IsComparable(leaf.columnType)) {
        const std::string operand(OperandText(*node->operand, leaf.columnType));
        int32_t length = static_cast<int32_t>(operand.size());
        leaf.operand = ConvertStringToValue(operand.c_str(), leaf.columnType, &length);
      }
      compiled->program_.push_back(Step{Op::kLeaf, static_cast<uint32_t>(compiled->leaves_.size())});
      compiled->leaves_.push_back(std::move(leaf));
    });
    if (!bound) return nullptr;
    compiled->stack_.reserve(compiled->program_.size());
    return compiled;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool CompiledCriteria::LeafMatches(const Leaf& leaf, const RowObject& row) const {
  if (!leaf.operand) return false;
  const auto index = static_cast<std::size_t>(leaf.columnIndex);
  if (index >= row.values.size() || !row.values[index]) return false;
  const ColumnValue& value = *row.values[index];
  if (value.isDateTime()) return false;
  const uint8_t type = leaf.columnType;
  int order = 0;
  if (type == KES_SQL_FLOAT) {
    order = Order(static_cast<float>(*GetFloatingValue(value, type)),
                  static_cast<float>(*GetFloatingValue(*leaf.operand, type)));
  } else if (IsComparedAsText(type)) {
    order = BytesOf(value).compare(BytesOf(*leaf.operand));
  } else {
    order = Order(*GetIntegerValue(value, type), *GetIntegerValue(*leaf.operand, type));
  }
  return Satisfies(leaf.code, order);
}

bool CompiledCriteria::Matches(const RowObject& row) {
  stack_.clear();
  for (const Step& step : program_) {
    switch (step.op) {
      case Op::kLeaf: stack_.push_back(LeafMatches(leaves_[step.leaf], row)); break;
      case Op::kTrue: stack_.push_back(1); break;
      default: {
        const uint8_t right = stack_.back();
        stack_.pop_back();
        const uint8_t left = stack_.back();
        stack_.back() = step.op == Op::kAnd ? (left && right) : step.op == Op::kOr ? (left || right) : 0;
      }
    }
  }
  return !stack_.empty() && stack_.back() != 0;
}
