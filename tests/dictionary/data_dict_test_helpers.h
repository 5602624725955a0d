// Shared pieces of the data dictionary loader tests: a fixture that starts
// every test with an empty list of table definitions, no framework root and
// a fresh log at level 4, and writes XML files into a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dictionary/table_defn.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace fhtest {

// <data-dictionary> around body.
std::string DictionaryXml(const std::string& body);
// A table with the given inner XML.
std::string TableXml(const std::string& name, const std::string& inner);
// <columns> with one INTEGER column named "id" (and extra columns after it).
std::string SimpleColumnsXml(const std::string& extraColumns = "");

class DataDictTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes content to <dir>/<name>; returns the path.
  std::string WriteFile(const std::string& name, const std::string& content);
  // Writes xml to a file, loads it with LoadDataDictFromXMLFile and returns
  // the log lines written meanwhile ("[TAG] message" form).
  std::string LoadXml(const std::string& xml);
  // The log lines written since the last call (or since SetUp).
  std::string NewMessages();

  const TempDir& dir() const { return dir_; }

 private:
  TempDir dir_;
  TempDir logDir_;
  std::unique_ptr<TestLog> log_;
  std::size_t consumed_ = 0;
  int fileCounter_ = 0;
};

// "[ERROR] " + message etc., for searching the log.
inline std::string ErrorLine(const std::string& message) { return "[ERROR] " + message; }

}  // namespace fhtest
