// Data objects: a detached, in-memory graph of rows taken from several
// related database tables, edited as a unit and written back as a unit.
//
// Shape. A DataObject holds one RowCollection per table (in the order added;
// after a build or a save its table list is in foreign-key order: a
// referenced table before the tables that refer to it). A collection carries
// a subset of its table's columns (names and type codes, in its own order)
// and a chain of RowUnits, each with one value per collection column. Every
// row is registered in the object's key table under its key string, so a
// second row with the same primary key is refused and rows can be found
// again by key.
//
// Key strings: the table name, then the text of each primary-key value
// (ConvertValueToString by the column's type, "NULL" for none) in key order,
// every part preceded by the separator kKeyStringSeparator (byte 0x1F), so
// that no two different keys give the same string ("T1"+"23" and
// "T12"+"3" differ).
//
// Row states are flag sets (store/row_object.h): 1 persisted, 2 new, 4
// updated, 8 deleted. Edits add flags with a bitwise OR (a row updated twice
// stays 5). A save writes 5 as UPDATE, any state with 1 and 8 as DELETE, 2 and
// 6 as INSERT; 0, 1, 8, 10 and 14 write nothing. A written row becomes
// clean (SaveDataObject: once its data source's transaction committed;
// SaveRowCollection and SaveRowUnit: once its own statement succeeded): an
// inserted or updated row gets state 1, a deleted row gets state 8 (deleted,
// no longer in the database) and stays in its collection, so a second save
// writes nothing for either. A row that was not written keeps its state.
//
// Ownership: an object owns a memory pool (util/memory_pool.h) of its own;
// its collections, rows, value copies, texts, key table, table list and its
// copy of the select query it was built from all live in that pool and are
// released together by FreeDataObject. Nothing in an object is freed
// piecemeal. Pointers handed out (collections, rows, column names, values)
// stay valid until the object is freed. Rows and collections are never
// shared between objects: merging and cloning copy them. Functions that take
// a caller's select query never keep it (the object keeps a copy).
//
// Thread safety: an object belongs to one thread at a time. Only the
// criteria evaluation takes a lock (the store's criteria lock,
// store/table_data.h). Connection handles (db/connection_pool.h): a build
// takes one for its query and gives it back before the rows are built;
// SaveDataObject holds one handle at a time, one per data source for the
// whole of that data source's transaction, given back before the next data
// source's (framework/statement_batch.h: a handle found dead before anything
// ran on it is replaced once); SaveRowCollection and SaveRowUnit take and
// give back one per statement.
//
// Results and logging: functions return true / an object / a row on success
// and false / none on failure, after their fixed error line; every operation
// writes its entry line with LogTrace ("@@@@  Inside InsertRowUnit @@@@\n").
// Nothing throws: an allocation failure is a failure ("MEMORY_ALLOCATION_
// FAILURE\n" unless a function names its own line).
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"
#include "dictionary/column_values.h"
#include "dictionary/table_defn.h"
#include "query/select_query.h"
#include "store/row_object.h"
#include "util/string_hash_map.h"
#include "util/vector.h"

struct MemPool;

namespace fh {

// Separates the parts of a key string.
inline constexpr char kKeyStringSeparator = '\x1F';
// Buckets of an object's key table.
inline constexpr std::size_t kDataObjectKeyBuckets = 100;

}  // namespace fh

// One row of a collection. Made in a pool (CreateRowUnit, CloneRowUnit) and
// destroyed with it.
struct RowUnit {
  const char* tableName = nullptr;  // pool text
  int32_t columnCount = 0;          // the collection's column count once inserted
  // One value per column of the collection, in its order; none is SQL NULL.
  std::vector<std::optional<fh::ColumnValue>> values;
  std::vector<int32_t> lengths;  // byte length of each value
  uint8_t state = 0;             // kRow* flags
  RowUnit* next = nullptr;       // next row of the collection, or none
};

