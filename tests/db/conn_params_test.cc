// Reading connparams.txt and looking entries up.
#include "db/conn_params.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "config/data_source_map.h"
#include "config/tessel_root.h"
#include "db/connection_pool.h"
#include "support/db_engines.h"

namespace fhtest {
namespace {

class ConnParamsTest : public DbTest {
 protected:
  ~ConnParamsTest() override {
    fh::ResetTesselRoot();
    FreeAllDataSourceMapEntries();
  }
  std::string Write(const std::string& content) {
    const std::string path = dir_.Sub("connparams.txt");
    EXPECT_TRUE(WriteFileBytes(path, content));
    return path;
  }
};

TEST_F(ConnParamsTest, LinesBecomeEntriesInFileOrder) {
  const std::string longConnect = "DSN=x;Opt=" + std::string(600, 'a');
  const std::string path = Write(
      "Main 70000 main_dsn alice s3cret drop MainDB ODBC MYSQL no trailing words\r\n"
      "\n"
      "Arch -2 arch_dsn bob NULL drop ArchDB ODBC PGSQL yes " +
      longConnect +
      "\r\n"
      "Lite 3 lite_dsn u p drop LiteDB ODBC SQLITE YES\n"
      "Short 4 only five tokens here\n"
      "After 5 a b c d AfterDB ODBC MYSQL NO\n");
  ASSERT_TRUE(LoadConnParamsEntryFromFile(path.c_str()));
  ASSERT_EQ(fh::GetConnParamsEntryCount(), 3);  // reading stops at the short line

  const ConnParamsEntry* main = GetConnParamsEntry("MainDB");
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(main->label, "Main");
  EXPECT_EQ(main->number, static_cast<int16_t>(70000 & 0xFFFF));
  EXPECT_EQ(main->dsn, "main_dsn");
  EXPECT_EQ(main->user, "alice");
  EXPECT_EQ(main->password, "s3cret");
  EXPECT_EQ(main->useConnectString, 0);
  EXPECT_FALSE(main->connectString.has_value());
  EXPECT_EQ(main->providerName, "ODBC");
  EXPECT_EQ(main->dialectName, "MYSQL");

  const ConnParamsEntry* archive = GetConnParamsEntry("ArchDB");
  ASSERT_NE(archive, nullptr);
  EXPECT_EQ(archive->number, -2);
  EXPECT_FALSE(archive->password.has_value());     // "NULL"
  EXPECT_EQ(archive->useConnectString, 1);         // "yes", any letter case
  EXPECT_EQ(archive->connectString, longConnect);  // whole, without the CR

  const ConnParamsEntry* lite = GetConnParamsEntry("LiteDB");
  ASSERT_NE(lite, nullptr);
  EXPECT_EQ(lite->useConnectString, 1);
  EXPECT_EQ(lite->connectString, "");

  EXPECT_STREQ(GetDefaultConnectionName(), "MainDB");
  EXPECT_EQ(GetConnParamsEntry("maindb"), nullptr);  // case-sensitive
  EXPECT_STREQ(GetProviderNameForConnection("ArchDB"), "ODBC");
  EXPECT_STREQ(GetDialectNameForConnection("ArchDB"), "PGSQL");
  EXPECT_EQ(GetDialectNameForConnection("Nope"), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "dbConnPtr is NULL for Connection Name Nope \n"));

  EXPECT_TRUE(DeleteConnParamsEntry("MainDB"));
  EXPECT_FALSE(DeleteConnParamsEntry("MainDB"));
  EXPECT_STREQ(GetDefaultConnectionName(), "ArchDB");
}

TEST_F(ConnParamsTest, RelativeSqliteDatabaseIsTakenFromTheDataDirectory) {
  const std::string path = Write(
      "Lite 1 d NULL NULL - LiteDB ODBC SQLITE YES "
      "Driver=SQLite3;Database=inventory.db;Timeout=100\n"
      "Abs 1 d NULL NULL - AbsDB ODBC SQLITE YES Driver=SQLite3;Database=/var/x.db\n"
      "My 1 d NULL NULL - MyDB ODBC MYSQL YES Driver=X;Database=inventory\n");
  ASSERT_TRUE(LoadConnParamsEntryFromFile(path.c_str()));
  EXPECT_EQ(GetConnParamsEntry("LiteDB")->connectString,
            "Driver=SQLite3;Database=" + dir_.path() + "/inventory.db;Timeout=100");
  EXPECT_EQ(GetConnParamsEntry("AbsDB")->connectString, "Driver=SQLite3;Database=/var/x.db");
  EXPECT_EQ(GetConnParamsEntry("MyDB")->connectString, "Driver=X;Database=inventory");
}

TEST_F(ConnParamsTest, TheSampleDataDirectoryConnectsToItsEmbeddedDatabases) {
  std::filesystem::create_directories(dir_.Sub("data"));
  std::filesystem::copy_file(std::string(FH_SOURCE_DIR) + "/examples/data/connparams.txt",
                             dir_.Sub("data/connparams.txt"));
  SetTesselRoot(dir_.path().c_str());
  ASSERT_TRUE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
  ASSERT_EQ(fh::GetConnParamsEntryCount(), 2);
  EXPECT_STREQ(GetDefaultConnectionName(), "InventoryDB");
  EXPECT_STREQ(GetDialectNameForConnection("ArchiveDB"), "SQLITE");
  ASSERT_TRUE(EstablishDBConnections()) << log_.Messages();
  EXPECT_TRUE(FileExists(dir_.Sub("data/inventory.db")));
  EXPECT_TRUE(FileExists(dir_.Sub("data/archive.db")));
}

TEST_F(ConnParamsTest, FileIsFoundUnderTheRootOrReported) {
  EXPECT_FALSE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot open Connection Parameters File.\n"));

  std::filesystem::create_directories(dir_.Sub("data"));
  ASSERT_TRUE(
      WriteFileBytes(dir_.Sub("data/connparams.txt"), "R 1 d u p - RootDB ODBC SQLITE NO\n"));
  SetTesselRoot(dir_.path().c_str());
  ASSERT_TRUE(LoadConnParamsEntryFromFile("..\\data\\connparams.txt"));
  EXPECT_STREQ(GetDefaultConnectionName(), "RootDB");
}

TEST_F(ConnParamsTest, EntriesAndTableLookups) {
  auto entry =
      CreateConnParamsEntry("l", 1, "d", nullptr, "NULL", nullptr, 0, nullptr, "ODBC", "MYSQL");
  ASSERT_NE(entry, nullptr);
  EXPECT_FALSE(entry->password.has_value());
  EXPECT_FALSE(entry->user.has_value());
  ASSERT_TRUE(AddConnParamsEntry(std::move(entry)));
  EXPECT_EQ(GetDefaultConnectionName(), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Connection Name IS NULL\n"));

  AddDataSourceMapEntry(CreateDataSourceMapEntry("Orders", "ShopDB"));
  EXPECT_STREQ(GetConnectionNameForTable("orders"), "ShopDB");
  EXPECT_EQ(GetConnectionNameForTable("Nothing"), nullptr);
  EXPECT_TRUE(log_.HasLine("[ERROR]", "No DataSourceMap Entry for Table name Nothing \n"));
}

}  // namespace
}  // namespace fhtest
