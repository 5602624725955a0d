#include "support/server_session.h"

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>

#include "db/connection.h"
#include "db/db_result_set.h"
#include "dictionary/column_values.h"

namespace fhtest {
namespace {

// The first column of the first row of query, as a number; none when the
// query fails or gives no row.
std::optional<int64_t> Number(ConnectionHandle* handle, const std::string& query) {
  std::unique_ptr<DBResultSet> result = ExecuteQuery(handle, query.c_str());
  if (result == nullptr) return std::nullopt;
  const fh::DBRow* row = NextDBResultSetRow(result.get());
  if (row == nullptr || !(*row)[0]) return std::nullopt;
  const std::optional<std::string> text =
      ConvertValueToString(&*(*row)[0], result->columns[0].dataType);
  if (!text) return std::nullopt;
  return std::strtoll(text->c_str(), nullptr, 10);
}

// Polls until query gives want; false after 30 s.
bool WaitFor(ConnectionHandle* handle, const std::string& query, int64_t want) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < end) {
    if (Number(handle, query) == want) return true;
    std::this_thread::yield();
  }
  return false;
}

bool IsPgsql(const Engine& engine) { return engine.name == "pgsql"; }

}  // namespace

std::vector<Engine> ServerEngines() {
  std::vector<Engine> engines;
  for (const Engine& engine : SelectedEngines()) {
    if (!IsSqlite(engine)) engines.push_back(engine);
  }
  return engines;
}

std::optional<int64_t> SessionId(const Engine& engine, ConnectionHandle* handle) {
  return Number(handle, IsPgsql(engine) ? "select pg_backend_pid()" : "select connection_id()");
}

bool EndSession(const Engine& engine, ConnectionHandle* killer, int64_t session) {
  const std::string id = std::to_string(session);
  if (IsPgsql(engine)) {
    const std::string end = "select case when pg_terminate_backend(" + id + ") then 1 else 0 end";
    if (Number(killer, end) != 1) return false;
    return WaitFor(killer, "select count(*) from pg_stat_activity where pid = " + id, 0);
  }
  if (ExecuteUpdate(killer, ("kill " + id).c_str()) != 1) return false;
  return WaitFor(killer, "select count(*) from information_schema.processlist where id = " + id, 0);
}

bool WaitUntilRunning(const Engine& engine, ConnectionHandle* watcher, int64_t session,
                      const std::string& fragment) {
  const std::string id = std::to_string(session);
  const std::string like = " like '%" + fragment + "%'";
  return WaitFor(watcher,
                 IsPgsql(engine) ? "select count(*) from pg_stat_activity where state = 'active' "
                                   "and query" +
                                       like + " and pid = " + id
                                 : "select count(*) from information_schema.processlist where "
                                   "command in ('Query', 'Execute', 'Bulk_execute') and info" +
                                       like + " and id = " + id,
                 1);
}

bool RestartServer(const Engine& engine) {
  const char* script = std::getenv("FH_TEST_DB_RESTART");
  if (script == nullptr) return false;
  const std::string command = std::string(script) + " " + engine.name + " >/dev/null 2>&1";
  return std::system(command.c_str()) == 0;
}

}  // namespace fhtest
