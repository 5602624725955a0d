// The foreign-key order of a data object's tables, for the data object
// files; implemented in data_object_sort.cc. Not part of the public
// interface.
#pragma once

#include <string>
#include <vector>

namespace fh::dataobject {

// The table names in the FK order of SortTableByFK.
std::vector<std::string> SortTableNamesByFK(const std::vector<std::string>& tables);

}  // namespace fh::dataobject
