// Loads the sample data directory (examples/data) and checks every table,
// column and constraint it defines.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "dictionary/column_values.h"
#include "dictionary/data_dict_loader.h"
#include "dictionary/data_dict_test_helpers.h"

namespace {

struct ExpectedColumn {
  const char* name;
  uint8_t type;
  int32_t maxSize;
  bool nullable;
  bool unique;
  const char* generator;    // null: none
  const char* defaultText;  // ConvertValueToString of the default; null: none
};

struct ExpectedForeignKey {
  const char* local;
  const char* reference;
  const char* table;
  bool cascade;
  bool bidirectional;
};

struct ExpectedTable {
  const char* name;
  const char* description;  // null: none
  std::vector<ExpectedColumn> columns;
  std::vector<std::string> primaryKey;
  std::vector<ExpectedForeignKey> foreignKeys;
};

const std::vector<ExpectedTable>& SampleTables() {
  static const std::vector<ExpectedTable> tables = {
      {"customer",
       "A customer who places orders.",
       {
           {"customer_id", KES_SQL_INT, 0, false, true, "CustomerSeq", nullptr},
           {"name", KES_SQL_NCHAR, 80, false, false, nullptr, nullptr},
           {"email", KES_SQL_NCHAR, 120, true, true, nullptr, nullptr},
           {"country", KES_SQL_CHAR, 2, true, false, nullptr, "GB"},
           {"credit_limit", KES_SQL_DECIMAL, 12, true, false, nullptr, "0.00"},
           {"is_active", KES_SQL_BOOLEAN, 12, false, false, nullptr, "'t'"},
           {"created_at", KES_SQL_DATETIME, 12, true, false, nullptr, "2024-01-01 00:00:00"},
       },
       {"customer_id"},
       {}},
      {"product",
       nullptr,  // an empty <description/>
       {
           {"product_id", KES_SQL_INT, 0, false, false, "ProductSeq", nullptr},
           {"sku", KES_SQL_NCHAR, 24, false, true, nullptr, nullptr},
           {"title", KES_SQL_NCHAR, 200, true, false, nullptr, nullptr},
           {"long_description", KES_SQL_TEXT, 4000, true, false, nullptr, nullptr},
           {"category", KES_SQL_NCHAR, 16, true, false, nullptr, "general"},
           {"unit_price", KES_SQL_DOUBLE, 16, false, false, nullptr, "0.000000"},
           {"weight_grams", KES_SQL_UNSIGNED_INT, 10, true, false, nullptr, nullptr},
           {"reorder_level", KES_SQL_SMALLINT, 10, true, false, nullptr, "5"},
       },
       {"product_id"},
       {}},
      {"orders",
       "An order header; its lines are in order_line.",
       {
           {"order_id", KES_SQL_BIGINT, 0, false, false, "OrderSeq", nullptr},
           {"customer_id", KES_SQL_INT, 0, false, false, nullptr, nullptr},
           {"order_date", KES_SQL_DATE, 0, false, false, nullptr, nullptr},
           {"status", KES_SQL_NCHAR, 10, true, false, nullptr, "open"},
           {"notes", KES_SQL_TEXT, 2000, true, false, nullptr, nullptr},
       },
       {"order_id"},
       {{"customer_id", "customer_id", "customer", false, false}}},
      {"order_line",
       "One product on an order; keyed by order and line number.",
       {
           {"order_id", KES_SQL_BIGINT, 0, false, false, nullptr, nullptr},
           {"line_no", KES_SQL_UNSIGNED_SMALLINT, 0, false, false, nullptr, nullptr},
           {"product_id", KES_SQL_INT, 0, false, false, nullptr, nullptr},
           {"quantity", KES_SQL_INT, 0, true, false, nullptr, "1"},
           {"unit_price", KES_SQL_NUMERIC, 12, true, false, nullptr, nullptr},
       },
       {"order_id", "line_no"},
       {{"order_id", "order_id", "orders", true, true},
        {"product_id", "product_id", "product", false, false}}},
      {"shipment_line",
       "Quantity of an order line sent in one shipment.",
       {
           {"shipment_id", KES_SQL_UNSIGNED_LONG_INT, 0, false, false, "ShipmentSeq", nullptr},
           {"order_id", KES_SQL_BIGINT, 0, false, false, nullptr, nullptr},
           {"line_no", KES_SQL_UNSIGNED_SMALLINT, 0, false, false, nullptr, nullptr},
           {"shipped_quantity", KES_SQL_INT, 0, true, false, nullptr, nullptr},
           {"shipped_at", KES_SQL_DATETIME, 0, true, false, nullptr, nullptr},
       },
       {"shipment_id"},
       {{"order_id", "order_id", "order_line", true, true},
        {"line_no", "line_no", "order_line", true, true}}},
      {"SeqGenState",
       "Per sequence, the last number of the latest batch reserved.",
       {
           {"SEQNAME", KES_SQL_NCHAR, 64, false, true, nullptr, nullptr},
           {"CURRENTBATCHEND", KES_SQL_INT, 64, false, false, nullptr, nullptr},
       },
       {"SEQNAME"},
       {}},
  };
  return tables;
}

void CheckTable(const ExpectedTable& expected, const TableDefn* table) {
  SCOPED_TRACE(expected.name);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->tableName, expected.name);
  if (expected.description == nullptr) {
    EXPECT_FALSE(table->description.has_value());
  } else {
    EXPECT_EQ(table->description, std::optional<std::string>(expected.description));
  }
  ASSERT_EQ(table->columns.size(), expected.columns.size());
  for (std::size_t i = 0; i < expected.columns.size(); ++i) {
    const ExpectedColumn& want = expected.columns[i];
    const ColumnDefnEntry& got = table->columns[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.columnName, want.name);
    EXPECT_EQ(got.dataType, want.type);
    EXPECT_EQ(got.maxSize, want.maxSize);
    EXPECT_EQ(got.isNullable, want.nullable);
    EXPECT_EQ(got.isUnique, want.unique);
    EXPECT_EQ(got.generatorName.has_value(), want.generator != nullptr);
    if (want.generator != nullptr && got.generatorName) {
      EXPECT_EQ(*got.generatorName, want.generator);
    }
    EXPECT_EQ(got.defaultValue.has_value(), want.defaultText != nullptr);
    if (want.defaultText != nullptr && got.defaultValue) {
      EXPECT_EQ(ConvertValueToString(got.defaultValue, got.dataType),
                std::optional<std::string>(want.defaultText));
      EXPECT_EQ(got.defaultValueLength, got.defaultValue->length());
    }
  }
  ASSERT_TRUE(table->constraints.has_value());
  EXPECT_EQ(table->constraints->primaryKeyColumns, expected.primaryKey);
  EXPECT_EQ(table->constraints->primaryKeyCount, int32_t(expected.primaryKey.size()));
  const std::vector<ForeignKeyDefn>& keys = table->constraints->foreignKeys;
  ASSERT_EQ(keys.size(), expected.foreignKeys.size());
  for (std::size_t i = 0; i < keys.size(); ++i) {
    EXPECT_EQ(keys[i].localColumn, expected.foreignKeys[i].local);
    EXPECT_EQ(keys[i].referenceColumn, expected.foreignKeys[i].reference);
    EXPECT_EQ(keys[i].referenceTable, expected.foreignKeys[i].table);
    EXPECT_EQ(keys[i].onDeleteCascade, expected.foreignKeys[i].cascade);
    EXPECT_EQ(keys[i].isBidirectional, expected.foreignKeys[i].bidirectional);
  }
}

