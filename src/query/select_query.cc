#include "query/select_query.h"

#include <strings.h>

#include "log/log.h"
#include "util/memory_pool.h"

namespace {

constexpr const char* kAggregateNames[] = {"INVALID TYPE", "DISTINCT", "COUNT", "MIN",
                                           "MAX",          "SUM",      "AVG"};
constexpr const char* kOperatorNames[] = {
    "INVALID OPERATOR", "<", ">", "<=", ">=", "=", "!=", "AND", "OR", "LIKE", "BETWEEN"};
constexpr const char* kJoinTypeNames[] = {"INNER_JOIN", "LEFT_JOIN"};

// A pool copy of text; none stays none.
const char* CopyText(MemPool* pool, const char* text, bool* failed) {
  if (text == nullptr) return nullptr;
  const char* copy = fh::MemPoolStrDup(pool, text);
  if (copy == nullptr) *failed = true;
  return copy;
}

fh::ColumnRef* MakeColumnRef(const char* tableName, const char* tableAlias, const char* columnName,
                             const char* columnAlias, int32_t number, uint8_t dataType,
                             uint8_t aggregate, MemPool* pool) {
  if (dataType > 22) {
    LogError("\nInvalid Data Type\n");
    return nullptr;
  }
  fh::ColumnRef* column = MemPoolNew<fh::ColumnRef>(pool);
  if (column == nullptr) return nullptr;
  bool failed = false;
  column->tableName = CopyText(pool, tableName, &failed);
  column->tableAlias = CopyText(pool, tableAlias, &failed);
  column->columnName = CopyText(pool, columnName, &failed);
  column->columnAlias = CopyText(pool, columnAlias, &failed);
  column->number = number;
  column->dataType = dataType;
  column->aggregate = aggregate;
  return failed ? nullptr : column;
}

bool Append(Vector* vector, void* element) {
  return vector != nullptr && element != nullptr && AddElementData(vector, element) == 1;
}

fh::SelectCriteria* MakeConnective(fh::SelectCriteria* left, fh::SelectCriteria* right,
                                   uint8_t code, MemPool* pool) {
  fh::SelectCriteria* node = MemPoolNew<fh::SelectCriteria>(pool);
  if (node == nullptr) return nullptr;
  node->operatorCode = code;
  node->left = left;
  node->right = right;
  if (left != nullptr) left->parent = node;
  if (right != nullptr) right->parent = node;
  return node;
}

}  // namespace

const char* fh::GetAggregateName(uint8_t aggregate) {
  return aggregate <= fh::kAggregateAvg ? kAggregateNames[aggregate] : nullptr;
}

const char* fh::GetSelectOperatorName(uint8_t operatorCode) {
  return operatorCode <= fh::kSelectOperatorMax ? kOperatorNames[operatorCode] : nullptr;
}

const char* fh::GetJoinTypeName(uint8_t joinType) {
  return joinType <= LEFT_JOIN ? kJoinTypeNames[joinType] : nullptr;
}

SelectQuery* CreateSelectQuery() {
  MemPool* pool = fh::CreateMemPool(fh::GetRootMemPool());
  SelectQuery* query = nullptr;
  if (pool != nullptr && fh::GetRootMemPool() != nullptr) {
    query = MemPoolNew<SelectQuery>(pool);
    if (query != nullptr) {
      query->pool = pool;
      query->columns = MemPoolMake<Vector>(pool);
      query->joins = MemPoolMake<Vector>(pool);
      query->tables = MemPoolMake<Vector>(pool);
      if (query->columns == nullptr || query->joins == nullptr || query->tables == nullptr) {
        query = nullptr;
      }
    }
  }
  if (query == nullptr) {
    if (pool != nullptr) fh::DestroyMemPool(pool);
    LogError("\nMEMORY ALLOCATION FOR SELECTQUERYPTR FAILED\n");
  }
  return query;
}

void FreeSelectQuery(SelectQuery* query) {
  if (query != nullptr) fh::DestroyMemPool(query->pool);
}

fh::ColumnRef* CreateColumnRef(const char* tableName, const char* tableAlias,
                               const char* columnName, const char* columnAlias, int32_t number,
                               uint8_t dataType, uint8_t aggregate, MemPool* pool) {
  if (columnName == nullptr && aggregate == fh::kAggregateNone) {
    LogError("\nColumn Name is NULL\n");
    return nullptr;
  }
  return MakeColumnRef(tableName, tableAlias, columnName, columnAlias, number, dataType, aggregate,
                       pool);
}

fh::ColumnRef* CreateListColumnRef(const char* tableName, const char* tableAlias,
                                   const char* columnName, const char* columnAlias, int32_t number,
                                   uint8_t dataType, uint8_t aggregate, MemPool* pool) {
  if (columnName == nullptr) {
    LogError("\nColumn Name is NULL\n");
    return nullptr;
  }
  return MakeColumnRef(tableName, tableAlias, columnName, columnAlias, number, dataType, aggregate,
                       pool);
}

bool AddColumnToSelectQuery(SelectQuery* query, fh::ColumnRef* column) {
  return query != nullptr && Append(query->columns, column);
}

