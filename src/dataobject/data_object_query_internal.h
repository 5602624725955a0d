// The select queries a data object is built and rebuilt from, for the data
// object files; implemented in data_object_query.cc. Not part of the public
// interface.
//
// Ownership: each query lives in a pool of its own (freed with
// FreeSelectQuery, or with its parent pool where it has one).
#pragma once

#include <string>
#include <vector>

#include "query/select_query.h"

namespace fh::dataobject {

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

}  // namespace fh::dataobject
