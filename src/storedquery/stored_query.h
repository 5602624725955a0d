// Stored queries: select queries defined as data. Definition tables in the
// database describe each query's columns, tables, joins, grouping, sorting
// and criteria, keyed by a query id:
//
//   QueryDetails (QUERY_ID)                one row per stored query
//   QueryvsColumns (QUERY_ID, COLUMN_ID)   -> ColumnDetails (COLUMN_ID,
//       COLUMNNAME, COLUMNALIAS, TABLENAME, TABLEALIAS, FUNCTIONNAME)
//   QueryvsTables (QUERY_ID, TABLE_ID)     -> TableDetails (TABLE_ID,
//       TABLENAME, TABLEALIAS)
//   QueryvsJoins (QUERY_ID, JOIN_ID)       -> JoinDetails (JOIN_ID,
//       BASETABLENAME, BASETABLEALIAS, REFTABLENAME, REFTABLEALIAS,
//       BASETABLECOLUMN, REFTABLECOLUMN, JOINTYPE "INNER_JOIN"/"LEFT_JOIN")
//   QueryvsGB (QUERY_ID, GB_ID)            -> GroupByDetails (GB_ID,
//       TABLENAME, COLUMNNAME)
//   QueryvsSort (QUERY_ID, SORT_ID)        -> SortDetails (SORT_ID,
//       TABLENAME, COLUMNNAME, SORTTYPE 1 ascending / 0 descending)
//   QueryvsCriteria (QUERY_ID, B_ID)       -> the criteria tree
//       (storedquery/stored_query_criteria.h)
//
// Each definition table is read through the data source the data-source map
// names for it (config/data_source_map.h), with its own statements ("SELECT
// COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = <id>" and so on); a value
// is the first column of the first row of its statement. The query's text
// comes from the dialect of its first table (GenerateSelectQuery).
//
// Safety: every table, alias and column name read from the definitions must
// be a plain identifier (storedquery/stored_query_reads.h) or the query is not
// built ("\nStored query: ... is not a plain identifier.\n"); comparison
// values reach the SQL only as quoted literals of the dialect.
//
// Thread safety: the loaders borrow pooled handles for the calling thread
// and build into the caller's query; RunStoredQueries starts process-wide
// state and must not overlap other framework calls.
#pragma once

#include <string>

struct MemPool;
struct SelectQuery;

// The section loaders: each reads one section of stored query queryId and
// adds it to selectQuery (allocating in pool, the query's own pool). A
// section with no rows (or whose id list cannot be read) adds nothing and
// logs its debug line ("\nNo Columns to be selected.\n", "\nNo Tables to be
// selected\n", "\nNo Join details\n", "\nNo GroupBy details\n", "\nNo Sort
// details\n"); true. false when a name is refused, a join type is neither
// "INNER_JOIN" nor "LEFT_JOIN" ("\nInvalid Join Type in stored query %d\n")
// or a part cannot be made (pool exhausted, the builder's own error line).
//
// Columns: the type is the dictionary type of TABLENAME.COLUMNNAME
// (KES_SQL_CHAR when unknown); FUNCTIONNAME names the aggregate
// ("DISTINCT", "COUNT", "MIN", "MAX", "SUM", "AVG"; 0 when absent or
// unmatched); an empty COLUMNNAME with an aggregate gives "<AGG>(*)".
bool LoadQueryColumns(int queryId, SelectQuery* selectQuery, MemPool* pool);
// Tables: a present alias is also printed to standard output as "\nTable
// Alias = %s".
bool LoadQueryTables(int queryId, SelectQuery* selectQuery, MemPool* pool);
// Joins: one column pair each, qualified by the side's alias when it has
// one, else by its table name.
bool LoadQueryJoins(int queryId, SelectQuery* selectQuery, MemPool* pool);
// Group-by: one record of every (TABLENAME, COLUMNNAME), no having.
bool LoadQueryGroupBy(int queryId, SelectQuery* selectQuery, MemPool* pool);
// Sort: one record of every (TABLENAME, COLUMNNAME), whose direction is the
// SORTTYPE of the last row read (0 descending, any other number ascending).
bool LoadQuerySort(int queryId, SelectQuery* selectQuery, MemPool* pool);

namespace fh {
// Runs the six loaders in order (columns, tables, joins, group-by, sort,
// criteria) on selectQuery; false at the first that fails.
bool BuildStoredQuery(int queryId, SelectQuery* selectQuery);
}  // namespace fh

// Takes a memory pool use count, builds stored query queryId in a new query,
// generates its text (GenerateSelectQuery, which logs it) into *text when
// text is given, frees the query and gives the count back. true when a
// statement was generated; false when the query could not be built or no
// text was produced (e.g. a comparison whose operator matched no name:
// "Invalid Operator\n").
bool GenerateStoredQuery(int queryId, std::string* text = nullptr);

// Stand-alone driver: starts the log below the framework root, the memory
// pool, the provider registry, the dialects, the data dictionaries, the
// data-source map and the connection parameters (framework/tessel.h), loads
// the provider each data source names, opens the connections, then runs
// "SELECT QUERY_ID FROM QueryDetails" on the QueryDetails data source. No
// result: "Query failed\n" (error) and false. For every QUERY_ID it builds
// and generates the query, runs it on a handle of the same data source
// (taken around each statement, since the definition reads take handles of
// their own) and writes the result set to the log (PrintDBResultSet); a
// query that cannot be built or generated is skipped with "\nStored query %d
// was not run.\n" (error). Gives back the memory pool count and returns true; false
// (after the failing step's line) when the start fails. The rest of the
// framework stays up: DeInitTessel takes it down.
bool RunStoredQueries();
