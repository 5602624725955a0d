// Select queries: the framework's description of one select statement (the
// columns to fetch, plain or aggregated, the tables and joins, a criteria
// tree, grouping with an optional having condition, ordering and paging),
// which the SQL dialects (sql/sql_dialects.h) turn into text.
//
// Ownership: every part of a query lives in the query's own memory pool
// (util/memory_pool.h), a child of the root pool, so building a query is a
// series of small allocations and FreeSelectQuery releases all of it at once,
// the text fragments the dialects generated included. Texts handed to the
// builders are copied into the pool; the caller keeps its own. Vectors made
// here are Vectors (util/vector.h) living in the pool; their elements are
// pool records, never owned by the vector.
//
// Thread safety: a query belongs to the thread that builds it; the builders
// keep no shared state (the pool has its own lock).
//
// Logging: every refusal writes its fixed error line (below) and returns
// none or false.
#pragma once

#include <cstdint>

#include "util/vector.h"

struct MemPool;

namespace fh {

// Aggregates (ColumnRef::aggregate); the names are what the SQL carries.
inline constexpr uint8_t kAggregateNone = 0;  // "INVALID TYPE"
inline constexpr uint8_t kAggregateDistinct = 1;
inline constexpr uint8_t kAggregateCount = 2;
inline constexpr uint8_t kAggregateMin = 3;
inline constexpr uint8_t kAggregateMax = 4;
inline constexpr uint8_t kAggregateSum = 5;
inline constexpr uint8_t kAggregateAvg = 6;

}  // namespace fh

// Join types (Join::joinType).
inline constexpr uint8_t INNER_JOIN = 0;
inline constexpr uint8_t LEFT_JOIN = 1;

namespace fh {

// Operators of a select query's criteria and having records: 1 to 6 as in
// query/criteria_node.h, 7 AND, 8 OR, 9 "LIKE", 10 "BETWEEN".
inline constexpr uint8_t kSelectOperatorLike = 9;
inline constexpr uint8_t kSelectOperatorBetween = 10;
inline constexpr uint8_t kSelectOperatorMax = 10;

// "DISTINCT" ... "AVG" for 1 to 6, "INVALID TYPE" for 0; none above 6.
const char* GetAggregateName(uint8_t aggregate);
// "<" ... "BETWEEN" for 1 to 10, "INVALID OPERATOR" for 0; none above 10.
const char* GetSelectOperatorName(uint8_t operatorCode);
// "INNER_JOIN", "LEFT_JOIN"; none for other codes.
const char* GetJoinTypeName(uint8_t joinType);

struct ColumnRef {
  const char* tableName = nullptr;  // pool texts; each may be none
  const char* tableAlias = nullptr;
  const char* columnName = nullptr;
  const char* columnAlias = nullptr;
  int32_t number = 0;     // kept for the stored definitions; no generator reads it
  uint8_t dataType = 0;   // column type code, at most 22
  uint8_t aggregate = 0;  // kAggregate*
};

struct TableRef {
  const char* name = nullptr;
  const char* alias = nullptr;  // may be none
};

}  // namespace fh

struct Join {
  const char* baseTable = nullptr;
  const char* baseAlias = nullptr;
  const char* joinedTable = nullptr;
  const char* joinedAlias = nullptr;
  uint8_t joinType = INNER_JOIN;
  Vector* baseColumns = nullptr;    // of ColumnRef, paired by position; may be none
  Vector* joinedColumns = nullptr;  // of ColumnRef; may be none
};

namespace fh {

// A node of a select query's where tree: AND and OR nodes (7, 8) carry two
// subtrees and no column; comparison nodes are leaves.
struct SelectCriteria {
  ColumnRef* column = nullptr;
  const char* value = nullptr;  // the value bytes plus one zero byte
  int32_t valueLength = 0;
  uint8_t operatorCode = 0;
  SelectCriteria* left = nullptr;
  SelectCriteria* right = nullptr;
  SelectCriteria* parent = nullptr;
};

}  // namespace fh

struct Having {
  fh::ColumnRef* column = nullptr;  // its aggregate names the function
  const char* value = nullptr;
  int32_t valueLength = 0;
  uint8_t operatorCode = 0;
};

struct GroupBy {
  Vector* columns = nullptr;  // of ColumnRef
  Having* having = nullptr;
};

