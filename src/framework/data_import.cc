#include "framework/data_import.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/table_defn.h"
#include "framework/config_files.h"
#include "framework/sequence_generator.h"
#include "framework/table_saver.h"
#include "logging/log.h"
#include "platform/paths.h"
#include "store/table_data.h"
#include "store/table_rows.h"

namespace {

const char* NameOf(const xmlNode* node) { return reinterpret_cast<const char*>(node->name); }

// The value of node's attribute named name (ignoring case), or none.
std::optional<std::string> Attribute(const xmlNode* node, const std::string& name) {
  for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
    if (strcasecmp(reinterpret_cast<const char*>(attr->name), name.c_str()) != 0) continue;
    xmlChar* text = xmlNodeListGetString(node->doc, attr->children, 1);
    std::string value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
    xmlFree(text);
    return value;
  }
  return std::nullopt;
}

const ColumnDefnEntry* FindColumn(const TableDefn& table, const std::string& name) {
  for (const ColumnDefnEntry& column : table.columns) {
    if (strcasecmp(column.columnName.c_str(), name.c_str()) == 0) return &column;
  }
  return nullptr;
}

const ForeignKeyDefn* ForeignKeyOf(const TableDefn& table, const std::string& column) {
  if (!table.constraints) return nullptr;
  for (const ForeignKeyDefn& key : table.constraints->foreignKeys) {
    if (strcasecmp(key.localColumn.c_str(), column.c_str()) == 0) return &key;
  }
  return nullptr;
}

bool IsPrimaryKey(const TableDefn& table, const std::string& column) {
  if (!table.constraints) return false;
  for (const std::string& key : table.constraints->primaryKeyColumns) {
    if (strcasecmp(key.c_str(), column.c_str()) == 0) return true;
  }
  return false;
}

bool IsText(uint8_t type) {
  return type == KES_SQL_CHAR || type == KES_SQL_NCHAR || type == KES_SQL_BLOB ||
         type == KES_SQL_TEXT;
}
bool IsDateOrTime(uint8_t type) { return type >= KES_SQL_DATE && type <= KES_SQL_DATETIME; }
bool IsInteger(uint8_t type) {
  return type >= KES_SQL_TINYINT && type <= KES_SQL_UNSIGNED_LONG_INT;
}

// One import: the identifiers handed out for references, by reference text.
class Importer {
 public:
  bool ImportElement(const xmlNode* node, std::vector<const xmlNode*>& enclosing);
  // The defined tables met, in document order, each once.
  std::vector<std::string> tables;

 private:
  std::optional<ColumnValue> Value(const TableDefn& table, const ColumnDefnEntry& column,
                                   const std::string& text);
  std::optional<int64_t> Identifier(const TableDefn& table, const ColumnDefnEntry& column,
                                    const std::string& reference);
  std::optional<std::string> Inherited(const TableDefn& table, const ColumnDefnEntry& column,
                                       const xmlNode* node,
                                       const std::vector<const xmlNode*>& enclosing);
  bool AddRow(const TableDefn& table, const xmlNode* node,
              const std::vector<const xmlNode*>& enclosing);

  std::unordered_map<std::string, int64_t> identifiers_;
};

// The generated number for reference "table:column:local-id".
std::optional<int64_t> Importer::Identifier(const TableDefn& table, const ColumnDefnEntry& column,
                                            const std::string& reference) {
  if (auto found = identifiers_.find(reference); found != identifiers_.end()) return found->second;
  const std::size_t first = reference.find(':');
  const std::size_t second = reference.find(':', first + 1);
  const std::string localId = reference.substr(second + 1);
  const std::string ownKey = table.tableName + ":" + column.columnName + ":" + localId;
  if (auto found = identifiers_.find(ownKey); found != identifiers_.end()) {
    identifiers_[reference] = found->second;
    return found->second;
  }
  if (strcasecmp(table.tableName.c_str(), "Workflow_Statements") == 0 &&
      strcasecmp(column.columnName.c_str(), "NEXT_STATEMENT_ID") == 0 && localId == "0") {
    return 0;
  }
  // The column with a generator: this one, else the referenced column and the
  // columns its foreign keys lead to.
  const TableDefn* genTable = &table;
  const ColumnDefnEntry* genColumn = &column;
  std::string nextTable = reference.substr(0, first);
  std::string nextColumn = reference.substr(first + 1, second - first - 1);
  std::set<std::string> visited;
  while (!genColumn->generatorName) {
    std::string key = nextTable + ":" + nextColumn;
    std::transform(key.begin(), key.end(), key.begin(), ::tolower);
    if (!visited.insert(key).second) {
      LogError("Foreign key cycle at %s.%s\n", nextTable.c_str(), nextColumn.c_str());
      genColumn = nullptr;
      break;
    }
    genTable = GetTableDefn(nextTable.c_str());
    genColumn = genTable != nullptr ? FindColumn(*genTable, nextColumn) : nullptr;
    if (genColumn == nullptr) break;
    if (genColumn->generatorName) break;
    const ForeignKeyDefn* key2 = ForeignKeyOf(*genTable, genColumn->columnName);
    if (key2 == nullptr) {
      genColumn = nullptr;
      break;
    }
    nextTable = key2->referenceTable;
    nextColumn = key2->referenceColumn;
  }
  int64_t number = 0;
  if (genColumn != nullptr && genColumn->generatorName) {
    number = GenerateID(genTable->tableName.c_str(), genColumn);
    if (number == -1) {
      LogError("Cannot generate an identifier for %s\n", reference.c_str());
      return std::nullopt;
    }
  } else {
    number = std::strtoll(localId.c_str(), nullptr, 10);
  }
  identifiers_[reference] = number;
  identifiers_[ownKey] = number;
  return number;
}