// The rows of one table. Made in a pool (CreateRowCollection).
struct RowCollection {
  const char* tableName = nullptr;       // pool text
  const TableDefn* tableDefn = nullptr;  // the table's definition (the process-wide list's)
  const char** columnNames = nullptr;    // pool array of pool texts, ended by none
  uint8_t* columnTypes = nullptr;        // pool array, parallel to columnNames
  int32_t columnCount = 0;               // entries of columnNames before the none
  RowUnit* firstRow = nullptr;           // in insertion order
  RowUnit* lastRow = nullptr;            // the chain's end (for appending)
  RowUnit* currentRow = nullptr;         // cursor of GotoNextRowUnit
  RowCollection* next = nullptr;         // next collection of the object
};

struct DataObject {
  MemPool* pool = nullptr;                // owns everything below
  fh::StringHashMap* keyTable = nullptr;  // key string -> RowUnit*
  int32_t tableCount = 0;                 // number of collections
  Vector* tableList = nullptr;            // of pool texts: the object's tables
  SelectQuery* selectQuery = nullptr;     // the object's copy of its query, or none
  RowCollection* firstCollection = nullptr;
  RowCollection* lastCollection = nullptr;
  RowCollection* currentCollection = nullptr;  // cursor used by the lookups
};

// ---- making and discarding objects (data_object.cc; the list builders in
// data_object_lists.cc) --------------------------------------------------

// An empty object with its own pool, key table (kDataObjectKeyBuckets) and
// table list. None with "\nMEMORY ALLOCATION FOR DATAOBJECT FAILED\n"
// (error). The caller owns it: FreeDataObject releases it.
DataObject* CreateDataObject();

namespace fh {

// Releases the object and everything in it (its pool). None is ignored.
void FreeDataObject(DataObject* object);

}  // namespace fh

// Appends collection to the object (the table is added to the table list
// when missing; tableCount grows). false with "Cannot add Row Collection to
// DO.  Row Collection is NULL.\n" (error) for no collection, false for no
// object. REQUIRES: collection was made in object's pool.
bool AddRowCollectionToDO(DataObject* object, RowCollection* collection);

// Appends row at the end of collection's chain; true. false for none.
// Registers nothing (see InsertRowUnit). REQUIRES: the row lives in the pool
// of the collection's object.
bool AddRowUnitToRowCollection(RowUnit* row, RowCollection* collection);

// A row in pool with state 0 and no next row, taking values and lengths
// (lengths shorter than values are padded with the values' own lengths).
// None for no table name or pool, or when memory is exhausted.
RowUnit* CreateRowUnit(const char* tableName, std::vector<std::optional<fh::ColumnValue>> values,
                       std::vector<int32_t> lengths, MemPool* pool);

// A collection in pool for tableName with copies of columnNames (ended by
// none) and columnTypes (parallel). None when the table has no definition
// ("No Table Definition found for table %s.\n"), when the columns do not
// include every primary-key column ("All Primary key columns were not
// selected.\n"), or for none arguments (all error).
RowCollection* CreateRowCollection(const char* tableName, const char* const* columnNames,
                                   const uint8_t* columnTypes, MemPool* pool);

// The object's table list (pool texts; valid while the object lives), or
// none for no object.
const Vector* GetTableList(const DataObject* object);
// true when the object holds a collection for tableName (ignoring case).
bool ContainsTableInDO(const DataObject* object, const char* tableName);
// true when the object has no collection (also for none).
bool IsDOEmpty(const DataObject* object);

// Arrays built in pool from count arguments: MakeColumnList copies count
// texts (const char*) and ends them with none; MakeStringColumnValuesList
// copies count texts (a none stays none) without terminator; MakeLengthList
// takes count int arguments. None for no pool, a negative count or when
// memory is exhausted.
const char** MakeColumnList(MemPool* pool, int count, ...);
const char** MakeStringColumnValuesList(MemPool* pool, int count, ...);
int32_t* MakeLengthList(MemPool* pool, int count, ...);

// ---- key strings (data_object_key.cc) ------------------------------------

namespace fh {

// The key string of row as a row of collection's table ("KeyStr %s\n",
// trace). None when the table has no definition or a primary-key column is
// not among the collection's columns.
std::optional<std::string> GetKeyString(const RowUnit* row, const RowCollection* collection);

}  // namespace fh

// ---- building from the database (data_object_build.cc) -------------------

