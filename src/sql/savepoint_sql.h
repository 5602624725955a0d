// The statements that set, roll back to and release a savepoint inside a
// transaction. MYSQL, PGSQL, FIREBIRD and SQLITE write them alike
// ("SAVEPOINT n", "ROLLBACK TO SAVEPOINT n", "RELEASE SAVEPOINT n"); they
// differ in what setting a savepoint of a name already set does: MYSQL and
// FIREBIRD replace the old one and PGSQL hides it until the transaction
// ends (both cheap), while SQLITE nests the new one inside the old one, and
// every open level makes each later write slower: there the caller should
// release them now and then (releasing a savepoint releases every savepoint
// set after it).
//
// Thread safety: a pure function.
#pragma once

#include <string>

namespace fh {

struct SavepointSql {
  std::string set;         // starts the savepoint
  std::string rollbackTo;  // undoes what ran since it, the transaction stays open
  std::string release;     // forgets it, keeping what ran since it
  // true when setting the name again nests a new savepoint inside the old
  // one (SQLITE) instead of replacing it.
  bool nests = true;
};

// The statements for the savepoint named name (a plain identifier the
// caller chooses; it is not quoted) in the dialect named dialectName
// (ignoring case; none or an unknown name: nests, the careful answer).
SavepointSql MakeSavepointSql(const std::string& name, const char* dialectName);

}  // namespace fh
