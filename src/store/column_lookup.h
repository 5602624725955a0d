// Column lookups shared by tables and results: a table's columns come from
// its TableDefn, a custom view's from its CustomViewDefn. Names are matched
// ignoring letter case; an index is the column's position.
//
// Thread safety: reads the definitions only.
#pragma once

#include <cstdint>

#include "dictionary/table_defn.h"
#include "store/custom_view.h"

namespace fh {

// Where a table's or a result's columns are described: a table definition
// (kind 1) or a view definition (kind 2); either may be none.
struct ColumnSource {
  const TableDefn* tableDefn = nullptr;
  const CustomViewDefn* viewDefn = nullptr;
};

// The number of columns (0 without a definition).
int32_t ColumnCountOf(const ColumnSource& source);
// The index of the column named columnName, or -1 (also for a null name).
int32_t FindColumnIndex(const ColumnSource& source, const char* columnName);
// The type code of the column at index, or 0 when there is none.
uint8_t ColumnTypeAt(const ColumnSource& source, int32_t index);
// The name of the column at index, or none.
const char* ColumnNameAt(const ColumnSource& source, int32_t index);

}  // namespace fh
