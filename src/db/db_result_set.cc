#include "db/db_result_set.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "util/c_string.h"

std::unique_ptr<DBResultSet> CreateDBResultSet(fh::DBRows rows,
                                               std::vector<fh::DBColumnDescriptor> descriptors,
                                               int32_t columnCount) {
  try {
    auto resultSet = std::make_unique<DBResultSet>();
    resultSet->columnCount = columnCount;
    resultSet->rowCount = static_cast<int32_t>(rows.size());
    resultSet->columns = std::move(descriptors);
    resultSet->rows = std::move(rows);
    return resultSet;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

fh::DBRow* AddValueToRow(fh::DBRow* row, std::optional<fh::ColumnValue> value) {
  if (row == nullptr) return nullptr;
  try {
    row->push_back(std::move(value));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return row;
}

fh::DBRow* AddValueToRow(fh::DBRow* row, int32_t length, const void* bytes) {
  if (row == nullptr) return nullptr;
  if (bytes == nullptr) return AddValueToRow(row, std::nullopt);
  try {
    return AddValueToRow(
        row, fh::ColumnValue::FromBytes(bytes, length < 0 ? 0 : static_cast<std::size_t>(length)));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

fh::DBRows* AddRowToRows(fh::DBRows* rows, fh::DBRow&& row) {
  if (rows == nullptr) return nullptr;
  try {
    rows->push_back(std::move(row));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return rows;
}

const fh::DBRow* NextDBResultSetRow(DBResultSet* resultSet) {
  if (resultSet == nullptr) return nullptr;
  const auto size = static_cast<int64_t>(resultSet->rows.size());
  if (resultSet->cursor < size) ++resultSet->cursor;
  if (resultSet->cursor >= size) return nullptr;
  return &resultSet->rows[static_cast<std::size_t>(resultSet->cursor)];
}

const fh::ColumnValue* GetDBResultSetValue(const char* columnName, int32_t* length,
                                           const DBResultSet* resultSet) {
  if (length != nullptr) *length = 0;
  if (columnName == nullptr || resultSet == nullptr) return nullptr;
  if (resultSet->cursor < 0 || resultSet->cursor >= static_cast<int64_t>(resultSet->rows.size())) {
    return nullptr;
  }
  const fh::DBRow& row = resultSet->rows[static_cast<std::size_t>(resultSet->cursor)];
  for (std::size_t column = 0; column < resultSet->columns.size() && column < row.size();
       ++column) {
    if (StringCompareNoCase(resultSet->columns[column].name.c_str(), columnName) != 0) continue;
    if (!row[column]) return nullptr;
    if (length != nullptr) *length = row[column]->length();
    return &*row[column];
  }
  return nullptr;
}

namespace {

// One value as PrintDBResultSet shows it.
std::string PrintedValue(const std::optional<fh::ColumnValue>& value, uint8_t dataType) {
  if (!value) return "NULL\t";
  if (dataType >= KES_SQL_TINYINT && dataType <= KES_SQL_DOUBLE) {
    int32_t first = 0;
    if (!value->isDateTime()) {
      std::memcpy(&first, value->bytes(),
                  std::min<std::size_t>(sizeof first, static_cast<std::size_t>(value->length())));
    }
    return std::to_string(first) + "\t";
  }
  if (value->isDateTime()) return KesDateTimeToString(*value->dateTime()).value_or("") + "\t";
  return std::string(value->text()) + "\t";
}

}  // namespace

void PrintDBResultSet(const DBResultSet* resultSet) {
  if (resultSet == nullptr) return;
  try {
    std::string line;
    for (const fh::DBColumnDescriptor& column : resultSet->columns) line += column.name + "\t";
    LogDebug("%s\n", line.c_str());
    for (const fh::DBRow& row : resultSet->rows) {
      line.clear();
      for (std::size_t column = 0; column < row.size() && column < resultSet->columns.size();
           ++column) {
        line += PrintedValue(row[column], resultSet->columns[column].dataType);
      }
      LogDebug("%s\n", line.c_str());
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
}

void FreeDBResultSet(std::unique_ptr<DBResultSet> resultSet) { resultSet.reset(); }
