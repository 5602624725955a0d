#include "dictionary/data_dict_test_helpers.h"

#include "config/tessel_root.h"
#include "dictionary/data_dict_loader.h"

namespace fhtest {

std::string DictionaryXml(const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<data-dictionary>\n" + body + "\n</data-dictionary>\n";
}

std::string TableXml(const std::string& name, const std::string& inner) {
  return "<table name=\"" + name + "\">" + inner + "</table>\n";
}

std::string SimpleColumnsXml(const std::string& extraColumns) {
  return "<columns><column name=\"id\"><data-type>INTEGER</data-type></column>" + extraColumns +
         "</columns>";
}

void DataDictTest::SetUp() {
  FreeAllTableDefns();
  fh::ResetTesselRoot();
  log_ = std::make_unique<TestLog>(logDir_.path());
  ASSERT_TRUE(log_->opened());
}

void DataDictTest::TearDown() {
  log_.reset();
  FreeAllTableDefns();
  fh::ResetTesselRoot();
}

std::string DataDictTest::WriteFile(const std::string& name, const std::string& content) {
  const std::string path = dir_.Sub(name);
  EXPECT_TRUE(WriteFileBytes(path, content));
  return path;
}

std::string DataDictTest::LoadXml(const std::string& xml) {
  NewMessages();
  const std::string path = WriteFile("dict" + std::to_string(++fileCounter_) + ".xml", xml);
  EXPECT_TRUE(LoadDataDictFromXMLFile(path.c_str()));
  return NewMessages();
}

std::string DataDictTest::NewMessages() {
  const std::string all = log_->Messages();
  std::string fresh = consumed_ <= all.size() ? all.substr(consumed_) : std::string();
  consumed_ = all.size();
  return fresh;
}

}  // namespace fhtest
