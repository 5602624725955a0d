#include "dictionary/data_dict_checks.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/sql_text.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"

namespace fh {

namespace {

constexpr const char* kSequenceTable = "SeqGenState";

// Where a table was read: its file and line.
struct TableOrigin {
  std::string name;  // as written
  std::string file;
  int line = 0;
};

struct Findings {
  Mutex mutex;
  int faults GUARDED_BY(mutex) = 0;
  std::map<std::string, TableOrigin> tables GUARDED_BY(mutex);  // keyed in lower case
};

Findings& State() {
  static NoDestructor<Findings> findings;
  return findings.get();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

void CountFault() {
  Findings& state = State();
  MutexLock lock(&state.mutex);
  ++state.faults;
}

// The data-type texts of the tree's columns, by column name (none: the
// column has no data-type text).
std::map<std::string, const std::string*> DataTypeTexts(const XmlTagInfo* table) {
  std::map<std::string, const std::string*> types;
  for (const XmlTagInfo* section = table->child.get(); section; section = section->sibling.get()) {
    if (!section->IsNamed("columns")) continue;
    for (const XmlTagInfo* column = section->child.get(); column; column = column->sibling.get()) {
      const std::string* name = column->FindAttribute("name");
      if (name == nullptr) continue;
      const std::string* type = nullptr;
      for (const XmlTagInfo* tag = column->child.get(); tag; tag = tag->sibling.get()) {
        if (tag->IsNamed("data-type")) type = tag->FirstValue();
      }
      types.emplace(*name, type);
    }
  }
  return types;
}

// true when the tree holds at least one column record (a table without any
// is skipped silently by the builder, as the file format allows).
bool HasColumnRecords(const XmlTagInfo* table) {
  for (const XmlTagInfo* section = table->child.get(); section; section = section->sibling.get()) {
    if (section->IsNamed("columns") && section->child) return true;
  }
  return false;
}

// true for a data-type text that names a type: one GetColumnTypeFromName
// knows, or the name of the "not supported" code itself.
bool NamesAType(const std::string& text) {
  return GetColumnTypeFromName(text.c_str()) != KES_SQL_NOT_SUPPORTED_TYPE ||
         strcasecmp(text.c_str(), GetColumnTypeSymbol(KES_SQL_NOT_SUPPORTED_TYPE)) == 0;
}

bool HasColumn(const TableDefn& table, const std::string& name) {
  return std::any_of(table.columns.begin(), table.columns.end(),
                     [&](const ColumnDefnEntry& column) { return column.columnName == name; });
}

// Notes where built was read; false when it is a second table of its name
// (a lookup finds an earlier one; *first then names where that one was read,
// when the checks saw it).
bool NoteTable(const TableDefn* built, const char* file, int line, TableOrigin* first) {
  const bool isFirst = GetTableDefn(built->tableName.c_str()) == built;
  Findings& state = State();
  MutexLock lock(&state.mutex);
  const std::string key = Lower(built->tableName);
  if (isFirst) {
    state.tables[key] = TableOrigin{built->tableName, file, line};
    return true;
  }
  const auto at = state.tables.find(key);
  *first = at != state.tables.end() ? at->second : TableOrigin{built->tableName, "?", 0};
  return false;
}

void CheckColumns(const TableDefn& table, const XmlTagInfo* tree, const char* file, int line) {
  const std::map<std::string, const std::string*> types = DataTypeTexts(tree);
  std::set<std::string> seen;
  const char* tableName = table.tableName.c_str();
  for (const ColumnDefnEntry& column : table.columns) {
    const char* name = column.columnName.c_str();
    if (!IsPlainIdentifier(column.columnName)) {
      ReportDataDictFault(file, line, "column \"%s\" of table %s is not a plain identifier", name,
                          tableName);
    }
    if (!seen.insert(column.columnName).second) {
      ReportDataDictFault(file, line, "column %s of table %s is defined twice", name, tableName);
    }
    if (column.generatorName && !IsPlainIdentifier(*column.generatorName)) {
      ReportDataDictFault(file, line,
                          "generator name \"%s\" of column %s of table %s is not a plain "
                          "identifier",
                          column.generatorName->c_str(), name, tableName);
    }
    const auto type = types.find(column.columnName);
    const std::string* typeName = type != types.end() ? type->second : nullptr;
    if (typeName == nullptr) {
      ReportDataDictFault(file, line, "column %s of table %s has no data-type", name, tableName);
    } else if (!NamesAType(*typeName)) {
      ReportDataDictFault(file, line, "column %s of table %s: unknown data type \"%s\"", name,
                          tableName, typeName->c_str());
    }
  }
}

void CheckKeyColumns(const TableDefn& table, const char* file, int line) {
  if (!table.constraints) return;
  const char* tableName = table.tableName.c_str();
  for (const std::string& key : table.constraints->primaryKeyColumns) {
    if (!HasColumn(table, key)) {
      ReportDataDictFault(file, line, "primary-key column %s is not a column of table %s",
                          key.c_str(), tableName);
    }
  }
  for (const ForeignKeyDefn& key : table.constraints->foreignKeys) {
    if (!HasColumn(table, key.localColumn)) {
      ReportDataDictFault(file, line, "fk-local-column %s is not a column of table %s",
                          key.localColumn.c_str(), tableName);
    }
  }
}

}  // namespace

void ResetDataDictChecks() {
  Findings& state = State();
  MutexLock lock(&state.mutex);
  state.faults = 0;
  state.tables.clear();
}

void ReportDataDictFault(const char* file, int line, const char* format, ...) {
  char message[1024];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  if (line > 0) {
    LogError("%s:%d: %s\n", file != nullptr ? file : "", line, message);
  } else {
    LogError("%s: %s\n", file != nullptr ? file : "", message);
  }
  CountFault();
}

void CheckLoadedTable(const XmlTagInfo* tableTree, const TableDefn* built, const char* file,
                      int line) {
  const std::string* name = tableTree != nullptr ? tableTree->FindAttribute("name") : nullptr;
  const char* shown = name != nullptr ? name->c_str() : "(without a name)";
  if (built == nullptr) {
    if (tableTree == nullptr || name == nullptr || HasColumnRecords(tableTree)) {
      ReportDataDictFault(file, line, "table %s is not loaded", shown);
    }
    return;
  }
  if (!IsPlainIdentifier(built->tableName)) {
    ReportDataDictFault(file, line, "table name \"%s\" is not a plain identifier",
                        built->tableName.c_str());
  }
  TableOrigin first;
  if (!NoteTable(built, file, line, &first)) {
    ReportDataDictFault(file, line, "table %s is defined twice (first at %s:%d)",
                        built->tableName.c_str(), first.file.c_str(), first.line);
  }
  CheckColumns(*built, tableTree, file, line);
  CheckKeyColumns(*built, file, line);
}

void CheckTableReferences() {
  std::vector<TableOrigin> tables;
  {
    Findings& state = State();
    MutexLock lock(&state.mutex);
    for (const auto& entry : state.tables) tables.push_back(entry.second);
  }
  for (const TableOrigin& origin : tables) {
    const TableDefn* table = GetTableDefn(origin.name.c_str());
    if (table == nullptr) continue;
    const char* file = origin.file.c_str();
    const char* name = table->tableName.c_str();
    if (table->constraints) {
      for (const ForeignKeyDefn& key : table->constraints->foreignKeys) {
        const TableDefn* target = GetTableDefn(key.referenceTable.c_str());
        if (target == nullptr) {
          ReportDataDictFault(file, origin.line,
                              "foreign key of table %s names table %s, which "
                              "no data dictionary defines",
                              name, key.referenceTable.c_str());
        } else if (!HasColumn(*target, key.referenceColumn)) {
          ReportDataDictFault(file, origin.line,
                              "foreign key of table %s names column %s, which table %s does not "
                              "have",
                              name, key.referenceColumn.c_str(), target->tableName.c_str());
        }
      }
    }
    for (const ColumnDefnEntry& column : table->columns) {
      if (column.generatorName && GetTableDefn(kSequenceTable) == nullptr) {
        ReportDataDictFault(file, origin.line,
                            "column %s of table %s is generated, but no data dictionary defines "
                            "the table %s that keeps the sequences",
                            column.columnName.c_str(), name, kSequenceTable);
      }
    }
  }
}

int DataDictFaultCount() {
  Findings& state = State();
  MutexLock lock(&state.mutex);
  return state.faults;
}

}  // namespace fh