namespace fh {

struct SortOrder {
  Vector* columns = nullptr;  // of ColumnRef
  uint8_t ascending = 1;      // 1 ascending, 0 descending, for the whole list
};

}  // namespace fh

struct SelectQuery {
  MemPool* pool = nullptr;    // owns every part below
  Vector* columns = nullptr;  // of ColumnRef; empty means "*"
  Vector* joins = nullptr;    // of Join
  fh::SelectCriteria* criteria = nullptr;
  GroupBy* groupBy = nullptr;
  fh::SortOrder* sortOrder = nullptr;
  Vector* tables = nullptr;  // of TableRef
  int32_t limit = 0;         // 0: no paging
  int32_t offset = 0;
};

// A new empty query with its own pool, a child of the root pool
// (InitializeMemPool must have run). None with "\nMEMORY ALLOCATION FOR
// SELECTQUERYPTR FAILED\n" (error) when there is no root pool or memory is
// exhausted. Free it with FreeSelectQuery.
SelectQuery* CreateSelectQuery();
// Destroys the query's pool and with it the query and all its parts.
void FreeSelectQuery(SelectQuery* query);

// A new column reference in pool. No column name and no aggregate: "\nColumn
// Name is NULL\n"; dataType above 22: "\nInvalid Data Type\n"; both none.
fh::ColumnRef* CreateColumnRef(const char* tableName, const char* tableAlias,
                               const char* columnName, const char* columnAlias, int32_t number,
                               uint8_t dataType, uint8_t aggregate, MemPool* pool);
// As CreateColumnRef for a group-by, sort or join list: the column name is
// required even with an aggregate.
fh::ColumnRef* CreateListColumnRef(const char* tableName, const char* tableAlias,
                                   const char* columnName, const char* columnAlias, int32_t number,
                                   uint8_t dataType, uint8_t aggregate, MemPool* pool);
// Appends column to the query's columns; false for a null argument.
bool AddColumnToSelectQuery(SelectQuery* query, fh::ColumnRef* column);
// Removes the first column whose name matches columnName and, when the column
// has a table name, whose table name matches tableName (ignoring case). true
// when one was removed; else "Invalid Column Name" (error) and false.
bool RemoveColumnFromSelectQuery(SelectQuery* query, const char* columnName, const char* tableName);

// A new leaf comparing column with a pool copy of valueLength value bytes.
// No column: "\nEmpty Column Assigned\n" (error) and none.
fh::SelectCriteria* CreateCriteria(fh::ColumnRef* column, const void* value, int32_t valueLength,
                                   uint8_t operatorCode, MemPool* pool);
// New AND (7) / OR (8) nodes over left and right, which get it as parent.
fh::SelectCriteria* CreateAndCriteria(fh::SelectCriteria* left, fh::SelectCriteria* right,
                                      MemPool* pool);
fh::SelectCriteria* CreateOrCriteria(fh::SelectCriteria* left, fh::SelectCriteria* right,
                                     MemPool* pool);
// Sets the criteria root (none clears it).
void SetCriteria(SelectQuery* query, fh::SelectCriteria* node);

Join* CreateJoin(const char* baseTable, const char* baseAlias, const char* joinedTable,
                 const char* joinedAlias, uint8_t joinType, Vector* baseColumns,
                 Vector* joinedColumns, MemPool* pool);
bool AddJoin(SelectQuery* query, Join* join);

namespace fh {

// A having record for CreateGroupBy (the value bytes are copied).
Having* CreateHaving(ColumnRef* column, const void* value, int32_t valueLength,
                     uint8_t operatorCode, MemPool* pool);

}  // namespace fh

GroupBy* CreateGroupBy(Vector* columns, Having* having, MemPool* pool);
bool SetGroupBy(SelectQuery* query, GroupBy* groupBy);
fh::SortOrder* CreateSortOrder(Vector* columns, uint8_t ascending, MemPool* pool);
bool SetSortOrder(SelectQuery* query, fh::SortOrder* sortOrder);

fh::TableRef* CreateTableRef(const char* name, const char* alias, MemPool* pool);
bool AddTable(SelectQuery* query, fh::TableRef* table);

// A new empty vector living in pool (destroyed with it).
Vector* CreateColumnVector(MemPool* pool);
// Appends column to vector; false for a null argument.
bool AddColumnToVector(MemPool* pool, fh::ColumnRef* column, Vector* vector);
