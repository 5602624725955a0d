// A database of its own on a server engine, for tests whose table names are
// fixed (a sample data directory, definition tables with given names) and
// so cannot be made unique per test process on a shared server.
//
// The database is "<base>_<pid>": a leftover of a killed run is dropped
// first, and the destructor drops it again (PostgreSQL forcing off any
// connection still open). The statements run on a connection of their own
// through the ODBC provider, which InitDBProvider loads first when no slot
// holds it (so a caller that starts the database layer itself afterwards,
// as InitTessel does, resets the providers in between). A failure to create
// the database fails the calling test (ok() is then false).
#pragma once

#include <memory>
#include <string>

#include "support/db_engines.h"

namespace fhtest {

// The dialect name of engine's data sources ("SQLITE", "PGSQL", "MYSQL").
std::string EngineDialect(const Engine& engine);

class ScratchDatabase {
 public:
  ScratchDatabase(const Engine& engine, const std::string& base);
  ~ScratchDatabase();
  ScratchDatabase(const ScratchDatabase&) = delete;
  ScratchDatabase& operator=(const ScratchDatabase&) = delete;

  bool ok() const { return ok_; }
  const std::string& name() const { return name_; }

  // A connection parameters entry for this database named connectionName:
  // the engine's dialect and a connect string naming the engine's data
  // source, this database and the test user.
  std::unique_ptr<ConnParamsEntry> Entry(const std::string& connectionName) const;
  // The same as a "connparams.txt" line, with label and number as given.
  std::string ConnParamsLine(const std::string& label, int number,
                             const std::string& connectionName) const;

 private:
  bool RunAdminStatement(const std::string& text) const;
  std::string ConnectString() const;

  Engine engine_;
  std::string name_;
  bool ok_ = false;
};

}  // namespace fhtest