std::optional<ColumnValue> Importer::Value(const TableDefn& table, const ColumnDefnEntry& column,
                                           const std::string& text) {
  std::string given = text;
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (second != std::string::npos && !IsDateOrTime(column.dataType)) {
    if (IsText(column.dataType)) {
      given = text.substr(second + 1);
    } else if (IsInteger(column.dataType)) {
      const std::optional<int64_t> number = Identifier(table, column, text);
      if (!number) return std::nullopt;
      return ColumnValue::FromInteger(column.dataType, *number);
    }
  }
  if (column.dataType == KES_SQL_BOOLEAN) {
    return ConvertStringToValue(strcasecmp(given.c_str(), "FALSE") == 0 ? "FALSE" : "TRUE",
                                KES_SQL_BOOLEAN, nullptr);
  }
  int32_t length = static_cast<int32_t>(given.size());
  return ConvertStringToValue(given.c_str(), column.dataType, &length);
}

// A descendant of node named table with attribute name, depth first.
std::optional<std::string> FromDescendant(const xmlNode* node, const std::string& table,
                                          const std::string& name) {
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type != XML_ELEMENT_NODE) continue;
    if (strcasecmp(NameOf(child), table.c_str()) == 0) {
      if (auto value = Attribute(child, name)) return value;
    }
    if (auto value = FromDescendant(child, table, name)) return value;
  }
  return std::nullopt;
}

std::optional<std::string> Importer::Inherited(const TableDefn& table,
                                               const ColumnDefnEntry& column, const xmlNode* node,
                                               const std::vector<const xmlNode*>& enclosing) {
  std::string attribute;
  const ForeignKeyDefn* key = ForeignKeyOf(table, column.columnName);
  if (key != nullptr) {
    attribute = key->referenceColumn;
  } else if (IsPrimaryKey(table, column.columnName)) {
    attribute = column.columnName;
  } else {
    return std::nullopt;
  }
  for (auto it = enclosing.rbegin(); it != enclosing.rend(); ++it) {
    if (auto value = Attribute(*it, attribute)) return value;
  }
  if (key != nullptr) return FromDescendant(node, key->referenceTable, attribute);
  return std::nullopt;
}

bool Importer::AddRow(const TableDefn& table, const xmlNode* node,
                      const std::vector<const xmlNode*>& enclosing) {
  std::vector<std::optional<ColumnValue>> values;
  for (const ColumnDefnEntry& column : table.columns) {
    std::optional<std::string> text = Attribute(node, column.columnName);
    if (!text) text = Inherited(table, column, node, enclosing);
    if (text) {
      std::optional<ColumnValue> value = Value(table, column, *text);
      if (!value && IsInteger(column.dataType) && text->find(':') != std::string::npos)
        return false;
      values.push_back(std::move(value));
    } else {
      values.push_back(column.defaultValue);
    }
  }
  std::unique_ptr<RowObject> row = CreateNewRowObject(std::move(values), {});
  return row != nullptr && AddNewRow(table.tableName.c_str(), row);
}

bool Importer::ImportElement(const xmlNode* node, std::vector<const xmlNode*>& enclosing) {
  const TableDefn* table = GetTableDefn(NameOf(node));
  if (table != nullptr) {
    if (GetTableDataByName(table->tableName.c_str()) == nullptr &&
        !CreateTable(table->tableName.c_str())) {
      return false;
    }
    if (!AddRow(*table, node, enclosing)) {
      LogError("Cannot create and add a new row while constructing tabledata from XML file.\n");
      return false;
    }
    if (std::none_of(tables.begin(), tables.end(), [&](const std::string& name) {
          return strcasecmp(name.c_str(), table->tableName.c_str()) == 0;
        })) {
      tables.push_back(table->tableName);
    }
  } else if (std::strstr(NameOf(node), "List") == nullptr) {
    LogError("Cannot create and add a new row while constructing tabledata from XML file.\n");
    return false;
  }
  enclosing.push_back(node);
  for (const xmlNode* child = node->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && !ImportElement(child, enclosing)) return false;
  }
  enclosing.pop_back();
  return true;
}

