// Table definitions and rows for the SQL tests, written compactly.
#pragma once

#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/row_object.h"
#include "support/table_definitions.h"

namespace fhtest {

// A row holding values (none: NULL), in column order.
std::unique_ptr<RowObject> MakeRow(std::vector<std::optional<fh::ColumnValue>> values);

// Values of each type, for rows.
std::optional<fh::ColumnValue> Int(uint8_t type, int64_t value);
std::optional<fh::ColumnValue> Text(const std::string& text);
std::optional<fh::ColumnValue> Date(int year, int month, int day);
std::optional<fh::ColumnValue> Time(int hour, int minute, int second);
std::optional<fh::ColumnValue> DateTime(int year, int month, int day, int hour, int minute,
                                        int second);

}  // namespace fhtest

// Shows a value in test output: its length and bytes in hexadecimal, or its
// date-time text.
void PrintTo(const fh::ColumnValue& value, std::ostream* out);
