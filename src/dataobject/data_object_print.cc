// The whole object as one debug log entry.
#include <cstdio>
#include <new>
#include <string>

#include "dataobject/data_object.h"
#include "log/log.h"

namespace {

std::string ValueText(const std::optional<fh::ColumnValue>& value, uint8_t type) {
  if (!value) return " NULL\t";
  if (fh::IsIntegerColumnType(type) || type == KES_SQL_BOOLEAN) {
    const std::optional<int64_t> number = fh::GetIntegerValue(*value, type);
    return " " + (number ? std::to_string(*number) : std::string("?")) + "\t";
  }
  if (type == KES_SQL_FLOAT || type == KES_SQL_DOUBLE) {
    char text[64];
    std::snprintf(text, sizeof text, " %f\t", fh::GetFloatingValue(*value, type).value_or(0.0));
    return text;
  }
  return " " + ConvertValueToString(value, type).value_or(value->text() ? value->text() : "") +
         "\t";
}

std::string CollectionText(const RowCollection& collection) {
  std::string text = "Table Name: " + std::string(collection.tableName) + "\n";
  for (int32_t i = 0; i < collection.columnCount; ++i)
    text += " " + std::string(collection.columnNames[i]) + "\t";
  text += "RowState\n";
  for (const RowUnit* row = collection.firstRow; row != nullptr; row = row->next) {
    for (int32_t i = 0; i < collection.columnCount; ++i) {
      const auto at = static_cast<std::size_t>(i);
      text += ValueText(at < row->values.size() ? row->values[at] : std::nullopt,
                        collection.columnTypes[i]);
    }
    text += std::to_string(row->state) + "\n";
  }
  return text + "\n\n";
}

}  // namespace

void PrintDataObject(const DataObject* object) {
  LogTrace("@@@@  Inside PrintDataObject @@@@\n");
  if (object == nullptr) {
    LogError("Cannot print DataObject.  dataObjectPtr is NULL\n");
    return;
  }
  try {
    std::string text = "Tables selected in DataObject: \n";
    for (VectorNode* node = object->tableList->head.get(); node != nullptr; node = node->next.get())
      text += std::string(static_cast<const char*>(node->data)) + "\n";
    text += "*************\n";
    for (const RowCollection* collection = object->firstCollection; collection != nullptr;
         collection = collection->next)
      text += CollectionText(*collection);
    LogDebug("\n%s\n", text.c_str());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
}
