// Key strings: the table name and the text of each primary-key value, every
// part preceded by kKeyStringSeparator so that different keys never meet.
#include <new>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "log/log.h"

namespace fh {

std::optional<std::string> GetKeyString(const RowUnit* row, const RowCollection* collection) {
  if (row == nullptr || collection == nullptr || collection->tableDefn == nullptr) return {};
  const TableDefn& definition = *collection->tableDefn;
  try {
    std::string key(definition.tableName);
    if (definition.constraints) {
      for (const std::string& column : definition.constraints->primaryKeyColumns) {
        const int32_t index = dataobject::CollectionColumnIndex(collection, column.c_str());
        if (index < 0) return std::nullopt;
        const std::size_t at = static_cast<std::size_t>(index);
        const std::optional<ColumnValue>* value =
            at < row->values.size() ? &row->values[at] : nullptr;
        const std::optional<std::string> text =
            value != nullptr ? ConvertValueToString(*value, collection->columnTypes[index])
                             : std::optional<std::string>("NULL");
        key += kKeyStringSeparator;
        key += text.value_or("");
      }
    }
    LogTrace("KeyStr %s\n", key.c_str());
    return key;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

}  // namespace fh
