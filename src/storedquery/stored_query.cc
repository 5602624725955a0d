#include "storedquery/stored_query.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/column_types.h"
#include "dictionary/table_defn.h"
#include "framework/tessel.h"
#include "log/log.h"
#include "log/log_file.h"
#include "query/select_query.h"
#include "query/select_query_builders.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "storedquery/stored_query_criteria.h"
#include "storedquery/stored_query_reads.h"
#include "util/memory_pool.h"

using fh::storedq::CheckIdentifier;
using fh::storedq::DefinitionHandle;
using fh::storedq::TextOrNull;

namespace {

// The detail ids of queryId listed in linkTable; empty when there are none
// or the statement fails.
std::vector<int> LinkedIds(const char* linkTable, const char* statement, int queryId) {
  DefinitionHandle handle(linkTable);
  const auto resultSet = handle.Query(statement, queryId);
  if (resultSet == nullptr) return {};
  return fh::storedq::FirstColumnIds(*resultSet);
}

// The dictionary type of tableName.columnName; KES_SQL_CHAR when unknown.
uint8_t DefinedColumnType(const char* tableName, const char* columnName) {
  if (tableName == nullptr || columnName == nullptr) return KES_SQL_CHAR;
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr) return KES_SQL_CHAR;
  for (const ColumnDefnEntry& column : table->columns) {
    if (column.columnName == columnName) return column.dataType;
  }
  return KES_SQL_CHAR;
}

// The aggregate number of a FUNCTIONNAME; 0 when absent or unmatched.
uint8_t AggregateNumber(const std::optional<std::string>& name) {
  if (!name) return fh::kAggregateNone;
  for (uint8_t i = 0; i <= fh::kAggregateAvg; ++i) {
    if (*name == fh::GetAggregateName(i)) return i;
  }
  return fh::kAggregateNone;
}

bool LoadOneColumn(int columnId, SelectQuery* query, MemPool* pool) {
  DefinitionHandle handle("ColumnDetails");
  auto name = handle.Value("SELECT COLUMNNAME FROM ColumnDetails WHERE COLUMN_ID = ", columnId);
  auto alias = handle.Value("SELECT COLUMNALIAS FROM ColumnDetails WHERE COLUMN_ID = ", columnId);
  auto table = handle.Value("SELECT TABLENAME FROM ColumnDetails WHERE COLUMN_ID = ", columnId);
  auto tableAlias =
      handle.Value("SELECT TABLEALIAS FROM ColumnDetails WHERE COLUMN_ID = ", columnId);
  const auto function =
      handle.Value("SELECT FUNCTIONNAME FROM ColumnDetails WHERE COLUMN_ID = ", columnId);
  if (!CheckIdentifier("COLUMNNAME", name) || !CheckIdentifier("COLUMNALIAS", alias) ||
      !CheckIdentifier("TABLENAME", table) || !CheckIdentifier("TABLEALIAS", tableAlias)) {
    return false;
  }
  fh::ColumnRef* column = CreateColumnRef(
      TextOrNull(table), TextOrNull(tableAlias), TextOrNull(name), TextOrNull(alias), 0,
      DefinedColumnType(TextOrNull(table), TextOrNull(name)), AggregateNumber(function), pool);
  return column != nullptr && AddColumnToSelectQuery(query, column);
}

bool LoadOneTable(int tableId, SelectQuery* query, MemPool* pool) {
  DefinitionHandle handle("TableDetails");
  auto name = handle.Value("SELECT TABLENAME FROM TableDetails WHERE TABLE_ID = ", tableId);
  auto alias = handle.Value("SELECT TABLEALIAS FROM TableDetails WHERE TABLE_ID = ", tableId);
  if (!CheckIdentifier("TABLENAME", name) || !CheckIdentifier("TABLEALIAS", alias)) return false;
  if (alias) std::printf("\nTable Alias = %s", alias->c_str());
  fh::TableRef* table = CreateTableRef(TextOrNull(name), TextOrNull(alias), pool);
  return table != nullptr && AddTable(query, table);
}

// A one-column vector for one side of a join.
Vector* JoinSide(const std::optional<std::string>& table, const std::optional<std::string>& alias,
                 const std::optional<std::string>& column, MemPool* pool) {
  Vector* vector = CreateColumnVector(pool);
  fh::ColumnRef* ref = CreateListColumnRef(TextOrNull(table), TextOrNull(alias), TextOrNull(column),
                                           nullptr, 0, KES_SQL_INT, 0, pool);
  return AddColumnToVector(pool, ref, vector) ? vector : nullptr;
}

