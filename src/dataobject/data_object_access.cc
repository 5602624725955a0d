// Finding collections, rows and values of an object.
#include <new>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "log/log.h"

namespace {

using fh::dataobject::CollectionColumnIndex;
using fh::dataobject::FindCollection;

RowCollection* CollectionOrMessage(const char* tableName, DataObject* object) {
  RowCollection* collection = FindCollection(object, tableName);
  if (collection == nullptr)
    LogError("Table %s not present in DO\n", tableName != nullptr ? tableName : "(null)");
  return collection;
}

// The table's collection and the column's index in it; none after "Invalid
// Column Entered.\n" when either is unknown.
RowCollection* ColumnOf(const char* columnName, const char* tableName, DataObject* object,
                        std::size_t* index) {
  RowCollection* collection = FindCollection(object, tableName);
  const int32_t found = CollectionColumnIndex(collection, columnName);
  if (found < 0) {
    LogError("Invalid Column Entered.\n");
    return nullptr;
  }
  *index = static_cast<std::size_t>(found);
  return collection;
}

}  // namespace

RowCollection* GetRowCollection(const char* tableName, DataObject* object) {
  LogTrace("@@@@  Inside GetRowCollection @@@@\n");
  RowCollection* collection = FindCollection(object, tableName);
  if (collection == nullptr) {
    LogError("Table %s is not present in DO.\n", tableName != nullptr ? tableName : "(null)");
    return nullptr;
  }
  object->currentCollection = collection;
  return collection;
}

RowUnit* GetFirstRowUnit(const char* tableName, DataObject* object) {
  LogTrace("@@@@  Inside GetFirstRowUnit @@@@\n");
  RowCollection* collection = CollectionOrMessage(tableName, object);
  return collection != nullptr ? collection->firstRow : nullptr;
}

RowUnit* GetLastRowUnit(const char* tableName, DataObject* object) {
  LogTrace("@@@@  Inside GetLastRowUnit @@@@\n");
  RowCollection* collection = CollectionOrMessage(tableName, object);
  return collection != nullptr ? collection->lastRow : nullptr;
}

RowUnit* GetNthRowUnit(const char* tableName, int n, DataObject* object) {
  LogTrace("@@@@  Inside GetNthRowUnit @@@@\n");
  RowCollection* collection = CollectionOrMessage(tableName, object);
  if (collection == nullptr) return nullptr;
  RowUnit* row = n >= 1 ? collection->firstRow : nullptr;
  for (int i = 1; i < n && row != nullptr; ++i) row = row->next;
  if (row == nullptr) LogError("Cannot get %d row. \n", n);
  return row;
}

RowUnit* GotoNextRowUnit(RowCollection* collection) {
  LogTrace("@@@@  Inside GotoNextRowUnit @@@@\n");
  if (collection == nullptr) {
    LogError("RowCollectionPtr is NULL.\n");
    return nullptr;
  }
  if (collection->currentRow == nullptr) {
    collection->currentRow = collection->firstRow;
    if (collection->currentRow == nullptr) LogError("No RowUnits present in RowCollection.\n");
    return collection->currentRow;
  }
  collection->currentRow = collection->currentRow->next;
  if (collection->currentRow == nullptr) LogDebug("Reached end of rowUnits.\n");
  return collection->currentRow;
}

RowUnit* FindRowUnit(const RowUnit* row, DataObject* object) {
  LogTrace("@@@@  Inside FindRowUnit @@@@\n");
  RowUnit* found = nullptr;
  if (row != nullptr && object != nullptr) {
    const std::optional<std::string> key =
        fh::GetKeyString(row, FindCollection(object, row->tableName));
    if (key) found = static_cast<RowUnit*>(object->keyTable->GetValue(key->c_str()));
  }
  if (found == nullptr) LogError("Row to be found is not present in DO. \n");
  return found;
}

const fh::ColumnValue* GetFirstValue(const char* columnName, const char* tableName,
                                     DataObject* object) {
  LogTrace("@@@@  Inside GetFirstValue @@@@\n");
  std::size_t at = 0;
  const RowCollection* collection = ColumnOf(columnName, tableName, object, &at);
  if (collection == nullptr) return nullptr;
  const RowUnit* row = collection->firstRow;
  if (row == nullptr || at >= row->values.size() || !row->values[at]) return nullptr;
  return &*row->values[at];
}

std::optional<std::vector<std::optional<fh::ColumnValue>>> GetColumnValuesFromDO(
    const char* columnName, const char* tableName, DataObject* object) {
  LogTrace("@@@@  Inside GetColumnValuesFromDO @@@@\n");
  std::size_t at = 0;
  const RowCollection* collection = ColumnOf(columnName, tableName, object, &at);
  if (collection == nullptr) return std::nullopt;
  try {
    std::vector<std::optional<fh::ColumnValue>> values;
    for (const RowUnit* row = collection->firstRow; row != nullptr; row = row->next)
      values.push_back(at < row->values.size() ? row->values[at] : std::nullopt);
    return values;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

std::optional<fh::ColumnValue> GetColumnValueFromDO(DataObject* object, const char* tableName,
                                                    const char* columnName, int n) {
  LogTrace("@@@@  Inside GetColumnValueFromDO @@@@\n");
  std::size_t at = 0;
  if (ColumnOf(columnName, tableName, object, &at) == nullptr) return std::nullopt;
  const RowUnit* row = GetNthRowUnit(tableName, n, object);
  if (row == nullptr || at >= row->values.size()) return std::nullopt;
  try {
    return row->values[at];
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::unique_ptr<Vector> GetColumnListFromDO(const char* tableName, DataObject* object) {
  LogTrace("@@@@  Inside GetColumnListFromDO @@@@\n");
  RowCollection* collection = FindCollection(object, tableName);
  if (collection == nullptr) {
    LogError("rowCollectionPtr is NULL.\n");
    return nullptr;
  }
  std::unique_ptr<Vector> columns = NewVector();
  if (columns == nullptr) return nullptr;
  for (int32_t i = 0; i < collection->columnCount; ++i) {
    if (AddElementData(columns.get(), const_cast<char*>(collection->columnNames[i])) != 1)
      return nullptr;
  }
  return columns;
}
