// The list file and the data directory rule of the data dictionary loader.
#include "dictionary/data_dict_loader.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "config/tessel_root.h"
#include "dictionary/data_dict_test_helpers.h"
#include "support/scoped_working_directory.h"

namespace {

using fhtest::DictionaryXml;
using fhtest::ErrorLine;
using fhtest::SimpleColumnsXml;
using fhtest::TableXml;

std::string OneTableFile(const std::string& table, const std::string& description = "") {
  return DictionaryXml(TableXml(
      table, (description.empty() ? "" : "<description>" + description + "</description>") +
                 SimpleColumnsXml()));
}

const char* DescriptionOf(const char* table) {
  const TableDefn* definition = GetTableDefn(table);
  return definition && definition->description ? definition->description->c_str() : nullptr;
}

using ListFileTest = fhtest::DataDictTest;

// <top>/work is the working directory; <top>/data is "..\\data" from there;
// <top>/root/data is the data directory below the framework root.
class DataDirectoryRuleTest : public fhtest::DataDictTest {
 protected:
  void SetUp() override {
    fhtest::DataDictTest::SetUp();
    for (const char* sub : {"work", "data", "root", "root/data"}) {
      ASSERT_EQ(::mkdir(dir().Sub(sub).c_str(), 0755), 0) << sub;
    }
  }
  void WriteDataFile(const std::string& where, const std::string& name,
                     const std::string& content) {
    WriteFile(where + "/" + name, content);
  }
};

TEST_F(DataDirectoryRuleTest, WorkingDirectoryListIsUsedAndTheRootIsNotConsulted) {
  WriteDataFile("data", "datadictionary.txt", "near.xml\n");
  WriteDataFile("data", "near.xml", OneTableFile("near_table"));
  WriteDataFile("root/data", "datadictionary.txt", "far.xml\n");
  WriteDataFile("root/data", "far.xml", OneTableFile("far_table"));
  SetTesselRoot(dir().Sub("root").c_str());
  fhtest::ScopedWorkingDirectory cwd(dir().Sub("work"));
  ASSERT_TRUE(cwd.changed());

  EXPECT_TRUE(LoadAllDataDictFiles());
  EXPECT_NE(GetTableDefn("near_table"), nullptr);
  EXPECT_EQ(GetTableDefn("far_table"), nullptr);
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find("[TRACE] \t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n"),
            std::string::npos);
  EXPECT_NE(messages.find("[DEBUG] Opening ..\\data\\near.xml\n"), std::string::npos);
  EXPECT_EQ(messages.find(dir().Sub("root")), std::string::npos) << messages;
}

TEST_F(DataDirectoryRuleTest, RootListIsUsedWhenTheWorkingDirectoryHasNone) {
  // The near data directory holds an XML file of the same name: listed files
  // must come from the root's directory, where the list was found.
  WriteDataFile("data", "tables.xml", OneTableFile("wrong_place"));
  WriteDataFile("root/data", "datadictionary.txt", "tables.xml");
  WriteDataFile("root/data", "tables.xml", OneTableFile("right_place"));
  SetTesselRoot(dir().Sub("root").c_str());
  fhtest::ScopedWorkingDirectory cwd(dir().Sub("work"));

  EXPECT_TRUE(LoadAllDataDictFiles());
  EXPECT_NE(GetTableDefn("right_place"), nullptr);
  EXPECT_EQ(GetTableDefn("wrong_place"), nullptr);
  const std::string messages = NewMessages();
  const std::string root = dir().Sub("root");
  EXPECT_NE(messages.find("[DEBUG] Opening " + root + "/data/datadictionary.txt\n"),
            std::string::npos);
  EXPECT_NE(messages.find("[DEBUG] Opening " + root + "/data/tables.xml\n"), std::string::npos);
}

TEST_F(DataDirectoryRuleTest, NoListAnywhereFails) {
  fhtest::ScopedWorkingDirectory cwd(dir().Sub("work"));
  EXPECT_FALSE(LoadAllDataDictFiles());  // no root either
  SetTesselRoot(dir().Sub("root").c_str());
  EXPECT_FALSE(LoadAllDataDictFiles());
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find(ErrorLine("Cannot open DataDictionary File.\n")), std::string::npos);
  EXPECT_EQ(fh::GetTableDefnCount(), 0u);
}

