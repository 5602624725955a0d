#include "framework/data_import.h"

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <strings.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "config/config_files.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/foreign_keys.h"
#include "dictionary/table_defn.h"
#include "framework/table_saver.h"
#include "log/log.h"
#include "platform/paths.h"
#include "sequence/sequence_generator.h"
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
  return fh::ReferenceOf(table, column);
}

bool IsPrimaryKey(const TableDefn& table, const std::string& column) {
  return fh::IsPrimaryKeyColumn(table, column);
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
  // source names what is read in error lines.
  explicit Importer(const char* source) : source_(source != nullptr ? source : "XML data") {}
  bool ImportElement(const xmlNode* node, std::vector<const xmlNode*>& enclosing);
  // The defined tables met, in document order, each once.
  std::vector<std::string> tables;

 private:
  std::optional<fh::ColumnValue> Value(const TableDefn& table, const ColumnDefnEntry& column,
                                       const std::string& text);
  std::optional<int64_t> Identifier(const TableDefn& table, const ColumnDefnEntry& column,
                                    const std::string& reference);
  std::optional<std::string> Inherited(const TableDefn& table, const ColumnDefnEntry& column,
                                       const xmlNode* node,
                                       const std::vector<const xmlNode*>& enclosing);
  bool AddRow(const TableDefn& table, const xmlNode* node,
              const std::vector<const xmlNode*>& enclosing);

  std::string source_;
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

// true when text is "table:column:local-id" whose table is defined and has
// that column; any other text is a value as written.
bool IsReference(const std::string& text, std::size_t first, std::size_t second) {
  if (second == std::string::npos) return false;
  const TableDefn* named = GetTableDefn(text.substr(0, first).c_str());
  return named != nullptr && FindColumn(*named, text.substr(first + 1, second - first - 1));
}

bool IsDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// true when text is a decimal integer inside the range of type.
bool FitsInteger(const std::string& text, uint8_t type) {
  const bool negative = !text.empty() && text[0] == '-';
  const std::string_view digits =
      std::string_view(text).substr(!text.empty() && (text[0] == '-' || text[0] == '+') ? 1 : 0);
  if (!IsDigits(digits)) return false;
  errno = 0;
  if (type == KES_SQL_UNSIGNED_LONG_INT) {
    if (negative) return std::strtoull(text.c_str() + 1, nullptr, 10) == 0 && errno == 0;
    std::strtoull(text.c_str(), nullptr, 10);
    return errno == 0;
  }
  const long long number = std::strtoll(text.c_str(), nullptr, 10);
  if (errno != 0) return false;
  switch (type) {
    case KES_SQL_TINYINT:
      return number >= INT8_MIN && number <= INT8_MAX;
    case KES_SQL_UNSIGNED_TINYINT:
      return number >= 0 && number <= UINT8_MAX;
    case KES_SQL_SMALLINT:
      return number >= INT16_MIN && number <= INT16_MAX;
    case KES_SQL_UNSIGNED_SMALLINT:
      return number >= 0 && number <= UINT16_MAX;
    case KES_SQL_INT:
      return number >= INT32_MIN && number <= INT32_MAX;
    case KES_SQL_UNSIGNED_INT:
      return number >= 0 && number <= UINT32_MAX;
    default:
      return true;
  }
}

// true when text is a decimal number: optional sign, digits, optional "."
// and digits (at least one digit in all).
bool IsDecimalText(const std::string& text) {
  std::string_view rest(text);
  if (!rest.empty() && (rest[0] == '-' || rest[0] == '+')) rest.remove_prefix(1);
  const std::size_t point = rest.find('.');
  const std::string_view whole = rest.substr(0, point);
  const std::string_view fraction =
      point == std::string_view::npos ? std::string_view() : rest.substr(point + 1);
  return (IsDigits(whole) || whole.empty()) && (IsDigits(fraction) || fraction.empty()) &&
         !(whole.empty() && fraction.empty());
}

bool ValidDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return day <= (month == 2 && !leap ? 28 : kDays[month - 1]);
}

bool ValidTime(int hour, int minute, int second) {
  return hour >= 0 && hour <= 23 && minute >= 0 && minute <= 59 && second >= 0 && second <= 59;
}

