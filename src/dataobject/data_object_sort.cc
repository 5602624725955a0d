// The foreign-key order of an object's tables: a referenced table before the
// tables that refer to it (fh::OrderNamesReferencedFirst).
#include <new>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_sort_internal.h"
#include "dictionary/foreign_keys.h"
#include "log/log.h"
#include "util/memory_pool.h"

namespace fh::dataobject {

std::vector<std::string> SortTableNamesByFK(const std::vector<std::string>& tables) {
  for (const std::string& name : tables) {
    if (GetTableDefn(name.c_str()) == nullptr)
      LogError("No Table Definition found for table %s.\n", name.c_str());
  }
  std::vector<std::string> cycles;
  std::vector<std::string> sorted = fh::OrderNamesReferencedFirst(tables, &cycles);
  for (const std::string& name : cycles)
    LogError("Foreign key cycle through table %s.\n", name.c_str());
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
