// The in-memory tables: copies of database tables (and custom views) held in
// process memory as chains of rows, kept in one process-wide table list by
// name.
//
// A table (kind 1) is made for a defined table (dictionary/table_defn.h) and
// has its definition's columns; a custom view (kind 2) has the columns of its
// CustomViewDefn. Column names in calls are matched ignoring letter case, and
// a column's index is its position in the definition (or view).
//
// Ownership: the table list owns every TableData; a TableData owns its name,
// its rows and, for a view, its CustomViewDefn. The rows a table builds
// itself (a load) lie in blocks it owns (store/row_blocks.h); a row it was
// given (AddNewRow) keeps its own piece. Either way a row keeps its address
// for as long as it is in the table. GetTableDataByName hands out
// a pointer that stays valid until that table is unloaded (UnLoadTable,
// UnLoadAllTable). Rows belong to their table (store/row_object.h).
//
// Thread safety: the table list is guarded by an internal mutex, so tables
// may be created, looked up and unloaded from any thread. A table's rows are
// not locked: callers serialise their own changes to one table (reading it
// from several threads at once is fine). Criteria parsing and evaluation run
// under the criteria lock (CriteriaLockAddress), which the table saver shares.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "store/column_lookup.h"
#include "store/custom_view.h"
#include "store/key_index.h"
#include "store/row_blocks.h"
#include "store/row_object.h"

namespace fh {

inline constexpr uint8_t kTableKindTable = 1;
inline constexpr uint8_t kTableKindCustomView = 2;

}  // namespace fh

struct TableData {
  TableData() = default;
  ~TableData();  // frees every row of the list
  TableData(const TableData&) = delete;
  TableData& operator=(const TableData&) = delete;

  std::string tableName;
  uint8_t kind = fh::kTableKindTable;
  const TableDefn* tableDefn = nullptr;      // kind 1; owned by the definition list
  std::unique_ptr<CustomViewDefn> viewDefn;  // kind 2
  int32_t columnCount = 0;
  // Rows added since the table was created; deleting rows does not lower it.
  int32_t rowCount = 0;
  fh::RowLink firstRow;          // rows in insertion order
  RowObject* lastRow = nullptr;  // the last row of the chain
  // Where the table builds its own rows; made with the first such row.
  std::unique_ptr<fh::RowBlocks> rowBlocks;
  // The rows again, in list order, for scans that fetch rows ahead of the
  // one they read instead of following next: a row's entry is
  // scanOrder[row->tableSlot]; an unlinked row leaves none in its place
  // (scanGaps counts those) until the entries are closed up.
  std::vector<RowObject*> scanOrder;
  std::size_t scanGaps = 0;
  // A table with a primary key: its rows by key (store/key_index.h).
  std::unique_ptr<fh::KeyIndex> keyIndex;
};

namespace fh {

// The address of the process-wide criteria lock (lock/object_lock.h): taken
// around every criteria parse and evaluation, and by the table saver while it
// writes a table.
const void* CriteriaLockAddress();

}  // namespace fh

// Logs "@@@ Inside InitTableList @@@\n" (trace). Frees every table and
// leaves the table list empty.
void InitTableList();

// Logs "@@@ Inside CreateTable @@@\n" (trace). true when a table definition
// of that name exists, no table of that name (ignoring case) is loaded, and
// the empty table was appended to the list; else false.
bool CreateTable(const char* tableName);

// Logs "@@@ Inside CreateCustomViewData @@@\n" (trace). true when no table of
// that name is loaded and the empty view (kind 2, columnCount = the view's
// column count) was appended; the list takes viewDefn. false otherwise (also
// for a null name or definition); viewDefn is then freed.
bool CreateCustomViewData(const char* viewName, std::unique_ptr<CustomViewDefn> viewDefn);

// Logs "@@@ Inside GetTableDataByName @@@\n" (trace). The first table whose
// name equals name ignoring case; none for a null name or an empty list.
TableData* GetTableDataByName(const char* name);

namespace fh {

// The names of the loaded tables of kind 1 (not the custom views), in list
// order: a snapshot that later changes to the list do not touch.
std::vector<std::string> GetLoadedTableNames();

}  // namespace fh

// Logs "@@@ Inside SortTableByName @@@\n" (trace). Negative, zero or positive
// as first's name sorts before, equal to or after second's, by exact byte
// order. A null table sorts first.
int SortTableByName(const TableData* first, const TableData* second);

// Logs "\t@@@@@ Inside FreeTableData() @@@@@\n" and "\t %s is being freed\n"
// (trace), then frees the table: its name, every row and a view's definition.
void FreeTableData(std::unique_ptr<TableData> tableData);

// Logs "\t@@@@@ UnLoadTable() @@@@@\n" (trace). Removes the table of that
// name from the list and frees it; false when there is none.
bool UnLoadTable(const char* tableName);

// Logs "@@@ Inside UnLoadAllTable @@@\n" (trace). Frees every table and
// empties the list.
void UnLoadAllTable();

namespace fh {

// Where the table's columns are described (store/column_lookup.h).
ColumnSource ColumnsOf(const TableData& table);

}  // namespace fh
