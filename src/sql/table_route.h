// Which data source and which dialect serve a table: the one answer every
// reader, writer and generator of a table's statements asks for.
//
// While the data-source mode is on (sql/sql_dialects.h, GetDSNMapValid) the
// data-source map names each table's connection and that connection's
// parameters name its dialect; while it is off, the default data source
// serves every table in the default dialect. A few callers keep a table
// where the map places it whatever the mode (RouteLookup).
//
// Ownership: the connection and dialect names point into the map's entry,
// the connection's parameters or static texts; they stay valid as long as
// those entries do.
//
// Thread safety: reads the map, the connection parameters and the dialect
// list, each under its own lock; may be called from any thread.
#pragma once

#include <cstdint>

#include "sql/sql_dialect.h"

namespace fh {

// How the data-source map is read.
enum class RouteLookup : uint8_t {
  // Only while the data-source mode is on; off: the default data source,
  // and the map is not read.
  kByMode,
  // Whatever the mode.
  kMap,
  // Whatever the mode, without the error line for a table the map does not
  // name.
  kMapQuietly,
};

struct TableRoute {
  // false when the map was read and names no connection for the table
  // (then connection is none and DialectName() is none).
  bool routable = false;
  // The connection the map names; none: the default data source.
  const char* connection = nullptr;
  // true when the data-source mode was on: the connection's parameters name
  // the dialect; false: the default dialect does.
  bool dialectByConnection = false;

  // The dialect's name as its source spells it: the connection parameters'
  // (logging "dbConnPtr is NULL for Connection Name %s \n" when the
  // connection has none, and none), or the default dialect's name. None
  // when the table is not routable. Looked up on each call.
  const char* DialectName() const;
  // The registered dialect of that name (letter case ignored); none when
  // there is none.
  const SQLDialect* Dialect() const;
  // The description of the dialect of that name, registered or not; none
  // for no name or an unknown one.
  const DialectWords* Words() const;
};

// The route of tableName. Reading the map logs "No DataSourceMap Entry for
// Table name %s \n" (error) for a table it does not name, except with
// kMapQuietly.
TableRoute RouteOfTable(const char* tableName, RouteLookup lookup = RouteLookup::kByMode);

}  // namespace fh
