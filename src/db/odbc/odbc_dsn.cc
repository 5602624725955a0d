#include "db/odbc/odbc_dsn.h"

#include <odbcinst.h>

#include <cctype>
#include <cstdio>
#include <new>
#include <string>

#include "config/config_files.h"
#include "db/odbc/odbc_api.h"
#include "log/log.h"
#include "util/c_string.h"
#include "util/text_line.h"

namespace {

void AppendAttribute(std::string& text, const char* key, const char* value) {
  if (value == nullptr || StringCompareNoCase(value, "NULL") == 0) return;
  text += key;
  text += '=';
  text += value;
  text += ';';
}

bool IsBlank(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// The six words and the driver name of one line; false when it is
// incomplete.
bool SplitDsnLine(const std::string& line, std::string (&words)[6], std::string& driver) {
  std::size_t at = 0;
  for (std::string& word : words) {
    while (at < line.size() && IsBlank(line[at])) ++at;
    if (at >= line.size()) return false;
    const std::size_t start = at;
    while (at < line.size() && !IsBlank(line[at])) ++at;
    word.assign(line, start, at - start);
  }
  while (at < line.size() && IsBlank(line[at])) ++at;
  driver = line.substr(at);
  while (!driver.empty() && IsBlank(driver.back())) driver.pop_back();
  return !driver.empty();
}

}  // namespace

bool CreateDSN(const char* dsnName, const char* description, const char* server, const char* user,
               const char* password, const char* database, const char* driverName) {
  if (driverName == nullptr || dsnName == nullptr) {
    LogError("DriverName or DSN name is NULL \n");
    return false;
  }
  std::string attributes;
  try {
    AppendAttribute(attributes, "DSN", dsnName);
    AppendAttribute(attributes, "DESCRIPTION", description);
    AppendAttribute(attributes, "SERVER", server);
    AppendAttribute(attributes, "UID", user);
    AppendAttribute(attributes, "PWD", password);
    AppendAttribute(attributes, "DATABASE", database);
  } catch (const std::bad_alloc&) {
    LogError("Unable to Allocate and copy dsnStr \n");
    return false;
  }
  if (fh::odbc::Odbc().SQLConfigDataSource(nullptr, ODBC_ADD_DSN, driverName, attributes.c_str()) ==
      0) {
    LogError("SQLConfigDataSource returned FALSE \n");
    return false;
  }
  return true;
}

bool CreateDSNFromFile(const char* path) {
  fh::ConfigFileStream stream = fh::OpenDataFileForRead(path);
  if (!stream) {
    LogError("Error opening File %s \n", path != nullptr ? path : "(null)");
    return false;
  }
  try {
    std::string line;
    std::string words[6];
    std::string driver;
    while (fh::ReadTextLine(stream.get(), line) && SplitDsnLine(line, words, driver)) {
      if (!CreateDSN(words[0].c_str(), words[1].c_str(), words[2].c_str(), words[3].c_str(),
                     words[4].c_str(), words[5].c_str(), driver.c_str())) {
        LogError("Creating DSN %s Failed\n", words[0].c_str());
      }
    }
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return true;
}
