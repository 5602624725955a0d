// Start-up and shut-down on a copy of the sample data directory: on each
// engine a new database gets the default data once and an existing one keeps
// its rows; on the embedded SQLite default each fatal step fails with its
// message.
#include "framework/tessel.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "db/db_provider.h"
#include "framework/table_loader.h"
#include "framework/table_saver.h"
#include "sequence/sequence_generator.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "support/db_engines.h"
#include "support/scoped_working_directory.h"
#include "support/scratch_database.h"
#include "support/test_support.h"

namespace fhtest {
namespace {

namespace fs = std::filesystem;

class TesselTest : public testing::Test {
 protected:
  void SetUp() override {
    fh::ResetDBProvidersForTesting();
    fh::ResetSQLDialectsForTesting();
    fh::ResetSequenceMapForTesting();
    fs::copy(fs::path(FH_SOURCE_DIR) / "examples/data", fs::path(root_.path()) / "data");
    fs::create_directory(root_.Sub("work"));
  }
  void TearDown() override {
    DeInitTessel();  // after a failed assertion; harmless when stopped
    fh::ResetDBProvidersForTesting();
  }

  // Starts in a working directory that has no "../data".
  bool Start() {
    ScopedWorkingDirectory cwd(root_.Sub("work"));
    return InitTessel(root_.path().c_str());
  }
  std::string Log() const { return ReadFileBytes(root_.Sub("logs/tessel.log")); }
  void Write(const std::string& file, const std::string& text) {
    ASSERT_TRUE(WriteFileBytes(root_.Sub("data/" + file), text));
  }

  // The int32 value of column (by index) in every in-memory row of table.
  static std::vector<int64_t> Column(const char* table, std::size_t column) {
    std::vector<int64_t> values;
    const TableData* data = GetTableDataByName(table);
    if (data == nullptr) return values;
    for (const RowObject* row = data->firstRow.get(); row != nullptr; row = row->next.get()) {
      int64_t value = -1;
      if (row->values[column]) {
        value = 0;
        std::memcpy(&value, row->values[column]->bytes(),
                    std::min<std::size_t>(sizeof value, row->values[column]->length()));
      }
      values.push_back(value);
    }
    return values;
  }

  TempDir root_;
};

// The same tests on every engine: the sample's two data sources point at
// two scratch databases on a server engine, or stay the SQLite files.
class TesselEngineTest : public TesselTest, public testing::WithParamInterface<Engine> {
 protected:
  void SetUp() override {
    TesselTest::SetUp();
    if (IsSqlite(GetParam())) return;
    inventory_.emplace(GetParam(), "fh_inventory");
    archive_.emplace(GetParam(), "fh_archive");
    ASSERT_TRUE(inventory_->ok() && archive_->ok());
    fh::ResetDBProvidersForTesting();  // InitTessel starts the database layer itself
    Write("connparams.txt", inventory_->ConnParamsLine("Inventory", 1, "InventoryDB") +
                                archive_->ConnParamsLine("Archive", 2, "ArchiveDB"));
  }
  void TearDown() override {
    TesselTest::TearDown();
    archive_.reset();
    inventory_.reset();
  }

