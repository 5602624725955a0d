// Finding an object's collections, their columns and its rows by name, for
// the data object files; implemented in data_object.cc. Not part of the
// public interface.
//
// Thread safety: as data_object.h (an object is one caller's at a time).
#pragma once

#include <cstdint>
#include <string>

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

// Registers row under key in the object's key table; false when the key is
// present or memory is exhausted.
bool RegisterRow(DataObject* object, RowUnit* row, const std::string& key);

}  // namespace fh::dataobject
