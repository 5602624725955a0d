#include "sql/table_route.h"

#include "config/data_source_map.h"
#include "db/conn_params.h"
#include "sql/sql_dialects.h"

namespace fh {

const char* TableRoute::DialectName() const {
  if (!routable) return nullptr;
  if (!dialectByConnection) return DefaultDialectName();
  return connection != nullptr ? GetDialectNameForConnection(connection) : nullptr;
}

const SQLDialect* TableRoute::Dialect() const { return FindSQLDialect(DialectName()); }

const DialectWords* TableRoute::Words() const { return DialectWordsNamed(DialectName()); }

TableRoute RouteOfTable(const char* tableName, RouteLookup lookup) {
  TableRoute route;
  route.dialectByConnection = GetDSNMapValid() == 1;
  if (lookup == RouteLookup::kByMode && !route.dialectByConnection) {
    route.routable = true;
    return route;
  }
  if (lookup == RouteLookup::kMapQuietly) {
    const DataSourceMapEntry* entry = GetDataSourceMapEntry(tableName);
    route.connection = entry != nullptr ? entry->connectionName.c_str() : nullptr;
  } else {
    route.connection = GetConnectionNameForTable(tableName);
  }
  route.routable = route.connection != nullptr;
  return route;
}

}  // namespace fh
