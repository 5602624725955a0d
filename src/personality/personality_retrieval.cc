#include "personality/personality_retrieval.h"

#include <strings.h>

#include <memory>
#include <new>
#include <optional>

#include "dataobject/data_object_joins.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_result_set.h"
#include "framework/index_table.h"
#include "log/log.h"
#include "personality/personality.h"
#include "personality/personality_index.h"
#include "sql/index_table_sql.h"

namespace {

bool SameName(const std::string& a, const std::string& b) {
  return strcasecmp(a.c_str(), b.c_str()) == 0;
}

// Appends name unless listed already (ignoring case).
void AddOnce(std::vector<std::string>& tables, const std::string& name) {
  for (const std::string& table : tables) {
    if (SameName(table, name)) return;
  }
  tables.push_back(name);
}

// The personality named name, with the retrieval functions' messages.
const PersonalityDefn* FindPersonality(const char* name) {
  if (name == nullptr) {
    LogError("Cannot get Personality.  personalityName is NULL\n");
    return nullptr;
  }
  const PersonalityDefn* definition = GetPersonalityDefn(name);
  if (definition == nullptr) LogError("No personality found for %s\n", name);
  return definition;
}

// The dominant table, then each constituent once (see the header).
std::vector<std::string> PersonalityTables(const PersonalityDefn& definition) {
  std::vector<std::string> tables{definition.dominantTable};
  for (const ConstituentTableDefn& table : definition.constituentTables) {
    if (table.tableIndex == 0 || table.tableName.empty()) continue;
    AddOnce(tables, table.tableName);
  }
  return tables;
}

// Owns a select query until the end of the scope.
struct QueryFree {
  void operator()(SelectQuery* query) const { FreeSelectQuery(query); }
};
using QueryHolder = std::unique_ptr<SelectQuery, QueryFree>;

// Owns a data object until released.
struct ObjectFree {
  void operator()(DataObject* object) const { fh::FreeDataObject(object); }
};
using ObjectHolder = std::unique_ptr<DataObject, ObjectFree>;

// Selects the constituent's columns and joins it to the dominant table.
bool JoinConstituent(SelectQuery* query, const TableDefn& dominant, const TableDefn& constituent,
                     bool mandatory) {
  if (!fh::dataobject::RelatedByForeignKey(dominant, constituent)) {
    LogError("No foreign key between %s and %s\n", constituent.tableName.c_str(),
             dominant.tableName.c_str());
    return false;
  }
  return fh::dataobject::AddForeignKeyJoin(query, dominant, constituent,
                                           mandatory ? INNER_JOIN : LEFT_JOIN);
}

const TableDefn* DefinitionOf(const std::string& table) {
  const TableDefn* definition = GetTableDefn(table.c_str());
  if (definition == nullptr) LogError("No table definition found for %s\n", table.c_str());
  return definition;
}

// The personality's select query (see GetDOFromPersonality); none on
// failure, logged.
QueryHolder PersonalityQuery(const PersonalityDefn& personality) {
  const TableDefn* dominant = DefinitionOf(personality.dominantTable);
  if (dominant == nullptr) return nullptr;
  QueryHolder query(CreateSelectQuery());
  if (query == nullptr || !fh::dataobject::AddAllColumns(query.get(), *dominant)) return nullptr;
  std::vector<std::string> joined{dominant->tableName};
  for (const ConstituentTableDefn& entry : personality.constituentTables) {
    if (entry.tableIndex == 0 || entry.tableName.empty()) continue;
    const TableDefn* constituent = DefinitionOf(entry.tableName);
    if (constituent == nullptr) return nullptr;
    const std::size_t before = joined.size();
    AddOnce(joined, constituent->tableName);
    if (joined.size() == before) continue;
    if (!JoinConstituent(query.get(), *dominant, *constituent, entry.mandatory != 0))
      return nullptr;
  }
  if (joined.size() == 1) {
    fh::TableRef* table = CreateTableRef(dominant->tableName.c_str(), nullptr, query->pool);
    if (table == nullptr || !AddTable(query.get(), table)) return nullptr;
  }
  return query;
}

// Merges each part into a fresh object; the parts are released as they go.
template <typename MakePart>
DataObject* MergeParts(const std::vector<std::string>& names, MakePart makePart) {
  ObjectHolder merged(CreateDataObject());
  if (merged == nullptr) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
  for (const std::string& name : names) {
    ObjectHolder part(makePart(name.c_str()));
    if (part == nullptr || MergeDataObject(merged.get(), part.get()) == nullptr) {
      LogError("Cannot Merge DO's.\n");
      return nullptr;
    }
  }
  return merged.release();
}

// The constituent tables the dominant row's index entries name, after the
// dominant table, each once; none when there are none or the index table
// cannot be read (logged).
std::optional<std::vector<std::string>> IndexedTables(const TableDefn& dominant,
                                                      const std::string& condition) {
  const std::string query = fh::IndexTableSelectText(dominant.tableName, condition);
  const char* connection = fh::GetIndexTableConnection(dominant.tableName.c_str());
  std::unique_ptr<DBResultSet> rows;
  if (ConnectionHandle* handle = GetConnectionHandle(connection); handle != nullptr) {
    rows = ExecuteQuery(handle, query.c_str());
    ReleaseConnectionHandle(connection);
  }
  std::vector<std::string> tables{dominant.tableName};
  while (rows != nullptr && NextDBResultSetRow(rows.get()) != nullptr) {
    const fh::DBRow& fetched = rows->rows[static_cast<std::size_t>(rows->cursor)];
    if (fetched.empty() || !fetched[0] || fetched[0]->isDateTime()) continue;
    const auto& value = fetched[0];
    std::string name = value->text();
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (!name.empty()) AddOnce(tables, name);
  }
  if (rows == nullptr || rows->rowCount == 0) {
    LogError("Query: %s. No tables indexed.  Cannot deep retrieve DO for %s\n", query.c_str(),
             dominant.tableName.c_str());
    return std::nullopt;
  }
  return tables;
}

}  // namespace

