#include "sql/savepoint_sql.h"

namespace fh {

SavepointSql MakeSavepointSql(const std::string& name) {
  return {"SAVEPOINT " + name, "ROLLBACK TO SAVEPOINT " + name, "RELEASE SAVEPOINT " + name};
}

}  // namespace fh
