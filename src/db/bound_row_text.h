// How a row of bound values is shown in the log when a prepared statement
// fails on it: the one form every provider uses.
#pragma once

#include <string>

#include "db/db_provider.h"

namespace fh {

// "(v1, v2, ...)": numbers as digits (doubles with 17 significant digits),
// NULL, texts of every text kind in single quotes (a quote doubled, cut
// after 64 bytes with "..." before the closing quote), binary values as
// "<n bytes>".
std::string ShowBoundRow(const BoundValue* row, int count);

// Logs "Failing row %d: %s\n" (error) with ShowBoundRow; number counts
// from 0 within the rows given to one ExecutePrepared.
void LogFailingBoundRow(const BoundValue* row, int count, int number);

}  // namespace fh
