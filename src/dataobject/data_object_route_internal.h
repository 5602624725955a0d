// Where a data object's table statements run, for the data object files;
// implemented in data_object.cc. Not part of the public interface.
#pragma once

namespace fh::dataobject {

// The connection a table's statements run on: the data source map's entry
// when the data-source mode is on, else none (the pool's only source).
const char* ConnectionForTable(const char* tableName);

}  // namespace fh::dataobject
