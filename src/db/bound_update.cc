#include "db/bound_update.h"

#include "db/connection.h"

namespace fh {

int64_t RunBoundUpdate(ConnectionHandle* handle, const BoundUpdate& statement) {
  if (!SupportsPreparedStatements(handle)) {
    return ExecuteUpdateRowCount(handle, statement.literalText.c_str());
  }
  PreparedStatement* prepared = PrepareStatement(handle, statement.markerText.c_str(),
                                                 static_cast<int>(statement.values.size()));
  if (prepared == nullptr) {
    // A statement this provider cannot prepare still runs as text; a lost
    // link does not.
    return IsConnectionBroken(*handle)
               ? -1
               : ExecuteUpdateRowCount(handle, statement.literalText.c_str());
  }
  int64_t changed = -1;
  if (ExecutePrepared(handle, prepared, statement.values.data(), 1) == 1) {
    changed = PreparedRowCount(handle, prepared);
  }
  FinalizeStatement(handle, prepared);
  return changed;
}

}  // namespace fh
