// Index tables of dominant tables and the key texts around them. For a
// dominant table D marked as indexed in a personality file, the table
// "D_IDX" (D's primary-key columns, TABLENAME VARCHAR(40)) records for each
// dominant row the constituent tables that hold rows for it; the table
// saver keeps it (framework/index_table.h) and DeepRetrieveDO reads it.
//
// The index table lives on the dominant table's connection
// (GetIndexTableConnection: the data source map's entry for it, else the
// default data source).
//
// Thread safety: reads the table definitions, the data source map and the
// connection parameters (each has its own lock); handles are taken and given
// back per statement. Any thread may call these.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dictionary/table_defn.h"
#include "personality/personality_xml.h"

// Logs "@@@@ Inside GetPKColumnInfo @@@@\n" (trace). The primary-key column
// definitions of tableName in key order (pointers into its definition, valid
// as long as the definition). None with "Cannot get PKColumnInfo.
// TableName is NULL\n", "No table definition found for %s.\n" or "No
// constraints for table %s\n" (error) when the name is null, the table is
// unknown or has no primary key.
std::optional<std::vector<const ColumnDefnEntry*>> GetPKColumnInfo(const char* tableName);

// Logs "@@@@ Inside ConstructPKColumnString @@@@\n" (trace). The key columns
// of an index table, each as "<name> <type>, ": INT for the integer codes 1
// to 5, BIGINT for 6 to 8, VARCHAR(<max size>) for the text codes 14, 15 and
// 22 (TEXT when the size is not positive). None with "Cannot create index
// column for %s: unsupported key type %d\n" (error) for a key of any other
// type, which an index table cannot hold.
std::optional<std::string> ConstructPKColumnString(const std::vector<const ColumnDefnEntry*>& keys);

// Logs "@@@@ Inside ConstructPKValueString @@@@\n" (trace). The condition
// matching row's primary key in the index table of dominantTable: per key
// column, in key order, "<name> = <value> " joined by " AND ", each value
// written at its width and type as the index table holds it, for the index
// table's connection (IndexKeyLiteral: numbers as they are, texts quoted
// with quotes doubled, and backslashes for MYSQL).
// REQUIRES: row carries every column of the table in definition order. None
// with "No table definition found for %s\n", "No primary columns in the
// dominant table.\n" or "Key column %s of %s has no value in the row.\n"
// (error).
std::optional<std::string> ConstructPKValueString(const char* dominantTable, const RowUnit* row);

// Logs "@@@@ Inside CreateIndexTable @@@@\n" (trace). For every
// DominantTableConfig node whose isindexed is "true": registers the dominant
// table as indexed (RegisterIndexedDominantTable), then runs
// "CREATE TABLE <D>_IDX(<key columns> TABLENAME VARCHAR(40))" on its
// connection. Both attributes are read before anything is done, in either
// order. A dominant table whose key cannot be had, whose statement fails
// (also because the index table exists already) or whose connection gives
// no handle logs "Cannot create Index Table for %s\n" (error), and the next
// one is tried. true when every statement succeeded.
bool CreateIndexTable(const std::vector<DoNode>& nodes);
