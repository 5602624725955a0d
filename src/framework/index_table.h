// Following foreign keys to the root tables a table hangs from, and finding
// a column's place in a definition: the lookups the index tables ("<root>_IDX")
// of indexed dominant tables are kept with.
//
// Thread safety: reads the table definitions only (their list has its own
// lock); may be called from any thread.
#pragma once

#include <string>
#include <vector>

#include "dictionary/table_defn.h"

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
