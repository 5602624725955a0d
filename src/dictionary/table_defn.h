// Table definitions: the description of every table the framework handles
// (its columns with their types and attributes, its primary key and foreign
// keys), kept in one process-wide list for the life of the process.
//
// The list. The data dictionary loader makes definitions (CreateColumnDefn,
// CreateTableDefn) and appends them with AddTableDefn; everything else looks
// them up by name. The list owns every definition; lookups hand out const
// pointers into it that stay valid until that definition is removed by
// FreeTableDefn or FreeAllTableDefns. Definitions are never changed after
// they were added. No check for duplicate names is made: a lookup finds the
// first definition added under a name.
//
// Thread safety: the list is guarded by one process-wide mutex; every
// function here may be called from any thread. A pointer obtained from a
// lookup must not be used after another thread freed that definition (the
// framework frees definitions only at shut-down).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/column_values.h"

// The allowed values of a column: a list of texts, or a range of two texts.
struct AllowedValues {
  // A list: every allowed text, in order (the end of the vector plays the
  // part of the terminating null entry). A range: exactly two texts, the
  // lower and the upper end.
  std::vector<std::string> values;
  bool isRange = false;
};

// One column of a table. A column's position in TableDefn::columns is its
// column index everywhere in the framework.
struct ColumnDefnEntry {
  std::string columnName;  // compared exactly (letter case matters) here
  uint8_t dataType = KES_SQL_NOT_SUPPORTED_TYPE;
  std::optional<fh::ColumnValue> defaultValue;  // converted to the column's type; none: no default
  int32_t defaultValueLength = 0;               // length of defaultValue in bytes (0 without one)
  bool isUnique = false;
  std::optional<std::string> generatorName;  // sequence that fills the column
  std::optional<std::string> description;
  int32_t maxSize = 0;  // -1 for a max-size text that is not a number
  bool isNullable = true;
  std::optional<AllowedValues> allowedValues;
};

// One local/reference column pair of a foreign key. Consecutive entries with
// the same reference table belong to one foreign key of several columns.
struct ForeignKeyDefn {
  std::string localColumn;
  std::string referenceColumn;
  std::string referenceTable;
  bool onDeleteCascade = false;
  bool isBidirectional = false;
};

// The keys of a table.
struct ConstraintDefn {
  std::vector<std::string> primaryKeyColumns;  // in key order; empty: no primary key
  int32_t primaryKeyCount = 0;                 // always primaryKeyColumns.size()
  std::vector<ForeignKeyDefn> foreignKeys;     // empty: the table has no foreign key
};

struct TableDefn {
  std::string tableName;  // looked up without regard to letter case
  std::optional<std::string> description;
  std::vector<ColumnDefnEntry> columns;  // in file order
  // Always present for a definition loaded from a file (with no key columns
  // when the table has no primary key).
  std::optional<ConstraintDefn> constraints;
};

namespace fh {

// What the loader collected for one column, before it becomes a definition.
struct ColumnDefnSource {
  std::optional<std::string> columnName;    // required
  std::optional<std::string> dataTypeName;  // the data-type text
  std::optional<std::string> defaultValueText;
  bool isUnique = false;
  std::optional<std::string> generatorName;
  std::optional<std::string> description;
  int32_t maxSize = 0;
  bool isNullable = true;
  std::optional<AllowedValues> allowedValues;
};

// Makes a column definition: none without a name. The type code comes from
// GetColumnTypeFromName; a missing data-type text logs "Column data type not
// supported - Error while creating column definition.\n" (error) and gives
// code 0. A default text is converted with ConvertStringToValue using that
// code (a default that does not parse gives 0 for numbers and no default for
// booleans and dates), then the code is widened (WidenColumnType). The other
// fields are copied. None as well when memory is exhausted.
std::optional<ColumnDefnEntry> CreateColumnDefn(const ColumnDefnSource& source);

// A new definition; primaryKeyCount is set from primaryKeyColumns. None when
// memory is exhausted.
std::unique_ptr<TableDefn> CreateTableDefn(std::string tableName,
                                           std::optional<std::string> description,
                                           std::vector<ColumnDefnEntry> columns,
                                           std::optional<ConstraintDefn> constraints);

// Appends definition to the list, which takes it. The definition's place in
// the list, or none when definition is none or memory is exhausted (the
// definition is then freed).
const TableDefn* AddTableDefn(std::unique_ptr<TableDefn> definition);

}  // namespace fh

// The first definition whose name equals tableName ignoring case, or none. A
// null name logs "Table Name is NULL.\n" (error); an empty list gives none
// silently.
const TableDefn* GetTableDefn(const char* tableName);

// Logs "@@@@ Inside GetColumnDefnEntry @@@@\n" (trace). The column of that
// table whose name equals columnName exactly, or none. A null table or
// column name logs "Cannot fetch default value;\n", an unknown table "No
// definition found for table %s\n" (both error).
const ColumnDefnEntry* GetColumnDefnEntry(const char* tableName, const char* columnName);

// Logs "@@@@ Inside GetDefaultValue @@@@\n" (trace). The column's default
// value (none when it has none), owned by the definition. Sets *found to true
// when the column exists and leaves it untouched otherwise (found may be
// none). Failures are logged as for GetColumnDefnEntry.
const fh::ColumnValue* GetDefaultValue(const char* tableName, const char* columnName, bool* found);

// The column's type code, or 0 when the table or column is unknown. Logs as
// GetColumnDefnEntry.
uint8_t GetColumnDataType(const char* tableName, const char* columnName);

// The first foreign key entry of tableDefn whose local column equals
// localColumn ignoring case, or none. Logs "No constraint Definition \n"
// when the table has no constraints and "No Foreignkey Entries in Definition
// \n" when it has no foreign keys (both error). None for null arguments.
const ForeignKeyDefn* GetForeignKeyDefn(const TableDefn* tableDefn, const char* localColumn);

// The definitions in list order (a snapshot of the list; the pointers stay
// valid as described at the top of this file).
std::vector<const TableDefn*> GetTableDefnList();

namespace fh {

// Number of definitions in the list.
std::size_t GetTableDefnCount();

}  // namespace fh

// Logs the definition at debug level (nothing for a null definition or one
// without columns):
//   "Table Name : %s\n", "Description: %s\n",
//   "---------------------------------------\n\n", then per column
//   "Column Name : %s\n", "Column Type : %d\n", "Unique Flag : %s\n"
//   ("TRUE"/"FALSE"), "Description : %s\n",
//   "---------------------------------------\n\n"; with constraints
//   "Primary key : %s\n\n" per key column; with foreign keys
//   "Foreign key Constraints\n", "********************************\n", per
//   entry "Column Name : %s\n", "Ref Column  : %s\n", "Tablename : %s\n",
//   and a closing "********************************\n".
// An absent description prints as "(null)".
void PrintTableDefn(const TableDefn* tableDefn);

// PrintTableDefn for every definition, in list order.
void PrintAllTableDefns();

// Removes the first definition whose name equals tableName ignoring case
// from the list and frees it. true when one was removed.
bool FreeTableDefn(const char* tableName);

// Frees every definition and empties the list (also the reset for tests).
void FreeAllTableDefns();
