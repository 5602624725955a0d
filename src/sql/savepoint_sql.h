// The statements that set, roll back to and release a savepoint inside a
// transaction. MYSQL, PGSQL, FIREBIRD and SQLITE write them alike
// ("SAVEPOINT n", "ROLLBACK TO SAVEPOINT n", "RELEASE SAVEPOINT n"), so one
// set serves every dialect.
//
// Thread safety: a pure function.
#pragma once

#include <string>

namespace fh {

struct SavepointSql {
  std::string set;         // starts the savepoint
  std::string rollbackTo;  // undoes what ran since it, the transaction stays open
  std::string release;     // forgets it, keeping what ran since it
};

// The three statements for the savepoint named name (a plain identifier the
// caller chooses; it is not quoted).
SavepointSql MakeSavepointSql(const std::string& name);

}  // namespace fh
