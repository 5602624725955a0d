#include "store/table_rows.h"

#include <strings.h>

#include <new>
#include <optional>
#include <utility>
#include <vector>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "sequence/sequence_generator.h"
#include "store/notification.h"
#include "store/table_data.h"

namespace {

// Sets the value at index, growing the arrays when the row is short.
void SetValue(RowObject& row, std::size_t index, std::optional<fh::ColumnValue> value) {
  if (row.values.size() <= index) row.values.resize(index + 1);
  if (row.lengths.size() < row.values.size()) row.lengths.resize(row.values.size(), 0);
  row.lengths[index] = value ? value->length() : 0;
  row.values[index] = std::move(value);
}

bool HasValue(const RowObject& row, std::size_t index) {
  return index < row.values.size() && row.values[index].has_value();
}

// The value a new row of table gets in column index when it has none: the
// next number of the column's sequence, a copy of its default, or none.
// false when a sequence hands out no number.
bool CompletionValue(const TableData& table, std::size_t index,
                     std::optional<fh::ColumnValue>& fill) {
  const ColumnDefnEntry& column = table.tableDefn->columns[index];
  if (column.generatorName) {
    const int32_t id = GenerateID(table.tableName.c_str(), &column);
    if (id == -1) {
      LogError("AddNewRow: cannot generate a value for column %s of table %s\n",
               column.columnName.c_str(), table.tableName.c_str());
      return false;
    }
    const uint8_t type = fh::IsIntegerColumnType(column.dataType) ? column.dataType : KES_SQL_INT;
    fill = fh::ColumnValue::FromInteger(type, id);
  } else if (column.defaultValue) {
    fill = *column.defaultValue;
  }
  return true;
}

bool MayComplete(const ColumnDefnEntry& column) {
  return column.generatorName.has_value() || column.defaultValue.has_value();
}

// true when a new row of table lacks a value that a generator or a default
// gives.
bool NeedsCompletion(const TableData& table, const RowObject& row) {
  const std::vector<ColumnDefnEntry>& columns = table.tableDefn->columns;
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (!HasValue(row, i) && MayComplete(columns[i])) return true;
  }
  return false;
}

// The generated and default values a new row of table needs, per column
// index. false when a sequence hands out no number.
bool CompleteValues(const TableData& table, const RowObject& row,
                    std::vector<std::optional<fh::ColumnValue>>& fill) {
  const std::vector<ColumnDefnEntry>& columns = table.tableDefn->columns;
  fill.resize(columns.size());
  for (std::size_t i = 0; i < columns.size(); ++i) {
    if (HasValue(row, i)) continue;
    if (!CompletionValue(table, i, fill[i])) return false;
  }
  return true;
}

// Makes room for one more entry of the scan order, so that Append cannot
// fail. Throws std::bad_alloc.
void ReserveScanSlot(TableData& table) {
  std::vector<RowObject*>& order = table.scanOrder;
  if (order.size() == order.capacity()) order.reserve(order.empty() ? 16 : order.size() * 2);
}

// Drops the scan order entry of an unlinked row; closes the gaps up once
// they are half of the entries, so that scans stay dense and this stays
// cheap.
void RemoveScanSlot(TableData& table, const RowObject& row) noexcept {
  std::vector<RowObject*>& order = table.scanOrder;
  order[row.tableSlot] = nullptr;
  if (++table.scanGaps * 2 <= order.size()) return;
  std::size_t kept = 0;
  for (RowObject* entry : order) {
    if (entry == nullptr) continue;
    entry->tableSlot = static_cast<uint32_t>(kept);
    order[kept++] = entry;
  }
  order.resize(kept);
  table.scanGaps = 0;
}

// Links row (now the table's) at the end of the list. REQUIRES: a scan
// slot reserved.
void Append(TableData& table, RowObject* row) noexcept {
  row->next.reset();
  row->tableSlot = static_cast<uint32_t>(table.scanOrder.size());
  table.scanOrder.push_back(row);  // room was reserved
  if (table.lastRow != nullptr) {
    table.lastRow->next = row;
  } else {
    table.firstRow = row;
  }
  table.lastRow = row;
  ++table.rowCount;
}

bool IsPrimaryKeyColumn(const TableDefn& definition, const char* columnName) {
  if (!definition.constraints) return false;
  for (const std::string& key : definition.constraints->primaryKeyColumns) {
    if (strcasecmp(key.c_str(), columnName) == 0) return true;
  }
  return false;
}

