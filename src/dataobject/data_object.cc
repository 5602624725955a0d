#include "dataobject/data_object.h"

#include <strings.h>

#include <cstring>
#include <new>
#include <utility>

#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_route_internal.h"
#include "db/conn_params.h"
#include "log/log.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "util/memory_pool.h"

namespace fh::dataobject {

bool SameName(const char* a, const char* b) {
  return a != nullptr && b != nullptr && strcasecmp(a, b) == 0;
}

RowCollection* FindCollection(const DataObject* object, const char* tableName) {
  if (object == nullptr || tableName == nullptr) return nullptr;
  for (RowCollection* collection = object->firstCollection; collection != nullptr;
       collection = collection->next) {
    if (SameName(collection->tableName, tableName)) return collection;
  }
  return nullptr;
}

int32_t CollectionColumnIndex(const RowCollection* collection, const char* columnName) {
  if (collection == nullptr || columnName == nullptr) return -1;
  for (int32_t i = 0; i < collection->columnCount; ++i) {
    if (SameName(collection->columnNames[i], columnName)) return i;
  }
  return -1;
}

bool AddTableName(DataObject* object, const char* tableName) {
  for (VectorNode* node = object->tableList->head.get(); node != nullptr; node = node->next.get()) {
    if (SameName(static_cast<const char*>(node->data), tableName)) return true;
  }
  char* copy = MemPoolStrDup(object->pool, tableName);
  return copy != nullptr && AddElementData(object->tableList, copy) == 1;
}

const char* ConnectionForTable(const char* tableName) {
  return fh::RouteOfTable(tableName).connection;
}

bool RegisterRow(DataObject* object, RowUnit* row, const std::string& key) {
  if (object->keyTable->Contains(key.c_str())) return false;
  return object->keyTable->Put(key.c_str(), row);
}

}  // namespace fh::dataobject

using fh::dataobject::AddTableName;
using fh::dataobject::FindCollection;

DataObject* CreateDataObject() {
  LogTrace("@@@@  Inside CreateDataObject @@@@\n");
  MemPool* pool = fh::CreateMemPool(nullptr);
  DataObject* object = pool != nullptr ? MemPoolNew<DataObject>(pool) : nullptr;
  if (object != nullptr) {
    object->pool = pool;
    object->keyTable = MemPoolMake<fh::StringHashMap>(pool, fh::kDataObjectKeyBuckets);
    object->tableList = MemPoolMake<Vector>(pool);
  }
  if (object == nullptr || object->keyTable == nullptr || object->tableList == nullptr) {
    fh::DestroyMemPool(pool);
    LogError("\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n");
    return nullptr;
  }
  return object;
}

void fh::FreeDataObject(DataObject* object) {
  LogTrace("@@@@  Inside FreeDataObject @@@@\n");
  if (object != nullptr) fh::DestroyMemPool(object->pool);
}

bool AddRowCollectionToDO(DataObject* object, RowCollection* collection) {
  LogTrace("@@@@  Inside AddRowCollectionToDO @@@@\n");
  if (collection == nullptr) {
    LogError("Cannot add Row Collection to DO.  Row Collection is NULL.\n");
    return false;
  }
  if (object == nullptr) return false;
  try {
    if (!AddTableName(object, collection->tableName)) return false;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
  collection->next = nullptr;
  if (object->lastCollection != nullptr) {
    object->lastCollection->next = collection;
  } else {
    object->firstCollection = collection;
  }
  object->lastCollection = collection;
  ++object->tableCount;
  return true;
}

bool AddRowUnitToRowCollection(RowUnit* row, RowCollection* collection) {
  LogTrace("@@@@  Inside AddRowUnitToRowCollection @@@@\n");
  if (row == nullptr || collection == nullptr) return false;
  row->next = nullptr;
  if (collection->lastRow != nullptr) {
    collection->lastRow->next = row;
  } else {
    collection->firstRow = row;
  }
  collection->lastRow = row;
  return true;
}

RowUnit* CreateRowUnit(const char* tableName, std::vector<std::optional<fh::ColumnValue>> values,
                       std::vector<int32_t> lengths, MemPool* pool) {
  LogTrace("@@@@  Inside CreateRowUnit @@@@\n");
  if (tableName == nullptr || pool == nullptr) return nullptr;
  try {
    RowUnit* row = MemPoolMake<RowUnit>(pool);
    if (row == nullptr) return nullptr;
    row->tableName = fh::MemPoolStrDup(pool, tableName);
    if (row->tableName == nullptr) return nullptr;
    for (std::size_t i = lengths.size(); i < values.size(); ++i)
      lengths.push_back(values[i] ? values[i]->length() : 0);
    lengths.resize(values.size());
    row->columnCount = static_cast<int32_t>(values.size());
    row->values = std::move(values);
    row->lengths = std::move(lengths);
    return row;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

RowCollection* CreateRowCollection(const char* tableName, const char* const* columnNames,
                                   const uint8_t* columnTypes, MemPool* pool) {
  LogTrace("@@@@  Inside CreateRowCollection @@@@\n");
  if (tableName == nullptr || columnNames == nullptr || columnTypes == nullptr || pool == nullptr)
    return nullptr;
  const TableDefn* definition = GetTableDefn(tableName);
  if (definition == nullptr) {
    LogError("No Table Definition found for table %s.\n", tableName);
    return nullptr;
  }
  int32_t count = 0;
  while (columnNames[count] != nullptr) ++count;
  if (definition->constraints) {
    for (const std::string& key : definition->constraints->primaryKeyColumns) {
      bool found = false;
      for (int32_t i = 0; i < count && !found; ++i)
        found = fh::dataobject::SameName(columnNames[i], key.c_str());
      if (!found) {
        LogError("All Primary key columns were not selected.\n");
        return nullptr;
      }
    }
  }
  RowCollection* collection = MemPoolNew<RowCollection>(pool);
  if (collection == nullptr) return nullptr;
  collection->tableName = fh::MemPoolStrDup(pool, definition->tableName.c_str());
  collection->tableDefn = definition;
  collection->columnNames = static_cast<const char**>(
      fh::MemPoolAllocZeroed(pool, sizeof(const char*) * static_cast<std::size_t>(count + 1)));
  collection->columnTypes =
      static_cast<uint8_t*>(fh::MemPoolAllocZeroed(pool, static_cast<std::size_t>(count + 1)));
  if (collection->tableName == nullptr || collection->columnNames == nullptr ||
      collection->columnTypes == nullptr)
    return nullptr;
  for (int32_t i = 0; i < count; ++i) {
    collection->columnNames[i] = fh::MemPoolStrDup(pool, columnNames[i]);
    if (collection->columnNames[i] == nullptr) return nullptr;
    collection->columnTypes[i] = columnTypes[i];
  }
  collection->columnCount = count;
  return collection;
}

const Vector* GetTableList(const DataObject* object) {
  LogTrace("@@@@  Inside GetTableList @@@@\n");
  return object != nullptr ? object->tableList : nullptr;
}

bool ContainsTableInDO(const DataObject* object, const char* tableName) {
  LogTrace("@@@@  Inside ContainsTableInDO @@@@\n");
  return FindCollection(object, tableName) != nullptr;
}

bool IsDOEmpty(const DataObject* object) {
  LogTrace("@@@@  Inside IsDOEmpty @@@@\n");
  return object == nullptr || object->firstCollection == nullptr;
}
