// Following foreign keys to the root tables a table hangs from, and finding
// a column's place in a definition: the lookups the index tables ("<root>_IDX")
// of indexed dominant tables are kept with.
//
// Thread safety: reads the table definitions only (their list has its own
// lock); may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/row_object.h"

struct ConnectionHandle;

namespace fh {
// The indexed dominant tables: tables whose index table "<name>_IDX"
// (key column, TABLENAME) records which constituent tables hold rows for
// each of their keys. Filled by whoever reads the personality definitions;
// names compare ignoring case. Guarded by an internal mutex.
void RegisterIndexedDominantTable(const char* tableName);
bool IsIndexedDominantTable(const char* tableName);
void ClearIndexedDominantTables();
// true when at least one table is registered.
bool AnyIndexedDominantTable();

// The connection the index table of rootTable lives on: the data source
// map's entry for rootTable, else the default data source (none when there
// are no connection parameters). The pointer stays valid as long as that
// entry. Logs nothing.
const char* GetIndexTableConnection(const char* rootTable);
}  // namespace fh

// Logs "@@@ Inside AddEntryToIndexTable @@@\n" (trace). Keeps the index
// tables of the indexed dominant roots of tableName (FindRootTable; only
// roots with a single primary key column) in step with row, keyed by the
// row's column that refers to the root's key (the local column of the
// foreign key leading there, else the column named like the key), on each root's
// index table connection (GetIndexTableConnection): for a row in state 2 or 6 the pair (key,
// tableName) is inserted when absent ("Insert Query for %s_IDX: %s\n", trace); for a row with flags
// 1 and 8 the pair is deleted when no other row of the in-memory table still refers to the key.
// Keys are written at their own width and type (texts quoted and escaped); where the connection's
// provider prepares statements, the insert and the delete bind the key and the table name to
// markers instead (an unsigned 64-bit key is still written in). "No References.\n"
// (trace) and true for a table without foreign keys; true when every statement succeeded or nothing
// was to be done; false with "Cannot Add Entry Into Index Table\n" (error) when a statement failed,
// and when the walk failed.
bool AddEntryToIndexTable(const char* tableName, const RowObject* row);

namespace fh {
// As AddEntryToIndexTable, for a caller that holds handle of connectionName
// inside its own transaction (a save): the statements for an index table on
// that connection run on handle, so they join the caller's transaction and
// leave its hold alone; index tables on other connections take and give back
// handles of their own.
bool AddEntryToIndexTableWithin(const char* tableName, const RowObject* row,
                                const char* connectionName, ConnectionHandle* handle);

// A key value as an SQL literal at its own width and type, as the index
// tables hold it, for a statement run on connectionName: the decimal number
// for the integer codes 1 to 8, any other type as its text
// (ConvertValueToString) in single quotes, quotes inside doubled, and
// backslashes doubled when the connection's dialect reads them as escapes
// (MYSQL; none as connectionName: not doubled). None for no value
// (SQL NULL) or a value that has no text.
std::optional<std::string> IndexKeyLiteral(const ColumnValue* value, uint8_t dataType,
                                           const char* connectionName);
}  // namespace fh

// Logs "@@@ Inside FindRootTable @@@\n" (trace). Follows tableName's
// foreign keys, each to its reference table and column, recursively, and
// appends every root reached (a table without foreign keys) to rootTables,
// with the column that led to it (columnName for tableName itself, which may
// be none) to rootColumns; a root reached twice is listed once. false with
// "No table definition found for %s\n" for an unknown table, or "Foreign key
// cycle at table %s\n" when a reference leads back to a table on the path
// (both error); the roots found so far stay listed.
bool FindRootTable(const char* tableName, const char* columnName,
                   std::vector<std::string>& rootTables, std::vector<std::string>& rootColumns);

// Logs "@@@ Inside GetColIndex @@@\n" (trace). The index of the column
// named columnName (exact letter case) in tableDefn, or in tableName's
// definition when tableDefn is none; -1 when there is no such column or
// definition.
int GetColIndex(const char* columnName, const char* tableName, const TableDefn* tableDefn);