// Runs the query (its text from GenerateSelectQuery, on a handle of the
// connection of the first table it names) and builds an object from the
// result with CreateDataObjectFromResultSet. None with "Cannot construct
// DO. Select Query pointer is NULL.\n" or "Cannot create DataObject.  No
// entries returned for SelectQuery\n" (the query failed). A query returning
// no rows gives an object whose collections are empty. The caller keeps
// selectQuery (the object keeps a copy).
DataObject* GetDataObject(SelectQuery* selectQuery);

// A new object holding the result's rows: one collection per table of the
// query (the base table of its first join, the joined table of every join,
// then its table list; sorted by foreign keys), each row placed by the
// position of its table's columns in the result (the selected columns of the
// table in query order, or, for a query naming no columns, each table's
// full column set in FROM order). A row whose primary-key values are all
// NULL (a left join that found nothing) is no row; a second row with a key
// already present logs "HashKey %s Not Inserted\n" (debug) and is dropped.
// A table whose selected columns lack a primary-key column logs "\nALL
// PRIMARY KEY COLUMNS SHOULD BE SELECTED FOR %s\n" (error) and its
// collection stays empty. Rows get state 1. The result set is freed.
DataObject* CreateDataObjectFromResultSet(std::unique_ptr<DBResultSet> resultSet,
                                          const SelectQuery* selectQuery);

// An object for tableList holding the row's own table restricted to the
// row's primary key and every other listed table restricted to the rows
// whose foreign-key columns lead (directly or through the referenced
// tables' foreign keys) to the row's primary-key columns, the conditions of
// one table combined with AND; each table is read by a query of its own, so
// a table without matching rows leaves the others intact. A table without
// foreign keys is read whole ("No constraints for table %s.\n", debug).
// None when the row's table is not listed ("RowUnit belongs to table %s,
// which is not present in the tableList.\n", error) or a query fails.
// REQUIRES: row holds its table's columns in definition order (at least up
// to its last primary-key column), as a row of a collection of every column.
DataObject* GetDataObjectByRowUnit(const std::vector<std::string>& tableList, const RowUnit* row);

// An object for one select query over tableList whose criteria is the
// criteria text (query/criteria_parser.h); each column it names belongs to
// the first listed table that has it. Tables related by foreign keys are
// LEFT JOINed on them (data_object_joins.h), so each table holds the rows
// that match the criteria together with the rows related to them; when a
// listed table is related to none of the others the tables are read side by
// side (every combination) instead. None with "Cannot create
// DataObject.\n" (error) when the text does not parse, names a column no
// listed table has, or the query fails.
DataObject* GetDataObjectByCriteria(const std::vector<std::string>& tableList,
                                    const char* criteria);

// ---- editing (data_object_edit.cc) ----------------------------------------

// Adds row to its table's collection: the values are sized to the
// collection's columns; a column without value gets the next number of its
// generator (GenerateID, stored at the column's width) or a copy of its
// default. The row is registered under its key and gets state 2. false with
// "The RowUnit belongs to Table %s, which is not in DO\n" (error), "Row with
// keyStr %s already exists.\n" (debug), or "InsertRowUnit: cannot generate a
// value for column %s of table %s\n" (error). REQUIRES: row was made in the
// object's pool and is in no collection.
bool InsertRowUnit(RowUnit* row, DataObject* object);

// The registered row with row's key takes a copy of row's values and lengths
// and gains state 4 ("Updating Row\n", debug). false with "Row to be updated
// is not present in DO. \n" (error). row may belong to any pool.
bool UpdateRowUnit(const RowUnit* row, DataObject* object);

// The registered row with row's key (row itself when none is registered)
// gains state 8 and stays in its collection. true; false for none.
bool DeleteRowUnit(RowUnit* row, DataObject* object);

// Under the criteria lock, every row of tableName's collection that matches
// the criteria text (columns the collection does not carry read as NULL)
// gains state 8. true when every row was tested; false for an unknown table,
// a criteria that does not parse or names an unknown column ("Invalid
// criteria %s for table %s.\n", error), or a row that cannot be read
// ("RowObject is NULL.\n", error).
bool DeleteRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria);
// As DeleteRowUnitOnCriteria (same entry line and failures) but changes
// nothing and returns the first matching row, or none.
RowUnit* GetRowUnitOnCriteria(const char* tableName, DataObject* object, const char* criteria);

