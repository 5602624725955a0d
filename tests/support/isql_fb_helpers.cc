#include "support/isql_fb_helpers.h"

#include <sstream>

#include "support/test_support.h"

namespace fhtest {

IsqlRun RunIsqlStatements(const std::string& directory,
                          const std::vector<std::string>& statements) {
  std::string script = "CREATE DATABASE '" + directory + "/t.fdb' user 'SYSDBA';\n";
  for (std::string statement : statements) {
    while (!statement.empty() && (statement.back() == '\n' || statement.back() == ' ')) {
      statement.pop_back();
    }
    if (statement.empty() || statement.back() != ';') statement += ';';
    script += statement + "\ncommit;\n";
  }
  const std::string path = directory + "/script.sql";
  IsqlRun run;
  if (!WriteFileBytes(path, "set list on;\n" + script)) return run;
  const ProcessResult result = RunProcess("/usr/bin/isql-fb", {"-q", "-b", "-i", path});
  run.exitCode = result.exitCode;
  run.output = result.output;
  return run;
}

std::vector<std::map<std::string, std::string>> ParseIsqlRecords(const std::string& output) {
  std::vector<std::map<std::string, std::string>> records;
  std::map<std::string, std::string> record;
  std::istringstream lines(output);
  std::string line;
  while (std::getline(lines, line)) {
    const std::size_t gap = line.find(' ');
    if (line.empty() || gap == std::string::npos) {
      if (!record.empty()) records.push_back(std::move(record));
      record.clear();
      continue;
    }
    const std::size_t value = line.find_first_not_of(' ', gap);
    record[line.substr(0, gap)] = value == std::string::npos ? "" : line.substr(value);
  }
  if (!record.empty()) records.push_back(std::move(record));
  return records;
}

}  // namespace fhtest