bool LoadOneJoin(int queryId, int joinId, SelectQuery* query, MemPool* pool) {
  DefinitionHandle handle("JoinDetails");
  auto base = handle.Value("SELECT BASETABLENAME FROM JoinDetails WHERE JOIN_ID = ", joinId);
  auto baseAlias = handle.Value("SELECT BASETABLEALIAS FROM JoinDetails WHERE JOIN_ID = ", joinId);
  auto ref = handle.Value("SELECT REFTABLENAME FROM JoinDetails WHERE JOIN_ID = ", joinId);
  auto refAlias = handle.Value("SELECT REFTABLEALIAS FROM JoinDetails WHERE JOIN_ID = ", joinId);
  auto baseColumn =
      handle.Value("SELECT BASETABLECOLUMN FROM JoinDetails WHERE JOIN_ID = ", joinId);
  auto refColumn = handle.Value("SELECT REFTABLECOLUMN FROM JoinDetails WHERE JOIN_ID = ", joinId);
  const auto type = handle.Value("SELECT JOINTYPE FROM JoinDetails WHERE JOIN_ID = ", joinId);
  if (!CheckIdentifier("BASETABLENAME", base) || !CheckIdentifier("BASETABLEALIAS", baseAlias) ||
      !CheckIdentifier("REFTABLENAME", ref) || !CheckIdentifier("REFTABLEALIAS", refAlias) ||
      !CheckIdentifier("BASETABLECOLUMN", baseColumn) ||
      !CheckIdentifier("REFTABLECOLUMN", refColumn)) {
    return false;
  }
  uint8_t joinType = INNER_JOIN;
  if (type && *type == "LEFT_JOIN") {
    joinType = LEFT_JOIN;
  } else if (!type || *type != "INNER_JOIN") {
    LogError("\nInvalid Join Type in stored query %d\n", queryId);
    return false;
  }
  Vector* baseColumns = JoinSide(base, baseAlias, baseColumn, pool);
  Vector* refColumns = JoinSide(ref, refAlias, refColumn, pool);
  return baseColumns != nullptr && refColumns != nullptr &&
         AddJoinToSelectQuery(query, TextOrNull(base), TextOrNull(baseAlias), TextOrNull(ref),
                              TextOrNull(refAlias), joinType, baseColumns, refColumns);
}

// Appends the (TABLENAME, COLUMNNAME) of one group-by or sort row.
bool AddListColumn(std::optional<std::string> table, std::optional<std::string> name,
                   Vector* columns, MemPool* pool) {
  if (!CheckIdentifier("TABLENAME", table) || !CheckIdentifier("COLUMNNAME", name)) return false;
  fh::ColumnRef* column =
      CreateListColumnRef(TextOrNull(table), nullptr, TextOrNull(name), nullptr, 0,
                          DefinedColumnType(TextOrNull(table), TextOrNull(name)), 0, pool);
  return AddColumnToVector(pool, column, columns);
}

}  // namespace

bool LoadQueryColumns(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  const auto ids = LinkedIds("QueryvsColumns",
                             "SELECT COLUMN_ID FROM QueryvsColumns WHERE QUERY_ID = ", queryId);
  if (ids.empty()) LogDebug("\nNo Columns to be selected.\n");
  for (int id : ids) {
    if (!LoadOneColumn(id, selectQuery, pool)) return false;
  }
  return true;
}

bool LoadQueryTables(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  const auto ids =
      LinkedIds("QueryvsTables", "SELECT TABLE_ID FROM QueryvsTables WHERE QUERY_ID = ", queryId);
  if (ids.empty()) LogDebug("\nNo Tables to be selected\n");
  for (int id : ids) {
    if (!LoadOneTable(id, selectQuery, pool)) return false;
  }
  return true;
}

bool LoadQueryJoins(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  const auto ids =
      LinkedIds("QueryvsJoins", "SELECT JOIN_ID FROM QueryvsJoins WHERE QUERY_ID = ", queryId);
  if (ids.empty()) LogDebug("\nNo Join details\n");
  for (int id : ids) {
    if (!LoadOneJoin(queryId, id, selectQuery, pool)) return false;
  }
  return true;
}

bool LoadQueryGroupBy(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  const auto ids = LinkedIds("QueryvsGB", "SELECT GB_ID FROM QueryvsGB WHERE QUERY_ID = ", queryId);
  if (ids.empty()) {
    LogDebug("\nNo GroupBy details\n");
    return true;
  }
  Vector* columns = CreateColumnVector(pool);
  if (columns == nullptr) return false;
  for (int id : ids) {
    DefinitionHandle handle("GroupByDetails");
    if (!AddListColumn(handle.Value("SELECT TABLENAME FROM GroupByDetails WHERE GB_ID = ", id),
                       handle.Value("SELECT COLUMNNAME FROM GroupByDetails WHERE GB_ID = ", id),
                       columns, pool)) {
      return false;
    }
  }
  GroupBy* groupBy = CreateGroupBy(columns, nullptr, pool);
  return groupBy != nullptr && SetGroupBy(selectQuery, groupBy);
}

