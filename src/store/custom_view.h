// Custom view definitions: the description of an in-memory view whose rows
// came from an arbitrary query. A view names its source tables (the first is
// its main table) and lists its columns in row value order, each with the
// column definition that gives its type.
//
// Ownership: a CustomViewDefn owns its table names and its column records;
// the view's TableData owns the definition (store/table_data.h). A
// ViewColumnDefn refers to its source ColumnDefnEntry, which stays owned by
// the table definitions and must outlive the view.
//
// Thread safety: plain records; no shared state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"

struct ViewColumnDefn {
  std::string columnName;
  int32_t reserved1 = 0;                          // kept as given, not interpreted here
  uint8_t reserved2 = 0;                          // kept as given, not interpreted here
  const ColumnDefnEntry* sourceColumn = nullptr;  // gives the type; not owned
};

struct CustomViewDefn {
  uint8_t tableCount = 0;
  std::vector<std::string> tableNames;                   // the first is the view's main table
  std::vector<std::unique_ptr<ViewColumnDefn>> columns;  // in row value order
};

// Logs "\t@@@@@ Inside CreateCustomViewDefn() @@@@@\n" (trace). A new
// definition holding the names and columns. None with "Could not allocate
// memory for CustomViewDefn\n" (error) when memory is exhausted.
std::unique_ptr<CustomViewDefn> CreateCustomViewDefn(
    uint8_t tableCount, std::vector<std::string> tableNames,
    std::vector<std::unique_ptr<ViewColumnDefn>> columns);

// Logs "\t@@@@@ Inside CreateViewColumnDefn() @@@@@\n" (trace). A new column
// record (a null name becomes the empty name). None with "Could not allocate
// memory for ViewColumnDefn\n" (error) when memory is exhausted.
std::unique_ptr<ViewColumnDefn> CreateViewColumnDefn(const char* columnName, int32_t reserved1,
                                                     uint8_t reserved2,
                                                     const ColumnDefnEntry* sourceColumn);

// Logs "\t@@@@@ Inside FreeCustomViewDefn() @@@@@\n" (trace) and frees the
// definition with its columns and names.
void FreeCustomViewDefn(std::unique_ptr<CustomViewDefn> viewDefn);

namespace fh {
// The index of the view column named columnName (ignoring case), or -1.
int32_t FindViewColumn(const CustomViewDefn& viewDefn, const char* columnName);

// The type code of a view column: its source column's type, or 0.
uint8_t ViewColumnType(const ViewColumnDefn& column);
}  // namespace fh
