// Result data: the rows a selection found, as an ordered list of references
// to rows that stay owned by their table, with a cursor for reading them one
// by one and typed access to column values by name.
//
// Reading. A result is handed out with its cursor at none. GotoNextRowObject
// moves to the first row, then on; past the last row it returns none and the
// cursor is none again, so the next call starts over from the first row.
// Filling (AddRowToResultData) appends after the last row and leaves the
// cursor there; the producer resets the cursor when it is done.
//
// Ownership: a result owns its nodes (kept together in a few pieces), never
// the rows. It is valid only while
// its rows are neither removed nor freed in their table. Texts and values
// handed out point into the rows or definitions: the caller must not free
// them.
//
// Thread safety: a result belongs to one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "store/column_lookup.h"
#include "store/custom_view.h"
#include "store/row_object.h"
#include "store/table_data.h"

namespace fh {

struct ResultNode;

// A link to a node of the same result: not owning (the result owns its
// nodes); reads as a pointer.
class ResultNodeLink {
 public:
  ResultNodeLink() = default;
  ResultNodeLink(ResultNode* node) : node_(node) {}  // NOLINT: made from a node pointer
  ResultNode* get() const { return node_; }
  ResultNode* operator->() const { return node_; }
  explicit operator bool() const { return node_ != nullptr; }
  friend bool operator==(const ResultNodeLink& link, std::nullptr_t) {
    return link.node_ == nullptr;
  }

 private:
  ResultNode* node_ = nullptr;
};

struct ResultNode {
  RowObject* row = nullptr;  // not owned
  ResultNodeLink next;
};

}  // namespace fh

struct ResultData {
  ResultData() = default;
  ResultData(const ResultData&) = delete;
  ResultData& operator=(const ResultData&) = delete;

  // Makes room for count more rows in one piece, so that adding them
  // allocates nothing. Throws std::bad_alloc.
  void ReserveNodes(std::size_t count);
  // A new node with no row and no next node. Throws std::bad_alloc.
  fh::ResultNode* NewNode();

  fh::ResultNodeLink first;
  uint8_t kind = fh::kTableKindTable;        // copied from the table
  const TableDefn* tableDefn = nullptr;      // kind 1
  const CustomViewDefn* viewDefn = nullptr;  // kind 2
  int32_t rowCount = 0;                      // number of nodes
  int32_t columnCount = 0;
  fh::ResultNode* cursor = nullptr;  // the current node, or none

  fh::ColumnSource columns() const { return fh::ColumnSource{tableDefn, viewDefn}; }

 private:
  // The nodes, in pieces of many nodes each; the last one is being filled.
  std::vector<std::unique_ptr<fh::ResultNode[]>> nodePieces_;
  std::size_t pieceRoom_ = 0;  // nodes left in the last piece
  std::size_t pieceUsed_ = 0;  // nodes used of the last piece
};

// Logs "@@@ Inside CreateResultData @@@\n" (trace). An empty result of the
// table's kind and definition with rowCount as given (0 for a fresh result)
// and cursor none; none when table is none or memory is exhausted.
std::unique_ptr<ResultData> CreateResultData(int32_t rowCount, int32_t columnCount,
                                             const TableData* table);

// Logs "@@@ Inside AddRowToResultData @@@\n" (trace). Appends a node for row
// after the cursor's node (or as the first node), moves the cursor onto it
// and adds 1 to rowCount. false for a null row or result, or when memory is
// exhausted (the result is then unchanged).
bool AddRowToResultData(RowObject* row, ResultData* result);

// Logs "@@@ Inside GotoNextRowObject @@@\n" (trace). The next row as
// described at the top of this file, or none.
RowObject* GotoNextRowObject(ResultData* result);

// Logs "@@@ Inside ResetResultDataCursor @@@\n" (trace). Cursor to none.
void ResetResultDataCursor(ResultData* result);

// Logs "\t@@@@@ GetColumnValueByName() @@@@@\n" (trace). The value of the
// named column in the row under the cursor (the row's own value), with its
// length in *length; none when there is no such column, no current row, or
// the value is NULL.
const fh::ColumnValue* GetColumnValueByName(const char* columnName, int32_t* length,
                                            const ResultData* result);

// Logs "@@@ Inside GetColumnValue @@@\n" (trace). The value of columnName in
// the first row of tableName that matches criteria (the row's own value; the
// caller must not free it), with its length in *length. None when SelectRows
// fails ("Error in executing SelectRows(%s,%s)\n", error), when no row
// matches ("No such row available in the %s for %s", trace) or when the
// value is absent ("columnValue is NULL for :%s\n", error). The temporary
// result is freed in every case.
const fh::ColumnValue* GetColumnValue(const char* tableName, const char* columnName,
                                      const char* criteria, int32_t* length);

// Logs "@@@ Inside GetColumnTypeByName @@@\n" (trace). The column's type
// code, or 0.
uint8_t GetColumnTypeByName(const char* columnName, const ResultData* result);

// Logs "@@@ Inside GetColumnNameByIndex @@@\n" (trace). The name of the
// column at index, or none.
const char* GetColumnNameByIndex(int32_t index, const ResultData* result);

// Logs "@@@ Inside GetTableNameFromResultData @@@\n" (trace). Kind 1: the
// table definition's name; kind 2: the view's first source table name; none
// for a null result.
const char* GetTableNameFromResultData(const ResultData* result);

// Logs "@@@ Inside GetTableNameOfView @@@\n" (trace). For a loaded custom
// view of that name its first source table name; otherwise name itself.
const char* GetTableNameOfView(const char* name);

// Logs "@@@ Inside SortResultSet @@@\n" (trace). Sorts the result's rows by
// the named column, stably, ascending when ascending is 1 and descending
// otherwise, comparing by the column's type: integers at their width and
// signedness, floats, dates and times by value, every other type byte-wise;
// NULL sorts first ascending (last descending). The cursor is reset.
// false for a null result or name, a result without definition or columns,
// or an unknown column. A one-node result succeeds at once when rowCount is
// 1 ("Number of Rows is 1 for the Relvar to be Sorted \n", debug) and fails
// otherwise (an empty result fails).
bool SortResultSet(ResultData* result, const char* columnName, int ascending);

// Logs "@@@ Inside FreeResultData @@@\n" (trace). Frees the nodes and the
// record; the rows stay in their table.
void FreeResultData(std::unique_ptr<ResultData> result);