bool LoadQuerySort(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  const auto ids =
      LinkedIds("QueryvsSort", "SELECT SORT_ID FROM QueryvsSort WHERE QUERY_ID = ", queryId);
  if (ids.empty()) {
    LogDebug("\nNo Sort details\n");
    return true;
  }
  Vector* columns = CreateColumnVector(pool);
  if (columns == nullptr) return false;
  uint8_t ascending = 1;
  for (int id : ids) {
    DefinitionHandle handle("SortDetails");
    if (!AddListColumn(handle.Value("SELECT TABLENAME FROM SortDetails WHERE SORT_ID = ", id),
                       handle.Value("SELECT COLUMNNAME FROM SortDetails WHERE SORT_ID = ", id),
                       columns, pool)) {
      return false;
    }
    const auto type =
        fh::storedq::ParseId(handle.Value("SELECT SORTTYPE FROM SortDetails WHERE SORT_ID = ", id));
    ascending = type && *type == 0 ? 0 : 1;
  }
  fh::SortOrder* sortOrder = CreateSortOrder(columns, ascending, pool);
  return sortOrder != nullptr && SetSortOrder(selectQuery, sortOrder);
}

bool fh::BuildStoredQuery(int queryId, SelectQuery* selectQuery) {
  if (selectQuery == nullptr) return false;
  MemPool* pool = selectQuery->pool;
  return LoadQueryColumns(queryId, selectQuery, pool) &&
         LoadQueryTables(queryId, selectQuery, pool) &&
         LoadQueryJoins(queryId, selectQuery, pool) &&
         LoadQueryGroupBy(queryId, selectQuery, pool) &&
         LoadQuerySort(queryId, selectQuery, pool) && LoadQueryCriteria(queryId, selectQuery, pool);
}

bool GenerateStoredQuery(int queryId, std::string* text) {
  if (!InitializeMemPool()) return false;
  SelectQuery* query = CreateSelectQuery();
  std::optional<std::string> generated;
  if (query != nullptr && fh::BuildStoredQuery(queryId, query))
    generated = GenerateSelectQuery(query);
  FreeSelectQuery(query);
  fh::ReleaseMemPool();
  if (generated && text != nullptr) *text = *generated;
  return generated.has_value();
}

namespace {

bool Fail(const char* message) {
  LogError("%s", message);
  return false;
}

// Loads into a free slot the provider each data source names, unless loaded.
void LoadConfiguredProviders() {
  for (int i = 0; i < fh::GetConnParamsEntryCount(); ++i) {
    const ConnParamsEntry* entry = fh::GetConnParamsEntryAt(i);
    if (entry == nullptr || !entry->providerName) continue;
    const char* name = entry->providerName->c_str();
    if (GetDBProviderIndex(name) < 0 && !LoadDBProvider(name)) {
      LogError("Cannot load the provider %s.\n", name);
    }
  }
}

bool StartStoredQueryRun() {
  if (!InitLogDefaults() || !OpenLogFileAppend()) return false;
  LogTrace("@@ Inside RunStoredQueries @@\n");
  if (!InitializeMemPool()) return Fail("InitializeMemPool failed.\n");
  if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");
  InitSQLDialects();
  FreeAllTableDefns();
  if (!fh::ReadTesselConfiguration()) return false;
  LoadConfiguredProviders();
  if (!EstablishDBConnections()) return Fail("EstablishDBConnections failed.\n");
  return true;
}

// Builds, generates and runs one stored query on a handle of connection
// taken around the statement only: the definition reads take and give back
// handles of their own, which may be handles of the same data source.
void RunOneStoredQuery(int queryId, const char* connection) {
  SelectQuery* query = CreateSelectQuery();
  std::optional<std::string> text;
  if (query != nullptr && fh::BuildStoredQuery(queryId, query)) text = GenerateSelectQuery(query);
  FreeSelectQuery(query);
  if (!text) {
    LogError("\nStored query %d was not run.\n", queryId);
    return;
  }
  ConnectionHandle* handle = GetConnectionHandle(connection);
  auto resultSet = ExecuteQuery(handle, text->c_str());
  ReleaseConnectionHandle(connection);
  PrintDBResultSet(resultSet.get());
  FreeDBResultSet(std::move(resultSet));
}

}  // namespace

bool RunStoredQueries() {
  if (!StartStoredQueryRun()) return false;
  std::optional<std::string> connection;
  if (const char* name = fh::RouteOfTable("QueryDetails", fh::RouteLookup::kMap).connection)
    connection = name;
  const char* connectionName = TextOrNull(connection);
  ConnectionHandle* handle = GetConnectionHandle(connectionName);
  auto queries = ExecuteQuery(handle, "SELECT QUERY_ID FROM QueryDetails");
  ReleaseConnectionHandle(connectionName);
  if (queries == nullptr) {
    LogError("Query failed\n");
    fh::ReleaseMemPool();
    return false;
  }
  for (int queryId : fh::storedq::FirstColumnIds(*queries))
    RunOneStoredQuery(queryId, connectionName);
  fh::ReleaseMemPool();
  return true;
}
