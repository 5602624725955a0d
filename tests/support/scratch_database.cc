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

ScratchDatabase::ScratchDatabase(const Engine& engine, const std::string& base)
    : engine_(engine), name_(base + "_" + std::to_string(::getpid())) {
  if (engine_.name == "sqlite") {
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

std::string ScratchDatabase::ConnParamsLine(const std::string& label, int number,
                                            const std::string& connectionName) const {
  const std::string prefix = EnvPrefix(engine_);
  const std::string dialect = engine_.name == "pgsql" ? "PGSQL" : "MYSQL";
  const std::string password = Env(prefix + "_PASSWORD");
  std::string connect = "DSN=" + Env(prefix + "_DSN") + ";Database=" + name_ +
                        ";UID=" + Env(prefix + "_USER");
  if (!password.empty() && password != "NULL") connect += ";PWD=" + Braced(password);
  return label + " " + std::to_string(number) + " " + Env(prefix + "_DSN") + " NULL NULL - " +
         connectionName + " ODBC " + dialect + " YES " + connect + "\n";
}

bool ScratchDatabase::RunAdminStatement(const std::string& text) const {
  fh::ResetDBProvidersForTesting();
  bool done = false;
  if (InitDBProvider() && LoadDBProvider("ODBC")) {
    std::unique_ptr<ConnParamsEntry> entry = MakeEngineEntry(engine_, "", "fh_scratch_admin");
    std::unique_ptr<ConnectionHandle> handle = OpenDBConnection(entry.get());
    if (handle != nullptr) {
      done = ExecuteUpdate(handle.get(), text.c_str()) == 1;
      CloseDBConnection(std::move(handle));
    }
  }
  fh::ResetDBProvidersForTesting();
  return done;
}

}  // namespace fhtest
