// Convenience builders on a select query (query/select_query.h): column
// vectors made from lists of names, joins made in one call, a column added
// by its names.
//
// Ownership: everything is allocated in the given pool (for the builders
// that take a query, the query's own pool); texts are copied, the caller
// keeps its own. Results are none or false when the pool is none or
// exhausted, or when a builder of query/select_query.h refuses a part (its
// error line is then written).
//
// The name lists are C variable arguments: exactly count texts (const
// char*) must follow count.
//
// Thread safety: as query/select_query.h.
#pragma once

#include <cstdint>

#include "query/select_query.h"

// Logs "@@ Inside MakeColumnVector @@\n" (trace). A new vector in pool whose
// elements are pool copies of the count names (char*), in order. None for a
// null name or a negative count.
Vector* MakeColumnVector(MemPool* pool, int count, ...);

// Logs "@@ Inside MakeColumnVectorForJoin @@\n" (trace). A new vector in
// pool of count column references (ColumnRef) of tableName, one per name in
// order, of type KES_SQL_INT, for one side of a join. None when a name is
// null or count is negative.
Vector* MakeColumnVectorForJoin(MemPool* pool, const char* tableName, int count, ...);

// Creates a join in the query's pool and appends it to the query; false when
// either fails.
bool AddJoinToSelectQuery(SelectQuery* query, const char* baseTable, const char* baseAlias,
                          const char* joinedTable, const char* joinedAlias, uint8_t joinType,
                          Vector* baseColumns, Vector* joinedColumns);

// A join whose two sides pair the same count column names: each side's
// columns are qualified by that side's alias when it has one, else by its
// table name (the SQL can name an aliased table only by its alias). false
// when a name is null or an allocation fails.
bool AddJoinOnColumns(SelectQuery* query, const char* baseTable, const char* baseAlias,
                      const char* joinedTable, const char* joinedAlias, uint8_t joinType, int count,
                      ...);

// Creates a column reference in the query's pool (CreateColumnRef's rules)
// and appends it to the select list; false when either fails.
bool AddColumnByName(SelectQuery* query, const char* tableName, const char* tableAlias,
                     const char* columnName, const char* columnAlias, int32_t number,
                     uint8_t dataType, uint8_t aggregate);
