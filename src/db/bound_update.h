// One statement with bound values, run once: the way a caller that writes a
// single row (a compare-and-set, an index entry) keeps values out of SQL
// text when the handle's provider has prepared statements, and still works
// when it has none.
//
// Thread safety: as the handle's provider allows for prepared statements
// (the caller serialises calls on one handle).
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "db/db_provider.h"

struct ConnectionHandle;

namespace fh {

// A statement in two forms: markerText with one "?" per bound value, and
// literalText, the same statement with the values written in, for the log
// and for a provider without prepared statements.
struct BoundUpdate {
  std::string markerText;
  std::span<const BoundValue> values;
  std::string literalText;
};

// Runs statement on handle: prepared with its values bound when the
// handle's provider supports it, otherwise (or when the provider cannot
// prepare it and the link is not lost) its literal text
// (ExecuteUpdateRowCount). The number of rows it changed, or -1 on failure
// (the provider's lines logged).
int64_t RunBoundUpdate(ConnectionHandle* handle, const BoundUpdate& statement);

}  // namespace fh
