// A parsed criteria (query/criteria_parser.h) as the criteria tree of a
// select query (query/select_query.h), for the SQL text of the same
// selection: each leaf's literal read as its column's type
// (query/criteria_literal.h), connectives kept as the tree groups them.
//
// Ownership: the nodes and their texts live in pool. Thread safety: no
// state of its own.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "query/criteria_node.h"
#include "query/select_query.h"

namespace fh {

// The column a leaf names, as the caller's tables define it.
struct CriteriaColumn {
  const char* tableName = nullptr;  // qualifies the column in the SQL; may be none
  const char* columnName = nullptr;
  uint8_t dataType = 0;
};

// Finds the column a leaf names; none when no table has it.
using CriteriaColumnFinder = std::function<std::optional<CriteriaColumn>(const std::string& name)>;

// The select-query criteria of tree. None when a leaf names a column find
// does not know ("Criteria column %s is not a column of the selected
// tables\n", error), a literal cannot be read as its column's type (the line
// of ReadLeafComparison), a node is neither a leaf nor a connective with
// two children, or pool is exhausted.
SelectCriteria* SelectCriteriaFromTree(const CriteriaNode* tree, const CriteriaColumnFinder& find,
                                       MemPool* pool);

}  // namespace fh