std::optional<AllowedValues> AllowedOf(const char* table, const char* column) {
  const ColumnDefnEntry* entry = GetColumnDefnEntry(table, column);
  return entry != nullptr ? entry->allowedValues : std::nullopt;
}

class SampleDirectoryTest : public fhtest::DataDictTest {
 protected:
  void SetUp() override {
    fhtest::DataDictTest::SetUp();
    ASSERT_TRUE(LoadDataDictFiles(FH_SOURCE_DIR "/examples/data"));
    messages_ = NewMessages();
  }
  std::string messages_;
};

TEST_F(SampleDirectoryTest, LoadsEveryTableInListOrderWithoutErrors) {
  EXPECT_EQ(messages_.find("[ERROR]"), std::string::npos) << messages_;
  std::vector<std::string> names;
  for (const TableDefn* table : GetTableDefnList()) names.push_back(table->tableName);
  EXPECT_EQ(names, (std::vector<std::string>{"customer", "product", "orders", "order_line",
                                             "shipment_line", "type_sampler", "SeqGenState"}));
  for (const char* file : {"inventory_core.xml", "inventory_orders.xml", "inventory_types.xml",
                           "framework_tables.xml"}) {
    const std::string opening =
        std::string("[DEBUG] Opening ") + FH_SOURCE_DIR "/examples/data\\" + file + "\n";
    EXPECT_NE(messages_.find(opening), std::string::npos) << opening;
  }
}

TEST_F(SampleDirectoryTest, RelatedTablesMatchTheirFiles) {
  for (const ExpectedTable& expected : SampleTables()) {
    CheckTable(expected, GetTableDefn(expected.name));
  }
  const ColumnDefnEntry* country = GetColumnDefnEntry("customer", "country");
  ASSERT_NE(country, nullptr);
  EXPECT_EQ(country->description, std::optional<std::string>("ISO 3166 alpha-2 code."));
  EXPECT_FALSE(GetColumnDefnEntry("customer", "name")->description.has_value());
}

