// The whole run of the fhprereqhandler tool: start the agent's log, parse the
// command line, write or delete one value below HKEY_LOCAL_MACHINE, log the
// outcome, stop the log. Nothing is written to the console.
#pragma once

namespace fh {
// Returns the process exit code: 1 when the command line is invalid, else 0
// (also when the registry operation failed; the log tells the outcome).
// Sets gv_use64BitRegView from "-arch". Call once per process.
int RunTool(int argc, const char* const argv[]);
}  // namespace fh