bool RemoveColumnFromSelectQuery(SelectQuery* query, const char* columnName,
                                 const char* tableName) {
  if (query != nullptr && columnName != nullptr) {
    for (VectorNode* node = query->columns->head.get(); node != nullptr; node = node->next.get()) {
      const auto* column = static_cast<const fh::ColumnRef*>(node->data);
      if (column->columnName == nullptr || strcasecmp(column->columnName, columnName) != 0) {
        continue;
      }
      if (column->tableName != nullptr &&
          (tableName == nullptr || strcasecmp(column->tableName, tableName) != 0)) {
        continue;
      }
      return DeleteElement(query->columns, node);
    }
  }
  LogError("Invalid Column Name");
  return false;
}

fh::SelectCriteria* CreateCriteria(fh::ColumnRef* column, const void* value, int32_t valueLength,
                                   uint8_t operatorCode, MemPool* pool) {
  if (column == nullptr) {
    LogError("\nEmpty Column Assigned\n");
    return nullptr;
  }
  if (valueLength < 0 || (value == nullptr && valueLength > 0)) return nullptr;
  fh::SelectCriteria* node = MemPoolNew<fh::SelectCriteria>(pool);
  if (node == nullptr) return nullptr;
  node->column = column;
  node->value = fh::MemPoolMemDup(pool, value, static_cast<std::size_t>(valueLength));
  if (node->value == nullptr) return nullptr;
  node->valueLength = valueLength;
  node->operatorCode = operatorCode;
  return node;
}

fh::SelectCriteria* CreateAndCriteria(fh::SelectCriteria* left, fh::SelectCriteria* right,
                                      MemPool* pool) {
  return MakeConnective(left, right, 7, pool);
}

fh::SelectCriteria* CreateOrCriteria(fh::SelectCriteria* left, fh::SelectCriteria* right,
                                     MemPool* pool) {
  return MakeConnective(left, right, 8, pool);
}

void SetCriteria(SelectQuery* query, fh::SelectCriteria* node) {
  if (query != nullptr) query->criteria = node;
}

Join* CreateJoin(const char* baseTable, const char* baseAlias, const char* joinedTable,
                 const char* joinedAlias, uint8_t joinType, Vector* baseColumns,
                 Vector* joinedColumns, MemPool* pool) {
  Join* join = MemPoolNew<Join>(pool);
  if (join == nullptr) return nullptr;
  bool failed = false;
  join->baseTable = CopyText(pool, baseTable, &failed);
  join->baseAlias = CopyText(pool, baseAlias, &failed);
  join->joinedTable = CopyText(pool, joinedTable, &failed);
  join->joinedAlias = CopyText(pool, joinedAlias, &failed);
  join->joinType = joinType;
  join->baseColumns = baseColumns;
  join->joinedColumns = joinedColumns;
  return failed ? nullptr : join;
}

bool AddJoin(SelectQuery* query, Join* join) {
  return query != nullptr && Append(query->joins, join);
}

Having* fh::CreateHaving(fh::ColumnRef* column, const void* value, int32_t valueLength,
                         uint8_t operatorCode, MemPool* pool) {
  if (column == nullptr || valueLength < 0 || (value == nullptr && valueLength > 0)) return nullptr;
  Having* having = MemPoolNew<Having>(pool);
  if (having == nullptr) return nullptr;
  having->column = column;
  having->value = fh::MemPoolMemDup(pool, value, static_cast<std::size_t>(valueLength));
  having->valueLength = valueLength;
  having->operatorCode = operatorCode;
  return having->value == nullptr ? nullptr : having;
}

GroupBy* CreateGroupBy(Vector* columns, Having* having, MemPool* pool) {
  GroupBy* groupBy = MemPoolNew<GroupBy>(pool);
  if (groupBy == nullptr) return nullptr;
  groupBy->columns = columns;
  groupBy->having = having;
  return groupBy;
}

bool SetGroupBy(SelectQuery* query, GroupBy* groupBy) {
  if (query == nullptr) return false;
  query->groupBy = groupBy;
  return true;
}

fh::SortOrder* CreateSortOrder(Vector* columns, uint8_t ascending, MemPool* pool) {
  fh::SortOrder* sortOrder = MemPoolNew<fh::SortOrder>(pool);
  if (sortOrder == nullptr) return nullptr;
  sortOrder->columns = columns;
  sortOrder->ascending = ascending;
  return sortOrder;
}

bool SetSortOrder(SelectQuery* query, fh::SortOrder* sortOrder) {
  if (query == nullptr) return false;
  query->sortOrder = sortOrder;
  return true;
}

fh::TableRef* CreateTableRef(const char* name, const char* alias, MemPool* pool) {
  fh::TableRef* table = MemPoolNew<fh::TableRef>(pool);
  if (table == nullptr) return nullptr;
  bool failed = false;
  table->name = CopyText(pool, name, &failed);
  table->alias = CopyText(pool, alias, &failed);
  return failed ? nullptr : table;
}

bool AddTable(SelectQuery* query, fh::TableRef* table) {
  return query != nullptr && Append(query->tables, table);
}

Vector* CreateColumnVector(MemPool* pool) { return MemPoolMake<Vector>(pool); }

bool AddColumnToVector(MemPool* /*pool*/, fh::ColumnRef* column, Vector* vector) {
  return Append(vector, column);
}