// names ordered so that a referenced table comes before the tables that
// refer to it (document order otherwise; a cycle keeps document order).
std::vector<std::string> SaveOrder(const std::vector<std::string>& names) {
  std::vector<std::string> ordered;
  std::set<std::string> placed;
  std::set<std::string> visiting;
  auto lower = [](std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), ::tolower);
    return text;
  };
  std::set<std::string> wanted;
  for (const std::string& name : names) wanted.insert(lower(name));
  auto place = [&](auto&& self, const std::string& name) -> void {
    const std::string key = lower(name);
    if (placed.count(key) != 0 || visiting.count(key) != 0) return;
    visiting.insert(key);
    const TableDefn* table = GetTableDefn(name.c_str());
    if (table != nullptr && table->constraints) {
      for (const ForeignKeyDefn& fk : table->constraints->foreignKeys) {
        if (wanted.count(lower(fk.referenceTable)) != 0) {
          const TableDefn* referenced = GetTableDefn(fk.referenceTable.c_str());
          if (referenced != nullptr) self(self, referenced->tableName);
        }
      }
    }
    placed.insert(key);
    ordered.push_back(name);
  };
  for (const std::string& name : names) place(place, name);
  return ordered;
}

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

}  // namespace

namespace {

// Imports the table elements below root and saves every table they touched,
// referenced tables first. constructFailure is the line logged when a row
// cannot be made; source, when given, names what was read in "Cannot create
// DO from %s.\n". Throws std::bad_alloc.
bool ImportAndSave(const xmlNode* root, const char* constructFailure, const char* source) {
  Importer importer;
  std::vector<const xmlNode*> enclosing{root};
  for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && !importer.ImportElement(child, enclosing)) {
      LogError("%s", constructFailure);
      if (source != nullptr) LogError("Cannot create DO from %s.\n", source);
      return false;
    }
  }
  bool saved = true;
  for (const std::string& name : SaveOrder(importer.tables)) {
    if (!SaveTable(name.c_str())) saved = false;
  }
  return saved;
}

// ImportAndSave of a parsed document's root element (doc may be none: a
// parse failure, logged with source).
bool ImportDocument(std::unique_ptr<xmlDoc, DocFree> doc, const char* constructFailure,
                    const char* source) {
  const xmlNode* root = doc != nullptr ? xmlDocGetRootElement(doc.get()) : nullptr;
  if (root == nullptr) {
    LogError("error: could not parse file file.xml\n");
    if (source != nullptr) LogError("Cannot create DO from %s.\n", source);
    return false;
  }
  return ImportAndSave(root, constructFailure, source);
}

}  // namespace

bool SaveDataInXML(const char* path) {
  LogTrace("@@@@@ Inside SaveDataInXML @@@@@\n");
  if (path == nullptr) return false;
  try {
    // libxml2 takes '/' only; configuration paths may use '\\'.
    std::unique_ptr<xmlDoc, DocFree> doc(xmlParseFile(fh::NormalizePath(path).c_str()));
    return ImportDocument(std::move(doc), "Cannot construct table data from XML file.\n", path);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool SaveDataInXMLBuffer(const char* buffer, int size) {
  LogTrace("@@@@@ Inside SaveDataInXMLBuffer @@@@@\n");
  if (buffer == nullptr || size <= 0) return false;
  try {
    std::unique_ptr<xmlDoc, DocFree> doc(xmlParseMemory(buffer, size));
    return ImportDocument(std::move(doc), "Cannot construct table data from XML buffer.\n",
                          nullptr);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool SaveDataInXMLNode(const xmlNode* node) {
  LogTrace("@@@@@ Inside SaveDataInXMLNode @@@@@\n");
  if (node == nullptr) return false;
  try {
    return ImportAndSave(node, "Cannot construct table data from buffer node.\n", nullptr);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

bool SaveDefaultData() {
  LogTrace("\t@@@@@ Inside SaveDefaultData @@@@@\n");
  OpenedConfigFile list = OpenConfigFile("defaultdata.txt");
  if (list.stream == nullptr) {
    LogInfo("No default data to be prepopulated.\n");
    return true;
  }
  bool stored = true;
  std::string name;
  while (ReadConfigToken(list.stream.get(), name)) {
    const std::optional<std::string> path = ComposeDataPath(list.location, name.c_str());
    if (!path || !SaveDataInXML(path->c_str())) stored = false;
  }
  return stored;
}
