// The builder stage of the data dictionary loader: turns the tag tree of one
// table (dictionary/data_dict_reader.h shows its shape) into a TableDefn and
// registers it in the list of table definitions (dictionary/table_defn.h).
//
// Interpretation of the tree:
// - table name: the table's name attribute; description: the text of a
//   description record standing first among the table's children.
// - columns, in order: name attribute; data-type text (type code, widening
//   and default conversion as CreateColumnDefn does); nullable: "true" in any
//   letter case means nullable, other text not, none nullable; max-size: a
//   decimal integer with optional sign, -1 for other text; unique: exactly
//   "true"; description, default-value, generator-name texts; allowed values
//   from a value record (the list of its texts) or a from record followed by
//   a to record (the range of the two texts). A record without text counts
//   as absent. The max-size is carried over: a column without max-size gets
//   the value of the nearest earlier column of the table that had one (0
//   before the first).
// - primary key: the texts of the primary-key record's children, in order
//   (children without text are skipped).
// - foreign keys: per foreign-key record, one ForeignKeyDefn per fk-column,
//   each with the reference table (attribute reference-table-name), the
//   cascade flag (fk-constraints text exactly "ON-DELETE-CASCADE") and the
//   bidirectional flag (attribute isbidirectional exactly "true").
//
// Messages, each abandoning the table (error level):
//   "Table definition without a name attribute - table not loaded.\n"
//   "Column without a name attribute in table %s - table not loaded.\n"
//   "In the allowed values attribute, 'to' tag is missing.\n"
//   "Cannot copy allowed values.\n"
//   "Foreign key without reference-table-name in table %s - table not loaded.\n"
//   "fk-column without fk-local-column or fk-reference-column in table %s -
//    table not loaded.\n"
//   "MEMORY_ALLOCATION_FAILURE\n"
// A foreign-key record whose first child is not fk-columns logs
// "fk-columns tag not found \n" (debug) and contributes no entries. A tree
// without children or without any column gives no definition and no message.
//
// Thread safety: as the list of table definitions (any thread).
#pragma once

#include "dictionary/table_defn.h"
#include "dictionary/xml_tag_info.h"

// Builds and registers the definition of the table tree. The registered
// definition (owned by the list), or none when no definition was made.
const TableDefn* LoadTableDefnFromTagInfo(const XmlTagInfo* tableTree);
