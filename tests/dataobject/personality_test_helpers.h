// Helpers for the personality tests: reading a personality file written
// from a text, and describing the process-wide personality list in one line
// that a test compares whole.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "support/test_support.h"

namespace fhtest {

// Writes xml to a file in directory and reads it with
// CreatePersonalityFromXMLFile; its result.
int ReadPersonalityText(const TempDir& directory, const std::string& xml);

// Every personality in list order, "; " between them, each as
// "name(dominant)[description]:" followed by " table#index" per constituent,
// with "!" when it is mandatory and "@fk" when it names a foreign key. An
// absent description shows as "-".
std::string DescribePersonalities();

// A column definition.
ColumnDefnEntry Column(const char* name, uint8_t type, int32_t maxSize = 0, bool nullable = true);

// Adds the definition of table with those columns, primary key and foreign
// keys; false when it was refused.
bool DefineTable(const std::string& table, std::vector<ColumnDefnEntry> columns,
                 std::vector<std::string> primaryKey, std::vector<ForeignKeyDefn> foreignKeys = {});

}  // namespace fhtest
