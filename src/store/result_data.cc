#include "store/result_data.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "store/table_selection.h"

namespace {

// Negative, zero or positive as a sorts before, equal to or after b; a NaN
// sorts after every number, so that the order stays strict.
template <typename T>
int KeySign(T a, T b) {
  if constexpr (std::is_floating_point_v<T>) {
    if (std::isnan(a) || std::isnan(b)) return std::isnan(a) - std::isnan(b);
  }
  return (a > b) - (a < b);
}

// Sorts rows by a key read once per row (none: NULL, sorting first), stably.
template <typename Key, typename Extract>
void SortByKeys(std::vector<RowObject*>& rows, bool ascending, Extract extract) {
  struct Entry {
    std::optional<Key> key;
    RowObject* row;
  };
  std::vector<Entry> entries;
  entries.reserve(rows.size());
  for (RowObject* row : rows) entries.push_back(Entry{extract(row), row});
  std::stable_sort(entries.begin(), entries.end(), [ascending](const Entry& a, const Entry& b) {
    const int r = a.key && b.key ? KeySign(*a.key, *b.key)
                                 : static_cast<int>(a.key.has_value()) - b.key.has_value();
    return ascending ? r < 0 : r > 0;
  });
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = entries[i].row;
}

// Orders two present values of one column type: negative, zero or positive.
class ValueOrder {
 public:
  explicit ValueOrder(uint8_t type) : type_(type) {}

  int operator()(const fh::ColumnValue& a, const fh::ColumnValue& b) const {
    if (type_ == KES_SQL_UNSIGNED_LONG_INT && !a.isDateTime() && !b.isDateTime()) {
      return Sign(static_cast<uint64_t>(*fh::GetIntegerValue(a, type_)),
                  static_cast<uint64_t>(*fh::GetIntegerValue(b, type_)));
    }
    if ((fh::IsIntegerColumnType(type_) || type_ == KES_SQL_BOOLEAN) && !a.isDateTime() &&
        !b.isDateTime()) {
      return Sign(*fh::GetIntegerValue(a, type_), *fh::GetIntegerValue(b, type_));
    }
    if (fh::IsFloatingColumnType(type_) && !a.isDateTime() && !b.isDateTime()) {
      return Sign(*fh::GetFloatingValue(a, type_), *fh::GetFloatingValue(b, type_));
    }
    if (a.isDateTime() || b.isDateTime()) return DateTimeOrder(a.dateTime(), b.dateTime());
    return Bytes(a).compare(Bytes(b));
  }

 private:
  template <typename T>
  static int Sign(T a, T b) {
    return KeySign(a, b);
  }

  static std::string_view Bytes(const fh::ColumnValue& value) {
    return std::string_view(reinterpret_cast<const char*>(value.bytes()),
                            static_cast<std::size_t>(value.length()));
  }

  // Date-times by value; an absent part sorts before a present one. A byte
  // value sorts before every date-time.
  static int DateTimeOrder(const KesDateTime* a, const KesDateTime* b) {
    if (a == nullptr || b == nullptr) return (a != nullptr) - (b != nullptr);
    if (a->date.has_value() != b->date.has_value()) return a->date.has_value() ? 1 : -1;
    if (a->date) {
      const KesDate& x = *a->date;
      const KesDate& y = *b->date;
      if (x.year != y.year) return Sign(x.year, y.year);
      if (x.month != y.month) return Sign(x.month, y.month);
      if (x.day != y.day) return Sign(x.day, y.day);
    }
    if (a->time.has_value() != b->time.has_value()) return a->time.has_value() ? 1 : -1;
    if (!a->time) return 0;
    const KesTime& x = *a->time;
    const KesTime& y = *b->time;
    if (x.hour != y.hour) return Sign(x.hour, y.hour);
    if (x.minute != y.minute) return Sign(x.minute, y.minute);
    return Sign(x.second, y.second);
  }

