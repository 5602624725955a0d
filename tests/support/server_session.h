// Cutting a connection from the server side, for the tests of lost links:
// the server's id of a connection's session, ending a session from another
// connection (pg_terminate_backend, KILL), waiting for a session to wait on a
// lock, and restarting a throwaway server (scripts/lib/databases.sh exports
// FH_TEST_DB_RESTART). Waits poll the server for their condition, bounded
// at 30 s; nothing waits for a fixed time.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "support/db_engines.h"

struct ConnectionHandle;

namespace fhtest {

// The selected engines with a server (not SQLite).
std::vector<Engine> ServerEngines();

// The server's id of handle's session (pgsql, mariadb), or none.
std::optional<int64_t> SessionId(const Engine& engine, ConnectionHandle* handle);

// Ends session from the connection killer and waits until the server no
// longer lists it. false when the statement failed or it stayed.
bool EndSession(const Engine& engine, ConnectionHandle* killer, int64_t session);

// Waits until session is running a statement whose text holds fragment
// (no quotes in it); false when it did not within 30 s.
bool WaitUntilRunning(const Engine& engine, ConnectionHandle* watcher, int64_t session,
                      const std::string& fragment);

// Stops the engine's server and starts it again; true once it answers.
bool RestartServer(const Engine& engine);

}  // namespace fhtest
