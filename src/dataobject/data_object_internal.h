// Pieces shared by the data object files; not part of the public interface.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dataobject/data_object.h"

namespace fh::dataobject {

// true when both names are given and equal ignoring letter case.
bool SameName(const char* a, const char* b);

// The object's collection for tableName (ignoring case), or none.
RowCollection* FindCollection(const DataObject* object, const char* tableName);

// The position of columnName (ignoring case) among the collection's
// columns, or -1.
int32_t CollectionColumnIndex(const RowCollection* collection, const char* columnName);

// Adds a pool copy of tableName to the object's table list unless present.
bool AddTableName(DataObject* object, const char* tableName);

// The connection a table's statements run on: the data source map's entry
// when the data-source mode is on, else none (the pool's only source).
const char* ConnectionForTable(const char* tableName);

// Registers row under key in the object's key table; false when the key is
// present or memory is exhausted.
bool RegisterRow(DataObject* object, RowUnit* row, const std::string& key);

// A deep copy of query living in a new pool that is a child of parent (it
// goes with parent); none for none or when memory is exhausted.
SelectQuery* CopySelectQuery(const SelectQuery* query, MemPool* parent);

// The criteria text as a select-query criteria tree in query's pool, each
// column bound to the first of tables whose definition has it; none when the
// text does not parse or names an unknown column.
SelectCriteria* CriteriaFromText(const char* text, const std::vector<std::string>& tables,
                                 SelectQuery* query);

// A select query over tables (no columns: every column) with criteria left
// to the caller; none when memory is exhausted.
SelectQuery* QueryOverTables(const std::vector<std::string>& tables);

// The row as a full table row with the columns the collection does not
// carry as NULL (for evaluating criteria); none when memory is exhausted.
std::unique_ptr<RowObject> RowForEvaluation(const RowUnit* row, const RowCollection* collection);

// A copy of row in pool, not linked and not registered; none on failure.
RowUnit* CopyRowUnit(const RowUnit* row, MemPool* pool);

// The table names in the FK order of SortTableByFK.
std::vector<std::string> SortTableNamesByFK(const std::vector<std::string>& tables);

}  // namespace fh::dataobject
