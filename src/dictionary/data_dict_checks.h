// The checks that make a set of data dictionaries fit to run: what the
// loader (dictionary/data_dict_loader.h) finds wrong in a file, a table or
// between tables is written to the log as one error line naming the file
// and the table's line, and counted. Start-up (InitTessel) refuses to run
// with any fault counted.
//
// Per table (CheckLoadedTable, as each table is read): a table that could
// not be read or built (a table without any column stays skipped without a
// line, as the file format allows); a table, column or generator name that is not a
// plain identifier (dictionary/sql_text.h); a data type name that names no
// type (the name of the "not supported" code itself is a name); a table defined twice (letter case
// ignored); a column defined twice in a table; a primary-key or foreign-key column that is not a
// column of the table. Across tables (CheckTableReferences, once every file is read): a foreign key
// naming a table or a column that no dictionary defines; a generated column while no dictionary
// defines the table SeqGenState.
//
// Lines read "<file>:<line>: <what is wrong>\n" (error).
//
// Thread safety: the findings are process-wide and guarded by one internal
// mutex; a set of dictionaries is loaded by one thread at a time.
#pragma once

#include "dictionary/table_defn.h"
#include "dictionary/xml_tag_info.h"
#include "log/log.h"

namespace fh {

// Forgets the findings and the tables seen (before a new set is loaded).
void ResetDataDictChecks();

// Logs "<file>:<line>: <message>" (error) and counts one fault. line 0: the
// file as a whole ("<file>: <message>").
void ReportDataDictFault(const char* file, int line, const char* format, ...)
    FH_PRINTF_FORMAT(3, 4);

// Checks one table read from file at line: tableTree as read (none when the
// reader gave up), built the definition made from it (none when none was).
void CheckLoadedTable(const XmlTagInfo* tableTree, const TableDefn* built, const char* file,
                      int line);

// Checks the references between the tables seen since the last reset.
void CheckTableReferences();

// Faults counted since the last reset.
int DataDictFaultCount();

}  // namespace fh
