#include "support/scratch_database.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "db/connection.h"
#include "db/db_provider.h"

namespace fhtest {
namespace {

std::string Env(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  return value != nullptr ? value : "";
}

// A connect string attribute value in braces, which lets it hold ';' and
// '}' (doubled).
std::string Braced(const std::string& value) {
  std::string braced = "{";
  for (char c : value) {
    braced += c;
    if (c == '}') braced += '}';
  }
  return braced + "}";
}

std::string EnvPrefix(const Engine& engine) {
  return engine.name == "pgsql" ? "FH_TEST_PGSQL" : "FH_TEST_MARIADB";
}

}  // namespace

std::string EngineDialect(const Engine& engine) {
  if (IsSqlite(engine)) return "SQLITE";
  return engine.name == "pgsql" ? "PGSQL" : "MYSQL";
}

ScratchDatabase::ScratchDatabase(const Engine& engine, const std::string& base)
    : engine_(engine), name_(base + "_" + std::to_string(::getpid())) {
  if (IsSqlite(engine_)) {
    ADD_FAILURE() << "SQLite keeps its databases in files: no scratch database to create";
    return;
  }
  RunAdminStatement("drop database if exists " + name_);
  ok_ = RunAdminStatement("create database " + name_);
  if (!ok_) ADD_FAILURE() << "cannot create the scratch database " << name_;
}

ScratchDatabase::~ScratchDatabase() {
  if (!ok_) return;
  const std::string force = engine_.name == "pgsql" ? " with (force)" : "";
  if (!RunAdminStatement("drop database if exists " + name_ + force)) {
    ADD_FAILURE() << "cannot drop the scratch database " << name_;
  }
}

std::string ScratchDatabase::ConnectString() const {
  const std::string prefix = EnvPrefix(engine_);
  const std::string password = Env(prefix + "_PASSWORD");
  std::string connect =
      "DSN=" + Env(prefix + "_DSN") + ";Database=" + name_ + ";UID=" + Env(prefix + "_USER");
  if (!password.empty() && password != "NULL") connect += ";PWD=" + Braced(password);
  return connect;
}

std::unique_ptr<ConnParamsEntry> ScratchDatabase::Entry(const std::string& connectionName) const {
  const std::string dsn = Env(EnvPrefix(engine_) + "_DSN");
  return CreateConnParamsEntry("test", 1, dsn.c_str(), nullptr, nullptr, connectionName.c_str(), 1,
                               ConnectString().c_str(), "ODBC", EngineDialect(engine_).c_str());
}

std::string ScratchDatabase::ConnParamsLine(const std::string& label, int number,
                                            const std::string& connectionName) const {
  return label + " " + std::to_string(number) + " " + Env(EnvPrefix(engine_) + "_DSN") +
         " NULL NULL - " + connectionName + " ODBC " + EngineDialect(engine_) + " YES " +
         ConnectString() + "\n";
}

bool ScratchDatabase::RunAdminStatement(const std::string& text) const {
  if (GetDBProviderIndex("ODBC") < 0 && !InitDBProvider()) return false;
  std::unique_ptr<ConnParamsEntry> entry = MakeEngineEntry(engine_, "", "fh_scratch_admin");
  std::unique_ptr<ConnectionHandle> handle = OpenDBConnection(entry.get());
  if (handle == nullptr) return false;
  const bool done = ExecuteUpdate(handle.get(), text.c_str()) == 1;
  CloseDBConnection(std::move(handle));
  return done;
}

}  // namespace fhtest
