#include "query/criteria_select.h"

#include <utility>
#include <vector>

#include "log/log.h"
#include "query/criteria_literal.h"

namespace fh {

namespace {

SelectCriteria* LeafCriteria(const CriteriaNode& node, const CriteriaColumnFinder& find,
                             MemPool* pool) {
  const std::optional<CriteriaColumn> column = find(*node.columnName);
  if (!column) {
    LogError("Criteria column %s is not a column of the selected tables\n",
             node.columnName->c_str());
    return nullptr;
  }
  const std::optional<CriteriaComparison> comparison = ReadLeafComparison(node, column->dataType);
  if (!comparison) return nullptr;
  // The reference carries the type the literal is written in (a double for
  // a FLOAT column); only the literal's form depends on it.
  ColumnRef* reference = CreateColumnRef(column->tableName, nullptr, column->columnName, nullptr, 0,
                                         comparison->valueType, kAggregateNone, pool);
  if (reference == nullptr) return nullptr;
  return CreateCriteria(reference, comparison->selectValue.data(),
                        static_cast<int32_t>(comparison->selectValue.size()), comparison->code,
                        pool);
}

}  // namespace

SelectCriteria* SelectCriteriaFromTree(const CriteriaNode* tree, const CriteriaColumnFinder& find,
                                       MemPool* pool) {
  if (tree == nullptr || pool == nullptr) return nullptr;
  // Post-order without recursion: a node is converted after its children.
  std::vector<std::pair<const CriteriaNode*, bool>> pending{{tree, false}};
  std::vector<SelectCriteria*> done;
  while (!pending.empty()) {
    auto [node, childrenDone] = pending.back();
    pending.pop_back();
    if (node->isLeaf()) {
      SelectCriteria* leaf = LeafCriteria(*node, find, pool);
      if (leaf == nullptr) return nullptr;
      done.push_back(leaf);
    } else if (!childrenDone) {
      if (node->left == nullptr || node->right == nullptr ||
          (node->operatorCode != kCriteriaAnd && node->operatorCode != kCriteriaOr)) {
        return nullptr;
      }
      pending.emplace_back(node, true);
      pending.emplace_back(node->right.get(), false);
      pending.emplace_back(node->left.get(), false);
    } else {
      SelectCriteria* right = done.back();
      done.pop_back();
      SelectCriteria* left = done.back();
      done.pop_back();
      SelectCriteria* joined = node->operatorCode == kCriteriaOr
                                   ? CreateOrCriteria(left, right, pool)
                                   : CreateAndCriteria(left, right, pool);
      if (joined == nullptr) return nullptr;
      done.push_back(joined);
    }
  }
  return done.size() == 1 ? done.back() : nullptr;
}

}  // namespace fh
