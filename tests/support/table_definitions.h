// Table definitions for tests, written compactly: a column and a table
// added to the process-wide definition list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"

namespace fhtest {

// A column: name, type code, maximum size (for texts), nullable.
ColumnDefnEntry Column(const std::string& name, uint8_t type, int32_t maxSize = 0,
                       bool nullable = true);

// Adds the definition of table with those columns, primary key and foreign
// keys to the process-wide list; false when it was refused.
bool DefineTable(const std::string& name, std::vector<ColumnDefnEntry> columns,
                 std::vector<std::string> primaryKey, std::vector<ForeignKeyDefn> foreignKeys = {});

}  // namespace fhtest
