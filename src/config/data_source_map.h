// The data source map: which configured data source (the connection name of
// a connection parameters entry) holds each table. Read from
// "dsn_table_map.txt" at start-up and consulted by the database layer when
// the data-source mode is on.
//
// The map is one process-wide list of entries in the order they were added.
// Lookups compare the table name ignoring case and find the first match.
//
// Ownership: the map owns its entries. GetDataSourceMapEntry hands out a
// pointer into the map that stays valid until that entry is deleted
// (DeleteDataSourceMapEntry, FreeAllDataSourceMapEntries).
//
// Thread safety: every function may be called from any thread; the map is
// guarded by one internal mutex held for each operation.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

struct DataSourceMapEntry {
  std::string tableName;
  std::string connectionName;
};

// Logs "@@@ Inside CreateDataSourceMapEntry @@@\n" (trace). A new entry with
// copies of both names; none when either is null or memory is exhausted.
std::unique_ptr<DataSourceMapEntry> CreateDataSourceMapEntry(const char* tableName,
                                                             const char* connectionName);

// Logs "@@@ Inside AddDataSourceMapEntry @@@\n" (trace). Appends entry to
// the map, which takes it. false for a null entry or when memory is
// exhausted (the entry is then freed).
bool AddDataSourceMapEntry(std::unique_ptr<DataSourceMapEntry> entry);

// Logs "@@@ Inside DeleteDataSourceMapEntry @@@\n" (trace). Removes and
// frees the first entry for tableName (ignoring case). false when the map is
// empty, tableName is null or no entry matches.
bool DeleteDataSourceMapEntry(const char* tableName);

// Logs "@@@ Inside GetDataSourceMapEntry @@@\n" (trace). The first entry for
// tableName (ignoring case), or none (also for a null name or an empty map).
const DataSourceMapEntry* GetDataSourceMapEntry(const char* tableName);

// Logs "@@@ Inside FreeAllDataSourceMapEntries @@@\n" (trace). Frees every
// entry and empties the map (also the reset for tests).
void FreeAllDataSourceMapEntries();

namespace fh {
// Number of entries in the map.
std::size_t GetDataSourceMapEntryCount();
}  // namespace fh

// Logs "@@@ Inside LoadDataSourceMapEntryFromFile @@@\n" (trace). Opens path
// (normally "..\\data\\dsn_table_map.txt"), else "<root>/data/" with path's
// last component (config_files.h); when neither opens: "Cannot open
// DataSourceMap Entry File.\n" (error) and false. Otherwise reads the file's
// tokens two at a time (table name, connection name; line breaks carry no
// meaning, a trailing single token is ignored), appends one entry per pair in
// file order (a pair whose entry cannot be made is skipped), closes the file
// and returns true.
bool LoadDataSourceMapEntryFromFile(const char* path);
