#include "dictionary/table_defn.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/test_log.h"

namespace {

ColumnDefnEntry MakeColumn(const char* name, const char* type, const char* defaultText = nullptr,
                           int32_t maxSize = 0) {
  fh::ColumnDefnSource source;
  source.columnName = name;
  source.dataTypeName = type;
  if (defaultText != nullptr) source.defaultValueText = defaultText;
  source.maxSize = maxSize;
  std::optional<ColumnDefnEntry> column = fh::CreateColumnDefn(source);
  EXPECT_TRUE(column.has_value());
  return column ? std::move(*column) : ColumnDefnEntry{};
}

ForeignKeyDefn MakeForeignKey(const char* local, const char* reference, const char* table) {
  ForeignKeyDefn foreignKey;
  foreignKey.localColumn = local;
  foreignKey.referenceColumn = reference;
  foreignKey.referenceTable = table;
  return foreignKey;
}

class TableDefnTest : public ::testing::Test {
 protected:
  void SetUp() override { FreeAllTableDefns(); }
  void TearDown() override { FreeAllTableDefns(); }

  // Customer(ID INT default 5, Name CHAR, Joined DATETIME), key ID, one
  // foreign key Region -> Regions.RegionId.
  const TableDefn* AddCustomer(const char* name = "Customer") {
    std::vector<ColumnDefnEntry> columns;
    columns.push_back(MakeColumn("ID", "INTEGER", "5"));
    columns.push_back(MakeColumn("Name", "CHAR", "none", 40));
    columns.push_back(MakeColumn("Region", "KES_SQL_INT"));
    ConstraintDefn constraints;
    constraints.primaryKeyColumns = {"ID"};
    constraints.foreignKeys.push_back(MakeForeignKey("Region", "RegionId", "Regions"));
    return fh::AddTableDefn(
        fh::CreateTableDefn(name, "customers", std::move(columns), constraints));
  }
};

TEST_F(TableDefnTest, ColumnDefinitionsConvertDefaultsAndWiden) {
  struct Case {
    const char* type;
    const char* defaultText;
    int32_t maxSize;
    uint8_t code;
    const char* defaultAsText;  // none: no default
    int32_t defaultLength;
  };
  const std::vector<Case> cases = {
      {"integer", "12a", 0, KES_SQL_INT, "0", 4},
      {"KES_SQL_TINYINT", "-7", 0, KES_SQL_TINYINT, "-7", 1},
      {"CHAR", "abc", 255, KES_SQL_NCHAR, "abc", 3},
      {"CHAR", "abc", 256, KES_SQL_TEXT, "abc", 3},
      {"DATETIME", "2020-01-31", 0, KES_SQL_DATETIME, "2020-01-31 00:00:00", 11},
      {"DATE", "soon", 0, KES_SQL_DATE, nullptr, 0},
      {"BOOLEAN", "maybe", 0, KES_SQL_BOOLEAN, nullptr, 0},
      {"BOOLEAN", "True", 0, KES_SQL_BOOLEAN, "'t'", 1},
      {"FLOAT", "x1", 0, KES_SQL_FLOAT, "0.000000", 4},
      {"VARCHAR", "abc", 0, KES_SQL_NOT_SUPPORTED_TYPE, nullptr, 3},
      {"BIGINT", nullptr, 0, KES_SQL_BIGINT, nullptr, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.type) + " / " + (c.defaultText ? c.defaultText : "-"));
    const ColumnDefnEntry column = MakeColumn("C", c.type, c.defaultText, c.maxSize);
    EXPECT_EQ(column.dataType, c.code);
    EXPECT_EQ(column.maxSize, c.maxSize);
    EXPECT_EQ(column.defaultValueLength, c.defaultLength);
    if (c.defaultAsText != nullptr) {
      ASSERT_TRUE(column.defaultValue.has_value());
      EXPECT_EQ(ConvertValueToString(column.defaultValue, column.dataType), c.defaultAsText);
    } else if (c.code != KES_SQL_NOT_SUPPORTED_TYPE) {
      EXPECT_FALSE(column.defaultValue.has_value());
    }
  }
  // A TINYINT default of -7 is the single byte 0xF9.
  const ColumnDefnEntry tiny = MakeColumn("T", "KES_SQL_TINYINT", "-7");
  ASSERT_TRUE(tiny.defaultValue.has_value());
  EXPECT_EQ(tiny.defaultValue->bytes()[0], 0xF9);
}