// A copy of the new bytes as a value of the column's type; none for NULL.
std::optional<fh::ColumnValue> NewValue(uint8_t type, const void* bytes, int32_t length) {
  if (bytes == nullptr) return std::nullopt;
  if (fh::IsDateTimeColumnType(type)) {
    return fh::ColumnValue::FromDateTime(*static_cast<const KesDateTime*>(bytes));
  }
  return fh::ColumnValue::FromBytes(bytes, length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Unlinks row from table's list; false when it is not there. The row before
// it is the nearest entry before its own in the scan order, so unlinking
// costs no walk from the head of the list.
bool Unlink(TableData& table, RowObject* row) {
  const std::vector<RowObject*>& order = table.scanOrder;
  if (row->tableSlot >= order.size() || order[row->tableSlot] != row) return false;
  RowObject* previous = nullptr;
  for (std::size_t at = row->tableSlot; at > 0 && previous == nullptr; --at) {
    previous = order[at - 1];
  }
  fh::RowLink& link = previous != nullptr ? previous->next : table.firstRow;
  link = row->next;
  row->next.reset();
  if (table.lastRow == row) table.lastRow = previous;
  return true;
}

// Files a row that was just appended under its key and announces it.
void Announce(TableData& table, RowObject* row) {
  if (table.keyIndex) table.keyIndex->Add(row);
  SendNotification(row, table.tableName.c_str());
}

}  // namespace

bool AddNewRow(const char* tableName, std::unique_ptr<RowObject>& row) {
  LogTrace("@@@ Inside AddNewRow @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr || table->columnCount == 0 || !row) return false;
  try {
    ReserveScanSlot(*table);
    if (table->keyIndex) table->keyIndex->Reserve();
    if (table->kind == fh::kTableKindTable && NeedsCompletion(*table, *row)) {
      std::vector<std::optional<fh::ColumnValue>> fill;
      if (!CompleteValues(*table, *row, fill)) return false;
      if (row->values.size() < fill.size()) row->values.reserve(fill.size());
      for (std::size_t i = 0; i < fill.size(); ++i) {
        if (fill[i]) SetValue(*row, i, std::move(fill[i]));
      }
    }
    // A table's row holds exactly its values: rows built by appending
    // values would otherwise keep up to twice the room for as long as they
    // live.
    if (row->values.capacity() > row->values.size()) row->values.shrink_to_fit();
    if (row->lengths.capacity() > row->lengths.size()) row->lengths.shrink_to_fit();
  } catch (const std::bad_alloc&) {
    return false;
  }
  RowObject* added = row.release();
  Append(*table, added);
  Announce(*table, added);
  return true;
}

bool fh::AppendTableRow(TableData& table, std::vector<std::optional<fh::ColumnValue>>& values,
                        uint8_t state) {
  if (table.columnCount == 0) return false;
  const auto columnCount = static_cast<std::size_t>(table.columnCount);
  RowObject* row = nullptr;
  try {
    ReserveScanSlot(table);
    if (table.keyIndex) table.keyIndex->Reserve();
    if (!table.rowBlocks) table.rowBlocks = std::make_unique<fh::RowBlocks>(columnCount);
    row = table.rowBlocks->NewRow();
    for (std::size_t i = 0; i < columnCount; ++i) {
      std::optional<fh::ColumnValue>& value = row->values.emplace_back();
      if (i < values.size()) value = std::move(values[i]);
      if (!value && table.kind == fh::kTableKindTable && MayComplete(table.tableDefn->columns[i]) &&
          !CompletionValue(table, i, value)) {
        delete row;
        return false;
      }
      row->lengths.push_back(value ? value->length() : 0);
    }
  } catch (const std::bad_alloc&) {
    delete row;
    return false;
  }
  row->state = state;
  Append(table, row);
  Announce(table, row);
  return true;
}

bool UpdateRowObject(const char* tableName, RowObject* row, const char* columnName,
                     const void* bytes, int32_t length) {
  LogTrace("@@@ Inside UpdateRowObject @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return false;
  if (row == nullptr) {
    LogError("\t@@@@@ rowPtr passed as parameter in NULL @@@@@ \n");
    return false;
  }
  if (columnName == nullptr) return false;
  if (table->kind == fh::kTableKindTable && table->tableDefn != nullptr &&
      IsPrimaryKeyColumn(*table->tableDefn, columnName)) {
    LogError("@@@ UpdateRowObject Failed as PrimaryKey is being updated @@@\n");
    return false;
  }
  const fh::ColumnSource columns = fh::ColumnsOf(*table);
  const int32_t index = fh::FindColumnIndex(columns, columnName);
  if (index < 0) return false;
  std::optional<fh::ColumnValue> old;
  try {
    std::optional<fh::ColumnValue> value =
        NewValue(fh::ColumnTypeAt(columns, index), bytes, length);
    const auto at = static_cast<std::size_t>(index);
    if (at < row->values.size()) old = std::move(row->values[at]);
    SetValue(*row, at, std::move(value));
  } catch (const std::bad_alloc&) {
    return false;
  }
  row->state |= fh::kRowUpdated;
  SendNotification(row, table->tableName.c_str());
  return true;  // the old value is freed here
}

bool DeleteRowObject(const char* tableName, RowObject* row) {
  LogTrace("@@@ Inside DeleteRowObject @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr || row == nullptr) return false;
  if ((row->state & fh::kRowPersisted) != 0) {
    row->state |= fh::kRowDeleted;
    return true;
  }
  if (!Unlink(*table, row)) return false;
  RemoveScanSlot(*table, *row);
  if (table->keyIndex) table->keyIndex->Remove(row);
  SendNotification(row, table->tableName.c_str());
  FreeRowObject(std::unique_ptr<RowObject>(row), table->columnCount);
  return true;
}

bool DeleteAllTableRowObjects(const char* tableName) {
  LogTrace("@@@ Inside DeleteAllTableRowObjects @@@\n");
  if (tableName == nullptr) {
    LogError("\t tableName NULL \n");
    return false;
  }
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) {
    LogError("\t GetTableDataByName returned NULL \n");
    return false;
  }
  if (table->kind != fh::kTableKindTable || table->columnCount == 0) return false;
  RowObject* row = table->firstRow.get();
  while (row != nullptr) {
    RowObject* next = row->next.get();
    DeleteRowObject(tableName, row);
    row = next;
  }
  return true;
}
