#include "dictionary/data_dict_builder.h"

#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "util/c_string.h"
#include "util/number_text.h"

namespace {

// Why a table was abandoned; the message has been logged.
struct TableAbandoned {};

const char* TextOf(const XmlTagInfo* tag) {
  const std::string* text = tag != nullptr ? tag->FirstValue() : nullptr;
  return text != nullptr ? text->c_str() : nullptr;
}

const XmlTagInfo* FindChild(const XmlTagInfo* parent, const char* name) {
  for (const XmlTagInfo* child = parent->child.get(); child; child = child->sibling.get()) {
    if (child->IsNamed(name)) return child;
  }
  return nullptr;
}

AllowedValues CopyAllowedValues(std::vector<std::string> values, bool isRange) {
  try {
    AllowedValues allowed;
    allowed.values = std::move(values);
    allowed.isRange = isRange;
    return allowed;
  } catch (const std::bad_alloc&) {
    LogError("Cannot copy allowed values.\n");
    throw TableAbandoned();
  }
}

// The allowed range starting at the from record; none when from has no text.
std::optional<AllowedValues> RangeFrom(const XmlTagInfo* from) {
  const char* lower = TextOf(from);
  if (lower == nullptr) return std::nullopt;
  const XmlTagInfo* to = from->sibling.get();
  const char* upper = (to != nullptr && to->IsNamed("to")) ? TextOf(to) : nullptr;
  if (upper == nullptr) {
    LogError("In the allowed values attribute, 'to' tag is missing.\n");
    throw TableAbandoned();
  }
  std::vector<std::string> ends;
  try {
    ends = {lower, upper};
  } catch (const std::bad_alloc&) {
    LogError("Cannot copy allowed values.\n");
    throw TableAbandoned();
  }
  return CopyAllowedValues(std::move(ends), true);
}

// Reads one column record into source; maxSize carries the table's current
// max-size in and out.
fh::ColumnDefnSource ReadColumn(const XmlTagInfo* column, const std::string& tableName,
                                int32_t& maxSize) {
  fh::ColumnDefnSource source;
  const std::string* name = column->FindAttribute("name");
  if (name == nullptr) {
    LogError("Column without a name attribute in table %s - table not loaded.\n",
             tableName.c_str());
    throw TableAbandoned();
  }
  source.columnName = *name;
  for (const XmlTagInfo* tag = column->child.get(); tag; tag = tag->sibling.get()) {
    const char* text = TextOf(tag);
    if (tag->IsNamed("from")) {
      if (std::optional<AllowedValues> range = RangeFrom(tag)) source.allowedValues = range;
      continue;
    }
    if (tag->IsNamed("value")) {
      if (!tag->values.empty()) source.allowedValues = CopyAllowedValues(tag->values, false);
      continue;
    }
    if (text == nullptr) continue;  // an empty element is an absent one
    if (tag->IsNamed("data-type")) {
      source.dataTypeName = text;
    } else if (tag->IsNamed("nullable")) {
      source.isNullable = StringCompareNoCase(text, "true") == 0;
    } else if (tag->IsNamed("max-size")) {
      maxSize = ConvertStringToInteger(text);
    } else if (tag->IsNamed("description")) {
      source.description = text;
    } else if (tag->IsNamed("default-value")) {
      source.defaultValueText = text;
    } else if (tag->IsNamed("generator-name")) {
      source.generatorName = text;
    } else if (tag->IsNamed("unique")) {
      source.isUnique = std::strcmp(text, "true") == 0;
    }
  }
  source.maxSize = maxSize;
  return source;
}

std::vector<ColumnDefnEntry> BuildColumns(const XmlTagInfo* columnList,
                                          const std::string& tableName) {
  std::vector<ColumnDefnEntry> columns;
  int32_t maxSize = 0;
  for (const XmlTagInfo* column = columnList->child.get(); column; column = column->sibling.get()) {
    std::optional<ColumnDefnEntry> entry =
        fh::CreateColumnDefn(ReadColumn(column, tableName, maxSize));
    if (!entry) throw std::bad_alloc();  // a named column fails only for want of memory
    columns.push_back(std::move(*entry));
  }
  return columns;
}

std::vector<std::string> BuildPrimaryKey(const XmlTagInfo* primaryKey) {
  std::vector<std::string> keyColumns;
  for (const XmlTagInfo* tag = primaryKey->child.get(); tag; tag = tag->sibling.get()) {
    if (const char* text = TextOf(tag)) keyColumns.emplace_back(text);
  }
  return keyColumns;
}

void AddForeignKey(const XmlTagInfo* foreignKey, const std::string& tableName,
                   std::vector<ForeignKeyDefn>& entries) {
  const std::string* referenceTable = foreignKey->FindAttribute("reference-table-name");
  if (referenceTable == nullptr) {
    LogError("Foreign key without reference-table-name in table %s - table not loaded.\n",
             tableName.c_str());
    throw TableAbandoned();
  }
  const std::string* bidirectional = foreignKey->FindAttribute("isbidirectional");
  const bool isBidirectional = bidirectional != nullptr && *bidirectional == "true";
  const XmlTagInfo* fkColumns = foreignKey->child.get();
  if (fkColumns == nullptr || !fkColumns->IsNamed("fk-columns")) {
    LogDebug("fk-columns tag not found \n");
    return;
  }
  const XmlTagInfo* constraints = fkColumns->sibling.get();
  const char* constraintText = (constraints != nullptr && constraints->IsNamed("fk-constraints"))
                                   ? TextOf(constraints)
                                   : nullptr;
  const bool onDeleteCascade =
      constraintText != nullptr && std::strcmp(constraintText, "ON-DELETE-CASCADE") == 0;
  for (const XmlTagInfo* pair = fkColumns->child.get(); pair; pair = pair->sibling.get()) {
    const char* local = TextOf(FindChild(pair, "fk-local-column"));
    const char* reference = TextOf(FindChild(pair, "fk-reference-column"));
    if (local == nullptr || reference == nullptr) {
      LogError(
          "fk-column without fk-local-column or fk-reference-column in table %s - table not "
          "loaded.\n",
          tableName.c_str());
      throw TableAbandoned();
    }
    ForeignKeyDefn entry;
    entry.localColumn = local;
    entry.referenceColumn = reference;
    entry.referenceTable = *referenceTable;
    entry.onDeleteCascade = onDeleteCascade;
    entry.isBidirectional = isBidirectional;
    entries.push_back(std::move(entry));
  }
}

const TableDefn* BuildTable(const XmlTagInfo* table) {
  const std::string* name = table->FindAttribute("name");
  if (name == nullptr) {
    LogError("Table definition without a name attribute - table not loaded.\n");
    return nullptr;
  }
  const XmlTagInfo* first = table->child.get();
  if (first == nullptr) return nullptr;
  std::optional<std::string> description;
  const XmlTagInfo* columnList = first;
  if (first->IsNamed("description")) {
    if (const char* text = TextOf(first)) description = text;
    columnList = first->sibling.get();
  }
  if (columnList == nullptr || !columnList->IsNamed("columns") || !columnList->child) {
    return nullptr;
  }

  std::vector<ColumnDefnEntry> columns = BuildColumns(columnList, *name);
  ConstraintDefn constraints;
  const XmlTagInfo* next = columnList->sibling.get();
  if (next != nullptr && next->IsNamed("primary-key")) {
    constraints.primaryKeyColumns = BuildPrimaryKey(next);
    next = next->sibling.get();
  }
  if (next != nullptr && next->IsNamed("foreign-keys")) {
    for (const XmlTagInfo* key = next->child.get(); key; key = key->sibling.get()) {
      AddForeignKey(key, *name, constraints.foreignKeys);
    }
  }
  constraints.primaryKeyCount = static_cast<int32_t>(constraints.primaryKeyColumns.size());

  std::unique_ptr<TableDefn> definition = fh::CreateTableDefn(
      *name, std::move(description), std::move(columns), std::move(constraints));
  if (!definition) throw std::bad_alloc();
  const TableDefn* registered = fh::AddTableDefn(std::move(definition));
  if (registered == nullptr) throw std::bad_alloc();
  LogTrace("\t@@@@ Loaded Table definition Successfully @@@@\n");
  return registered;
}

}  // namespace

const TableDefn* LoadTableDefnFromTagInfo(const XmlTagInfo* tableTree) {
  if (tableTree == nullptr) return nullptr;
  try {
    return BuildTable(tableTree);
  } catch (const TableAbandoned&) {
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return nullptr;
}
