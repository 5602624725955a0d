// Selecting rows of an in-memory table: by criteria text (the language of
// query/criteria_parser.h, evaluated as store/criteria_evaluator.h says), by
// position, and deleting the rows a criteria selects.
//
// A criteria naming a column the table does not have is refused with
// "Criteria column %s is not a column of table %s\n" (error): a misspelt
// column is reported, never taken as "nothing matches".
//
// Thread safety: criteria are parsed and evaluated under the criteria lock
// (CriteriaLockAddress in store/table_data.h), released on every path; the
// rows themselves are not locked (store/table_data.h). Several threads may
// select from one table at once while nobody changes it.
#pragma once

#include <cstdint>
#include <memory>

#include "store/result_data.h"

// A criteria that fixes a table's whole primary key by equality (every key
// column once, joined by "and", in any order and letter case) is answered
// from the table's key index instead of a scan, with the same rows and the
// same refusals.
//
// Logs "@@@ Inside SelectRows @@@\n" (trace). A result holding the rows of
// the table that match criteria, in list order, cursor reset; without
// criteria (none) every row. None when the table is unknown, the criteria
// does not parse, names an unknown column, the table is a view or has no
// columns (criteria only), or memory is exhausted ("not able to Add row \n",
// error, when a row cannot be added to the result).
std::unique_ptr<ResultData> SelectRows(const char* tableName, const char* criteria);

// Logs "@@@ Inside SelectRowByRowIdx @@@\n" (trace). A result holding the
// n-th row counted from 1 (n of 1 or less: the first row; an empty result
// for a table without rows). None for an unknown table, n above rowCount, or
// when the list ends before position n (deleted rows do not lower rowCount).
std::unique_ptr<ResultData> SelectRowByRowIdx(const char* tableName, int32_t n);

// Logs "@@@ Inside DeleteRowObjectByCriteria @@@\n" (trace). Applies
// DeleteRowObject to every row that matches criteria: the matching rows are
// collected under the criteria lock and deleted (and announced) after it was
// released, so a listener may itself select with a criteria. true when the
// criteria was applied, also when nothing matched; false as SelectRows fails.
// REQUIRES: listeners called meanwhile do not delete rows of the table.
bool DeleteRowObjectByCriteria(const char* tableName, const char* criteria);
