// A database of its own on a server engine, for tests whose table names are
// fixed (a sample data directory, definition tables with given names) and
// so cannot be made unique per test process on a shared server.
//
// The database is "<base>_<pid>": a leftover of a killed run is dropped
// first, and the destructor drops it again (PostgreSQL forcing off any
// connection still open). The statements run on a connection of their own
// through the ODBC provider; the provider registry is reset afterwards, so
// construct and destroy a ScratchDatabase only while the database layer is
// not otherwise in use. A failure to create the database fails the calling
// test (ok() is then false).
#pragma once

#include <string>

#include "support/db_engines.h"

namespace fhtest {

class ScratchDatabase {
 public:
  ScratchDatabase(const Engine& engine, const std::string& base);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  bool ok() const { return ok_; }
  const std::string& name() const { return name_; }

  // A connection parameters line ("connparams.txt" form) for this database:
  // label, number and connection name as given, the engine's dialect and a
  // connect string naming the engine's data source, this database and the
  // test user.
  std::string ConnParamsLine(const std::string& label, int number,
                             const std::string& connectionName) const;

 private:
  bool RunAdminStatement(const std::string& text) const;

  Engine engine_;
  std::string name_;
  bool ok_ = false;
};

}  // namespace fhtest
