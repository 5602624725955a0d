// Connection parameters: one entry per configured data source, read from the
// data directory's "connparams.txt", kept in one process-wide list in file
// order. The first entry is the default data source.
//
// "connparams.txt" holds one data source per line: ten blank-separated
// tokens (label, number, DSN, user, password ("NULL": none), a dropped
// token, connection name, provider name, dialect name, "YES" in any letter
// case to use a connect string) and the rest of the line, which after its
// first character is the connect string when the tenth token is "YES".
// Lines may be of any length and end in LF or CRLF; blank lines are skipped;
// reading stops at the first line with fewer than ten tokens or a number
// that is not one, which is logged as an error and remembered
// (fh::RefusedConnParamsLine: start-up refuses such a file).
//
// A relative SQLite database file: when a line's dialect is "SQLITE" and its
// connect string names a relative "Database=" file, the file is taken
// relative to the directory connparams.txt was found in (the data
// directory), so the embedded default works from any working directory.
// The same rule applies to the DSN token of a line whose provider is the
// native SQLite provider ("SQLITE"), which names the database file there.
// The in-memory name ":memory:" is never resolved.
//
// Ownership: the list owns its entries. Pointers and texts handed out point
// into an entry and stay valid until it is deleted (DeleteConnParamsEntry,
// FreeAllConnParamsEntries).
//
// Thread safety: every function may be called from any thread; the list is
// guarded by one internal mutex held for each call.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

struct ConnParamsEntry {
  std::optional<std::string> label;
  int16_t number = 0;
  std::optional<std::string> dsn;       // ODBC data source name (DSN=)
  std::optional<std::string> user;      // UID=
  std::optional<std::string> password;  // PWD=; none for the token "NULL"
  std::optional<std::string> connectionName;
  uint8_t useConnectString = 0;  // 1: connect with connectString as it is
  std::optional<std::string> connectString;
  std::optional<std::string> providerName;  // the DBProvider's name ("ODBC")
  std::optional<std::string> dialectName;   // "MYSQL", "PGSQL", "FIREBIRD" or "SQLITE"
};

// Opens path (normally "..\\data\\connparams.txt"), else "<root>/data/" with
// path's last component (config/config_files.h); when neither opens:
// "Cannot open Connection Parameters File.\n" (error) and false. Otherwise
// appends an entry per complete line and returns true; a line that is not
// complete ends the reading with "<path>:<line>: a data source line needs
// ten words ...\n" (error).
bool LoadConnParamsEntryFromFile(const char* path);

// A new entry with copies of the texts given (none stays none); a password
// equal to "NULL" is stored as none. None when memory is exhausted.
std::unique_ptr<ConnParamsEntry> CreateConnParamsEntry(
    const char* label, int16_t number, const char* dsn, const char* user, const char* password,
    const char* connectionName, uint8_t useConnectString, const char* connectString,
    const char* providerName, const char* dialectName);

// Appends entry to the list, which takes it. false for none or when memory
// is exhausted.
bool AddConnParamsEntry(std::unique_ptr<ConnParamsEntry> entry);

// The first entry whose connection name equals connectionName
// (case-sensitive), or none.
const ConnParamsEntry* GetConnParamsEntry(const char* connectionName);

// The first entry's connection name; none for an empty list, and "Connection
// Name IS NULL\n" (error) when the first entry has none.
const char* GetDefaultConnectionName();

// Removes and frees the first entry for connectionName; true when one was.
bool DeleteConnParamsEntry(const char* connectionName);
// Frees every entry and empties the list.
void FreeAllConnParamsEntries();
// Frees an entry that is not in the list.
void FreeConnParamsEntry(std::unique_ptr<ConnParamsEntry> entry);

namespace fh {
// Number of entries in the list.
int GetConnParamsEntryCount();
// The entry at index in file order, or none.
const ConnParamsEntry* GetConnParamsEntryAt(int index);
}  // namespace fh

// The entry's provider name, or none (no entry, or none set).
const char* GetProviderNameForConnection(const char* connectionName);
// The entry's dialect name; no entry: "dbConnPtr is NULL for Connection Name
// %s \n" (error) and none.
const char* GetDialectNameForConnection(const char* connectionName);
// The connection name the data source map gives tableName; none with "No
// DataSourceMap Entry for Table name %s \n" (error) when it has none.
const char* GetConnectionNameForTable(const char* tableName);

namespace fh {

// The number of the line the last LoadConnParamsEntryFromFile stopped at
// because it was not complete; 0 when it read every line.
int RefusedConnParamsLine();

}  // namespace fh
