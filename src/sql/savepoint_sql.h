// The statements that set, roll back to and release a savepoint inside a
// transaction. MYSQL, PGSQL, FIREBIRD and SQLITE write them alike
// ("SAVEPOINT n", "ROLLBACK TO SAVEPOINT n", "RELEASE SAVEPOINT n"); they
// differ in what setting a savepoint of a name already set does: MYSQL and
// FIREBIRD replace the old one, PGSQL hides it until the transaction ends
// (both cheap), SQLITE nests a new one on top of it (each nested level
// makes later statements slower), so there each savepoint is released
// once its statement ran.
//
// Thread safety: a pure function.
#pragma once

#include <string>

namespace fh {

struct SavepointSql {
  std::string set;         // starts the savepoint
  std::string rollbackTo;  // undoes what ran since it, the transaction stays open
  std::string release;     // forgets it, keeping what ran since it
  // true when the savepoint must be released after a statement that ran
  // before the name is set again.
  bool releaseEach = true;
};

// The statements for the savepoint named name (a plain identifier the
// caller chooses; it is not quoted) in the dialect named dialectName
// (ignoring case; none or an unknown name: releaseEach, right everywhere).
SavepointSql MakeSavepointSql(const std::string& name, const char* dialectName);

}  // namespace fh
