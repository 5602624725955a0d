// The dialect list and statement dispatch: which dialect writes each
// statement (per table through the data-source map and the connection
// parameters, or one default dialect), the five generate operations the
// framework calls, the conversion of a fetched row, and the creation of every
// defined table in its database.
//
// Dialect index table (when the data-source mode is off): 0 "MYSQL",
// 1 "PGSQL", 2 "FIREBIRD", 3 "SQLITE"; the default index is 0.
//
// Ownership: the dialect tables are constants; the list holds pointers to
// them. Generated texts and rows are new values owned by the caller.
//
// Thread safety: the list and the two mode settings are guarded by one
// internal mutex; every function may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sql/sql_dialect.h"

// Empties the list and registers PGSQL, MYSQL, SQLITE, FIREBIRD in that order.
void InitSQLDialects();
// Empties the list.
void FreeSQLDialects();
// The first registered dialect whose name equals name ignoring case, or none.
const SQLDialect* FindSQLDialect(const char* name);

// Logs "@@@ Inside SetDSNMapValid @@@\n" (trace). Status 1: the data-source
// mode is on (index unused). Status 0: the mode is off, the default dialect
// index becomes index and LoadDBProvider is called with that dialect's name;
// an index outside 0 to 3 is refused with "\nInvalid Dialect Index\n"
// (error) and changes nothing. Other status: "\nInvalid Status\n" (error),
// nothing changes.
void SetDSNMapValid(uint8_t status, uint8_t index);
namespace fh {
// The current mode and default index.
uint8_t GetDSNMapValid();
uint8_t GetDefaultDialectIndex();
// The name of the dialect the default index names ("MYSQL" for index 0, as
// above): the dialect that writes and reads every statement while the
// data-source mode is off. Never null; a static string.
const char* DefaultDialectName();
// Sets the mode from the connection parameters: when the first entry names
// one of the four dialects (ignoring case), with or without a connect
// string, the data-source mode goes on; otherwise it stays off with the
// default index 0. true when the mode went on.
bool SetDialectModeFromConnParams();
}  // namespace fh

// The dialect's text for the statement, with "Generated Select Query: %s\n"
// (and its siblings) at debug level; none when no dialect is found, the
// select has no table ("No Tables selected in select query.\n"), or the
// generator gives none.
std::optional<std::string> GenerateSelectQuery(SelectQuery* selectQuery);
std::optional<std::string> GenerateUpdateQuery(const char* tableName, const RowObject* row);
std::optional<std::string> GenerateInsertQuery(const char* tableName, const RowObject* row);
std::optional<std::string> GenerateDeleteQuery(const char* tableName, const RowObject* row);
std::optional<std::string> GenerateCreateTableQuery(const char* tableName);
namespace fh {
// The words of the dialect that writes tableName's statements; none when
// no dialect is found.
const DialectWords* GetDialectWordsForTable(const char* tableName);
// The description of the dialect named name (ignoring case), registered or
// not; none for a null or unknown name. A constant with static storage.
const DialectWords* DialectWordsNamed(const char* name);
}  // namespace fh

// The named dialect's conversion of the result set's current row into a row
// of tableName; none for an unknown dialect or no current row.
std::unique_ptr<RowObject> ConvertResultSet(const DBResultSet* resultSet, const char* dialectName,
                                            const char* tableName);

// Creates every defined table in its database, a referenced table before the
// tables that refer to it, trying every table even after a failure. A table
// that exists already is left as it is ("Table %s already exists.\n",
// trace) and counts as not created; a table whose create failed is probed
// again; when missingTables is given it receives the number of tables that
// do not exist afterwards. true only when every table was created.
bool CreateAllTables(int* missingTables = nullptr);
namespace fh {
// The table definitions in the order CreateAllTables creates them: every
// referenced table before the tables that refer to it, list order otherwise
// (a reference cycle keeps list order).
std::vector<const TableDefn*> GetTableCreationOrder();
}  // namespace fh

// Runs the create-table text of tableName (dialect taken from
// connectionName when the data-source mode is on) on a handle of
// connectionName; true when the statement succeeded.
bool CreateTableInDB(const char* tableName, const char* connectionName);

namespace fh {
// True when the table exists in connectionName's database: the engine's
// catalogue counts it (SQLITE, PGSQL, MYSQL: letter case ignored, so asking
// about a missing table logs no error), or, for another dialect, a query on
// it succeeds. false when it does not, the query fails or no handle can be
// had.
bool TableExistsInDB(const char* connectionName, const std::string& tableName);

// Tests only: empties the list, mode off, default index 0.
void ResetSQLDialectsForTesting();
}  // namespace fh
