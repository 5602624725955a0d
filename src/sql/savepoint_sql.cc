#include "sql/savepoint_sql.h"

#include <strings.h>

namespace fh {

SavepointSql MakeSavepointSql(const std::string& name, const char* dialectName) {
  SavepointSql sql{"SAVEPOINT " + name, "ROLLBACK TO SAVEPOINT " + name,
                   "RELEASE SAVEPOINT " + name, true};
  for (const char* replacing : {"MYSQL", "PGSQL", "FIREBIRD"}) {
    if (dialectName != nullptr && strcasecmp(dialectName, replacing) == 0) sql.nests = false;
  }
  return sql;
}

}  // namespace fh
