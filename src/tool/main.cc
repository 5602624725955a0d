// fhprereqhandler: writes or deletes one registry value as its command line
// says and records the steps in the agent's log.
#include "tool/tool_main.h"

int main(int argc, char* argv[]) { return fh::RunTool(argc, argv); }
