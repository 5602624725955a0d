#include "sql/sql_dialects.h"

#include <strings.h>

#include <iterator>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/column_values.h"
#include "dictionary/foreign_keys.h"
#include "dictionary/sql_text.h"
#include "log/log.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "sql/firebird_dialect.h"
#include "sql/mysql_dialect.h"
#include "sql/pgsql_dialect.h"
#include "sql/sqlite_dialect.h"
#include "sql/table_route.h"

namespace {

// The four dialects in default-index order: each one's generator table and
// description, the one place that lists them.
struct KnownDialect {
  const SQLDialect* dialect;
  const fh::DialectWords* words;
};
constexpr KnownDialect kKnownDialects[] = {{&kMysqlDialect, &kMysqlWords},
                                           {&kPgsqlDialect, &kPgsqlWords},
                                           {&kFirebirdDialect, &kFirebirdWords},
                                           {&kSqliteDialect, &kSqliteWords}};
constexpr uint8_t kDialectCount = std::size(kKnownDialects);

struct DialectState {
  fh::Mutex mutex;
  std::vector<const SQLDialect*> dialects GUARDED_BY(mutex);
  uint8_t dsnMapValid GUARDED_BY(mutex) = 0;
  uint8_t defaultIndex GUARDED_BY(mutex) = 0;
};

DialectState& State() {
  static fh::NoDestructor<DialectState> state;
  return state.get();
}

// The dialect for a statement on tableName (its route's registered dialect).
const SQLDialect* DialectForTable(const char* tableName) {
  return fh::RouteOfTable(tableName).Dialect();
}

const char* FirstTableOf(const SelectQuery* query) {
  if (query == nullptr) return nullptr;
  if (query->tables != nullptr && query->tables->head != nullptr) {
    return static_cast<const fh::TableRef*>(query->tables->head->data)->name;
  }
  if (query->joins != nullptr && query->joins->head != nullptr) {
    return static_cast<const Join*>(query->joins->head->data)->baseTable;
  }
  return nullptr;
}

void LogGenerated(const char* format, const std::optional<std::string>& text) {
  if (text) LogDebug(format, text->c_str());
}

// A query that counts the tables named tableName (letter case ignored) in
// the connection's own database or schema, from the engine's catalogue, so
// that asking about a missing table is not a failing statement. None for a
// dialect without one known here.
std::optional<std::string> CatalogCountQuery(const char* dialect, const std::string& tableName) {
  const fh::DialectWords* words = fh::DialectWordsNamed(dialect);
  if (words == nullptr || words->tableCountHead == nullptr) return std::nullopt;
  return words->tableCountHead + fh::QuoteSqlText(tableName, words->backslashEscapes()) + ")";
}

}  // namespace

std::vector<const TableDefn*> fh::GetTableCreationOrder() {
  return fh::OrderReferencedFirst(GetTableDefnList());
}

namespace {

bool RunOnConnection(const char* connectionName, const std::string& text) {
  ConnectionHandle* handle = GetConnectionHandle(connectionName);
  const int result = ExecuteUpdate(handle, text.c_str());
  if (handle != nullptr) ReleaseConnectionHandle(connectionName);
  return result == 1;
}

}  // namespace

bool fh::TableExistsInDB(const char* connectionName, const std::string& tableName) {
  const char* dialect =
      connectionName != nullptr ? GetDialectNameForConnection(connectionName) : nullptr;
  const std::optional<std::string> catalog = CatalogCountQuery(dialect, tableName);
  ConnectionHandle* handle = GetConnectionHandle(connectionName);
  if (handle == nullptr) return false;
  auto result = ExecuteQuery(
      handle, catalog ? catalog->c_str() : ("select count(*) from " + tableName).c_str());
  ReleaseConnectionHandle(connectionName);
  bool exists = result != nullptr;
  if (exists && catalog) {
    const fh::ColumnValue* count = NextDBResultSetRow(result.get()) != nullptr &&
                                           !result->rows.empty() && !result->rows[0].empty() &&
                                           result->rows[0][0]
                                       ? &*result->rows[0][0]
                                       : nullptr;
    const auto text =
        count != nullptr ? ConvertValueToString(count, result->columns[0].dataType) : std::nullopt;
    exists = text && *text != "0";
  }
  FreeDBResultSet(std::move(result));
  return exists;
}

void InitSQLDialects() {
  fh::MutexLock lock(&State().mutex);
  State().dialects = {&kPgsqlDialect, &kMysqlDialect, &kSqliteDialect, &kFirebirdDialect};
}

void FreeSQLDialects() {
  fh::MutexLock lock(&State().mutex);
  State().dialects.clear();
}

const SQLDialect* FindSQLDialect(const char* name) {
  if (name == nullptr) return nullptr;
  fh::MutexLock lock(&State().mutex);
  for (const SQLDialect* dialect : State().dialects) {
    if (strcasecmp(dialect->name, name) == 0) return dialect;
  }
  return nullptr;
}

void SetDSNMapValid(uint8_t status, uint8_t index) {
  LogTrace("@@@ Inside SetDSNMapValid @@@\n");
  if (status == 1) {
    fh::MutexLock lock(&State().mutex);
    State().dsnMapValid = 1;
    return;
  }
  if (status != 0) {
    LogError("\nInvalid Status\n");
    return;
  }
  if (index >= kDialectCount) {
    LogError("\nInvalid Dialect Index\n");
    return;
  }
  {
    fh::MutexLock lock(&State().mutex);
    State().dsnMapValid = 0;
    State().defaultIndex = index;
  }
  LoadDBProvider(kKnownDialects[index].dialect->name);
}

