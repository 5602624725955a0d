// The sequence generator: hands out unique identifiers for the columns whose
// definition names a generator, from batches reserved in the database.
//
// In this build no sequence is primed yet (priming needs the database
// layer), so every request reports an unknown sequence.
//
// Thread safety: may be called from any thread.
#pragma once

#include <cstdint>

#include "dictionary/table_defn.h"

// The next number of column's sequence (its generatorName), or -1 when the
// sequence was never primed, has no batch, or its batch cannot be refilled.
// Logs "Inside GenerateID \n" and "AutoId Key %s\n" (trace); an unknown
// sequence logs "Cannot generate ID for key %s.\n" (trace). -1 as well for a
// null column or a column without a generator.
int32_t GenerateID(const char* tableName, const ColumnDefnEntry* column);
