#include "query/criteria_node.h"

#include <new>
#include <utility>

namespace {

// Frees a subtree by rotating left children up into a right-leaning chain
// and freeing the chain from its head: constant stack, no allocation.
void FreeSubtree(std::unique_ptr<fh::CriteriaNode> current) {
  while (current) {
    if (current->left) {
      std::unique_ptr<fh::CriteriaNode> left = std::move(current->left);
      current->left = std::move(left->right);
      left->right = std::move(current);
      current = std::move(left);
    } else {
      current = std::move(current->right);  // the old head has no children left
    }
  }
}

}  // namespace

fh::CriteriaNode::~CriteriaNode() {
  FreeSubtree(std::move(left));
  FreeSubtree(std::move(right));
}

std::unique_ptr<fh::CriteriaNode> CreateCriteriaLeaf(const char* name, uint8_t code,
                                                     const char* operand) {
  if (name == nullptr || operand == nullptr) return nullptr;
  try {
    auto leaf = std::make_unique<fh::CriteriaNode>();
    leaf->columnName = name;
    leaf->operand = operand;
    leaf->operatorCode = code;
    return leaf;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<fh::CriteriaNode> CreateCriteriaConnective(std::unique_ptr<fh::CriteriaNode> left,
                                                           std::unique_ptr<fh::CriteriaNode> right,
                                                           uint8_t code) {
  std::unique_ptr<fh::CriteriaNode> node;
  try {
    node = std::make_unique<fh::CriteriaNode>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  node->operatorCode = code;
  if (left) left->parent = node.get();
  if (right) right->parent = node.get();
  node->left = std::move(left);
  node->right = std::move(right);
  return node;
}

void FreeCriteriaTree(std::unique_ptr<fh::CriteriaNode> node) { node.reset(); }
