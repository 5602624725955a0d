// The foreign-key order of an object's tables: a referenced table before the
// tables that refer to it. Each step places one table, so the walk ends on
// any dictionary: a table without definition and a table on a reference
// cycle are placed where they stand; a table referring to itself is simply
// placed.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "dataobject/data_object_internal.h"
#include "logging/log.h"
#include "util/memory_pool.h"

namespace fh::dataobject {
namespace {

// The index in remaining of the first table that table's foreign keys
// reference (itself excluded), or -1.
int ReferencedIndex(const TableDefn& table, const std::vector<std::string>& remaining) {
  if (!table.constraints) return -1;
  for (const ForeignKeyDefn& key : table.constraints->foreignKeys) {
    if (SameName(key.referenceTable.c_str(), table.tableName.c_str())) continue;
    for (std::size_t i = 0; i < remaining.size(); ++i) {
      if (SameName(remaining[i].c_str(), key.referenceTable.c_str())) return static_cast<int>(i);
    }
  }
  return -1;
}

// Follows references from remaining's first table to a table that refers to
// none of the tables left and returns its index. Sets *cycle when the walk
// comes back to a table on its path (that table is then placed).
std::size_t NextToPlace(const std::vector<std::string>& remaining, bool* cycle) {
  *cycle = false;
  std::vector<std::size_t> path;
  std::size_t current = 0;
  for (;;) {
    const TableDefn* definition = GetTableDefn(remaining[current].c_str());
    if (definition == nullptr) {
      LogError("No Table Definition found for table %s.\n", remaining[current].c_str());
      return current;
    }
    const int referenced = ReferencedIndex(*definition, remaining);
    if (referenced < 0) return current;
    path.push_back(current);
    const auto next = static_cast<std::size_t>(referenced);
    if (std::find(path.begin(), path.end(), next) != path.end()) {
      *cycle = true;
      return current;
    }
    current = next;
  }
}

}  // namespace

std::vector<std::string> SortTableNamesByFK(const std::vector<std::string>& tables) {
  std::vector<std::string> remaining = tables;
  std::vector<std::string> sorted;
  while (!remaining.empty()) {
    bool cycle = false;
    const std::size_t place = NextToPlace(remaining, &cycle);
    if (cycle) LogError("Foreign key cycle through table %s.\n", remaining[place].c_str());
    sorted.push_back(remaining[place]);
    remaining.erase(remaining.begin() + static_cast<std::ptrdiff_t>(place));
  }
  return sorted;
}

}  // namespace fh::dataobject

bool SortTableByFK(DataObject* object) {
  LogTrace("@@@@  Inside SortTableByFK @@@@\n");
  if (object == nullptr) return false;
  try {
    std::unique_ptr<Vector> copy = CloneVector(object->tableList);
    if (copy == nullptr) {
      LogError("CloneVector Failed.\n");
      return false;
    }
    std::vector<std::string> names;
    for (VectorNode* node = copy->head.get(); node != nullptr; node = node->next.get())
      names.emplace_back(static_cast<const char*>(node->data));
    // The list's texts live in the pool: only the order of its nodes changes.
    std::vector<void*> texts;
    for (const std::string& name : fh::dataobject::SortTableNamesByFK(names)) {
      for (VectorNode* node = object->tableList->head.get(); node != nullptr;
           node = node->next.get()) {
        if (name == static_cast<const char*>(node->data)) texts.push_back(node->data);
      }
    }
    FreeVector(object->tableList);
    for (void* text : texts) {
      if (AddElementData(object->tableList, text) != 1) return false;
    }
    return true;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}
