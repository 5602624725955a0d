// Helpers the generator's files share (sql_literals.cc, sql_select.cc,
// sql_changes.cc, sql_create.cc, sql_result_conversion.cc): the printf-style
// text builder, the error line of a value without literal, and the primary
// key questions the statement and table texts both ask. Not installed.
#pragma once

#include <string>

#include "dictionary/foreign_keys.h"
#include "sql/sql_dialect.h"

namespace fh::sqlgen {

inline constexpr const char* kUnsupported = "Unsupported Datatype Used in Query generation.\n";

// The text printf would write for format and its arguments (empty when the
// format cannot be written).
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

inline bool IsKeyColumn(const TableDefn& table, const std::string& name) {
  return fh::IsPrimaryKeyColumn(table, name);
}

inline bool HasPrimaryKey(const TableDefn& table) {
  return table.constraints && !table.constraints->primaryKeyColumns.empty();
}

}  // namespace fh::sqlgen
