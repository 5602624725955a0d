// Sets the tessel root to the directory given as the only argument, opens
// the log there, writes one line and reads it back; exit status 0 only when
// the root reads back as set and the line is in the log file.
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

#include "config/tessel_root.h"
#include "log/log.h"
#include "log/log_file.h"

int main(int argc, char** argv) {
  if (argc != 2) return 2;
  const std::string root = argv[1];
  SetTesselRoot(root.c_str());
  if (fh::GetTesselRoot() == nullptr || root != fh::GetTesselRoot()) {
    std::cerr << "the tessel root did not read back\n";
    return 1;
  }
  InitLogDefaults();
  if (!SetLogParams("consumer.log", root.c_str(), 10000, 1) || !OpenLogFileOverwrite()) {
    std::cerr << "cannot open the log in " << root << "\n";
    return 1;
  }
  LogInfo("installed package consumer %d\n", 42);
  CloseLogFile();
  std::ifstream log(root + "/consumer.log");
  std::stringstream text;
  text << log.rdbuf();
  if (text.str().find("[INFO] installed package consumer 42") == std::string::npos) {
    std::cerr << "the log line is missing; the log holds:\n" << text.str();
    return 1;
  }
  return 0;
}