// The value (bytes of length bytes, a KesDateTime for the date and time
// types, none for SQL NULL) becomes the column's value in the table's last
// row / in every row of the table, which gain state 4. false for an unknown
// table or column ("Invalid Column Entered.\n"), an empty collection, or a
// primary-key column ("Cannot change primary key column %s.\n"; the key
// table would no longer find the row).
bool SetValueForRowUnit(const char* columnName, const char* tableName, const void* value,
                        int32_t length, DataObject* object);
bool SetValueForAllRowUnits(const char* columnName, const char* tableName, const void* value,
                            int32_t length, DataObject* object);

// CreateRowUnit in the object's pool + InsertRowUnit. false with "Cannot
// create rowUnit.\n" or "Cannot Insert RowUnit.\n" (error).
bool InsertRowIntoDO(DataObject* object, const char* tableName,
                     std::vector<std::optional<fh::ColumnValue>> values,
                     std::vector<int32_t> lengths);

// Adds an empty collection for tableName carrying columnNames (ended by
// none), or every column of the definition when columnNames is none. false
// with "DO is NULL.\n", "Table Definition not found for %s.\n", "ADD ROW
// COLLECTION FAILED\n" (also when a named column does not exist, the primary
// key is not covered, or the table is already in the object).
bool AddTableToDO(DataObject* object, const char* tableName, const char* const* columnNames);

// Inserts a row whose values are converted from texts (one per collection
// column, in its order; a none or unconvertible text leaves the column
// without value). false with "Cannot create RowUnit.\n" or "Cannot insert
// RowUnit.\n" (error).
bool InsertStringRowIntoDO(DataObject* object, const char* tableName, const char* const* texts);

// ---- looking up (data_object_access.cc) ----------------------------------

// The table's collection, or none ("Table %s is not present in DO.\n",
// error).
RowCollection* GetRowCollection(const char* tableName, DataObject* object);
// The first / last / n-th (from 1) row of the table, or none ("Table %s not
// present in DO\n", "Cannot get %d row. \n", error).
RowUnit* GetFirstRowUnit(const char* tableName, DataObject* object);
RowUnit* GetLastRowUnit(const char* tableName, DataObject* object);
RowUnit* GetNthRowUnit(const char* tableName, int n, DataObject* object);
// The next row of the collection's cursor: the first row at the start and
// after the end; none at the end ("Reached end of rowUnits.\n", debug; the
// cursor is cleared), for no rows ("No RowUnits present in
// RowCollection.\n") or no collection ("RowCollectionPtr is NULL.\n").
RowUnit* GotoNextRowUnit(RowCollection* collection);
// The registered row with row's key, or none ("Row to be found is not
// present in DO. \n", error).
RowUnit* FindRowUnit(const RowUnit* row, DataObject* object);

// The first row's value of the column (by the collection's own columns);
// none for SQL NULL, no row, or an unknown column ("Invalid Column
// Entered.\n", error). Valid while the row keeps that value.
const fh::ColumnValue* GetFirstValue(const char* columnName, const char* tableName,
                                     DataObject* object);
// Copies of the column's value in every row of the table, in row order
// (none entries for SQL NULL); none for an unknown table or column ("Invalid
// Column Entered.\n").
std::optional<std::vector<std::optional<fh::ColumnValue>>> GetColumnValuesFromDO(
    const char* columnName, const char* tableName, DataObject* object);
// A copy of the column's value in the n-th row (from 1), or none.
std::optional<fh::ColumnValue> GetColumnValueFromDO(DataObject* object, const char* tableName,
                                                    const char* columnName, int n);
// A new vector of the collection's column names (texts of the object), or
// none ("rowCollectionPtr is NULL.\n", error).
std::unique_ptr<Vector> GetColumnListFromDO(const char* tableName, DataObject* object);

// ---- saving (data_object_save.cc) -----------------------------------------

// The row as a full row of its table for the database layer: every column of
// the definition in definition order, taken from the row's column of the
// same name, else the column's default, else NULL when nullable; the row's
// state. None when a column is missing, not nullable and without default
// ("Cannot save RowUnit. Column %s is not not nullable and does not have a
// default value\n", error).
std::unique_ptr<RowObject> GetRowObjectFromRowUnit(const RowUnit* row, const DataObject* object);