TEST_F(SampleDirectoryTest, AllowedValuesAsListsAndRanges) {
  struct Case {
    const char* table;
    const char* column;
    bool isRange;
    std::vector<std::string> values;
  };
  const Case cases[] = {
      {"customer", "country", false, {"GB", "IE", "FR", "DE"}},
      {"product", "category", false, {"general", "hardware", "garden"}},
      {"product", "unit_price", true, {"0", "100000"}},
      {"product", "reorder_level", true, {"0", "1000"}},
      {"orders", "status", false, {"open", "shipped", "closed", "cancelled"}},
      {"order_line", "quantity", true, {"1", "9999"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table) + "." + c.column);
    std::optional<AllowedValues> allowed = AllowedOf(c.table, c.column);
    ASSERT_TRUE(allowed.has_value());
    EXPECT_EQ(allowed->isRange, c.isRange);
    EXPECT_EQ(allowed->values, c.values);
  }
  EXPECT_FALSE(AllowedOf("customer", "email").has_value());
}

TEST_F(SampleDirectoryTest, TypeSamplerHoldsOneColumnPerTypeName) {
  struct Case {
    const char* column;
    uint8_t type;
    const char* defaultText;  // null: no default
  };
  const Case cases[] = {
      {"sample_id", 5, nullptr},
      {"as_kes_sql_not_supported_type", 0, nullptr},
      {"as_kes_sql_tinyint", 1, "-7"},
      {"as_kes_sql_unsigned_tinyint", 2, "200"},
      {"as_kes_sql_smallint", 3, "-300"},
      {"as_kes_sql_unsigned_smallint", 4, "60000"},
      {"as_kes_sql_int", 5, "42"},
      {"as_integer", 5, "-42"},
      {"as_long", 5, "7"},
      {"as_kes_sql_unsigned_int", 6, "4000000000"},
      {"as_bigint", 7, "-9000000000"},
      {"as_kes_sql_unsigned_long_int", 8, "18000000000000000000"},
      {"as_kes_sql_float", 9, "1.500000"},
      {"as_float", 9, "-2.250000"},
      {"as_kes_sql_double", 10, "3.125000"},
      {"as_kes_sql_real", 11, "0.500000"},
      {"as_kes_sql_decimal", 12, "12.34"},
      {"as_kes_sql_numeric", 13, "56.78"},
      {"as_kes_sql_char", 14, "abc"},
      {"as_char", 15, "def"},
      {"as_nchar", 15, "ghi"},
      {"as_kes_sql_date", 16, "2024-02-29 00:00:00"},
      {"as_date", 16, "2023-12-31 00:00:00"},
      {"as_kes_sql_time", 17, "0000-00-00 13:45:00"},
      {"as_time", 17, "0000-00-00 23:59:59"},
      {"as_kes_sql_datetime", 18, "2024-02-29 13:45:00"},
      {"as_datetime", 18, "2020-01-31 00:00:00"},
      {"as_timestamp", 18, "2021-06-15 08:30:00"},
      {"as_boolean", 19, "'f'"},
      {"as_kes_sql_blob", 20, nullptr},
      {"as_blob", 20, nullptr},
      {"as_kes_sql_clob", 21, nullptr},
      {"as_clob", 21, nullptr},
      {"as_kes_sql_text", 22, "hello"},
      {"as_text", 22, "world"},
  };
  const TableDefn* table = GetTableDefn("TYPE_SAMPLER");
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->columns.size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const ColumnDefnEntry& column = table->columns[i];
    SCOPED_TRACE(cases[i].column);
    EXPECT_EQ(column.columnName, cases[i].column);
    EXPECT_EQ(column.dataType, cases[i].type);
    ASSERT_EQ(column.defaultValue.has_value(), cases[i].defaultText != nullptr);
    if (cases[i].defaultText != nullptr) {
      EXPECT_EQ(ConvertValueToString(column.defaultValue, column.dataType),
                std::optional<std::string>(cases[i].defaultText));
    }
  }
  // A TINYINT default of -7 is the single byte 0xF9.
  const ColumnDefnEntry* tiny = GetColumnDefnEntry("type_sampler", "as_kes_sql_tinyint");
  ASSERT_TRUE(tiny && tiny->defaultValue);
  ASSERT_EQ(tiny->defaultValue->length(), 1);
  EXPECT_EQ(tiny->defaultValue->bytes()[0], 0xF9);
}

}  // namespace
