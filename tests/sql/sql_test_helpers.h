// Table definitions and rows for the SQL tests, written compactly.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/row_object.h"

namespace fhtest {

// A column: name, type code, max size (for texts), nullable.
ColumnDefnEntry Column(const std::string& name, uint8_t type, int32_t maxSize = 0,
                       bool nullable = true);

// Adds a definition to the process-wide list; false when it was refused.
bool DefineTable(const std::string& name, std::vector<ColumnDefnEntry> columns,
                 std::vector<std::string> primaryKey, std::vector<ForeignKeyDefn> foreignKeys = {});

// A row holding values (none: NULL), in column order.
std::unique_ptr<RowObject> MakeRow(std::vector<std::optional<ColumnValue>> values);

// Values of each type, for rows.
std::optional<ColumnValue> Int(uint8_t type, int64_t value);
std::optional<ColumnValue> Text(const std::string& text);
std::optional<ColumnValue> Date(int year, int month, int day);
std::optional<ColumnValue> Time(int hour, int minute, int second);
std::optional<ColumnValue> DateTime(int year, int month, int day, int hour, int minute, int second);

}  // namespace fhtest

// Shows a value in test output: its length and bytes in hexadecimal, or its
// date-time text.
void PrintTo(const ColumnValue& value, std::ostream* out);
