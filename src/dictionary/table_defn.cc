#include "dictionary/table_defn.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>

#include "log/log.h"
#include "platform/mutex.h"
#include "platform/thread_annotations.h"

namespace {

// The process-wide list of table definitions, in the order they were added.
// The list owns the definitions; their addresses never change while they are
// in it.
struct TableDefnRegistry {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<TableDefn>> definitions GUARDED_BY(mutex);
};

TableDefnRegistry& Registry() {
  // Never destroyed, so that definitions stay reachable during static
  // destruction of other subsystems.
  static TableDefnRegistry* registry = new TableDefnRegistry;
  return *registry;
}

bool SameNameIgnoringCase(const std::string& name, const char* other) {
  return strcasecmp(name.c_str(), other) == 0;
}

// The first definition named tableName (ignoring case). REQUIRES: tableName
// not none.
const TableDefn* FindDefinition(const TableDefnRegistry& registry, const char* tableName)
    REQUIRES(registry.mutex) {
  for (const std::unique_ptr<TableDefn>& definition : registry.definitions) {
    if (SameNameIgnoringCase(definition->tableName, tableName)) return definition.get();
  }
  return nullptr;
}

const ColumnDefnEntry* FindColumn(const TableDefn& definition, const char* columnName) {
  for (const ColumnDefnEntry& column : definition.columns) {
    if (column.columnName == columnName) return &column;
  }
  return nullptr;
}

// The column of a table for the lookups that share their failure messages.
const ColumnDefnEntry* LookUpColumn(const char* tableName, const char* columnName) {
  if (tableName == nullptr || columnName == nullptr) {
    LogError("Cannot fetch default value;\n");
    return nullptr;
  }
  const TableDefn* definition = GetTableDefn(tableName);
  if (definition == nullptr) {
    LogError("No definition found for table %s\n", tableName);
    return nullptr;
  }
  return FindColumn(*definition, columnName);
}

const char* TextOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : "(null)";
}

void PrintColumn(const ColumnDefnEntry& column) {
  LogDebug("Column Name : %s\n", column.columnName.c_str());
  LogDebug("Column Type : %d\n", static_cast<int>(column.dataType));
  LogDebug("Unique Flag : %s\n", column.isUnique ? "TRUE" : "FALSE");
  LogDebug("Description : %s\n", TextOrNull(column.description));
  LogDebug("---------------------------------------\n\n");
}

void PrintConstraints(const ConstraintDefn& constraints) {
  for (const std::string& keyColumn : constraints.primaryKeyColumns) {
    LogDebug("Primary key : %s\n\n", keyColumn.c_str());
  }
  if (constraints.foreignKeys.empty()) return;
  LogDebug("Foreign key Constraints\n");
  LogDebug("********************************\n");
  for (const ForeignKeyDefn& foreignKey : constraints.foreignKeys) {
    LogDebug("Column Name : %s\n", foreignKey.localColumn.c_str());
    LogDebug("Ref Column  : %s\n", foreignKey.referenceColumn.c_str());
    LogDebug("Tablename : %s\n", foreignKey.referenceTable.c_str());
  }
  LogDebug("********************************\n");
}

}  // namespace