// true when text is a real date "YYYY-MM-DD", time "HH:MM:SS" or both
// (blank-separated) as type asks; a date may carry a time and a date-time
// may lack one.
bool FitsDateTime(const std::string& text, uint8_t type) {
  int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0, used = 0;
  if (type == KES_SQL_TIME) {
    return std::sscanf(text.c_str(), "%d:%d:%d%n", &a, &b, &c, &used) == 3 &&
           static_cast<std::size_t>(used) == text.size() && ValidTime(a, b, c);
  }
  if (std::sscanf(text.c_str(), "%d-%d-%d%n", &a, &b, &c, &used) != 3 || !ValidDate(a, b, c))
    return false;
  if (static_cast<std::size_t>(used) == text.size()) return true;
  const char* rest = text.c_str() + used;
  return std::sscanf(rest, " %d:%d:%d%n", &d, &e, &f, &used) == 3 &&
         static_cast<std::size_t>(used) == std::strlen(rest) && ValidTime(d, e, f);
}

// true when text can be read as a value of type without losing anything.
bool FitsColumn(const std::string& text, uint8_t type) {
  if (IsInteger(type)) return FitsInteger(text, type);
  if (type == KES_SQL_DECIMAL || type == KES_SQL_NUMERIC) return IsDecimalText(text);
  if (type == KES_SQL_FLOAT || type == KES_SQL_REAL || type == KES_SQL_DOUBLE) {
    char* end = nullptr;
    errno = 0;
    std::strtod(text.c_str(), &end);
    return !text.empty() && errno == 0 && end == text.c_str() + text.size();
  }
  if (IsDateOrTime(type)) return FitsDateTime(text, type);
  return true;
}

std::optional<fh::ColumnValue> Importer::Value(const TableDefn& table,
                                               const ColumnDefnEntry& column,
                                               const std::string& text) {
  std::string given = text;
  const std::size_t first = text.find(':');
  const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  if (IsReference(text, first, second) && !IsDateOrTime(column.dataType)) {
    if (IsText(column.dataType)) {
      given = text.substr(second + 1);
    } else if (IsInteger(column.dataType)) {
      const std::optional<int64_t> number = Identifier(table, column, text);
      if (!number) return std::nullopt;
      return fh::ColumnValue::FromInteger(column.dataType, *number);
    }
  }
  if (column.dataType == KES_SQL_BOOLEAN) {
    return ConvertStringToValue(strcasecmp(given.c_str(), "FALSE") == 0 ? "FALSE" : "TRUE",
                                KES_SQL_BOOLEAN, nullptr);
  }
  if (!FitsColumn(given, column.dataType)) {
    LogError("Cannot import %s: element %s, column %s: \"%s\" is no %s value.\n", source_.c_str(),
             table.tableName.c_str(), column.columnName.c_str(), given.c_str(),
             fh::GetColumnTypeSymbol(column.dataType));
    return std::nullopt;
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
  std::vector<std::optional<fh::ColumnValue>> values;
  for (const ColumnDefnEntry& column : table.columns) {
    std::optional<std::string> text = Attribute(node, column.columnName);
    if (!text) text = Inherited(table, column, node, enclosing);
    if (text) {
      std::optional<fh::ColumnValue> value = Value(table, column, *text);
      if (!value) return false;
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
  Importer importer(source);
  std::vector<const xmlNode*> enclosing{root};
  for (const xmlNode* child = root->children; child != nullptr; child = child->next) {
    if (child->type == XML_ELEMENT_NODE && !importer.ImportElement(child, enclosing)) {
      LogError("%s", constructFailure);
      if (source != nullptr) LogError("Cannot create DO from %s.\n", source);
      return false;
    }
  }
  bool saved = true;
  for (const std::string& name : fh::OrderNamesReferencedFirst(importer.tables)) {
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

bool fh::SaveDataInXMLBuffer(const char* buffer, int size) {
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

bool fh::SaveDataInXMLNode(const xmlNode* node) {
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
  fh::OpenedConfigFile list = fh::OpenConfigFile("defaultdata.txt");
  if (list.stream == nullptr) {
    LogInfo("No default data to be prepopulated.\n");
    return true;
  }
  bool stored = true;
  std::string name;
  while (fh::ReadConfigToken(list.stream.get(), name)) {
    const std::optional<std::string> path = fh::ComposeDataPath(list.location, name.c_str());
    if (!path || !SaveDataInXML(path->c_str())) stored = false;
  }
  return stored;
}
