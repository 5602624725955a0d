// The criteria of a stored query: a tree of definition rows.
//
//   QueryvsCriteria (QUERY_ID, B_ID)   the root id of a query's criteria
//   BooleanExp (B_ID, LEXPRESSION, OPERATOR, REXPRESSION)   an AND/OR node
//       whose two sides are ids of BooleanExp or RelationalExp rows
//   RelationalExp (R_ID, LIDENTIFIER, OPERATOR, RIDENTIFIER)   a comparison
//       of a column with a value text
//
// An id without a BooleanExp row is read as a RelationalExp id. OPERATOR of
// a node is "AND" for an AND node, any other text an OR node; OPERATOR of a
// comparison is one of "<", ">", "<=", ">=", "=", "!=", "LIKE", "BETWEEN"
// (any other text gives operator 0, which the dialects refuse to write:
// "Invalid Operator\n"). LIDENTIFIER must be a plain identifier;
// RIDENTIFIER reaches the SQL only as a quoted literal, and a BETWEEN range
// only as "<number> AND <number>".
//
// Ownership and thread safety: as storedquery/stored_query.h; the nodes live in
// the given pool.
#pragma once

struct ConnectionHandle;
struct MemPool;
namespace fh {

struct SelectCriteria;

}  // namespace fh

struct SelectQuery;

// Reads the root id (the first B_ID row of QueryvsCriteria for queryId) and
// sets the criteria tree built from it on selectQuery. No row: nothing is
// set, true. false when the tree cannot be built ("\nCriteria of stored
// query %d cannot be built\n", error): the query must not run without the
// condition it was defined with.
bool LoadQueryCriteria(int queryId, SelectQuery* selectQuery, MemPool* pool);

// The criteria node of id, read with "SELECT * FROM BooleanExp WHERE B_ID =
// <id>" on handle (the BooleanExp data source's); without a row,
// BuildRelationalExp(id). Both sides are built, left first. None when a side
// cannot be built ("\nIncomplete criteria at B_ID %d\n"), when the rows
// refer back to a node being built or nest deeper than 64 levels
// ("\nCriteria cycle at B_ID %d\n"; all errors) or the pool is exhausted.
fh::SelectCriteria* BuildBooleanExp(int id, MemPool* pool, ConnectionHandle* handle);

// The comparison of RelationalExp row id (read on the RelationalExp data
// source): LIDENTIFIER as a column of type KES_SQL_NCHAR, OPERATOR as its
// code, RIDENTIFIER as the value. No row: "\nInvalid ID\n" (debug) and none;
// a refused LIDENTIFIER or BETWEEN range (error line) gives none as well.
fh::SelectCriteria* BuildRelationalExp(int id, MemPool* pool);

// Writes the criteria of stored query queryId in one debug line "\n%s\n":
// in order, each node's left part, its operator text and its right part, a
// comparison as its column name, operator and value without separators.
// false (nothing written) when the query has no criteria or they cannot be
// built.
bool PrintQueryCriteria(int queryId);
