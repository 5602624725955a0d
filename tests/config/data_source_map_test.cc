#include "config/data_source_map.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "config/tessel_root.h"
#include "support/scoped_working_directory.h"
#include "support/test_log.h"
#include "support/test_support.h"

namespace {

class DataSourceMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    FreeAllDataSourceMapEntries();
    fh::ResetTesselRoot();
  }
  void TearDown() override {
    FreeAllDataSourceMapEntries();
    fh::ResetTesselRoot();
  }

  static void Add(const char* table, const char* connection) {
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table, connection)));
  }
  static std::string ConnectionOf(const char* table) {
    const DataSourceMapEntry* entry = GetDataSourceMapEntry(table);
    return entry != nullptr ? entry->connectionName : "<none>";
  }
};

TEST_F(DataSourceMapTest, CreateCopiesBothNames) {
  std::string table = "customer";
  std::string connection = "MainDB";
  std::unique_ptr<DataSourceMapEntry> entry =
      CreateDataSourceMapEntry(table.c_str(), connection.c_str());
  table = "changed";
  connection = "changed";
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->tableName, "customer");
  EXPECT_EQ(entry->connectionName, "MainDB");
  EXPECT_FALSE(CreateDataSourceMapEntry(nullptr, "x"));
  EXPECT_FALSE(CreateDataSourceMapEntry("x", nullptr));
  EXPECT_FALSE(AddDataSourceMapEntry(nullptr));
}

TEST_F(DataSourceMapTest, LookupIgnoresCaseAndFindsTheFirstEntry) {
  EXPECT_EQ(GetDataSourceMapEntry("customer"), nullptr);  // empty map
  Add("Customer", "First");
  Add("orders", "Orders");
  Add("CUSTOMER", "Second");

  EXPECT_EQ(ConnectionOf("customer"), "First");
  EXPECT_EQ(ConnectionOf("ORDERS"), "Orders");
  EXPECT_EQ(ConnectionOf("product"), "<none>");
  EXPECT_EQ(GetDataSourceMapEntry(nullptr), nullptr);
  EXPECT_EQ(fh::GetDataSourceMapEntryCount(), 3u);
}

TEST_F(DataSourceMapTest, DeleteRemovesOnlyTheFirstMatch) {
  EXPECT_FALSE(DeleteDataSourceMapEntry("customer"));  // empty map
  Add("customer", "First");
  Add("orders", "Orders");
  Add("Customer", "Second");

  EXPECT_TRUE(DeleteDataSourceMapEntry("CUSTOMER"));
  EXPECT_EQ(ConnectionOf("customer"), "Second");
  EXPECT_FALSE(DeleteDataSourceMapEntry("product"));
  EXPECT_FALSE(DeleteDataSourceMapEntry(nullptr));
  EXPECT_EQ(fh::GetDataSourceMapEntryCount(), 2u);

  FreeAllDataSourceMapEntries();
  EXPECT_EQ(fh::GetDataSourceMapEntryCount(), 0u);
  EXPECT_EQ(GetDataSourceMapEntry("orders"), nullptr);
}

TEST_F(DataSourceMapTest, OperationsLogTheirEntry) {
  fhtest::TempDir logDir;
  fhtest::TestLog log(logDir.path());
  Add("t", "c");
  GetDataSourceMapEntry("t");
  DeleteDataSourceMapEntry("t");
  FreeAllDataSourceMapEntries();
  log.Close();
  const std::string messages = log.Messages();
  for (const char* line : {"[TRACE] @@@ Inside CreateDataSourceMapEntry @@@\n",
                           "[TRACE] @@@ Inside AddDataSourceMapEntry @@@\n",
                           "[TRACE] @@@ Inside GetDataSourceMapEntry @@@\n",
                           "[TRACE] @@@ Inside DeleteDataSourceMapEntry @@@\n",
                           "[TRACE] @@@ Inside FreeAllDataSourceMapEntries @@@\n"}) {
    EXPECT_NE(messages.find(line), std::string::npos) << line;
  }
}