  uint8_t type_;
};

const std::optional<fh::ColumnValue>* ValueAt(const RowObject* row, int32_t index) {
  const auto at = static_cast<std::size_t>(index);
  return at < row->values.size() ? &row->values[at] : nullptr;
}

// Orders two rows by the column at index, NULL (or a missing value) first.
int RowOrder(const ValueOrder& order, int32_t index, const RowObject* a, const RowObject* b) {
  const std::optional<fh::ColumnValue>* x = ValueAt(a, index);
  const std::optional<fh::ColumnValue>* y = ValueAt(b, index);
  const bool xPresent = x != nullptr && x->has_value();
  const bool yPresent = y != nullptr && y->has_value();
  if (!xPresent || !yPresent) return xPresent - yPresent;
  return order(**x, **y);
}

// The value at index of row when it is present and of byte form, else none.
const fh::ColumnValue* ByteValueAt(const RowObject* row, int32_t index) {
  const std::optional<fh::ColumnValue>* value = ValueAt(row, index);
  if (value == nullptr || !value->has_value() || (*value)->isDateTime()) return nullptr;
  return &**value;
}

// Sorts rows by the column at index of type: numbers through keys read once
// per row, every other type by comparing the rows' values.
void SortRows(std::vector<RowObject*>& rows, int32_t index, uint8_t type, bool ascending) {
  if (type == KES_SQL_UNSIGNED_LONG_INT) {
    SortByKeys<uint64_t>(rows, ascending, [&](const RowObject* row) -> std::optional<uint64_t> {
      const fh::ColumnValue* value = ByteValueAt(row, index);
      if (value == nullptr) return std::nullopt;
      return static_cast<uint64_t>(*fh::GetIntegerValue(*value, type));
    });
  } else if (fh::IsIntegerColumnType(type) || type == KES_SQL_BOOLEAN) {
    SortByKeys<int64_t>(rows, ascending, [&](const RowObject* row) -> std::optional<int64_t> {
      const fh::ColumnValue* value = ByteValueAt(row, index);
      if (value == nullptr) return std::nullopt;
      return *fh::GetIntegerValue(*value, type);
    });
  } else if (fh::IsFloatingColumnType(type)) {
    SortByKeys<double>(rows, ascending, [&](const RowObject* row) -> std::optional<double> {
      const fh::ColumnValue* value = ByteValueAt(row, index);
      if (value == nullptr) return std::nullopt;
      return *fh::GetFloatingValue(*value, type);
    });
  } else {
    const ValueOrder order(type);
    std::stable_sort(rows.begin(), rows.end(), [&](const RowObject* a, const RowObject* b) {
      const int r = RowOrder(order, index, a, b);
      return ascending ? r < 0 : r > 0;
    });
  }
}

}  // namespace

void ResultData::ReserveNodes(std::size_t count) {
  if (count <= pieceRoom_ - pieceUsed_) return;
  nodePieces_.reserve(nodePieces_.size() + 1);
  nodePieces_.push_back(std::make_unique<fh::ResultNode[]>(count));
  pieceRoom_ = count;
  pieceUsed_ = 0;
}

fh::ResultNode* ResultData::NewNode() {
  if (pieceUsed_ == pieceRoom_) ReserveNodes(pieceRoom_ < 16 ? 16 : pieceRoom_ * 2);
  return &nodePieces_.back()[pieceUsed_++];
}