TEST_F(TableDefnTest, ColumnDefinitionCopiesAttributesAndNeedsAName) {
  fh::ColumnDefnSource source;
  EXPECT_FALSE(fh::CreateColumnDefn(source).has_value());
  source.columnName = "Status";
  source.dataTypeName = "NCHAR";
  source.isUnique = true;
  source.isNullable = false;
  source.generatorName = "StatusSeq";
  source.description = "state";
  source.maxSize = -1;
  source.allowedValues = AllowedValues{{"A", "B"}, false};
  const std::optional<ColumnDefnEntry> column = fh::CreateColumnDefn(source);
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(column->columnName, "Status");
  EXPECT_TRUE(column->isUnique);
  EXPECT_FALSE(column->isNullable);
  EXPECT_EQ(column->generatorName, "StatusSeq");
  EXPECT_EQ(column->description, "state");
  EXPECT_EQ(column->maxSize, -1);
  ASSERT_TRUE(column->allowedValues.has_value());
  EXPECT_EQ(column->allowedValues->values, (std::vector<std::string>{"A", "B"}));
  EXPECT_FALSE(column->allowedValues->isRange);
}

TEST_F(TableDefnTest, MissingDataTypeIsLoggedAndGivesCodeZero) {
  fhtest::TestLog log;
  fh::ColumnDefnSource source;
  source.columnName = "X";
  const std::optional<ColumnDefnEntry> column = fh::CreateColumnDefn(source);
  ASSERT_TRUE(column.has_value());
  EXPECT_EQ(column->dataType, KES_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_TRUE(log.Contains(
      "[ERROR] Column data type not supported - Error while creating column definition.\n"));
}

TEST_F(TableDefnTest, TablesAreFoundIgnoringCaseColumnsExactly) {
  const TableDefn* customer = AddCustomer();
  ASSERT_NE(customer, nullptr);
  EXPECT_EQ(GetTableDefn("Customer"), customer);
  EXPECT_EQ(GetTableDefn("CUSTOMER"), customer);
  EXPECT_EQ(GetTableDefn("Orders"), nullptr);
  EXPECT_EQ(customer->constraints->primaryKeyCount, 1);

  const ColumnDefnEntry* name = GetColumnDefnEntry("customer", "Name");
  ASSERT_NE(name, nullptr);
  EXPECT_EQ(name, &customer->columns[1]);
  EXPECT_EQ(GetColumnDefnEntry("Customer", "name"), nullptr);
  EXPECT_EQ(GetColumnDataType("Customer", "Name"), KES_SQL_NCHAR);
  EXPECT_EQ(GetColumnDataType("Customer", "NAME"), KES_SQL_NOT_SUPPORTED_TYPE);
  EXPECT_EQ(GetColumnDataType("Nowhere", "Name"), KES_SQL_NOT_SUPPORTED_TYPE);
}

TEST_F(TableDefnTest, DefaultValueLookupSetsTheFoundFlagOnlyForExistingColumns) {
  AddCustomer();
  bool found = false;
  const fh::ColumnValue* idDefault = GetDefaultValue("Customer", "ID", &found);
  EXPECT_TRUE(found);
  ASSERT_NE(idDefault, nullptr);
  EXPECT_EQ(ConvertValueToString(idDefault, KES_SQL_INT), "5");

  found = false;
  EXPECT_EQ(GetDefaultValue("Customer", "Region", &found), nullptr);
  EXPECT_TRUE(found) << "the column exists without a default";

  found = false;
  EXPECT_EQ(GetDefaultValue("Customer", "Missing", &found), nullptr);
  EXPECT_FALSE(found);
  bool untouched = true;
  EXPECT_EQ(GetDefaultValue("Nowhere", "ID", &untouched), nullptr);
  EXPECT_TRUE(untouched);
  EXPECT_NE(GetDefaultValue("Customer", "ID", nullptr), nullptr);
}

TEST_F(TableDefnTest, LookupFailuresAreLogged) {
  fhtest::TestLog log;
  EXPECT_EQ(GetTableDefn("Anything"), nullptr);
  EXPECT_FALSE(log.Contains("[ERROR]")) << "an empty list answers silently";
  EXPECT_EQ(GetTableDefn(nullptr), nullptr);
  EXPECT_TRUE(log.Contains("[ERROR] Table Name is NULL.\n"));
  EXPECT_EQ(GetColumnDefnEntry(nullptr, "ID"), nullptr);
  EXPECT_EQ(GetDefaultValue("Customer", nullptr, nullptr), nullptr);
  EXPECT_EQ(log.Count("[ERROR] Cannot fetch default value;\n"), 2u);
  EXPECT_EQ(GetColumnDataType("Nowhere", "ID"), 0);
  EXPECT_TRUE(log.Contains("[ERROR] No definition found for table Nowhere\n"));
  EXPECT_EQ(log.Count("[TRACE] @@@@ Inside GetColumnDefnEntry @@@@\n"), 2u);
  EXPECT_EQ(log.Count("[TRACE] @@@@ Inside GetDefaultValue @@@@\n"), 1u);
}

TEST_F(TableDefnTest, ForeignKeysAreFoundIgnoringCase) {
  const TableDefn* customer = AddCustomer();
  const ForeignKeyDefn* foreignKey = GetForeignKeyDefn(customer, "REGION");
  ASSERT_NE(foreignKey, nullptr);
  EXPECT_EQ(foreignKey->referenceTable, "Regions");
  EXPECT_EQ(GetForeignKeyDefn(customer, "ID"), nullptr);
  EXPECT_EQ(GetForeignKeyDefn(nullptr, "Region"), nullptr);
  EXPECT_EQ(GetForeignKeyDefn(customer, nullptr), nullptr);
}

TEST_F(TableDefnTest, ForeignKeyLookupLogsMissingConstraints) {
  fhtest::TestLog log;
  const TableDefn* bare =
      fh::AddTableDefn(fh::CreateTableDefn("Bare", std::nullopt, {}, std::nullopt));
  const TableDefn* keyed =
      fh::AddTableDefn(fh::CreateTableDefn("Keyed", std::nullopt, {}, ConstraintDefn{}));
  EXPECT_EQ(GetForeignKeyDefn(bare, "X"), nullptr);
  EXPECT_TRUE(log.Contains("[ERROR] No constraint Definition \n"));
  EXPECT_EQ(GetForeignKeyDefn(keyed, "X"), nullptr);
  EXPECT_TRUE(log.Contains("[ERROR] No Foreignkey Entries in Definition \n"));
}

TEST_F(TableDefnTest, TheFirstOfTwoEqualNamesWinsAndFreeingRemovesOnlyIt) {
  const TableDefn* first = AddCustomer("Customer");
  const TableDefn* second = AddCustomer("CUSTOMER");
  const TableDefn* other = AddCustomer("Other");
  EXPECT_EQ(GetTableDefnList(), (std::vector<const TableDefn*>{first, second, other}));
  EXPECT_EQ(GetTableDefn("customer"), first);

  EXPECT_TRUE(FreeTableDefn("customer"));
  EXPECT_EQ(GetTableDefn("Customer"), second);
  EXPECT_EQ(fh::GetTableDefnCount(), 2u);
  EXPECT_EQ(other->columns.size(), 3u) << "the other definitions stay where they were";
  EXPECT_FALSE(FreeTableDefn("Nowhere"));
  EXPECT_FALSE(FreeTableDefn(nullptr));

  FreeAllTableDefns();
  EXPECT_EQ(fh::GetTableDefnCount(), 0u);
  EXPECT_TRUE(GetTableDefnList().empty());
  EXPECT_EQ(GetTableDefn("Other"), nullptr);
  EXPECT_EQ(fh::AddTableDefn(nullptr), nullptr);
}

TEST_F(TableDefnTest, PrintingWritesTheDefinitionAtDebugLevel) {
  const TableDefn* customer = AddCustomer();
  fh::AddTableDefn(fh::CreateTableDefn("Empty", std::nullopt, {}, ConstraintDefn{}));
  fhtest::TestLog log;
  PrintAllTableDefns();
  const std::string text = log.Text();
  const std::vector<std::string> lines = {
      "[DEBUG] Table Name : Customer\n",
      "[DEBUG] Description: customers\n",
      "[DEBUG] ---------------------------------------\n\n",
      "[DEBUG] Column Name : ID\n",
      "[DEBUG] Column Type : 5\n",
      "[DEBUG] Unique Flag : FALSE\n",
      "[DEBUG] Description : (null)\n",
      "[DEBUG] Column Name : Name\n",
      "[DEBUG] Column Type : 15\n",
      "[DEBUG] Primary key : ID\n\n",
      "[DEBUG] Foreign key Constraints\n",
      "[DEBUG] ********************************\n",
      "[DEBUG] Column Name : Region\n",
      "[DEBUG] Ref Column  : RegionId\n",
      "[DEBUG] Tablename : Regions\n",
  };
  std::size_t at = 0;
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const std::size_t found = text.find(line, at);
    ASSERT_NE(found, std::string::npos);
    at = found + line.size();
  }
  EXPECT_EQ(log.Count("********************************\n"), 2u);
  EXPECT_EQ(log.Count("Table Name : "), 1u) << "a table without columns prints nothing";
  (void)customer;
}

TEST_F(TableDefnTest, DefaultsCopiedOutOfADefinitionOutliveIt) {
  std::vector<ColumnDefnEntry> columns;
  columns.push_back(MakeColumn("When", "DATETIME", "2021-03-04 05:06:07"));
  fh::AddTableDefn(
      fh::CreateTableDefn("Events", std::nullopt, std::move(columns), ConstraintDefn{}));
  bool found = false;
  std::optional<fh::ColumnValue> copy = *GetDefaultValue("Events", "When", &found);
  FreeAllTableDefns();
  EXPECT_EQ(ConvertValueToString(copy, KES_SQL_DATETIME), "2021-03-04 05:06:07");
}

}  // namespace