std::optional<ColumnDefnEntry> fh::CreateColumnDefn(const fh::ColumnDefnSource& source) {
  if (!source.columnName) return std::nullopt;
  try {
    ColumnDefnEntry column;
    column.columnName = *source.columnName;
    if (!source.dataTypeName) {
      LogError("Column data type not supported - Error while creating column definition.\n");
    }
    const uint8_t declaredType =
        GetColumnTypeFromName(source.dataTypeName ? source.dataTypeName->c_str() : nullptr);
    if (source.defaultValueText) {
      // The default is read as the declared type, before CHAR is widened.
      int32_t length = static_cast<int32_t>(source.defaultValueText->size());
      column.defaultValue =
          ConvertStringToValue(source.defaultValueText->c_str(), declaredType, &length);
      column.defaultValueLength = column.defaultValue ? length : 0;
    }
    column.dataType = fh::WidenColumnType(declaredType, source.maxSize);
    column.isUnique = source.isUnique;
    column.generatorName = source.generatorName;
    column.description = source.description;
    column.maxSize = source.maxSize;
    column.isNullable = source.isNullable;
    column.allowedValues = source.allowedValues;
    return column;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::unique_ptr<TableDefn> fh::CreateTableDefn(std::string tableName,
                                               std::optional<std::string> description,
                                               std::vector<ColumnDefnEntry> columns,
                                               std::optional<ConstraintDefn> constraints) {
  std::unique_ptr<TableDefn> definition(new (std::nothrow) TableDefn);
  if (definition == nullptr) return nullptr;
  definition->tableName = std::move(tableName);
  definition->description = std::move(description);
  definition->columns = std::move(columns);
  definition->constraints = std::move(constraints);
  if (definition->constraints) {
    definition->constraints->primaryKeyCount =
        static_cast<int32_t>(definition->constraints->primaryKeyColumns.size());
  }
  return definition;
}

const TableDefn* fh::AddTableDefn(std::unique_ptr<TableDefn> definition) {
  if (definition == nullptr) return nullptr;
  TableDefnRegistry& registry = Registry();
  fh::MutexLock lock(&registry.mutex);
  try {
    registry.definitions.push_back(std::move(definition));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
  return registry.definitions.back().get();
}

const TableDefn* GetTableDefn(const char* tableName) {
  if (tableName == nullptr) {
    LogError("Table Name is NULL.\n");
    return nullptr;
  }
  TableDefnRegistry& registry = Registry();
  fh::MutexLock lock(&registry.mutex);
  return FindDefinition(registry, tableName);
}

const ColumnDefnEntry* GetColumnDefnEntry(const char* tableName, const char* columnName) {
  LogTrace("@@@@ Inside GetColumnDefnEntry @@@@\n");
  return LookUpColumn(tableName, columnName);
}

const fh::ColumnValue* GetDefaultValue(const char* tableName, const char* columnName, bool* found) {
  LogTrace("@@@@ Inside GetDefaultValue @@@@\n");
  const ColumnDefnEntry* column = LookUpColumn(tableName, columnName);
  if (column == nullptr) return nullptr;
  if (found != nullptr) *found = true;
  return column->defaultValue ? &*column->defaultValue : nullptr;
}

uint8_t GetColumnDataType(const char* tableName, const char* columnName) {
  const ColumnDefnEntry* column = GetColumnDefnEntry(tableName, columnName);
  return column != nullptr ? column->dataType : KES_SQL_NOT_SUPPORTED_TYPE;
}

const ForeignKeyDefn* GetForeignKeyDefn(const TableDefn* tableDefn, const char* localColumn) {
  if (tableDefn == nullptr || localColumn == nullptr) return nullptr;
  if (!tableDefn->constraints) {
    LogError("No constraint Definition \n");
    return nullptr;
  }
  if (tableDefn->constraints->foreignKeys.empty()) {
    LogError("No Foreignkey Entries in Definition \n");
    return nullptr;
  }
  for (const ForeignKeyDefn& foreignKey : tableDefn->constraints->foreignKeys) {
    if (SameNameIgnoringCase(foreignKey.localColumn, localColumn)) return &foreignKey;
  }
  return nullptr;
}

std::vector<const TableDefn*> GetTableDefnList() {
  TableDefnRegistry& registry = Registry();
  fh::MutexLock lock(&registry.mutex);
  std::vector<const TableDefn*> list;
  try {
    list.reserve(registry.definitions.size());
    for (const std::unique_ptr<TableDefn>& definition : registry.definitions) {
      list.push_back(definition.get());
    }
  } catch (const std::bad_alloc&) {
    list.clear();
  }
  return list;
}

std::size_t fh::GetTableDefnCount() {
  TableDefnRegistry& registry = Registry();
  fh::MutexLock lock(&registry.mutex);
  return registry.definitions.size();
}

void PrintTableDefn(const TableDefn* tableDefn) {
  if (tableDefn == nullptr || tableDefn->columns.empty()) return;
  LogDebug("Table Name : %s\n", tableDefn->tableName.c_str());
  LogDebug("Description: %s\n", TextOrNull(tableDefn->description));
  LogDebug("---------------------------------------\n\n");
  for (const ColumnDefnEntry& column : tableDefn->columns) PrintColumn(column);
  if (tableDefn->constraints) PrintConstraints(*tableDefn->constraints);
}

void PrintAllTableDefns() {
  for (const TableDefn* definition : GetTableDefnList()) PrintTableDefn(definition);
}

bool FreeTableDefn(const char* tableName) {
  if (tableName == nullptr) return false;
  std::unique_ptr<TableDefn> removed;
  TableDefnRegistry& registry = Registry();
  {
    fh::MutexLock lock(&registry.mutex);
    auto found = std::find_if(registry.definitions.begin(), registry.definitions.end(),
                              [tableName](const std::unique_ptr<TableDefn>& definition) {
                                return SameNameIgnoringCase(definition->tableName, tableName);
                              });
    if (found == registry.definitions.end()) return false;
    removed = std::move(*found);
    registry.definitions.erase(found);
  }
  return true;  // removed is freed here, outside the lock
}

void FreeAllTableDefns() {
  std::vector<std::unique_ptr<TableDefn>> removed;
  TableDefnRegistry& registry = Registry();
  {
    fh::MutexLock lock(&registry.mutex);
    removed.swap(registry.definitions);
  }
}