std::unique_ptr<ResultData> CreateResultData(int32_t rowCount, int32_t columnCount,
                                             const TableData* table) {
  LogTrace("@@@ Inside CreateResultData @@@\n");
  if (table == nullptr) return nullptr;
  try {
    auto result = std::make_unique<ResultData>();
    result->kind = table->kind;
    result->tableDefn = table->kind == fh::kTableKindTable ? table->tableDefn : nullptr;
    result->viewDefn = table->kind == fh::kTableKindCustomView ? table->viewDefn.get() : nullptr;
    result->rowCount = rowCount;
    result->columnCount = columnCount;
    return result;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool AddRowToResultData(RowObject* row, ResultData* result) {
  LogTrace("@@@ Inside AddRowToResultData @@@\n");
  if (row == nullptr || result == nullptr) return false;
  try {
    fh::ResultNode* added = result->NewNode();
    added->row = row;
    fh::ResultNodeLink& slot = result->cursor != nullptr ? result->cursor->next : result->first;
    added->next = slot;
    slot = added;
    result->cursor = added;
    ++result->rowCount;
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

RowObject* GotoNextRowObject(ResultData* result) {
  LogTrace("@@@ Inside GotoNextRowObject @@@\n");
  if (result == nullptr) return nullptr;
  result->cursor = result->cursor == nullptr ? result->first.get() : result->cursor->next.get();
  return result->cursor != nullptr ? result->cursor->row : nullptr;
}

void ResetResultDataCursor(ResultData* result) {
  LogTrace("@@@ Inside ResetResultDataCursor @@@\n");
  if (result != nullptr) result->cursor = nullptr;
}

const fh::ColumnValue* GetColumnValueByName(const char* columnName, int32_t* length,
                                            const ResultData* result) {
  LogTrace("\t@@@@@ GetColumnValueByName() @@@@@\n");
  if (result == nullptr || result->cursor == nullptr || result->cursor->row == nullptr) {
    return nullptr;
  }
  const int32_t index = fh::FindColumnIndex(result->columns(), columnName);
  if (index < 0) return nullptr;
  const RowObject* row = result->cursor->row;
  const std::optional<fh::ColumnValue>* value = ValueAt(row, index);
  if (value == nullptr || !value->has_value()) return nullptr;
  if (length != nullptr) {
    const auto at = static_cast<std::size_t>(index);
    *length = at < row->lengths.size() ? row->lengths[at] : (*value)->length();
  }
  return &**value;
}

const fh::ColumnValue* GetColumnValue(const char* tableName, const char* columnName,
                                      const char* criteria, int32_t* length) {
  LogTrace("@@@ Inside GetColumnValue @@@\n");
  const char* tableText = tableName != nullptr ? tableName : "(null)";
  const char* criteriaText = criteria != nullptr ? criteria : "(null)";
  std::unique_ptr<ResultData> result = SelectRows(tableName, criteria);
  if (!result) {
    LogError("Error in executing SelectRows(%s,%s)\n", tableText, criteriaText);
    return nullptr;
  }
  if (GotoNextRowObject(result.get()) == nullptr) {
    LogTrace("No such row available in the %s for %s", tableText, criteriaText);
    return nullptr;
  }
  const fh::ColumnValue* value = GetColumnValueByName(columnName, length, result.get());
  if (value == nullptr) {
    LogError("columnValue is NULL for :%s\n", columnName != nullptr ? columnName : "(null)");
  }
  return value;
}

uint8_t GetColumnTypeByName(const char* columnName, const ResultData* result) {
  LogTrace("@@@ Inside GetColumnTypeByName @@@\n");
  if (result == nullptr) return 0;
  return fh::ColumnTypeAt(result->columns(), fh::FindColumnIndex(result->columns(), columnName));
}

const char* GetColumnNameByIndex(int32_t index, const ResultData* result) {
  LogTrace("@@@ Inside GetColumnNameByIndex @@@\n");
  if (result == nullptr) return nullptr;
  return fh::ColumnNameAt(result->columns(), index);
}

const char* GetTableNameFromResultData(const ResultData* result) {
  LogTrace("@@@ Inside GetTableNameFromResultData @@@\n");
  if (result == nullptr) return nullptr;
  if (result->kind == fh::kTableKindTable && result->tableDefn != nullptr) {
    return result->tableDefn->tableName.c_str();
  }
  if (result->kind == fh::kTableKindCustomView && result->viewDefn != nullptr &&
      !result->viewDefn->tableNames.empty()) {
    return result->viewDefn->tableNames.front().c_str();
  }
  return nullptr;
}

const char* GetTableNameOfView(const char* name) {
  LogTrace("@@@ Inside GetTableNameOfView @@@\n");
  const TableData* table = GetTableDataByName(name);
  if (table != nullptr && table->kind == fh::kTableKindCustomView && table->viewDefn &&
      !table->viewDefn->tableNames.empty()) {
    return table->viewDefn->tableNames.front().c_str();
  }
  return name;
}

bool SortResultSet(ResultData* result, const char* columnName, int ascending) {
  LogTrace("@@@ Inside SortResultSet @@@\n");
  if (result == nullptr || columnName == nullptr) return false;
  const fh::ColumnSource columns = result->columns();
  if (fh::ColumnCountOf(columns) == 0) return false;
  const int32_t index = fh::FindColumnIndex(columns, columnName);
  if (index < 0 || result->first == nullptr) return false;
  if (result->first->next == nullptr) {
    if (result->rowCount != 1) return false;
    LogDebug("Number of Rows is 1 for the Relvar to be Sorted \n");
    return true;
  }
  try {
    std::vector<RowObject*> rows;
    for (fh::ResultNode* node = result->first.get(); node != nullptr; node = node->next.get()) {
      rows.push_back(node->row);
    }
    SortRows(rows, index, fh::ColumnTypeAt(columns, index), ascending == 1);
    std::size_t at = 0;
    for (fh::ResultNode* node = result->first.get(); node != nullptr; node = node->next.get()) {
      node->row = rows[at++];
    }
  } catch (const std::bad_alloc&) {
    return false;
  }
  result->cursor = nullptr;
  return true;
}

void FreeResultData(std::unique_ptr<ResultData> result) {
  LogTrace("@@@ Inside FreeResultData @@@\n");
  result.reset();
}
