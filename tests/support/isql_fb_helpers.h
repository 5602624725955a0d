// Runs statements through Firebird's own isql-fb on an embedded database in
// a temporary directory (Firebird has no ODBC driver here) and reads back
// what selects printed.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace fhtest {

struct IsqlRun {
  int exitCode = -1;
  std::string output;  // standard output and error together
};

// Creates the database "t.fdb" in directory, runs each statement (";" added
// when it has none), commits, and prints selects in list form. isql stops
// at the first failing statement (exit code non-zero).
IsqlRun RunIsqlStatements(const std::string& directory, const std::vector<std::string>& statements);

// The records of isql's list form: one map per record, column name to value
// text ("<null>" for NULL).
std::vector<std::map<std::string, std::string>> ParseIsqlRecords(const std::string& output);

}  // namespace fhtest
