// Editing an object: inserting, updating and deleting rows (edits change row
// states only; SaveDataObject writes them), adding tables and setting
// values.
#include <cstring>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_edit_internal.h"
#include "lock/object_lock.h"
#include "log/log.h"
#include "query/criteria_parser.h"
#include "sequence/sequence_generator.h"
#include "store/criteria_evaluator.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

namespace {

using fh::dataobject::CollectionColumnIndex;
using fh::dataobject::FindCollection;

// Fills the columns of row that have no value: a generated number at the
// column's width, else a copy of the default. false when a generator hands
// out no number.
bool FillMissingValues(RowUnit* row, const RowCollection& collection) {
  for (int32_t i = 0; i < collection.columnCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    if (row->values[at]) continue;
    const ColumnDefnEntry* column =
        GetColumnDefnEntry(collection.tableName, collection.columnNames[i]);
    if (column == nullptr) continue;
    if (column->generatorName) {
      const int32_t id = GenerateID(collection.tableName, column);
      if (id == -1) {
        LogError("InsertRowUnit: cannot generate a value for column %s of table %s\n",
                 column->columnName.c_str(), collection.tableName);
        return false;
      }
      const uint8_t type =
          fh::IsIntegerColumnType(column->dataType) ? column->dataType : KES_SQL_INT;
      row->values[at] = fh::ColumnValue::FromInteger(type, id);
      row->lengths[at] = row->values[at]->length();
    } else if (column->defaultValue) {
      row->values[at] = *column->defaultValue;
      row->lengths[at] = row->values[at]->length();
    }
  }
  return true;
}

// The value a caller hands over as bytes: a KesDateTime for the date and
// time types, length bytes otherwise; none for no bytes.
std::optional<fh::ColumnValue> ValueOf(const void* bytes, int32_t length, uint8_t type) {
  if (bytes == nullptr) return std::nullopt;
  if (fh::IsDateTimeColumnType(type))
    return fh::ColumnValue::FromDateTime(*static_cast<const KesDateTime*>(bytes));
  return fh::ColumnValue::FromBytes(bytes, static_cast<std::size_t>(length < 0 ? 0 : length));
}

bool IsKeyColumn(const RowCollection& collection, const char* columnName) {
  const TableDefn* table = collection.tableDefn;
  if (table == nullptr || !table->constraints) return false;
  for (const std::string& key : table->constraints->primaryKeyColumns) {
    if (fh::dataobject::SameName(key.c_str(), columnName)) return true;
  }
  return false;
}

// The collection and column index SetValue* work on; none after its error
// line.
RowCollection* ValueTarget(const char* columnName, const char* tableName, DataObject* object,
                           int32_t* index) {
  RowCollection* collection = FindCollection(object, tableName);
  *index = CollectionColumnIndex(collection, columnName);
  if (collection == nullptr || *index < 0) {
    LogError("Invalid Column Entered.\n");
    return nullptr;
  }
  if (IsKeyColumn(*collection, columnName)) {
    LogError("Cannot change primary key column %s.\n", columnName);
    return nullptr;
  }
  return collection->firstRow != nullptr ? collection : nullptr;
}

// The value becomes the column's value in the last row or in every row of
// the table, which gain state 4.
bool SetValues(const char* columnName, const char* tableName, const void* value, int32_t length,
               DataObject* object, bool allRows) {
  int32_t index = -1;
  RowCollection* collection = ValueTarget(columnName, tableName, object, &index);
  if (collection == nullptr) return false;
  const auto at = static_cast<std::size_t>(index);
  try {
    const std::optional<fh::ColumnValue> newValue =
        ValueOf(value, length, collection->columnTypes[at]);
    for (RowUnit* row = allRows ? collection->firstRow : collection->lastRow; row != nullptr;
         row = row->next) {
      row->values[at] = newValue;
      row->lengths[at] = newValue ? newValue->length() : 0;
      row->state |= fh::kRowUpdated;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return true;
}

// Walks the table's rows under the criteria lock, calling visit for each
// matching row until it returns false. false when the walk could not run.
template <typename Visit>
bool ForEachMatchingRow(const char* tableName, DataObject* object, const char* criteria,
                        Visit visit) {
  RowCollection* collection = FindCollection(object, tableName);
  if (collection == nullptr || collection->tableDefn == nullptr) {
    LogError("Table %s is not present in DO.\n", tableName != nullptr ? tableName : "(null)");
    return false;
  }
  fh::ObjectLockGuard lock(fh::CriteriaLockAddress());
  std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(criteria);
  std::string unknown;
  std::unique_ptr<fh::CompiledCriteria> compiled =
      tree != nullptr ? fh::CompiledCriteria::Compile(
                            tree.get(), fh::ColumnSource{collection->tableDefn, nullptr}, &unknown)
                      : nullptr;
  if (compiled == nullptr) {
    LogError("Invalid criteria %s for table %s.\n", criteria != nullptr ? criteria : "(null)",
             collection->tableName);
    return false;
  }
  for (RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
    std::unique_ptr<RowObject> full = fh::dataobject::RowForEvaluation(row, collection);
    if (full == nullptr) {
      LogError("RowObject is NULL.\n");
      return false;
    }
    if (compiled->Matches(*full) && !visit(row)) break;
  }
  return true;
}

}  // namespace

namespace fh::dataobject {

std::unique_ptr<RowObject> RowForEvaluation(const RowUnit* row, const RowCollection* collection) {
  const TableDefn* table = collection->tableDefn;
  std::vector<std::optional<ColumnValue>> values(table->columns.size());
  std::vector<int32_t> lengths(table->columns.size(), 0);
  for (int32_t i = 0; i < collection->columnCount; ++i) {
    const auto at = static_cast<std::size_t>(i);
    for (std::size_t c = 0; c < table->columns.size(); ++c) {
      if (!SameName(table->columns[c].columnName.c_str(), collection->columnNames[i])) continue;
      if (at < row->values.size()) values[c] = row->values[at];
      lengths[c] = values[c] ? values[c]->length() : 0;
    }
  }
  std::unique_ptr<RowObject> full = CreateNewRowObject(std::move(values), std::move(lengths));
  if (full != nullptr) full->state = row->state;
  return full;
}

}  // namespace fh::dataobject

bool InsertRowUnit(RowUnit* row, DataObject* object) {
  LogTrace("@@@@  Inside InsertRowUnit @@@@\n");
  if (row == nullptr || object == nullptr) return false;
  RowCollection* collection = FindCollection(object, row->tableName);
  if (collection == nullptr) {
    LogError("The RowUnit belongs to Table %s, which is not in DO\n", row->tableName);
    return false;
  }
  try {
    row->columnCount = collection->columnCount;
    row->values.resize(static_cast<std::size_t>(collection->columnCount));
    row->lengths.resize(static_cast<std::size_t>(collection->columnCount), 0);
    LogDebug("Inserting Row\n");
    if (!FillMissingValues(row, *collection)) return false;
    const std::optional<std::string> key = fh::GetKeyString(row, collection);
    if (!key) return false;
    if (!fh::dataobject::RegisterRow(object, row, *key)) {
      LogDebug("Row with keyStr %s already exists.\n", key->c_str());
      return false;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  row->state = fh::kRowNew;
  return AddRowUnitToRowCollection(row, collection);
}

bool UpdateRowUnit(const RowUnit* row, DataObject* object) {
  LogTrace("@@@@  Inside UpdateRowUnit @@@@\n");
  if (row == nullptr || object == nullptr) return false;
  RowUnit* registered = FindRowUnit(row, object);
  if (registered == nullptr) {
    LogError("Row to be updated is not present in DO. \n");
    return false;
  }
  LogDebug("Updating Row\n");
  try {
    if (registered != row) {
      registered->values = row->values;
      registered->lengths = row->lengths;
      registered->values.resize(static_cast<std::size_t>(registered->columnCount));
      registered->lengths.resize(static_cast<std::size_t>(registered->columnCount), 0);
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  registered->state |= fh::kRowUpdated;
  return true;
}

bool DeleteRowUnit(RowUnit* row, DataObject* object) {
  LogTrace("@@@@  Inside DeleteRowUnit @@@@\n");
  if (row == nullptr) return false;
  RowCollection* collection = FindCollection(object, row->tableName);
  RowUnit* target = row;
  if (const std::optional<std::string> key = fh::GetKeyString(row, collection)) {
    if (auto* registered = static_cast<RowUnit*>(object->keyTable->GetValue(key->c_str())))
      target = registered;
  }
  target->state |= fh::kRowDeleted;
  return true;
}

bool DeleteRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria) {
  LogTrace("@@@@  Inside DeleteRowUnitOnCriteria @@@@\n");
  try {
    return ForEachMatchingRow(tableName, object, criteria, [](RowUnit* row) {
      row->state |= fh::kRowDeleted;
      return true;
    });
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

RowUnit* GetRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria) {
  LogTrace("@@@@  Inside DeleteRowUnitOnCriteria @@@@\n");
  RowUnit* found = nullptr;
  try {
    ForEachMatchingRow(tableName, object, criteria, [&found](RowUnit* row) {
      found = row;
      return false;
    });
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  return found;
}

bool SetValueForRowUnit(const char* columnName, const char* tableName, const void* value,
                        int32_t length, DataObject* object) {
  LogTrace("@@@@  Inside SetValueForRowUnit @@@@\n");
  return SetValues(columnName, tableName, value, length, object, false);
}

bool SetValueForAllRowUnits(const char* columnName, const char* tableName, const void* value,
                            int32_t length, DataObject* object) {
  LogTrace("@@@@  Inside SetValueForAllRowUnits @@@@\n");
  return SetValues(columnName, tableName, value, length, object, true);
}

bool InsertRowIntoDO(DataObject* object, const char* tableName,
                     std::vector<std::optional<fh::ColumnValue>> values,
                     std::vector<int32_t> lengths) {
  LogTrace("@@@@  Inside InsertRowIntoDO @@@@\n");
  RowUnit* row = object != nullptr
                     ? CreateRowUnit(tableName, std::move(values), std::move(lengths), object->pool)
                     : nullptr;
  if (row == nullptr) {
    LogError("Cannot create rowUnit.\n");
    return false;
  }
  if (!InsertRowUnit(row, object)) {
    LogError("Cannot Insert RowUnit.\n");
    return false;
  }
  return true;
}

bool AddTableToDO(DataObject* object, const char* tableName, const char* const* columnNames) {
  LogTrace("@@@@  Inside AddTableToDO @@@@\n");
  if (object == nullptr) {
    LogError("DO is NULL.\n");
    return false;
  }
  const TableDefn* table = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
  if (table == nullptr) {
    LogError("Table Definition not found for %s.\n", tableName != nullptr ? tableName : "(null)");
    return false;
  }
  try {
    std::vector<const char*> names;
    std::vector<uint8_t> types;
    bool known = FindCollection(object, tableName) == nullptr;
    if (columnNames == nullptr) {
      for (const ColumnDefnEntry& column : table->columns) {
        names.push_back(column.columnName.c_str());
        types.push_back(column.dataType);
      }
    }
    for (int i = 0; columnNames != nullptr && columnNames[i] != nullptr; ++i) {
      const ColumnDefnEntry* column = GetColumnDefnEntry(table->tableName.c_str(), columnNames[i]);
      known = known && column != nullptr;
      if (column == nullptr) break;
      names.push_back(column->columnName.c_str());
      types.push_back(column->dataType);
    }
    names.push_back(nullptr);
    types.push_back(0);
    RowCollection* collection = known ? CreateRowCollection(table->tableName.c_str(), names.data(),
                                                            types.data(), object->pool)
                                      : nullptr;
    if (collection == nullptr || !AddRowCollectionToDO(object, collection)) {
      LogError("ADD ROW COLLECTION FAILED\n");
      return false;
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  return true;
}

bool InsertStringRowIntoDO(DataObject* object, const char* tableName, const char* const* texts) {
  LogTrace("@@@@  Inside InsertStringRowIntoDO @@@@\n");
  RowCollection* collection = FindCollection(object, tableName);
  RowUnit* row = nullptr;
  try {
    if (collection != nullptr && texts != nullptr) {
      std::vector<std::optional<fh::ColumnValue>> values;
      std::vector<int32_t> lengths;
      for (int32_t i = 0; i < collection->columnCount; ++i) {
        int32_t length = texts[i] != nullptr ? static_cast<int32_t>(std::strlen(texts[i])) : 0;
        values.push_back(texts[i] != nullptr
                             ? ConvertStringToValue(texts[i], collection->columnTypes[i], &length)
                             : std::nullopt);
        // A column left without value records the length 4.
        lengths.push_back(values.back() ? values.back()->length() : 4);
      }
      row =
          CreateRowUnit(collection->tableName, std::move(values), std::move(lengths), object->pool);
    }
  } catch (const std::bad_alloc&) {
    row = nullptr;
  }
  if (row == nullptr) {
    LogError("Cannot create RowUnit.\n");
    return false;
  }
  if (!InsertRowUnit(row, object)) {
    LogError("Cannot insert RowUnit.\n");
    return false;
  }
  return true;
}
