// Debug renderings of in-memory tables, views and results: a header line of
// the column names, each followed by a tab, then one line per row with each
// value followed by a tab: "NULL" for an absent value, the integer for the
// codes 1, 2, 3, 5, 6, 7 and 19, "%f" for 9 and 10, the text for 14, 15 and
// 22, the date/time text for 16, 17 and 18; other codes print nothing.
// Renderings have no length limit.
//
// Thread safety: as reading the table (store/table_data.h).
#pragma once

#include <optional>
#include <string>

#include "store/result_data.h"

// Logs "@@@ Inside PrintTableData @@@\n" (trace), then the table's rendering
// at debug level (a view as PrintCustomViewData does).
void PrintTableData(const char* tableName);

// Logs "@@@ Inside ToStringTableData @@@\n" (trace). The table's rendering
// (a view's as ToStringCustomViewData gives it) as a new text owned by the
// caller, also logged as "String Value of Relvar Data\n %s\n" (trace); none
// for an unknown table.
std::optional<std::string> ToStringTableData(const char* tableName);

// Logs "\t@@@@@ Inside PrintResultData() @@@@@\n" (trace), then the
// result's rows at debug level, skipping rows marked deleted (flag 8).
void PrintResultData(const ResultData* result);

// Logs "@@@ Inside PrintCustomViewData @@@\n" (trace), then every row of the
// view at debug level, each column typed by its source column.
void PrintCustomViewData(const char* viewName);

// Logs "@@@ Inside ToStringCustomViewData @@@\n" (trace). The view's
// rendering as a new text owned by the caller, also logged as "String Value
// of Relvar Data\n %s\n" (trace); none for an unknown name or a table that
// is not a view.
std::optional<std::string> ToStringCustomViewData(const char* viewName);
