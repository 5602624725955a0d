// Data objects of personalities (dataobject/data_object.h): the rows of a
// personality's dominant table with the rows of its constituent tables,
// for every dominant row, for one dominant row, or for the dominant rows a
// criteria selects; several personalities merged into one object; and the
// full object of one dominant row as its index table lists it.
//
// The tables of a personality are its dominant table followed by its
// constituent tables in file order, each once: the entry standing for the
// dominant table (table index 0), entries without a table name and repeats
// are left out.
//
// Ownership: every object returned is new and owned by the caller, who
// releases it with FreeDataObject; nothing in it is shared with another
// object (merging copies rows). Rows passed in are only read.
//
// Thread safety: reads the personality list and the table definitions
// (each has its own lock); handles are taken and given back per statement.
// Any thread may call these; the object returned belongs to that thread.
#pragma once

#include <string>
#include <vector>

#include "dataobject/data_object.h"

// Logs "@@@@ Inside GetDOFromPersonality @@@@\n" (trace). One query selects
// every column of the dominant table and of each constituent table, each
// constituent joined to the dominant table on the foreign key between them
// (the constituent's key to the dominant table, else the dominant table's
// key to it): an inner join for a mandatory constituent (a dominant row
// without its rows is left out), a left join otherwise (a dominant row
// without its rows stays, and the constituent gets no row for it). None
// with "Cannot get Personality.  personalityName is NULL\n", "No
// personality found for %s\n", "No foreign key between %s and %s\n" (for
// a constituent not related to the dominant table), "No table definition
// found for %s\n", or "Cannot get DO for personality %s\n" when the query
// fails (all error).
DataObject* GetDOFromPersonality(const char* personalityName);

// Logs "@@@@ Inside GetDOFromPersonalityByRowUnit @@@@\n" (trace). The
// personality's object for one dominant row (GetDataObjectByRowUnit over
// the personality's tables): the dominant row by its key and the
// constituent rows that refer to it. REQUIRES: row carries every column of
// the dominant table in definition order. None with the name messages of
// GetDOFromPersonality, or when the row's table is not one of the
// personality's tables or a query fails.
DataObject* GetDOFromPersonalityByRowUnit(const char* personalityName, const RowUnit* row);

// Logs "@@@@ Inside GetDOFromPersonalityByCriteria @@@@\n" (trace). The
// personality's object for every dominant row that matches the criteria
// text (query/criteria_parser.h; it names columns of the dominant table),
// each with the constituent rows that refer to it; an empty object when no
// row matches. None with the name messages of GetDOFromPersonality, and
// when the criteria does not parse or a query fails.
DataObject* GetDOFromPersonalityByCriteria(const char* personalityName, const char* criteria);

// The plural forms: a fresh object into which the object of each named
// personality, in list order, is merged (MergeDataObject copies the rows;
// each personality's own object is released at once). None with "Cannot
// Merge DO's.\n" (error) when one of them gives none, and with
// "MEMORY_ALLOCATION_FAILURE\n" when no object can be made.
DataObject* GetDOFromPersonalities(const std::vector<std::string>& personalityNames);
DataObject* GetDOFromPersonalitiesByRowUnit(const std::vector<std::string>& personalityNames,
                                            const RowUnit* row);
DataObject* GetDOFromPersonalitiesByCriteria(const std::vector<std::string>& personalityNames,
                                             const char* criteria);

// Logs "@@@ Inside DeepRetrieveDO @@@ \n" (trace). The object of the
// dominant row and of every constituent table its index table lists for it
// (each table once), restricted to that row (GetDataObjectByRowUnit).
// REQUIRES: row carries every column of the dominant table in definition
// order. None with "No primary keys in dominant table %s\n" when the key
// condition cannot be made (ConstructPKValueString), and with "Query: %s.
// No tables indexed.  Cannot deep retrieve DO for %s\n" (error, with the
// query text) when the index table lists nothing for the row or cannot be
// read.
DataObject* DeepRetrieveDO(const char* dominantTable, const RowUnit* row);
