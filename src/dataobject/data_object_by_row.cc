// Objects for a list of tables restricted by one row (its own table to the
// row's key, the other tables to the rows whose foreign keys lead to it) or
// by a criteria text.
#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "dataobject/data_object.h"
#include "dataobject/data_object_collections_internal.h"
#include "dataobject/data_object_joins.h"
#include "dataobject/data_object_query_internal.h"
#include "dataobject/data_object_sort_internal.h"
#include "dictionary/foreign_keys.h"
#include "log/log.h"
#include "query/criteria_node.h"

namespace {

using fh::dataobject::SameName;

// The criteria leaf table.column = the row's value of root's column.
fh::SelectCriteria* EqualToRowValue(const TableDefn& table, const std::string& column,
                                    const TableDefn& root, const std::string& rootColumn,
                                    const RowUnit& row, SelectQuery* query) {
  std::size_t index = 0;
  while (index < root.columns.size() &&
         !SameName(root.columns[index].columnName.c_str(), rootColumn.c_str()))
    ++index;
  if (index >= root.columns.size() || index >= row.values.size() || !row.values[index])
    return nullptr;
  const uint8_t type = root.columns[index].dataType;
  fh::ColumnRef* ref = CreateColumnRef(table.tableName.c_str(), nullptr, column.c_str(), nullptr, 0,
                                       type, fh::kAggregateNone, query->pool);
  if (ref == nullptr) return nullptr;
  const fh::ColumnValue& value = *row.values[index];
  if (fh::IsDateTimeColumnType(type)) {
    const std::string text = ConvertValueToString(&value, type).value_or("");
    return CreateCriteria(ref, text.c_str(), static_cast<int32_t>(text.size()), fh::kCriteriaEqual,
                          query->pool);
  }
  return CreateCriteria(ref, value.bytes(), value.length(), fh::kCriteriaEqual, query->pool);
}

// The conditions of one table of the list, joined with AND into criteria.
// false when a condition cannot be made.
bool ConditionsFor(const TableDefn& table, const TableDefn& root, const RowUnit& row,
                   SelectQuery* query, fh::SelectCriteria** criteria) {
  std::vector<std::pair<std::string, const std::string*>> pairs;  // column, root column
  if (&table == &root) {
    for (const std::string& key : root.constraints->primaryKeyColumns)
      pairs.emplace_back(key, &key);
  } else if (!table.constraints || table.constraints->foreignKeys.empty()) {
    LogDebug("No constraints for table %s.\n", table.tableName.c_str());
  } else {
    // Each root key column is matched by the first entry leading to it: a
    // table with two keys to the root (FROM_ACCOUNT, TO_ACCOUNT) is read by
    // its first, as the joins do.
    for (const ForeignKeyDefn& key : table.constraints->foreignKeys) {
      for (const std::string& rootKey : root.constraints->primaryKeyColumns) {
        const bool taken = std::any_of(pairs.begin(), pairs.end(),
                                       [&](const auto& pair) { return pair.second == &rootKey; });
        if (!taken &&
            fh::LeadsToColumn(key.referenceTable, key.referenceColumn, root.tableName, rootKey)) {
          pairs.emplace_back(key.localColumn, &rootKey);
          break;
        }
      }
    }
  }
  for (const auto& [column, rootColumn] : pairs) {
    fh::SelectCriteria* leaf = EqualToRowValue(table, column, root, *rootColumn, row, query);
    if (leaf == nullptr) return false;
    *criteria = *criteria == nullptr ? leaf : CreateAndCriteria(*criteria, leaf, query->pool);
    if (*criteria == nullptr) return false;
  }
  return true;
}

// Reads one table under its conditions and merges its rows into object.
bool MergeTableRows(DataObject* object, const TableDefn& table, const TableDefn& root,
                    const RowUnit& row) {
  SelectQuery* query = fh::dataobject::QueryOverTables({table.tableName});
  if (query == nullptr) return false;
  fh::SelectCriteria* criteria = nullptr;
  DataObject* part = nullptr;
  if (ConditionsFor(table, root, row, query, &criteria)) {
    SetCriteria(query, criteria);
    part = GetDataObject(query);
  }
  FreeSelectQuery(query);
  const bool merged = part != nullptr && MergeDataObject(object, part) != nullptr;
  fh::FreeDataObject(part);
  return merged;
}

}  // namespace

DataObject* GetDataObjectByRowUnit(const std::vector<std::string>& tableList, const RowUnit* row) {
  LogTrace("@@@@  Inside GetDataObjectByRowUnit @@@@\n");
  if (row == nullptr || row->tableName == nullptr) return nullptr;
  bool listed = false;
  for (const std::string& table : tableList)
    listed = listed || SameName(table.c_str(), row->tableName);
  const TableDefn* root = GetTableDefn(row->tableName);
  if (!listed || root == nullptr || !root->constraints) {
    LogError("RowUnit belongs to table %s, which is not present in the tableList.\n",
             row->tableName);
    return nullptr;
  }
  DataObject* object = CreateDataObject();
  if (object == nullptr) return nullptr;
  try {
    bool built = true;
    for (const std::string& name : fh::dataobject::SortTableNamesByFK(tableList)) {
      const TableDefn* table = GetTableDefn(name.c_str());
      built = table != nullptr && MergeTableRows(object, *table, *root, *row);
      if (!built) break;
    }
    if (built) return object;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  fh::FreeDataObject(object);
  return nullptr;
}

DataObject* GetDataObjectByCriteria(const std::vector<std::string>& tableList,
                                    const char* criteria) {
  LogTrace("@@@@  Inside GetDataObjectByCriteria @@@@\n");
  DataObject* object = nullptr;
  try {
    // Related tables are joined on their foreign keys, so that each row
    // comes back only beside the rows related to it; unrelated ones are
    // read side by side.
    SelectQuery* query = fh::dataobject::JoinedQueryOverTables(tableList);
    if (query == nullptr) query = fh::dataobject::QueryOverTables(tableList);
    fh::SelectCriteria* tree =
        query != nullptr ? fh::dataobject::CriteriaFromText(criteria, tableList, query) : nullptr;
    if (tree != nullptr) {
      SetCriteria(query, tree);
      object = GetDataObject(query);
    }
    FreeSelectQuery(query);
  } catch (const std::bad_alloc&) {
    object = nullptr;
  }
  if (object == nullptr) LogError("Cannot create DataObject.\n");
  return object;
}
