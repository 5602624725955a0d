#include "sql/savepoint_sql.h"

#include "sql/sql_dialects.h"

namespace fh {

SavepointSql MakeSavepointSql(const std::string& name, const char* dialectName) {
  SavepointSql sql{"SAVEPOINT " + name, "ROLLBACK TO SAVEPOINT " + name,
                   "RELEASE SAVEPOINT " + name, true};
  const DialectWords* words = DialectWordsNamed(dialectName);
  if (words != nullptr) sql.nests = words->savepointsNest;
  return sql;
}

}  // namespace fh
