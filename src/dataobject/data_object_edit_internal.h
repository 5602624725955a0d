// A data object row as a full table row, for the data object files;
// implemented in data_object_edit.cc. Not part of the public interface.
#pragma once

#include <memory>

#include "dataobject/data_object.h"

namespace fh::dataobject {

// The row as a full table row with the columns the collection does not
// carry as NULL (for evaluating criteria); none when memory is exhausted.
std::unique_ptr<RowObject> RowForEvaluation(const RowUnit* row, const RowCollection* collection);

}  // namespace fh::dataobject
