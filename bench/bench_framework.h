// The framework started on one SQLite database file for a benchmark: the
// data source "bench" with the data-source mode on, and tables keyed by
// "id" defined and mapped to it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/table_defn.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

namespace fhbench {

inline ColumnDefnEntry Column(const char* name, uint8_t type, int32_t maxSize, bool nullable) {
  ColumnDefnEntry column;
  column.columnName = name;
  column.dataType = type;
  column.maxSize = maxSize;
  column.isNullable = nullable;
  return column;
}

// Starts the database layer, the dialects, the table list and the memory
// pool with the data source "bench" on databasePath, through the SQLite ODBC
// driver or (native) the native SQLite provider; true when it is up.
inline bool StartSqliteFramework(const std::string& databasePath, bool native = false) {
  InitDBProvider();
  InitSQLDialects();
  InitTableList();
  if (!InitializeMemPool()) return false;
  const std::string connect = "Driver=SQLite3;Database=" + databasePath;
  std::unique_ptr<ConnParamsEntry> entry =
      native ? CreateConnParamsEntry("b", 1, databasePath.c_str(), nullptr, nullptr, "bench", 0,
                                     nullptr, "SQLITE", "SQLITE")
             : CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "bench", 1, connect.c_str(),
                                     "ODBC", "SQLITE");
  return AddConnParamsEntry(std::move(entry)) && EstablishDBConnections() &&
         fh::SetDialectModeFromConnParams();
}

// Defines table (primary key "id") and maps it to "bench".
inline bool DefineBenchTable(const char* table, std::vector<ColumnDefnEntry> columns,
                             std::vector<ForeignKeyDefn> foreignKeys = {}) {
  ConstraintDefn constraints;
  constraints.primaryKeyColumns = {"id"};
  constraints.primaryKeyCount = 1;
  constraints.foreignKeys = std::move(foreignKeys);
  return fh::AddTableDefn(fh::CreateTableDefn(table, std::nullopt, std::move(columns),
                                              std::move(constraints))) != nullptr &&
         AddDataSourceMapEntry(CreateDataSourceMapEntry(table, "bench"));
}

}  // namespace fhbench
