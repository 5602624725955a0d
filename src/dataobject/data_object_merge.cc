// Merging and cloning objects. Rows are always copied into the receiving
// object's pool, so both objects stay valid and independent afterwards.
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_query_internal.h"
#include "log/log.h"
#include "store/row_write.h"
#include "util/memory_pool.h"

namespace {

using fh::dataobject::FindCollection;

// A copy of row registered in target and appended to collection.
bool AddCopy(const RowUnit* row, RowCollection* collection, DataObject* target) {
  RowUnit* copy = CloneRowUnit(row, target);
  return copy != nullptr && AddRowUnitToRowCollection(copy, collection);
}

// source's row with its values in the order of collection's columns (by
// name; a column source lacks is left without value), in pool.
const RowUnit* InColumnsOf(const RowUnit* row, const RowCollection* source,
                           const RowCollection* collection, MemPool* pool) {
  bool same = source->columnCount == collection->columnCount;
  for (int32_t i = 0; same && i < source->columnCount; ++i)
    same = fh::dataobject::SameName(source->columnNames[i], collection->columnNames[i]);
  if (same) return row;
  std::vector<std::optional<fh::ColumnValue>> values(
      static_cast<std::size_t>(collection->columnCount));
  std::vector<int32_t> lengths(values.size(), 0);
  for (int32_t i = 0; i < collection->columnCount; ++i) {
    const int32_t from = fh::dataobject::CollectionColumnIndex(source, collection->columnNames[i]);
    if (from < 0 || static_cast<std::size_t>(from) >= row->values.size()) continue;
    values[static_cast<std::size_t>(i)] = row->values[static_cast<std::size_t>(from)];
    lengths[static_cast<std::size_t>(i)] = row->lengths[static_cast<std::size_t>(from)];
  }
  RowUnit* copy = CreateRowUnit(row->tableName, std::move(values), std::move(lengths), pool);
  if (copy != nullptr) copy->state = row->state;
  return copy;
}

// One source row into a table target already holds.
bool MergeRow(const RowUnit* sourceRow, const RowCollection* source, RowCollection* collection,
              DataObject* target) {
  const RowUnit* row = InColumnsOf(sourceRow, source, collection, target->pool);
  if (row == nullptr) return false;
  const std::optional<std::string> key = fh::GetKeyString(row, collection);
  if (!key) return false;
  auto* existing = static_cast<RowUnit*>(target->keyTable->GetValue(key->c_str()));
  const uint8_t state = row->state;
  if (fh::InsertedThenDeleted(state)) return true;
  switch (fh::WriteFor(state)) {
    case fh::RowWrite::kDelete:
      if (existing == nullptr) return AddCopy(row, collection, target);
      existing->state |= fh::kRowDeleted;
      return true;
    case fh::RowWrite::kUpdate:
      if (existing == nullptr) return AddCopy(row, collection, target);
      return UpdateRowUnit(row, target);
    case fh::RowWrite::kInsert:
      if (existing != nullptr) {
        LogError("Cannot Insert Row with keystring %s.  Row already exists.", key->c_str());
        return false;
      }
      return AddCopy(row, collection, target);
    case fh::RowWrite::kNone:
    case fh::RowWrite::kInvalid:
      break;
  }
  if (existing == nullptr) return AddCopy(row, collection, target);
  return true;
}

// A collection in target with source's table and columns, added to target.
RowCollection* EmptyCopyOf(const RowCollection* source, DataObject* target) {
  RowCollection* copy = CreateRowCollection(source->tableName, source->columnNames,
                                            source->columnTypes, target->pool);
  if (copy == nullptr || !AddRowCollectionToDO(target, copy)) return nullptr;
  return copy;
}

// One source collection into target.
void MergeCollection(const RowCollection* from, DataObject* target) {
  RowCollection* into = FindCollection(target, from->tableName);
  if (into != nullptr) {
    for (const RowUnit* row = from->firstRow; row != nullptr; row = row->next)
      MergeRow(row, from, into, target);
    return;
  }
  into = EmptyCopyOf(from, target);
  if (into == nullptr) {
    LogError("tempRowCollection is NULL\n");
    return;
  }
  for (const RowUnit* row = from->firstRow; row != nullptr; row = row->next) {
    if (!fh::InsertedThenDeleted(row->state)) AddCopy(row, into, target);
  }
}

// A copy of row in pool, not linked and not registered; none on failure.
RowUnit* CopyRowUnit(const RowUnit* row, MemPool* pool) {
  RowUnit* copy = CreateRowUnit(row->tableName, row->values, row->lengths, pool);
  if (copy == nullptr) return nullptr;
  copy->columnCount = row->columnCount;
  copy->state = row->state;
  return copy;
}

}  // namespace

RowUnit* CloneRowUnit(const RowUnit* row, DataObject* target) {
  LogTrace("@@@@  Inside CloneRowUnit @@@@\n");
  if (row == nullptr || target == nullptr) return nullptr;
  try {
    const std::optional<std::string> key =
        fh::GetKeyString(row, FindCollection(target, row->tableName));
    RowUnit* copy = key ? CopyRowUnit(row, target->pool) : nullptr;
    if (copy == nullptr || !fh::dataobject::RegisterRow(target, copy, *key)) {
      LogError("Cannot add the newRowUnit into hash table.\n");
      return nullptr;
    }
    return copy;
  } catch (const std::bad_alloc&) {
    LogError("Cannot add the newRowUnit into hash table.\n");
    return nullptr;
  }
}

RowCollection* CloneRowCollection(const RowCollection* collection, DataObject* target) {
  LogTrace("@@@@  Inside CloneRowCollection @@@@\n");
  if (collection == nullptr || target == nullptr) return nullptr;
  if (GetTableDefn(collection->tableName) == nullptr) {
    LogError("No Table Definition found for table %s.\n", collection->tableName);
    return nullptr;
  }
  RowCollection* copy = EmptyCopyOf(collection, target);
  if (copy == nullptr) {
    LogError("MEMEORY_ALLOCATION_FAILURE.\n");
    return nullptr;
  }
  for (const RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
    if (!AddCopy(row, copy, target)) return nullptr;
  }
  return copy;
}

DataObject* CloneDataObject(const DataObject* object) {
  LogTrace("@@@@  Inside CloneDataObject @@@@\n");
  if (object == nullptr) return nullptr;
  DataObject* clone = CreateDataObject();
  if (clone == nullptr) return nullptr;
  bool copied = true;
  for (VectorNode* node = object->tableList->head.get(); node != nullptr && copied;
       node = node->next.get())
    copied = fh::dataobject::AddTableName(clone, static_cast<const char*>(node->data));
  if (copied && object->selectQuery != nullptr) {
    clone->selectQuery = fh::dataobject::CopySelectQuery(object->selectQuery, clone->pool);
    copied = clone->selectQuery != nullptr;
  }
  for (const RowCollection* collection = object->firstCollection; collection != nullptr && copied;
       collection = collection->next)
    copied = CloneRowCollection(collection, clone) != nullptr;
  if (!copied) {
    fh::FreeDataObject(clone);
    return nullptr;
  }
  return clone;
}

DataObject* MergeDataObject(DataObject* target, const DataObject* source) {
  LogTrace("@@@@  Inside MergeDataObject @@@@\n");
  if (target == nullptr || source == nullptr) return nullptr;
  try {
    for (const RowCollection* from = source->firstCollection; from != nullptr; from = from->next)
      MergeCollection(from, target);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return target;
}