// Re-sorts the object's table list by foreign keys (a referenced table
// before the tables that refer to it; a table without definition, "No
// Table Definition found for table %s.\n", and a table on a foreign-key
// cycle, "Foreign key cycle through table %s.\n" (error), keep list order;
// a table referring to itself is no cycle). false when the list cannot be
// copied ("CloneVector Failed.\n").
bool SortTableByFK(DataObject* object);

// Writes the object's changes in two steps. First every changed row's
// statement is made, before anything runs: the table list is sorted
// (SortTableByFK), then come the inserts and updates table by table in that
// order (parents first) and the deletes in the reverse order (children
// first), each row's statement placed with its table's data source. A row
// that cannot be written ("Invalid State for keyStr.  Cannot Save.\n",
// "Cannot convert RowUnit to RowObject.\n", "QueryPtr is NULL.\n") stops
// the save before anything is written: "The data object is not saved: some
// of its rows cannot be written.\n", every row keeps its state, false.
// Then the data sources are written one after the other, in the order their
// first statements were placed, each as one transaction, all or nothing
// (framework/statement_batch.h; the values are bound where the provider has
// prepared statements). A failed statement is logged ("Error in executing
// update query \n", "QUERY : %s\n"), that data source's whole share is
// rolled back ("Cannot commit the save of the data object on %s\n"), no
// later data source is written, every row not written keeps its state and
// the result is false; a lost link ends the save the same way. The rows of
// a committed share get their new states at once. While a dominant table is
// indexed, each written row also keeps the index tables of its indexed
// roots in step, in the same transaction right after its own statement
// (AddEntryToIndexTableWithin, framework/index_table.h). An object whose
// tables live in two databases cannot be atomic across both: a share
// already committed stays written when a later data source's share fails.
// true when every changed row was written; false otherwise (or for no
// object).
bool SaveDataObject(DataObject* object);
// Writes the changed rows of one collection (in row order) / one row. true
// when every statement needed succeeded (an unchanged row needs none).
// "QueryPtr is NULL.\n" (error) marks a row whose statement could not be
// generated; "Cannot convert RowUnit to RowObject.\n" one that cannot be
// converted; "Invalid State for keyStr.  Cannot Save.\n" a state outside
// the ones listed at the top of this file.
bool SaveRowCollection(RowCollection* collection, DataObject* object);
bool SaveRowUnit(RowUnit* row, DataObject* object);

// ---- merging and cloning (data_object_merge.cc) ---------------------------

// Merges source into target, copying rows (source is unchanged). For a
// table target holds, by source row state: 5 updates the target's row of the
// same key (or adds a copy); 2 and 6 add a copy unless target has the key
// ("Cannot Insert Row with keystring %s.  Row already exists.", error); a
// deleted persisted row (9, 13) marks the target's row deleted (or adds a
// copy); 0 and 1 add a copy when target lacks the key; 10 and 14 are
// skipped. A table target lacks gets a collection with the same columns
// ("tempRowCollection is NULL\n" on failure) and copies of every row but
// those in states 10 and 14. Existence is tested in target's key table.
// Returns target; none when either is none.
DataObject* MergeDataObject(DataObject* target, const DataObject* source);

// A new object with its own pool, key table, copies of the table list, of
// the select query and of every collection and row (values, lengths,
// states). None on failure.
DataObject* CloneDataObject(const DataObject* object);

// A copy of collection (name, columns, every row by CloneRowUnit in order)
// appended to target. None with "MEMEORY_ALLOCATION_FAILURE.\n" or "No
// Table Definition found for table %s.\n" (error).
RowCollection* CloneRowCollection(const RowCollection* collection, DataObject* target);

// A copy of row in target's pool, registered in target's key table but not
// linked into a collection (see AddRowUnitToRowCollection). None with "Cannot
// add the newRowUnit into hash table.\n" (error) when the key is present or
// target lacks the row's table.
RowUnit* CloneRowUnit(const RowUnit* row, DataObject* target);

// ---- printing (data_object_print.cc) -------------------------------------

// Logs the whole object with LogDebug("\n%s\n"): the table list, then per
// collection its columns and every row's values and state. "Cannot print
// DataObject.  dataObjectPtr is NULL\n" (error) for none.
void PrintDataObject(const DataObject* object);
