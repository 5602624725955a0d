// Building an object from a select query's result: which tables the query
// reads, where each table's columns stand in the result rows, and one
// collection per table filled from those rows.
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_query_internal.h"
#include "dataobject/data_object_route_internal.h"
#include "dataobject/data_object_sort_internal.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "log/log.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "util/memory_pool.h"

namespace {

using fh::dataobject::SameName;

// A column of a collection and where its value stands in a result row.
struct SelectedColumn {
  const ColumnDefnEntry* entry = nullptr;
  std::size_t definitionIndex = 0;
  std::size_t resultPosition = 0;
};

const char* DialectForTable(const char* tableName) {
  return fh::RouteOfTable(tableName).DialectName();
}

template <typename T>
std::vector<const T*> Elements(const Vector* vector) {
  std::vector<const T*> elements;
  if (vector == nullptr) return elements;
  for (VectorNode* node = vector->head.get(); node != nullptr; node = node->next.get())
    elements.push_back(static_cast<const T*>(node->data));
  return elements;
}

// The tables in FROM order as the generated select names them: the base
// table of the first join, the joined table of every join, then the table
// list. Repeats kept (their columns still take places in "select *").
std::vector<std::string> FromOrder(const SelectQuery& query) {
  std::vector<std::string> tables;
  const auto joins = Elements<Join>(query.joins);
  if (!joins.empty() && joins.front()->baseTable != nullptr)
    tables.emplace_back(joins.front()->baseTable);
  for (const Join* join : joins) {
    if (join->joinedTable != nullptr) tables.emplace_back(join->joinedTable);
  }
  for (const fh::TableRef* table : Elements<fh::TableRef>(query.tables)) {
    if (table->name != nullptr) tables.emplace_back(table->name);
  }
  return tables;
}

// CreateTableListForDO: FromOrder without repeats.
std::vector<std::string> CreateTableListForDO(const SelectQuery& query) {
  std::vector<std::string> tables;
  for (const std::string& table : FromOrder(query)) {
    bool seen = false;
    for (const std::string& other : tables) seen = seen || SameName(other.c_str(), table.c_str());
    if (!seen) tables.push_back(table);
  }
  return tables;
}

// The table an alias (or a table name) stands for in the query, or none.
const char* TableOfQualifier(const SelectQuery& query, const char* qualifier) {
  if (qualifier == nullptr) return nullptr;
  for (const Join* join : Elements<Join>(query.joins)) {
    if (SameName(join->baseAlias, qualifier)) return join->baseTable;
    if (SameName(join->joinedAlias, qualifier)) return join->joinedTable;
  }
  for (const fh::TableRef* table : Elements<fh::TableRef>(query.tables)) {
    if (SameName(table->alias, qualifier)) return table->name;
  }
  return qualifier;
}

int32_t GetColumnIndex(const TableDefn& table, const char* columnName) {
  for (std::size_t i = 0; i < table.columns.size(); ++i) {
    if (SameName(table.columns[i].columnName.c_str(), columnName)) return static_cast<int32_t>(i);
  }
  return -1;
}

// GetColumnListFromSelectQuery: the table's columns in the object and their
// result positions. fullOffset is where the table's columns start in a
// "select *" result.
bool GetColumnListFromSelectQuery(const SelectQuery& query, const TableDefn& table,
                                  std::size_t fullOffset, std::vector<SelectedColumn>& columns) {
  const auto refs = Elements<fh::ColumnRef>(query.columns);
  if (refs.empty()) {
    for (std::size_t i = 0; i < table.columns.size(); ++i)
      columns.push_back({&table.columns[i], i, fullOffset + i});
    return true;
  }
  const bool singleTable = CreateTableListForDO(query).size() == 1;
  for (std::size_t position = 0; position < refs.size(); ++position) {
    const fh::ColumnRef& ref = *refs[position];
    if (ref.aggregate != fh::kAggregateNone || ref.columnName == nullptr) continue;
    const char* owner =
        TableOfQualifier(query, ref.tableAlias != nullptr ? ref.tableAlias : ref.tableName);
    if (owner == nullptr ? !singleTable : !SameName(owner, table.tableName.c_str())) continue;
    const int32_t index = GetColumnIndex(table, ref.columnName);
    if (index < 0) continue;
    const auto at = static_cast<std::size_t>(index);
    columns.push_back({&table.columns[at], at, position});
  }
  return true;
}

bool HasColumn(const std::vector<SelectedColumn>& columns, const std::string& name) {
  for (const SelectedColumn& column : columns) {
    if (SameName(column.entry->columnName.c_str(), name.c_str())) return true;
  }
  return false;
}

bool CheckSelectedColumnsForPK(const TableDefn& table, const std::vector<SelectedColumn>& columns) {
  if (!table.constraints) return true;
  for (const std::string& key : table.constraints->primaryKeyColumns) {
    if (!HasColumn(columns, key)) return false;
  }
  return true;
}

// The result row's values of the table's columns, placed at their definition
// positions and typed by the table's dialect conversion; none when every
// primary-key value is NULL (no row of this table) or on failure.
std::unique_ptr<RowObject> TableRowOf(const DBResultSet& result, const fh::DBRow& fetched,
                                      const TableDefn& table,
                                      const std::vector<SelectedColumn>& columns,
                                      const char* dialect, bool* absent) {
  *absent = false;
  DBResultSet slice;
  slice.columnCount = static_cast<int32_t>(table.columns.size());
  slice.columns.resize(table.columns.size());
  fh::DBRow row(table.columns.size());
  for (const SelectedColumn& column : columns) {
    if (column.resultPosition >= fetched.size() || column.resultPosition >= result.columns.size())
      return nullptr;
    row[column.definitionIndex] = fetched[column.resultPosition];
    slice.columns[column.definitionIndex] = result.columns[column.resultPosition];
  }
  bool keyPresent = !table.constraints || table.constraints->primaryKeyColumns.empty();
  if (!keyPresent) {
    for (const std::string& key : table.constraints->primaryKeyColumns) {
      const int32_t index = GetColumnIndex(table, key.c_str());
      keyPresent = keyPresent || (index >= 0 && row[static_cast<std::size_t>(index)]);
    }
  }
  if (!keyPresent) {
    *absent = true;
    return nullptr;
  }
  slice.rows.push_back(std::move(row));
  slice.rowCount = 1;
  slice.cursor = 0;
  return ConvertResultSet(&slice, dialect, table.tableName.c_str());
}

RowCollection* MakeCollection(const TableDefn& table, const std::vector<SelectedColumn>& columns,
                              MemPool* pool) {
  std::vector<const char*> names;
  std::vector<uint8_t> types;
  for (const SelectedColumn& column : columns) {
    names.push_back(column.entry->columnName.c_str());
    types.push_back(column.entry->dataType);
  }
  names.push_back(nullptr);
  types.push_back(0);
  return CreateRowCollection(table.tableName.c_str(), names.data(), types.data(), pool);
}

// Adds one row of the table from the current result row, registered under
// its key; dropped (true) when a row with that key is present already.
bool AddResultRow(DataObject* object, RowCollection* collection, const DBResultSet& result,
                  const fh::DBRow& fetched, const std::vector<SelectedColumn>& columns,
                  const char* dialect) {
  bool absent = false;
  std::unique_ptr<RowObject> full =
      TableRowOf(result, fetched, *collection->tableDefn, columns, dialect, &absent);
  if (absent) return true;
  if (full == nullptr) return false;
  std::vector<std::optional<fh::ColumnValue>> values;
  std::vector<int32_t> lengths;
  for (const SelectedColumn& column : columns) {
    values.push_back(std::move(full->values[column.definitionIndex]));
    lengths.push_back(full->lengths[column.definitionIndex]);
  }
  RowUnit* row =
      CreateRowUnit(collection->tableName, std::move(values), std::move(lengths), object->pool);
  if (row == nullptr) {
    LogError("Cannot memcopy value.\n");
    return false;
  }
  row->state = fh::kRowPersisted;
  const std::optional<std::string> key = fh::GetKeyString(row, collection);
  if (!key) return false;
  if (!fh::dataobject::RegisterRow(object, row, *key)) {
    LogDebug("HashKey %s Not Inserted\n", key->c_str());
    return true;
  }
  LogTrace("HashKey Inserted\n");
  return AddRowUnitToRowCollection(row, collection);
}

// CreateRowCollectionFromResultSet: the table's collection, added to the
// object, with a row per result row that holds one of the table.
bool CreateRowCollectionFromResultSet(DataObject* object, const DBResultSet& result,
                                      const SelectQuery& query, const char* tableName,
                                      std::size_t fullOffset) {
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr) {
    LogError("No definition for table %s.\n", tableName);
    return false;
  }
  std::vector<SelectedColumn> columns;
  GetColumnListFromSelectQuery(query, *table, fullOffset, columns);
  const bool keyed = CheckSelectedColumnsForPK(*table, columns);
  if (!keyed) {
    LogError("\nALL PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n", tableName);
    // The collection still shows the table, with the key columns it lacks
    // added so that it can be made, and no rows.
    for (const std::string& key : table->constraints->primaryKeyColumns) {
      const int32_t index = GetColumnIndex(*table, key.c_str());
      if (index < 0 || HasColumn(columns, key)) continue;
      const auto at = static_cast<std::size_t>(index);
      columns.push_back({&table->columns[at], at, 0});
    }
  }
  RowCollection* collection = MakeCollection(*table, columns, object->pool);
  if (collection == nullptr || !AddRowCollectionToDO(object, collection)) return false;
  if (!keyed) return true;
  const char* dialect = DialectForTable(tableName);
  for (const fh::DBRow& fetched : result.rows) {
    if (!AddResultRow(object, collection, result, fetched, columns, dialect)) return false;
  }
  return true;
}

