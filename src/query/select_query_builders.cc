#include "query/select_query_builders.h"

#include <cstdarg>
#include <vector>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "util/memory_pool.h"

namespace {

// The count names of a variable argument list; false for a null name or a
// negative count.
bool TakeNames(int count, va_list names, std::vector<const char*>& out) {
  if (count < 0) return false;
  for (int i = 0; i < count; ++i) {
    const char* name = va_arg(names, const char*);
    if (name == nullptr) return false;
    out.push_back(name);
  }
  return true;
}

Vector* CopyNames(MemPool* pool, const std::vector<const char*>& names) {
  Vector* vector = CreateColumnVector(pool);
  if (vector == nullptr) return nullptr;
  for (const char* name : names) {
    char* copy = fh::MemPoolStrDup(pool, name);
    if (copy == nullptr || AddElementData(vector, copy) != 1) return nullptr;
  }
  return vector;
}

Vector* JoinColumns(MemPool* pool, const char* tableName, const char* tableAlias,
                    const std::vector<const char*>& names) {
  Vector* vector = CreateColumnVector(pool);
  if (vector == nullptr) return nullptr;
  for (const char* name : names) {
    fh::ColumnRef* column =
        CreateListColumnRef(tableName, tableAlias, name, nullptr, 0, KES_SQL_INT, 0, pool);
    if (!AddColumnToVector(pool, column, vector)) return nullptr;
  }
  return vector;
}

}  // namespace

Vector* MakeColumnVector(MemPool* pool, int count, ...) {
  LogTrace("@@ Inside MakeColumnVector @@\n");
  std::vector<const char*> names;
  va_list args;
  va_start(args, count);
  const bool taken = TakeNames(count, args, names);
  va_end(args);
  return taken ? CopyNames(pool, names) : nullptr;
}

Vector* MakeColumnVectorForJoin(MemPool* pool, const char* tableName, int count, ...) {
  LogTrace("@@ Inside MakeColumnVectorForJoin @@\n");
  std::vector<const char*> names;
  va_list args;
  va_start(args, count);
  const bool taken = TakeNames(count, args, names);
  va_end(args);
  return taken ? JoinColumns(pool, tableName, nullptr, names) : nullptr;
}

bool AddJoinToSelectQuery(SelectQuery* query, const char* baseTable, const char* baseAlias,
                          const char* joinedTable, const char* joinedAlias, uint8_t joinType,
                          Vector* baseColumns, Vector* joinedColumns) {
  if (query == nullptr) return false;
  Join* join = CreateJoin(baseTable, baseAlias, joinedTable, joinedAlias, joinType, baseColumns,
                          joinedColumns, query->pool);
  return join != nullptr && AddJoin(query, join);
}

bool AddJoinOnColumns(SelectQuery* query, const char* baseTable, const char* baseAlias,
                      const char* joinedTable, const char* joinedAlias, uint8_t joinType, int count,
                      ...) {
  if (query == nullptr) return false;
  std::vector<const char*> names;
  va_list args;
  va_start(args, count);
  const bool taken = TakeNames(count, args, names);
  va_end(args);
  if (!taken) return false;
  Vector* base = JoinColumns(query->pool, baseTable, baseAlias, names);
  Vector* joined = JoinColumns(query->pool, joinedTable, joinedAlias, names);
  return base != nullptr && joined != nullptr &&
         AddJoinToSelectQuery(query, baseTable, baseAlias, joinedTable, joinedAlias, joinType, base,
                              joined);
}

bool AddColumnByName(SelectQuery* query, const char* tableName, const char* tableAlias,
                     const char* columnName, const char* columnAlias, int32_t number,
                     uint8_t dataType, uint8_t aggregate) {
  if (query == nullptr) return false;
  fh::ColumnRef* column = CreateColumnRef(tableName, tableAlias, columnName, columnAlias, number,
                                          dataType, aggregate, query->pool);
  return column != nullptr && AddColumnToSelectQuery(query, column);
}