  std::optional<ScratchDatabase> inventory_;
  std::optional<ScratchDatabase> archive_;
};

// The error lines of log from offset on, but for the provider layer's
// start on a restart in the same process.
std::string ErrorLines(const std::string& log, std::size_t from) {
  std::string errors;
  for (std::size_t at = from, end; (end = log.find('\n', at)) != std::string::npos; at = end + 1) {
    const std::string line = log.substr(at, end - at);
    if (line.find("[ERROR]") != std::string::npos &&
        line.find("InitDBProvider") == std::string::npos)
      errors += line + "\n";
  }
  return errors;
}

TEST_P(TesselEngineTest, NewDatabaseGetsDefaultDataOnceAndKeepsItAcrossRestarts) {
  ASSERT_TRUE(Start()) << Log();
  EXPECT_NE(Log().find("Welcome to Tessel."), std::string::npos);
  EXPECT_EQ(ErrorLines(Log(), 0), "");  // the sequence tables are probed quietly
  EXPECT_EQ(Column("customer", 0), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(Column("product", 0), (std::vector<int64_t>{1, 2}));
  // Nested rows took their keys from the elements around them.
  EXPECT_EQ(Column("orders", 1), (std::vector<int64_t>{1}));
  EXPECT_EQ(Column("order_line", 0), (std::vector<int64_t>{1, 1}));
  EXPECT_EQ(Column("order_line", 2), (std::vector<int64_t>{1, 2}));
  DeInitTessel();
  EXPECT_EQ(GetTableDataByName("customer"), nullptr);

  // The tables exist now: no default data again, the rows come from the
  // database, and the sequences go on after the batch of the first start.
  const std::size_t restart = Log().size();
  ASSERT_TRUE(Start());
  const std::string log = Log();
  EXPECT_EQ(ErrorLines(log, restart), "");  // existing tables are no error
  EXPECT_EQ(log.find("Inside SaveDefaultData"), log.rfind("Inside SaveDefaultData"));
  EXPECT_EQ(Column("customer", 0), (std::vector<int64_t>{1, 2}));
  EXPECT_EQ(Column("order_line", 2), (std::vector<int64_t>{1, 2}));
  const TableDefn* customer = GetTableDefn("customer");
  ASSERT_NE(customer, nullptr);
  EXPECT_EQ(GenerateID("customer", &customer->columns[0]), 301);
  // The type sampler lives in the second database, which got a SeqGenState
  // table of its own for its sequence.
  const TableDefn* sampler = GetTableDefn("type_sampler");
  ASSERT_NE(sampler, nullptr);
  ASSERT_TRUE(sampler->columns[0].generatorName.has_value());
  EXPECT_EQ(GenerateID("type_sampler", &sampler->columns[0]), 301);
  DeInitTessel();
}

TEST_P(TesselEngineTest, SaveListWritesAndReloadDropsUnsavedChanges) {
  ASSERT_TRUE(Start()) << Log();
  // Customer 1 (a server engine may return an updated row last).
  auto customerOne = []() -> RowObject* {
    const TableData* customers = GetTableDataByName("customer");
    for (RowObject* row = customers != nullptr ? customers->firstRow.get() : nullptr;
         row != nullptr; row = row->next.get()) {
      int32_t id = 0;
      std::memcpy(&id, row->values[0]->bytes(), sizeof id);
      if (id == 1) return row;
    }
    return nullptr;
  };
  auto rename = [&](const std::string& name) {
    return UpdateRowObject("customer", customerOne(), "name", name.c_str(),
                           static_cast<int32_t>(name.size()));
  };
  ASSERT_TRUE(rename("Saved Name"));
  {
    ScopedWorkingDirectory cwd(root_.Sub("work"));
    EXPECT_TRUE(SaveTablesFromList());
    ASSERT_TRUE(rename("Never Saved"));
    EXPECT_TRUE(ReloadTableData());
  }
  ASSERT_NE(customerOne(), nullptr);
  EXPECT_EQ(std::string(customerOne()->values[1]->text()), "Saved Name");
  EXPECT_EQ(customerOne()->state, fh::kRowPersisted);
  DeInitTessel();
}

INSTANTIATE_TEST_SUITE_P(Engines, TesselEngineTest, testing::ValuesIn(SelectedEngines()),
                         EngineName);

TEST_F(TesselTest, EachFatalStepFailsWithItsMessage) {
  const struct {
    const char* file;
    const char* text;  // none: the file is removed
    const char* message;
  } cases[] = {
      {"datadictionary.txt", nullptr, "[ERROR] LoadAllDataDictFiles failed.\n"},
      {"dsn_table_map.txt", nullptr, "[ERROR] LoadDataSourceMapEntryFromFile failed.\n"},
      {"connparams.txt", nullptr, "[ERROR] LoadConnParamsEntryFromFile failed.\n"},
      {"connparams.txt", "", "[ERROR] No entires in data source vector. InitTessel failed.\n"},
      {"connparams.txt",
       "Inventory 1 Nowhere NULL NULL - InventoryDB ODBC SQLITE YES Driver=NoSuchDriver\n",
       "[ERROR] EstablishDBConnections failed.\n"},
      {"defaultdata.txt", "missing_file.xml\n", "[ERROR] Cannot save default data.\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.message);
    TearDown();
    fs::remove_all(root_.path());
    fs::create_directories(root_.path());
    SetUp();
    if (c.text == nullptr) {
      fs::remove(root_.Sub(std::string("data/") + c.file));
    } else {
      Write(c.file, c.text);
    }
    EXPECT_FALSE(Start());
    DeInitTessel();
    EXPECT_NE(Log().find(c.message), std::string::npos) << Log();
  }
}

// Configuration the framework cannot run is refused at start-up, each fault
// named with its file and line, table or data source. Each case changes the
// first occurrence of one text in one file of the sample (from none: the
// file's whole text is replaced).
TEST_F(TesselTest, BrokenConfigurationIsRefusedWithWhereAndWhat) {
  const struct {
    const char* file;
    const char* from;
    const char* to;
    const char* message;
  } cases[] = {
      {"inventory_core.xml", "</columns>", "</column>",
       "inventory_core.xml:54: the file does not parse"},
      {"inventory_core.xml", "KES_SQL_DOUBLE", "KES_SQL_DUBBLE",
       "inventory_core.xml:60: column unit_price of table product: unknown data type "
       "\"KES_SQL_DUBBLE\""},
      {"datadictionary.txt", nullptr,
       "inventory_core.xml inventory_orders.xml inventory_core.xml "
       "framework_tables.xml inventory_types.xml\n",
       "inventory_core.xml:6: table customer is defined twice (first at "},
      {"inventory_orders.xml", "reference-table-name=\"customer\"",
       "reference-table-name=\"Client\"", "names table Client, which no data dictionary defines"},
      {"inventory_orders.xml", ">customer_id</fk-reference-column>",
       ">customer_no</fk-reference-column>",
       "names column customer_no, which table customer does not have"},
      {"inventory_core.xml", ">product_id</primary-key-column>", ">productid</primary-key-column>",
       "inventory_core.xml:60: primary-key column productid is not a column of table product"},
      {"inventory_core.xml", "<table name=\"customer\"", "<table name=\"cust omer\"",
       "inventory_core.xml:6: table name \"cust omer\" is not a plain identifier"},
      {"inventory_core.xml", "<column name=\"sku\">", "<column name=\"sku;--\">",
       "column \"sku;--\" of table product is not a plain identifier"},
      {"inventory_core.xml", ">ProductSeq<", ">Product'Seq<",
       "generator name \"Product'Seq\" of column product_id of table product is not a plain"},
      {"datadictionary.txt", nullptr, "\n", "datadictionary.txt: lists no data dictionary file"},
      {"datadictionary.txt", nullptr, "inventory_core.xml\n",
       "is generated, but no data dictionary defines the table SeqGenState"},
      {"connparams.txt", "SQLITE SQLITE", "SQLITE SQLTIE",
       "data source InventoryDB names the unknown dialect \"SQLTIE\""},
      {"connparams.txt", "SQLITE SQLITE", "SQLTIE SQLITE",
       "data source InventoryDB names the unknown provider \"SQLTIE\""},
      {"connparams.txt", "ArchiveDB SQLITE SQLITE NO\n",
       "ArchiveDB SQLITE SQLITE NO\nSpare 3 FernhallSpare NULL NULL - SpareDB ODBC\n",
       "connparams.txt:3: a data source line needs ten words"},
      {"connparams.txt", nullptr,
       "Inventory 1 Nowhere NULL NULL - InventoryDB ODBC SQLITE YES Driver=NoSuchDriver\n",
       "Cannot open the connection InventoryDB to the data source Nowhere\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.file) + ": " + c.message);
    TearDown();
    fs::remove_all(root_.path());
    fs::create_directories(root_.path());
    SetUp();
    std::string text = c.to;
    if (c.from != nullptr) {
      text = ReadFileBytes(root_.Sub(std::string("data/") + c.file));
      const std::size_t at = text.find(c.from);
      ASSERT_NE(at, std::string::npos);
      text.replace(at, std::strlen(c.from), c.to);
    }
    Write(c.file, text);
    EXPECT_FALSE(Start());
    DeInitTessel();
    const std::string log = Log();
    const std::size_t at = log.find(c.message);
    ASSERT_NE(at, std::string::npos) << log;
    const std::size_t lineStart = log.rfind('\n', at) + 1;
    EXPECT_NE(log.substr(lineStart, at - lineStart).find("[ERROR]"), std::string::npos) << log;
    EXPECT_EQ(log.find("Welcome to Tessel."), std::string::npos);
  }
}

// The framework log is rolled into tessel1.log once it has reached 2000000
// bytes (the start-up line it gets first keeps the smaller one below).
TEST_F(TesselTest, LogAtItsLimitIsRolledAtStart) {
  for (const std::size_t size : {std::size_t{1999000}, std::size_t{2000000}}) {
    SCOPED_TRACE(size);
    fs::remove_all(root_.Sub("logs"));
    fs::create_directories(root_.Sub("logs"));
    ASSERT_TRUE(WriteFileBytes(root_.Sub("logs/tessel.log"), std::string(size, 'x')));
    ASSERT_TRUE(Start());
    DeInitTessel();
    const bool rolled = size == 2000000;
    EXPECT_EQ(fs::exists(root_.Sub("logs/tessel1.log")), rolled);
    EXPECT_EQ(Log().rfind(std::string(100, 'x'), 0) == 0, !rolled);
    EXPECT_NE(Log().find("Welcome to Tessel."), std::string::npos);
    if (rolled) {
      EXPECT_EQ(ReadFileBytes(root_.Sub("logs/tessel1.log")).find('x'), 0u);
    }
  }
}

TEST_F(TesselTest, MissingOptionalListsStillStart) {
  fs::remove(root_.Sub("data/loadtablelist.txt"));
  fs::remove(root_.Sub("data/defaultdata.txt"));
  ASSERT_TRUE(Start());
  DeInitTessel();
  const std::string log = Log();
  EXPECT_NE(log.find("Error in loading tables from loadtablelist.txt."), std::string::npos);
  EXPECT_NE(log.find("No default data to be prepopulated.\n"), std::string::npos);
  EXPECT_NE(log.find("Welcome to Tessel."), std::string::npos);
}

}  // namespace
}  // namespace fhtest