// Where each table's columns start in a "select *" result: the full column
// sets follow one another in FROM order (a table's first appearance counts).
std::size_t FullOffsetOf(const SelectQuery& query, const std::string& tableName) {
  std::size_t offset = 0;
  for (const std::string& table : FromOrder(query)) {
    if (SameName(table.c_str(), tableName.c_str())) return offset;
    const TableDefn* definition = GetTableDefn(table.c_str());
    offset += definition != nullptr ? definition->columns.size() : 0;
  }
  return offset;
}

const char* FirstTableOf(const SelectQuery& query) {
  const std::vector<std::string> tables = FromOrder(query);
  if (tables.empty()) return nullptr;
  const TableDefn* definition = GetTableDefn(tables.front().c_str());
  return definition != nullptr ? definition->tableName.c_str() : nullptr;
}

}  // namespace

DataObject* CreateDataObjectFromResultSet(std::unique_ptr<DBResultSet> resultSet,
                                          const SelectQuery* selectQuery) {
  LogTrace("@@@@  Inside CreateDataObjectFromResultSet @@@@\n");
  if (resultSet == nullptr || selectQuery == nullptr) {
    LogError("SelectQueryPtr is NULL.\n");
    return nullptr;
  }
  DataObject* object = CreateDataObject();
  if (object == nullptr) return nullptr;
  try {
    object->selectQuery = fh::dataobject::CopySelectQuery(selectQuery, object->pool);
    bool built = object->selectQuery != nullptr;
    const std::vector<std::string> tables =
        fh::dataobject::SortTableNamesByFK(CreateTableListForDO(*selectQuery));
    for (const std::string& table : tables) {
      if (!built) break;
      LogTrace("TableName %s\n", table.c_str());
      built = CreateRowCollectionFromResultSet(object, *resultSet, *selectQuery, table.c_str(),
                                               FullOffsetOf(*selectQuery, table));
    }
    FreeDBResultSet(std::move(resultSet));
    if (built) return object;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  fh::FreeDataObject(object);
  return nullptr;
}

DataObject* GetDataObject(SelectQuery* selectQuery) {
  LogTrace("@@@@  Inside GetDataObject @@@@\n");
  if (selectQuery == nullptr) {
    LogError("Cannot construct DO. Select Query pointer is NULL.\n");
    return nullptr;
  }
  const char* firstTable = FirstTableOf(*selectQuery);
  const char* connection =
      firstTable != nullptr ? fh::dataobject::ConnectionForTable(firstTable) : nullptr;
  std::unique_ptr<DBResultSet> result;
  if (const std::optional<std::string> text = GenerateSelectQuery(selectQuery)) {
    if (ConnectionHandle* handle = GetConnectionHandle(connection); handle != nullptr) {
      result = ExecuteQuery(handle, text->c_str());
      ReleaseConnectionHandle(connection);
    }
  }
  if (result == nullptr) {
    LogError("Cannot create DataObject.  No entries returned for SelectQuery\n");
    return nullptr;
  }
  return CreateDataObjectFromResultSet(std::move(result), selectQuery);
}
