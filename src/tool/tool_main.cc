#include "tool/tool_main.h"

#include "log/log.h"
#include "logging/agent_logging.h"
#include "platform/win32_types.h"
#include "registry/registry_reader.h"
#include "registry/registry_writer.h"
#include "tool/command_line.h"

namespace fh {

namespace {

constexpr char kToolLogFileName[] = "fhprereqhandler.log";

void WriteValue(const CommandLineOptions& options) {
  const DWORD type = EqualsIgnoringCase(options.type, "DWORD") ? REG_DWORD : REG_SZ;
  const LONG code = writeValueEx(HKEY_LOCAL_MACHINE, options.path.c_str(), options.name.c_str(),
                                 options.value.c_str(), type);
  if (code == ERROR_SUCCESS) {
    LogInfo("Reg value written successfully.\n");
  } else {
    LogError("Failed to write reg value with error code : %ld\n", static_cast<long>(code));
  }
}

void DeleteValue(const CommandLineOptions& options) {
  const LONG code = deleteValueEx(HKEY_LOCAL_MACHINE, options.path.c_str(), options.name.c_str());
  if (code == ERROR_SUCCESS) {
    LogInfo("Reg value deleted successfully.\n");
  } else {
    LogError("Failed to delete reg value with error code : %ld\n", static_cast<long>(code));
  }
}

}  // namespace

int RunTool(int argc, const char* const argv[]) {
  StartAgentLogging(kToolLogFileName);  // without a log the run goes on silently
  CommandLineOptions options;
  if (ParseCommandLine(argc, argv, options) != 0) {
    StopAgentLogging();
    return 1;
  }
  gv_use64BitRegView = options.use64BitView;
  if (EqualsIgnoringCase(options.op, "w")) {
    WriteValue(options);
  } else {
    DeleteValue(options);
  }
  StopAgentLogging();
  return 0;
}

}  // namespace fh