uint8_t fh::GetDSNMapValid() {
  fh::MutexLock lock(&State().mutex);
  return State().dsnMapValid;
}

uint8_t fh::GetDefaultDialectIndex() {
  fh::MutexLock lock(&State().mutex);
  return State().defaultIndex;
}

const char* fh::DefaultDialectName() {
  const uint8_t index = fh::GetDefaultDialectIndex();
  return kKnownDialects[index < kDialectCount ? index : 0].dialect->name;
}

bool fh::SetDialectModeFromConnParams() {
  const ConnParamsEntry* first = fh::GetConnParamsEntryAt(0);
  if (first != nullptr && first->dialectName) {
    for (uint8_t i = 0; i < kDialectCount; ++i) {
      if (strcasecmp(first->dialectName->c_str(), kKnownDialects[i].dialect->name) == 0) {
        SetDSNMapValid(1, i);
        return true;
      }
    }
  }
  return false;
}

std::optional<std::string> GenerateSelectQuery(SelectQuery* selectQuery) {
  const char* table = FirstTableOf(selectQuery);
  if (table == nullptr && fh::GetDSNMapValid() == 1) {
    LogError("No Tables selected in select query.\n");
    return std::nullopt;
  }
  const SQLDialect* dialect = DialectForTable(table);
  if (dialect == nullptr) return std::nullopt;
  auto text = dialect->GenSelectQuery(selectQuery);
  LogGenerated("Generated Select Query: %s\n", text);
  return text;
}

std::optional<std::string> GenerateUpdateQuery(const char* tableName, const RowObject* row) {
  const SQLDialect* dialect = DialectForTable(tableName);
  if (dialect == nullptr) return std::nullopt;
  auto text = dialect->GenUpdateQuery(tableName, row);
  LogGenerated("Generated Update Query: %s\n", text);
  return text;
}

std::optional<std::string> GenerateInsertQuery(const char* tableName, const RowObject* row) {
  const SQLDialect* dialect = DialectForTable(tableName);
  if (dialect == nullptr) return std::nullopt;
  auto text = dialect->GenInsertQuery(tableName, row);
  LogGenerated("Generated Insert Query: %s\n", text);
  return text;
}

std::optional<std::string> GenerateDeleteQuery(const char* tableName, const RowObject* row) {
  const SQLDialect* dialect = DialectForTable(tableName);
  if (dialect == nullptr) return std::nullopt;
  auto text = dialect->GenDeleteQuery(tableName, row);
  LogGenerated("Generated Delete Query: %s\n", text);
  return text;
}

const fh::DialectWords* fh::GetDialectWordsForTable(const char* tableName) {
  const SQLDialect* dialect = DialectForTable(tableName);
  for (const KnownDialect& known : kKnownDialects) {
    if (known.dialect == dialect) return known.words;
  }
  return nullptr;
}

const fh::DialectWords* fh::DialectWordsNamed(const char* name) {
  if (name == nullptr) return nullptr;
  for (const KnownDialect& known : kKnownDialects) {
    if (strcasecmp(known.words->name, name) == 0) return known.words;
  }
  return nullptr;
}

std::optional<std::string> GenerateCreateTableQuery(const char* tableName) {
  const SQLDialect* dialect = DialectForTable(tableName);
  if (dialect == nullptr) return std::nullopt;
  auto text = dialect->GenCreateQuery(tableName);
  LogGenerated("Generated Create Table Query: %s\n", text);
  return text;
}

std::unique_ptr<RowObject> ConvertResultSet(const DBResultSet* resultSet, const char* dialectName,
                                            const char* tableName) {
  const SQLDialect* dialect = FindSQLDialect(dialectName);
  if (dialect == nullptr) return nullptr;
  return dialect->ConvResultsetToRowobject(resultSet, tableName);
}

bool CreateAllTables(int* missingTables) {
  bool allCreated = true;
  int missing = 0;
  for (const TableDefn* table : fh::GetTableCreationOrder()) {
    const char* name = table->tableName.c_str();
    const char* connection = fh::RouteOfTable(name, fh::RouteLookup::kMap).connection;
    if (fh::TableExistsInDB(connection, table->tableName)) {
      LogTrace("Table %s already exists.\n", name);
      allCreated = false;
      continue;
    }
    const auto text = GenerateCreateTableQuery(name);
    if (text && RunOnConnection(connection, *text)) continue;
    allCreated = false;
    if (!fh::TableExistsInDB(connection, table->tableName)) {
      LogError("Table %s does not exist in its database.\n", name);
      ++missing;
    }
  }
  if (missingTables != nullptr) *missingTables = missing;
  return allCreated;
}

bool CreateTableInDB(const char* tableName, const char* connectionName) {
  const SQLDialect* dialect = nullptr;
  if (fh::GetDSNMapValid() == 1) {
    dialect = FindSQLDialect(GetDialectNameForConnection(connectionName));
  } else {
    dialect = DialectForTable(tableName);
  }
  if (dialect == nullptr) return false;
  const auto text = dialect->GenCreateQuery(tableName);
  return text && RunOnConnection(connectionName, *text);
}

void fh::ResetSQLDialectsForTesting() {
  fh::MutexLock lock(&State().mutex);
  State().dialects.clear();
  State().dsnMapValid = 0;
  State().defaultIndex = 0;
}