TEST_F(DataSourceMapTest, ReaderTakesTokensInPairsWhateverTheLineBreaks) {
  struct Case {
    const char* content;
    std::size_t entries;
  };
  const Case cases[] = {
      {"", 0},
      {"lonely", 0},
      {"customer MainDB orders", 1},  // a trailing single token is ignored
      {"customer MainDB\norders\nOrderDB\n", 2},
      {"  a\tA  b B\r\n c C  ", 3},
  };
  fhtest::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    FreeAllDataSourceMapEntries();
    ASSERT_TRUE(fhtest::WriteFileBytes(dir.Sub("dsn_table_map.txt"), c.content));
    EXPECT_TRUE(LoadDataSourceMapEntryFromFile(dir.Sub("dsn_table_map.txt").c_str()));
    EXPECT_EQ(fh::GetDataSourceMapEntryCount(), c.entries);
  }
  EXPECT_EQ(ConnectionOf("a"), "A");
  EXPECT_EQ(ConnectionOf("c"), "C");
}

TEST_F(DataSourceMapTest, ReaderAppendsInFileOrder) {
  fhtest::TempDir dir;
  ASSERT_TRUE(fhtest::WriteFileBytes(dir.Sub("map.txt"), "t1 First\nT1 Second\n"));
  Add("existing", "Before");
  ASSERT_TRUE(LoadDataSourceMapEntryFromFile(dir.Sub("map.txt").c_str()));
  EXPECT_EQ(fh::GetDataSourceMapEntryCount(), 3u);
  EXPECT_EQ(ConnectionOf("existing"), "Before");
  EXPECT_EQ(ConnectionOf("t1"), "First");
}

TEST_F(DataSourceMapTest, ReaderFallsBackToTheRootThenFails) {
  fhtest::TempDir top;
  ASSERT_EQ(::mkdir(top.Sub("work").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(top.Sub("root").c_str(), 0755), 0);
  ASSERT_EQ(::mkdir(top.Sub("root/data").c_str(), 0755), 0);
  ASSERT_TRUE(fhtest::WriteFileBytes(top.Sub("root/data/dsn_table_map.txt"), "customer RootDB"));
  fhtest::TempDir logDir;
  fhtest::TestLog log(logDir.path());
  fhtest::ScopedWorkingDirectory cwd(top.Sub("work"));

  EXPECT_FALSE(LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"));  // no root yet
  SetTesselRoot(top.Sub("root").c_str());
  EXPECT_TRUE(LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"));
  EXPECT_EQ(ConnectionOf("customer"), "RootDB");
  EXPECT_FALSE(LoadDataSourceMapEntryFromFile(nullptr));

  log.Close();
  const std::string messages = log.Messages();
  EXPECT_NE(messages.find("[TRACE] @@@ Inside LoadDataSourceMapEntryFromFile @@@\n"),
            std::string::npos);
  EXPECT_NE(messages.find("[ERROR] Cannot open DataSourceMap Entry File.\n"), std::string::npos);
  EXPECT_NE(messages.find("[DEBUG] Opening " + top.Sub("root") + "/data/dsn_table_map.txt\n"),
            std::string::npos);
}

TEST_F(DataSourceMapTest, SampleDirectoryMapNamesEverySampleTable) {
  ASSERT_TRUE(LoadDataSourceMapEntryFromFile(FH_SOURCE_DIR "/examples/data/dsn_table_map.txt"));
  EXPECT_EQ(fh::GetDataSourceMapEntryCount(), 7u);
  for (const char* table :
       {"customer", "product", "orders", "order_line", "shipment_line", "SeqGenState"}) {
    EXPECT_EQ(ConnectionOf(table), "InventoryDB") << table;
  }
  EXPECT_EQ(ConnectionOf("type_sampler"), "ArchiveDB");
}

}  // namespace
