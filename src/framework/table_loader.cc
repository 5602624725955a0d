#include "framework/table_loader.h"

#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "config/config_files.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "dictionary/table_defn.h"
#include "log/log.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "store/custom_view.h"
#include "store/notification.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "util/text_line.h"

namespace {

// Where a table is read from: a connection name (none: the default data
// source) and the dialect that converts its rows.
struct TableSource {
  const char* connection = nullptr;
  const char* dialect = nullptr;
};

std::optional<TableSource> SourceOf(const char* tableName) {
  const fh::TableRoute route = fh::RouteOfTable(tableName);
  if (!route.routable) return std::nullopt;
  TableSource source{route.connection, route.DialectName()};
  if (source.dialect == nullptr) return std::nullopt;
  return source;
}

// Runs query on source's data source; none when no handle is free or the
// query fails. The handle is given back at once.
std::unique_ptr<DBResultSet> RunQuery(const TableSource& source, const std::string& query,
                                      bool* reached) {
  ConnectionHandle* handle = GetConnectionHandle(source.connection);
  *reached = handle != nullptr;
  if (handle == nullptr) return nullptr;
  std::unique_ptr<DBResultSet> rows = ExecuteQuery(handle, query.c_str());
  ReleaseConnectionHandle(source.connection);
  return rows;
}

bool IsPlainText(uint8_t type) {
  return type == KES_SQL_CHAR || type == KES_SQL_NCHAR || type == KES_SQL_TEXT;
}

// true when a value fetched as fetchedType already has the form the
// dialect's conversion gives it for a column of columnType, so that it can
// be taken over as it is: an integer or floating number fetched as the
// column's own type at its full size (a flag as 0 or 1), a text fetched as
// text for a text column. Dates, decimals and binary values are always
// converted (their forms differ by engine).
bool KeepsItsForm(uint8_t columnType, uint8_t fetchedType, const fh::ColumnValue& value) {
  if (value.isDateTime()) return false;
  if (IsPlainText(columnType)) return IsPlainText(fetchedType);
  if (fetchedType != columnType) return false;
  if (fh::IsIntegerColumnType(columnType) || fh::IsFloatingColumnType(columnType)) {
    return value.length() == fh::GetColumnTypeSize(columnType);
  }
  return columnType == KES_SQL_BOOLEAN && value.length() == 1 && value.bytes()[0] <= 1;
}

// true when every value of fetched keeps its form in the column of the
// definition at its position.
bool FetchedAsDefined(const DBResultSet& rows, const fh::DBRow& fetched,
                      const TableDefn& definition) {
  const std::size_t count = fetched.size();
  if (count > definition.columns.size() || count > rows.columns.size() ||
      count != static_cast<std::size_t>(rows.columnCount)) {
    return false;
  }
  for (std::size_t i = 0; i < count; ++i) {
    if (fetched[i] &&
        !KeepsItsForm(definition.columns[i].dataType, rows.columns[i].dataType, *fetched[i])) {
      return false;
    }
  }
  return true;
}

// The values of the fetched row at the cursor in the definition's types:
// the fetched values themselves when they have that form already, else the
// dialect's conversion of the row. false when the row cannot be converted.
bool TakeFetchedValues(DBResultSet* rows, const TableSource& source, const char* tableName,
                       const TableDefn* definition, fh::DBRow& values, uint8_t& state) {
  fh::DBRow& fetched = rows->rows[static_cast<std::size_t>(rows->cursor)];
  if (definition != nullptr && FetchedAsDefined(*rows, fetched, *definition)) {
    values.swap(fetched);
    state = fh::kRowPersisted;
    return true;
  }
  std::unique_ptr<RowObject> row = ConvertResultSet(rows, source.dialect, tableName);
  if (row == nullptr) return false;
  values.clear();
  for (std::optional<fh::ColumnValue>& value : row->values) values.push_back(std::move(value));
  state = row->state;
  return true;
}

// Converts every fetched row and appends it to the (created) table or view
// named targetName, in the table's own blocks, each sized to the table's
// column count. A fetched row is freed as soon as it is taken over, so the
// result set and the table never both hold every value. false at the first
// row that cannot be converted or added; the rows added so far stay.
bool AddFetchedRows(DBResultSet* rows, const TableSource& source, const char* tableName,
                    const char* targetName) {
  TableData* target = GetTableDataByName(targetName);
  if (target == nullptr) return false;
  const TableDefn* definition = GetTableDefn(tableName);
  fh::DBRow values;
  while (NextDBResultSetRow(rows) != nullptr) {
    uint8_t state = fh::kRowPersisted;
    if (!TakeFetchedValues(rows, source, tableName, definition, values, state)) return false;
    fh::DBRow().swap(rows->rows[static_cast<std::size_t>(rows->cursor)]);
    if (!fh::AppendTableRow(*target, values, state)) return false;
  }
  return true;
}

// A table filled from a streamed query: its rows are taken one at a time,
// as AddFetchedRows takes them from a result set, straight into the table.
struct StreamedLoad {
  const TableSource& source;
  const char* tableName;
  const TableDefn& definition;
  TableData* target = nullptr;  // the table, once created
  DBResultSet current{};        // the row being taken, for the dialect's conversion
  fh::DBRow values{};
};

// Checks the result's columns against the definition and creates the
// table, as LoadTable does once its query has run. false after the line.
bool StartStreamedLoad(const fh::DBColumnDescriptor* columns, int32_t columnCount, void* context) {
  auto& load = *static_cast<StreamedLoad*>(context);
  if (static_cast<std::size_t>(columnCount) != load.definition.columns.size()) {
    LogError(
        "\nLoadTable Failed for %s table as there is mismatch between table definition in "
        "datadictionary and actual table in database\n",
        load.tableName);
    return false;
  }
  if (!CreateTable(load.tableName)) {
    LogError("CreateTable Failed \n");
    return false;
  }
  load.target = GetTableDataByName(load.tableName);
  load.current.columns.assign(columns, columns + columnCount);
  load.current.columnCount = columnCount;
  load.current.rows.resize(1);
  load.current.rowCount = 1;
  load.current.cursor = 0;
  return load.target != nullptr;
}

// Converts one streamed row and appends it; the row's storage goes back to
// the provider for the next one.
bool TakeStreamedRow(fh::DBRow& row, void* context) {
  auto& load = *static_cast<StreamedLoad*>(context);
  fh::DBRow& fetched = load.current.rows.front();
  fetched.swap(row);
  uint8_t state = fh::kRowPersisted;
  const bool taken = TakeFetchedValues(&load.current, load.source, load.tableName, &load.definition,
                                       load.values, state);
  fetched.swap(row);
  return taken && fh::AppendTableRow(*load.target, load.values, state);
}

constexpr fh::QueryRowSink kStreamedLoadSink{StartStreamedLoad, TakeStreamedRow};

// true when adding a row of definition's table runs only the store's own
// code: no listener and no sequence. Only then may rows be added while the
// handle is held (a listener or a sequence taking a handle of the same data
// source meanwhile could have the pool replace the one being read).
bool AddsRowsQuietly(const TableDefn& definition) {
  for (const ColumnDefnEntry& column : definition.columns) {
    if (column.generatorName) return false;
  }
  return !fh::HasNotificationListeners();
}

// LoadTable on a handle whose provider streams its rows: the same checks,
// lines and rows as through a result set. A query that fails part way
// leaves no table behind, as a query that fails before its first row.
bool StreamTable(ConnectionHandle* handle, const TableSource& source, const char* tableName,
                 const TableDefn& definition) {
  StreamedLoad load{source, tableName, definition};
  const std::string query = std::string("select * from ") + tableName;
  const int streamed = fh::StreamQuery(handle, query.c_str(), kStreamedLoadSink, &load);
  if (streamed == fh::kStreamFailed) {
    if (load.target != nullptr) UnLoadTable(tableName);
    LogError("Error in executing select query for %s\n", tableName);
    return false;
  }
  return streamed == fh::kStreamDone;
}

void LoadListLine(const std::string& line) {
  const std::size_t blank = line.find(' ');
  if (blank == std::string::npos) {
    LoadTable(line.c_str());
    return;
  }
  const std::string name = line.substr(0, blank);
  const std::string rest = line.substr(blank + 1);
  if (rest.find("select") != std::string::npos || rest.find("SELECT") != std::string::npos) {
    LogTrace("LOADTABLE_QUERY : %s\n", rest.c_str());
    LoadTableByQuery(name.c_str(), rest.c_str());
  } else {
    LogTrace("LOADTABLE : %s\n", name.c_str());
    LoadTable(name.c_str());
  }
}

bool LoadList(fh::ConfigFileStream stream) {
  if (stream == nullptr) {
    LogError("Cannot open LoadTableList Entry File.\n");
    return false;
  }
  try {
    std::string line;
    while (fh::ReadTextLine(stream.get(), line)) {
      if (!line.empty()) LoadListLine(line);
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}

}  // namespace

bool LoadAllTables() {
  LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
  return LoadList(fh::OpenConfigFile("loadtablelist.txt").stream);
}

bool LoadAllTables(const char* path) {
  LogTrace("\t@@@@@ Inside LoadAllTables() @@@@@\n");
  return LoadList(fh::OpenDataFileForRead(path));
}

bool LoadTable(const char* tableName) {
  if (tableName == nullptr) return false;
  LogTrace("\nLoading Table : %s\n", tableName);
  // Only a defined table's name is written into the statement.
  const TableDefn* definition = GetTableDefn(tableName);
  if (definition == nullptr) {
    LogError("Error in getting Table Definition for %s\n", tableName);
    return false;
  }
  const std::optional<TableSource> source = SourceOf(tableName);
  if (!source) return false;
  ConnectionHandle* handle = GetConnectionHandle(source->connection);
  if (handle == nullptr) return false;
  if (fh::SupportsStreamedQueries(handle) && AddsRowsQuietly(*definition)) {
    const bool loaded = StreamTable(handle, *source, tableName, *definition);
    ReleaseConnectionHandle(source->connection);
    return loaded;
  }
  const std::string query = std::string("select * from ") + tableName;
  std::unique_ptr<DBResultSet> rows = ExecuteQuery(handle, query.c_str());
  ReleaseConnectionHandle(source->connection);
  if (rows == nullptr) {
    LogError("Error in executing select query for %s\n", tableName);
    return false;
  }
  if (static_cast<std::size_t>(rows->columnCount) != definition->columns.size()) {
    LogError(
        "\nLoadTable Failed for %s table as there is mismatch between table definition in "
        "datadictionary and actual table in database\n",
        tableName);
    return false;
  }
  if (!CreateTable(tableName)) {
    LogError("CreateTable Failed \n");
    return false;
  }
  const bool loaded = AddFetchedRows(rows.get(), *source, tableName, tableName);
  FreeDBResultSet(std::move(rows));
  return loaded;
}

bool LoadTableByQuery(const char* tableName, const char* query) {
  LogTrace("\t@@@@@ Inside LoadTableByQuery() @@@@@\n");
  if (tableName == nullptr || query == nullptr) return false;
  LogTrace("\nLoading Table : %s\n", tableName);
  LogTrace("\nSelect Query  : %s\n", query);
  const std::optional<TableSource> source = SourceOf(tableName);
  if (!source) return false;
  bool reached = false;
  std::unique_ptr<DBResultSet> rows = RunQuery(*source, query, &reached);
  if (rows == nullptr) LogError("Error in executing select query \n");
  if (!CreateTable(tableName)) return false;
  if (rows == nullptr) return false;
  const bool loaded = AddFetchedRows(rows.get(), *source, tableName, tableName);
  FreeDBResultSet(std::move(rows));
  return loaded;
}

bool LoadViewByQuery(const char* viewName, const char* tableName, const char* query) {
  LogTrace("@@@ Inside LoadViewByQuery @@@\n");
  if (viewName == nullptr || tableName == nullptr || query == nullptr) return false;
  LogTrace("\nLoading View Data : %s\n", viewName);
  const TableDefn* definition = GetTableDefn(tableName);
  const std::optional<TableSource> source = SourceOf(tableName);
  if (definition == nullptr || !source) return false;
  std::vector<std::unique_ptr<ViewColumnDefn>> columns;
  for (const ColumnDefnEntry& column : definition->columns) {
    LogTrace("%s\t", column.columnName.c_str());
    columns.push_back(CreateViewColumnDefn(column.columnName.c_str(), 0, 0, &column));
    if (columns.back() == nullptr) return false;
  }
  auto viewDefn = CreateCustomViewDefn(1, {definition->tableName}, std::move(columns));
  if (viewDefn == nullptr || !CreateCustomViewData(viewName, std::move(viewDefn))) return false;
  bool reached = false;
  std::unique_ptr<DBResultSet> rows = RunQuery(*source, query, &reached);
  if (rows == nullptr) {
    LogError("Error in executing select query \n");
    return false;
  }
  return AddFetchedRows(rows.get(), *source, tableName, viewName);
}

bool ReloadTableData() {
  LogTrace("\t@@@@@ Inside ReloadTableData() @@@@@\n");
  UnLoadAllTable();
  return LoadAllTables();
}
