// Select queries for data objects: the object's own copy of the query it
// was built from, a query over a list of tables, and a criteria text turned
// into a select query's criteria tree.
#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_query_internal.h"
#include "query/criteria_parser.h"
#include "query/criteria_select.h"
#include "util/memory_pool.h"

namespace fh::dataobject {
namespace {

ColumnRef* CopyColumn(const ColumnRef* column, MemPool* pool) {
  if (column == nullptr) return nullptr;
  ColumnRef* copy = MemPoolNew<ColumnRef>(pool, *column);
  if (copy == nullptr) return nullptr;
  copy->tableName = MemPoolStrDup(pool, column->tableName);
  copy->tableAlias = MemPoolStrDup(pool, column->tableAlias);
  copy->columnName = MemPoolStrDup(pool, column->columnName);
  copy->columnAlias = MemPoolStrDup(pool, column->columnAlias);
  return copy;
}

// A new vector in pool of copies of the columns of source (none for none).
bool CopyColumns(const Vector* source, MemPool* pool, Vector** out) {
  *out = nullptr;
  if (source == nullptr) return true;
  Vector* copy = CreateColumnVector(pool);
  if (copy == nullptr) return false;
  for (VectorNode* node = source->head.get(); node != nullptr; node = node->next.get()) {
    ColumnRef* column = CopyColumn(static_cast<const ColumnRef*>(node->data), pool);
    if (column == nullptr || !AddColumnToVector(pool, column, copy)) return false;
  }
  *out = copy;
  return true;
}

bool CopyJoins(const SelectQuery& from, SelectQuery* to) {
  if (from.joins == nullptr) return true;
  for (VectorNode* node = from.joins->head.get(); node != nullptr; node = node->next.get()) {
    const auto* join = static_cast<const Join*>(node->data);
    Vector* base = nullptr;
    Vector* joined = nullptr;
    if (!CopyColumns(join->baseColumns, to->pool, &base) ||
        !CopyColumns(join->joinedColumns, to->pool, &joined))
      return false;
    Join* copy = CreateJoin(join->baseTable, join->baseAlias, join->joinedTable, join->joinedAlias,
                            join->joinType, base, joined, to->pool);
    if (copy == nullptr || !AddJoin(to, copy)) return false;
  }
  return true;
}

SelectCriteria* CopyCriteriaNode(const SelectCriteria* node, MemPool* pool) {
  SelectCriteria* copy = MemPoolNew<SelectCriteria>(pool, *node);
  if (copy == nullptr) return nullptr;
  copy->left = copy->right = copy->parent = nullptr;
  if (node->column != nullptr && (copy->column = CopyColumn(node->column, pool)) == nullptr)
    return nullptr;
  if (node->value != nullptr) {
    copy->value =
        MemPoolMemDup(pool, node->value, static_cast<std::size_t>(std::max(node->valueLength, 0)));
    if (copy->value == nullptr) return nullptr;
  }
  return copy;
}

// Copies the tree without recursion (a criteria may be of any depth).
SelectCriteria* CopyCriteria(const SelectCriteria* root, MemPool* pool) {
  if (root == nullptr) return nullptr;
  SelectCriteria* copyRoot = CopyCriteriaNode(root, pool);
  if (copyRoot == nullptr) return nullptr;
  std::vector<std::pair<const SelectCriteria*, SelectCriteria*>> pending{{root, copyRoot}};
  while (!pending.empty()) {
    auto [from, to] = pending.back();
    pending.pop_back();
    for (SelectCriteria* const* child : {&from->left, &from->right}) {
      if (*child == nullptr) continue;
      SelectCriteria* copy = CopyCriteriaNode(*child, pool);
      if (copy == nullptr) return nullptr;
      copy->parent = to;
      (child == &from->left ? to->left : to->right) = copy;
      pending.emplace_back(*child, copy);
    }
  }
  return copyRoot;
}

bool CopyGroupingAndOrder(const SelectQuery& from, SelectQuery* to) {
  MemPool* pool = to->pool;
  if (from.groupBy != nullptr) {
    Vector* columns = nullptr;
    if (!CopyColumns(from.groupBy->columns, pool, &columns)) return false;
    Having* having = nullptr;
    if (const Having* source = from.groupBy->having; source != nullptr) {
      having = CreateHaving(CopyColumn(source->column, pool), source->value, source->valueLength,
                            source->operatorCode, pool);
      if (having == nullptr) return false;
    }
    GroupBy* groupBy = CreateGroupBy(columns, having, pool);
    if (groupBy == nullptr || !SetGroupBy(to, groupBy)) return false;
  }
  if (from.sortOrder != nullptr) {
    Vector* columns = nullptr;
    if (!CopyColumns(from.sortOrder->columns, pool, &columns)) return false;
    SortOrder* order = CreateSortOrder(columns, from.sortOrder->ascending, pool);
    if (order == nullptr || !SetSortOrder(to, order)) return false;
  }
  return true;
}

bool CopyQueryParts(const SelectQuery& from, SelectQuery* to) {
  MemPool* pool = to->pool;
  if (!CopyColumns(from.columns, pool, &to->columns) || to->columns == nullptr) return false;
  if ((to->joins = CreateColumnVector(pool)) == nullptr || !CopyJoins(from, to)) return false;
  if ((to->tables = CreateColumnVector(pool)) == nullptr) return false;
  if (from.tables != nullptr) {
    for (VectorNode* node = from.tables->head.get(); node != nullptr; node = node->next.get()) {
      const auto* table = static_cast<const TableRef*>(node->data);
      TableRef* copy = CreateTableRef(table->name, table->alias, pool);
      if (copy == nullptr || !AddTable(to, copy)) return false;
    }
  }
  if (from.criteria != nullptr && (to->criteria = CopyCriteria(from.criteria, pool)) == nullptr)
    return false;
  to->limit = from.limit;
  to->offset = from.offset;
  return CopyGroupingAndOrder(from, to);
}

// The first listed table whose definition has column (exact name), or none.
const ColumnDefnEntry* FindListedColumn(const std::string& column,
                                        const std::vector<std::string>& tables,
                                        const char** tableName) {
  for (const std::string& table : tables) {
    const TableDefn* definition = GetTableDefn(table.c_str());
    if (definition == nullptr) continue;
    for (const ColumnDefnEntry& entry : definition->columns) {
      if (SameName(entry.columnName.c_str(), column.c_str())) {
        *tableName = definition->tableName.c_str();
        return &entry;
      }
    }
  }
  return nullptr;
}

}  // namespace

SelectQuery* CopySelectQuery(const SelectQuery* query, MemPool* parent) {
  if (query == nullptr || parent == nullptr) return nullptr;
  MemPool* pool = fh::CreateMemPool(parent);
  SelectQuery* copy = pool != nullptr ? MemPoolNew<SelectQuery>(pool) : nullptr;
  if (copy == nullptr) {
    fh::DestroyMemPool(pool);
    return nullptr;
  }
  copy->pool = pool;
  try {
    if (CopyQueryParts(*query, copy)) return copy;
  } catch (const std::bad_alloc&) {
  }
  fh::DestroyMemPool(pool);
  return nullptr;
}

SelectQuery* QueryOverTables(const std::vector<std::string>& tables) {
  SelectQuery* query = CreateSelectQuery();
  if (query == nullptr) return nullptr;
  for (const std::string& table : tables) {
    TableRef* reference = CreateTableRef(table.c_str(), nullptr, query->pool);
    if (reference == nullptr || !AddTable(query, reference)) {
      FreeSelectQuery(query);
      return nullptr;
    }
  }
  return query;
}

SelectCriteria* CriteriaFromText(const char* text, const std::vector<std::string>& tables,
                                 SelectQuery* query) {
  std::unique_ptr<CriteriaNode> tree = ParseCriteria(text);
  if (tree == nullptr) return nullptr;
  const CriteriaColumnFinder find = [&tables](const std::string& name) {
    std::optional<CriteriaColumn> found;
    const char* tableName = nullptr;
    const ColumnDefnEntry* entry = FindListedColumn(name, tables, &tableName);
    if (entry != nullptr)
      found = CriteriaColumn{tableName, entry->columnName.c_str(), entry->dataType};
    return found;
  };
  return fh::SelectCriteriaFromTree(tree.get(), find, query->pool);
}

}  // namespace fh::dataobject