DataObject* GetDOFromPersonality(const char* personalityName) {
  LogTrace("@@@@ Inside GetDOFromPersonality @@@@\n");
  try {
    const PersonalityDefn* personality = FindPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    QueryHolder query = PersonalityQuery(*personality);
    DataObject* object = query != nullptr ? GetDataObject(query.get()) : nullptr;
    if (object == nullptr) LogError("Cannot get DO for personality %s\n", personalityName);
    return object;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

DataObject* GetDOFromPersonalityByRowUnit(const char* personalityName, const RowUnit* row) {
  LogTrace("@@@@ Inside GetDOFromPersonalityByRowUnit @@@@\n");
  try {
    const PersonalityDefn* personality = FindPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    return GetDataObjectByRowUnit(PersonalityTables(*personality), row);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

DataObject* GetDOFromPersonalityByCriteria(const char* personalityName, const char* criteria) {
  LogTrace("@@@@ Inside GetDOFromPersonalityByCriteria @@@@\n");
  try {
    const PersonalityDefn* personality = FindPersonality(personalityName);
    if (personality == nullptr) return nullptr;
    const std::vector<std::string> tables = PersonalityTables(*personality);
    // The matching dominant rows first, then each one's object: a criteria
    // over all tables at once would pair every dominant row with every
    // constituent row (and with none when one constituent is empty).
    ObjectHolder dominant(GetDataObjectByCriteria({tables[0]}, criteria));
    if (dominant == nullptr) return nullptr;
    ObjectHolder merged(CreateDataObject());
    if (merged == nullptr) return nullptr;
    RowCollection* rows = GetRowCollection(tables[0].c_str(), dominant.get());
    for (const RowUnit* row = rows != nullptr ? rows->firstRow : nullptr; row != nullptr;
         row = row->next) {
      ObjectHolder part(GetDataObjectByRowUnit(tables, row));
      if (part == nullptr || MergeDataObject(merged.get(), part.get()) == nullptr) return nullptr;
    }
    return merged.release();
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

DataObject* GetDOFromPersonalities(const std::vector<std::string>& personalityNames) {
  LogTrace("@@@@ Inside GetDOFromPersonalities @@@@\n");
  return MergeParts(personalityNames, [](const char* name) { return GetDOFromPersonality(name); });
}

DataObject* GetDOFromPersonalitiesByRowUnit(const std::vector<std::string>& personalityNames,
                                            const RowUnit* row) {
  LogTrace("@@@@ Inside GetDOFromPersonalitiesByRowUnit @@@@\n");
  return MergeParts(personalityNames,
                    [row](const char* name) { return GetDOFromPersonalityByRowUnit(name, row); });
}

DataObject* GetDOFromPersonalitiesByCriteria(const std::vector<std::string>& personalityNames,
                                             const char* criteria) {
  LogTrace("@@@@ Inside GetDOFromPersonalitiesByCriteria @@@@\n");
  return MergeParts(personalityNames, [criteria](const char* name) {
    return GetDOFromPersonalityByCriteria(name, criteria);
  });
}

DataObject* DeepRetrieveDO(const char* dominantTable, const RowUnit* row) {
  LogTrace("@@@ Inside DeepRetrieveDO @@@ \n");
  try {
    const std::optional<std::string> condition = ConstructPKValueString(dominantTable, row);
    if (!condition) {
      LogError("No primary keys in dominant table %s\n",
               dominantTable != nullptr ? dominantTable : "");
      return nullptr;
    }
    const auto tables = IndexedTables(*GetTableDefn(dominantTable), *condition);
    if (!tables) return nullptr;
    return GetDataObjectByRowUnit(*tables, row);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}