TEST_F(DataDirectoryRuleTest, CallerChosenDirectory) {
  WriteDataFile("data", "datadictionary.txt", "a.xml b.xml");
  WriteDataFile("data", "a.xml", OneTableFile("from_a"));
  WriteDataFile("data", "b.xml", OneTableFile("from_b"));
  EXPECT_TRUE(LoadDataDictFiles(dir().Sub("data").c_str()));
  EXPECT_EQ(fh::GetTableDefnCount(), 2u);
  EXPECT_FALSE(LoadDataDictFiles(dir().Sub("root").c_str()));  // no list there
  EXPECT_FALSE(LoadDataDictFiles(nullptr));
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find("[TRACE] \t@@@@@ Inside LoadDataDictFiles() @@@@@\n"), std::string::npos);
  EXPECT_EQ(messages.find("[ERROR]"), std::string::npos) << messages;
}

TEST_F(ListFileTest, SameTableNameInTwoFilesFirstOneIsFound) {
  WriteFile("datadictionary.txt", "first.xml\nsecond.xml\n");
  WriteFile("first.xml", OneTableFile("Shared", "from first"));
  WriteFile("second.xml", OneTableFile("shared", "from second"));
  ASSERT_TRUE(LoadDataDictFiles(dir().path().c_str()));
  EXPECT_EQ(fh::GetTableDefnCount(), 2u);  // both are registered
  EXPECT_STREQ(DescriptionOf("SHARED"), "from first");
}

TEST_F(ListFileTest, UnopenableListedFilesDoNotStopTheList) {
  const std::string longName = std::string(128, 'n') + ".xml";
  const std::string limitName = std::string(123, 'm') + ".xml";  // 127 characters
  WriteFile("datadictionary.txt", "missing.xml " + longName + " " + limitName + " last.xml\n");
  WriteFile(longName.substr(0, 127), OneTableFile("truncated_name"));
  WriteFile(longName, OneTableFile("long_name"));
  WriteFile(limitName, OneTableFile("at_limit"));
  WriteFile("last.xml", OneTableFile("last"));

  ASSERT_TRUE(LoadDataDictFiles(dir().path().c_str()));
  EXPECT_EQ(GetTableDefn("long_name"), nullptr);
  EXPECT_EQ(GetTableDefn("truncated_name"), nullptr);  // a long name is never cut
  EXPECT_NE(GetTableDefn("at_limit"), nullptr);
  EXPECT_NE(GetTableDefn("last"), nullptr);
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find(ErrorLine("Unable to open " + dir().path() + "\\missing.xml\n")),
            std::string::npos);
  EXPECT_NE(messages.find(ErrorLine("Unable to open " + dir().path() + "\\" + longName + "\n")),
            std::string::npos);
}

TEST_F(ListFileTest, ComposedPathOverTheLimitIsNotOpened) {
  // A directory deep enough that "<dir>\\<name>" passes 259 characters
  // while the list's own path and the name itself stay short.
  std::string deep = dir().path();
  while (deep.size() < 219) {
    deep += "/" + std::string(20, 'd');
    ASSERT_EQ(::mkdir(deep.c_str(), 0755), 0);
  }
  const std::string name(259 - deep.size(), 'x');  // "<deep>\\<name>" is 260 long
  ASSERT_TRUE(fhtest::WriteFileBytes(deep + "/datadictionary.txt", name));
  ASSERT_TRUE(fhtest::WriteFileBytes(deep + "/" + name, OneTableFile("too_deep")));
  ASSERT_TRUE(LoadDataDictFiles(deep.c_str()));
  EXPECT_EQ(GetTableDefn("too_deep"), nullptr);
  EXPECT_NE(NewMessages().find(ErrorLine("Unable to open " + deep + "\\" + name + "\n")),
            std::string::npos);
}

TEST_F(ListFileTest, SingleFileEntryPoints) {
  EXPECT_FALSE(LoadDataDictFromXMLFile(nullptr));
  const std::string missing = dir().Sub("nothing.xml");
  EXPECT_TRUE(LoadDataDictFromXMLFile(missing.c_str()));
  EXPECT_TRUE(XmlDataParser(missing.c_str()));
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find("[TRACE] \nInside LoadDataDictFromXMLFile() \n\n"), std::string::npos);
  EXPECT_NE(messages.find("[TRACE] \n Inside XmlDataParser\n"), std::string::npos);
  EXPECT_NE(messages.find(ErrorLine("Unable to open " + missing + "\n")), std::string::npos);
}

}  // namespace
