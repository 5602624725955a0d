// Structural faults in data dictionary files and how elements are read: each
// case writes a small XML file, loads it and checks the messages and the
// definitions that result.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "dictionary/data_dict_loader.h"
#include "dictionary/data_dict_test_helpers.h"

namespace {

using fhtest::DictionaryXml;
using fhtest::ErrorLine;
using fhtest::SimpleColumnsXml;
using fhtest::TableXml;

const std::string kGoodTable = TableXml("good", SimpleColumnsXml());

std::string ColumnsWith(const std::string& columnInner) {
  return "<columns><column name=\"c\"><data-type>INTEGER</data-type>" + columnInner +
         "</column></columns>";
}

std::string ForeignKeyTable(const std::string& foreignKeysInner) {
  return TableXml("bad",
                  SimpleColumnsXml() + "<foreign-keys>" + foreignKeysInner + "</foreign-keys>");
}

const std::string kPair =
    "<fk-column><fk-local-column>id</fk-local-column>"
    "<fk-reference-column>id</fk-reference-column></fk-column>";

struct FaultCase {
  const char* title;
  std::string tables;   // inside <data-dictionary>
  std::string message;  // the log line expected, "[TAG] text"
};

using StructureTest = fhtest::DataDictTest;

// Well-formed files: the faulty table "bad" gets no definition, the table
// "good" after it is still loaded, and the file parses to its end.
TEST_F(StructureTest, FaultsInWellFormedFilesAbandonOnlyTheirTable) {
  const std::vector<FaultCase> cases = {
      {"range without to",
       TableXml("bad", ColumnsWith("<allowed-values><from>1</from></allowed-values>")),
       ErrorLine("In the allowed values attribute, 'to' tag is missing.\n")},
      {"range with an empty to",
       TableXml("bad", ColumnsWith("<allowed-values><from>1</from><to/></allowed-values>")),
       ErrorLine("In the allowed values attribute, 'to' tag is missing.\n")},
      {"column without a name",
       TableXml("bad", "<columns><column><data-type>INTEGER</data-type></column></columns>"),
       ErrorLine("Column without a name attribute in table bad - table not loaded.\n")},
      {"table without a name", "<table system=\"yes\">" + SimpleColumnsXml() + "</table>",
       ErrorLine("Table definition without a name attribute - table not loaded.\n")},
      {"foreign key without a reference table",
       ForeignKeyTable("<foreign-key><fk-columns>" + kPair + "</fk-columns></foreign-key>"),
       ErrorLine("Foreign key without reference-table-name in table bad - table not loaded.\n")},
      {"fk-column without its reference column",
       ForeignKeyTable("<foreign-key reference-table-name=\"good\"><fk-columns><fk-column>"
                       "<fk-local-column>id</fk-local-column></fk-column></fk-columns>"
                       "</foreign-key>"),
       ErrorLine("fk-column without fk-local-column or fk-reference-column in table bad - table "
                 "not loaded.\n")},
      {"element inside primary-key-column",
       TableXml("bad", SimpleColumnsXml() +
                           "<primary-key><primary-key-column>id<x/></primary-key-column>"
                           "</primary-key>"),
       ErrorLine("\nMissing primary-key-column end tag\n")},
      {"element inside fk-local-column",
       ForeignKeyTable("<foreign-key reference-table-name=\"good\"><fk-columns><fk-column>"
                       "<fk-local-column>id<x/></fk-local-column></fk-column></fk-columns>"
                       "</foreign-key>"),
       ErrorLine("\n Missing endof FK-LOCAL-COLUMN tag\n")},
      {"element inside fk-reference-column",
       ForeignKeyTable("<foreign-key reference-table-name=\"good\"><fk-columns><fk-column>"
                       "<fk-local-column>id</fk-local-column>"
                       "<fk-reference-column><x/>id</fk-reference-column></fk-column>"
                       "</fk-columns></foreign-key>"),
       ErrorLine("\nMissing endof FK-REFERENCE-COLUMN\n")},
      {"stray element in fk-columns",
       ForeignKeyTable("<foreign-key reference-table-name=\"good\"><fk-columns>" + kPair +
                       "<fk-colum/></fk-columns></foreign-key>"),
       ErrorLine("\nMissing end FK-COLUMNS\n")},
      {"element inside fk-constraints",
       ForeignKeyTable("<foreign-key reference-table-name=\"good\"><fk-columns>" + kPair +
                       "</fk-columns><fk-constraints>ON-DELETE-CASCADE<x/></fk-constraints>"
                       "</foreign-key>"),
       ErrorLine("\nMissing endof FK-CONSTRAINTS tag\n")},
      {"element inside value",
       TableXml("bad", ColumnsWith("<allowed-values><value>1</value><value>2<x/></value>"
                                   "</allowed-values>")),
       ErrorLine("\n No ending Value tag\n")},
      {"element inside from",
       TableXml("bad", ColumnsWith("<allowed-values><from><x/></from><to>2</to>"
                                   "</allowed-values>")),
       ErrorLine("\nNo Ending FROM tag \n")},
      {"element inside to",
       TableXml("bad", ColumnsWith("<allowed-values><from>1</from><to>2<x/></to>"
                                   "</allowed-values>")),
       ErrorLine("\nNo ending TO tag \n")},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.title);
    FreeAllTableDefns();
    const std::string messages = LoadXml(DictionaryXml(c.tables + kGoodTable));
    EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    EXPECT_EQ(GetTableDefn("bad"), nullptr);
    EXPECT_NE(GetTableDefn("good"), nullptr);
    EXPECT_EQ(messages.find("failed to parse"), std::string::npos) << messages;
  }
}

// Files cut short: the reader reports the element it was in, the walk stops
// with "failed to parse", and tables completed before the cut stay loaded.
TEST_F(StructureTest, TruncatedFilesKeepTheTablesBeforeTheCut) {
  const std::string head = "<?xml version=\"1.0\"?>\n<data-dictionary>\n" + kGoodTable;
  const std::vector<FaultCase> cases = {
      {"inside a column", head + "<table name=\"bad\"><columns><column name=\"c\">",
       ErrorLine("\nxmlTextReaderRead returned error \n")},
      {"right after a table start", head + "<table name=\"bad\">",
       ErrorLine("\nxmlTextReaderRead returned error \n")},
      {"inside a dictionary description", head + "<description>text",
       ErrorLine("\nNo Description end tag\n")},
      {"inside a primary-key-column",
       head + "<table name=\"bad\">" + SimpleColumnsXml() + "<primary-key><primary-key-column>id",
       ErrorLine("\nMissing primary-key-column end tag\n")},
      {"inside fk-columns",
       head + "<table name=\"bad\">" + SimpleColumnsXml() +
           "<foreign-keys><foreign-key reference-table-name=\"good\"><fk-columns>" + kPair,
       ErrorLine("\nMissing end FK-COLUMNS\n")},
      {"inside an allowed value",
       head + "<table name=\"bad\"><columns><column name=\"c\"><allowed-values><value>1",
       ErrorLine("\n No ending Value tag\n")},
      {"after the last table", head, ""},
  };
  for (const FaultCase& c : cases) {
    SCOPED_TRACE(c.title);
    FreeAllTableDefns();
    const std::string messages = LoadXml(c.tables);
    if (!c.message.empty()) {
      EXPECT_NE(messages.find(c.message), std::string::npos) << messages;
    }
    EXPECT_NE(messages.find(" : failed to parse\n"), std::string::npos) << messages;
    EXPECT_NE(GetTableDefn("good"), nullptr);
    EXPECT_EQ(GetTableDefn("bad"), nullptr);
  }
}

TEST_F(StructureTest, MalformedAndForeignFilesEndQuietlyOnStandardError) {
  // libxml2's own diagnostics go to the log, never to the standard error
  // stream of an embedding application.
  std::fflush(stderr);
  const int savedStderr = ::dup(2);
  const std::string capture = dir().Sub("stderr.txt");
  std::FILE* captureFile = std::fopen(capture.c_str(), "w");
  ASSERT_NE(captureFile, nullptr);
  ::dup2(::fileno(captureFile), 2);
  const std::string messages =
      LoadXml("<data-dictionary><table name=\"t\"></tabel></data-dictionary>") +
      LoadXml("not xml at all") + LoadXml("") +
      LoadXml("<?xml version=\"1.0\" encoding=\"UTF-7\"?><data-dictionary/>");
  std::fflush(stderr);
  ::dup2(savedStderr, 2);
  ::close(savedStderr);
  std::fclose(captureFile);

  EXPECT_EQ(fhtest::ReadFileBytes(capture), "");
  EXPECT_NE(messages.find("[DEBUG] XML "), std::string::npos) << messages;
  EXPECT_NE(messages.find(" : failed to parse\n"), std::string::npos);
  EXPECT_EQ(fh::GetTableDefnCount(), 0u);
}

TEST_F(StructureTest, EmptyDictionaryDescriptionDoesNotSwallowTheNextTable) {
  const std::string messages =
      LoadXml(DictionaryXml("<description/>" + TableXml("first", SimpleColumnsXml()) +
                            "<description>later <b>nested</b><!-- note --></description>" +
                            TableXml("second", SimpleColumnsXml())));
  EXPECT_NE(GetTableDefn("first"), nullptr);
  EXPECT_NE(GetTableDefn("second"), nullptr);
  EXPECT_EQ(messages.find("[ERROR]"), std::string::npos) << messages;
}

TEST_F(StructureTest, TablesWithoutColumnsGiveNoDefinitionAndNoMessage) {
  const std::string messages = LoadXml(DictionaryXml(
      "<table name=\"empty\"/>" + TableXml("no_columns", "<description>d</description>") +
      TableXml("empty_list", "<columns/>") + TableXml("empty_list2", "<columns> </columns>") +
      TableXml("pk_first",
               "<primary-key><primary-key-column>a</primary-key-column>"
               "</primary-key>") +
      kGoodTable));
  EXPECT_EQ(fh::GetTableDefnCount(), 1u);
  EXPECT_NE(GetTableDefn("good"), nullptr);
  EXPECT_EQ(messages.find("[ERROR]"), std::string::npos) << messages;
}

TEST_F(StructureTest, ColumnElementsAsTheFileFormatDefinesThem) {
  LoadXml(DictionaryXml(
      TableXml("t",
               "<columns>"
               "<column name=\"absent\"><data-type>INTEGER</data-type></column>"
               "<column name=\"upper\"><data-type>INTEGER</data-type><nullable>TRUE</nullable>"
               "<unique>TRUE</unique></column>"
               "<column name=\"lower\"><data-type>INTEGER</data-type><nullable>true</nullable>"
               "<unique>true</unique></column>"
               "<column name=\"other\"><data-type>INTEGER</data-type><nullable>no</nullable>"
               "<unique>yes</unique></column>"
               "<column name=\"empties\"><data-type>INTEGER</data-type><nullable/><unique></unique>"
               "<default-value/><description></description></column>"
               "</columns>")));
  struct Case {
    const char* column;
    bool nullable;
    bool unique;
  };
  const Case cases[] = {{"absent", true, false},
                        {"upper", true, false},
                        {"lower", true, true},
                        {"other", false, false},
                        {"empties", true, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    const ColumnDefnEntry* column = GetColumnDefnEntry("t", c.column);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->isNullable, c.nullable);
    EXPECT_EQ(column->isUnique, c.unique);
  }
  const ColumnDefnEntry* empties = GetColumnDefnEntry("t", "empties");
  EXPECT_FALSE(empties->defaultValue.has_value());
  EXPECT_FALSE(empties->description.has_value());
}

TEST_F(StructureTest, MaxSizeIsParsedAndCarriedToLaterColumns) {
  LoadXml(DictionaryXml(TableXml(
      "t",
      "<columns>"
      "<column name=\"first\"><data-type>INTEGER</data-type></column>"
      "<column name=\"fifty\"><data-type>CHAR</data-type><max-size>50</max-size></column>"
      "<column name=\"carried\"><data-type>INTEGER</data-type></column>"
      "<column name=\"signed\"><data-type>INTEGER</data-type><max-size>-3</max-size></column>"
      "<column name=\"letters\"><data-type>INTEGER</data-type><max-size>abc</max-size></column>"
      "<column name=\"mixed\"><data-type>INTEGER</data-type><max-size>12a</max-size></column>"
      "<column name=\"after\"><data-type>CHAR</data-type></column>"
      "<column name=\"edge\"><data-type>CHAR</data-type><max-size>255</max-size></column>"
      "<column name=\"wide\"><data-type>CHAR</data-type><max-size>256</max-size></column>"
      "<column name=\"wide_too\"><data-type>KES_SQL_CHAR</data-type></column>"
      "</columns>")));
  struct Case {
    const char* column;
    int32_t maxSize;
    uint8_t type;
  };
  const Case cases[] = {
      {"first", 0, KES_SQL_INT},       {"fifty", 50, KES_SQL_NCHAR}, {"carried", 50, KES_SQL_INT},
      {"signed", -3, KES_SQL_INT},     {"letters", -1, KES_SQL_INT}, {"mixed", -1, KES_SQL_INT},
      {"after", -1, KES_SQL_NCHAR},    {"edge", 255, KES_SQL_NCHAR}, {"wide", 256, KES_SQL_TEXT},
      {"wide_too", 256, KES_SQL_TEXT},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.column);
    const ColumnDefnEntry* column = GetColumnDefnEntry("t", c.column);
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->maxSize, c.maxSize);
    EXPECT_EQ(column->dataType, c.type);
  }
}

TEST_F(StructureTest, MissingOrUnknownDataType) {
  const std::string messages = LoadXml(DictionaryXml(
      TableXml("t",
               "<columns><column name=\"none\"/><column name=\"empty\"><data-type/></column>"
               "<column name=\"varchar\"><data-type>VARCHAR</data-type></column>"
               "<column name=\"spaced\"><data-type> INTEGER </data-type></column></columns>")));
  for (const char* name : {"none", "empty", "varchar", "spaced"}) {
    const ColumnDefnEntry* column = GetColumnDefnEntry("t", name);
    ASSERT_NE(column, nullptr) << name;
    EXPECT_EQ(column->dataType, KES_SQL_NOT_SUPPORTED_TYPE) << name;
  }
  EXPECT_NE(messages.find(ErrorLine(
                "Column data type not supported - Error while creating column definition.\n")),
            std::string::npos);
}

TEST_F(StructureTest, DescriptionsCommentsCaseAndUnknownElements) {
  LoadXml(DictionaryXml(
      TableXml("after_columns", SimpleColumnsXml() + "<description>too late</description>") +
      "<!-- between tables -->" +
      "<table name=\"mixed\" extra=\"ignored\"><!-- c --><unknown><columns/></unknown>"
      "<DESCRIPTION><![CDATA[a < b]]> &amp; c<!-- x --></DESCRIPTION>"
      "<COLUMNS><!-- c --><COLUMN name=\"A\"><DATA-TYPE>BIGINT</DATA-TYPE>"
      "<whatever>1</whatever></COLUMN></COLUMNS></table>" +
      TableXml("cut_list",
               "<columns><column name=\"kept\"><data-type>INTEGER</data-type></column>"
               "<not-a-column/><column name=\"dropped\"/></columns>"
               "<primary-key><primary-key-column>kept</primary-key-column></primary-key>")));
  const TableDefn* late = GetTableDefn("after_columns");
  ASSERT_NE(late, nullptr);
  EXPECT_FALSE(late->description.has_value());

  const TableDefn* mixed = GetTableDefn("mixed");
  ASSERT_NE(mixed, nullptr);
  EXPECT_EQ(mixed->description, std::optional<std::string>("a < b & c"));
  ASSERT_EQ(mixed->columns.size(), 1u);
  EXPECT_EQ(mixed->columns[0].columnName, "A");
  EXPECT_EQ(mixed->columns[0].dataType, KES_SQL_BIGINT);

  // An unknown element ends the column list; the table's later sections
  // are still read.
  const TableDefn* cut = GetTableDefn("cut_list");
  ASSERT_NE(cut, nullptr);
  ASSERT_EQ(cut->columns.size(), 1u);
  EXPECT_EQ(cut->columns[0].columnName, "kept");
  EXPECT_EQ(cut->constraints->primaryKeyColumns, std::vector<std::string>{"kept"});
}

TEST_F(StructureTest, AllowedValueForms) {
  LoadXml(DictionaryXml(
      TableXml("t",
               "<columns>"
               "<column name=\"list\"><allowed-values><value>a</value><value/><value>b</value>"
               "<from>1</from><to>2</to></allowed-values></column>"
               "<column name=\"range\"><allowed-values><from>1</from><value>x</value><to>9</to>"
               "</allowed-values></column>"
               "<column name=\"all_empty\"><allowed-values><value/></allowed-values></column>"
               "<column name=\"empty_from\"><allowed-values><from/><to>3</to></allowed-values>"
               "</column>"
               "</columns>")));
  const ColumnDefnEntry* list = GetColumnDefnEntry("t", "list");
  ASSERT_TRUE(list && list->allowedValues);
  EXPECT_FALSE(list->allowedValues->isRange);
  EXPECT_EQ(list->allowedValues->values, (std::vector<std::string>{"a", "b"}));
  const ColumnDefnEntry* range = GetColumnDefnEntry("t", "range");
  ASSERT_TRUE(range && range->allowedValues);
  EXPECT_TRUE(range->allowedValues->isRange);
  EXPECT_EQ(range->allowedValues->values, (std::vector<std::string>{"1", "9"}));
  EXPECT_FALSE(GetColumnDefnEntry("t", "all_empty")->allowedValues.has_value());
  EXPECT_FALSE(GetColumnDefnEntry("t", "empty_from")->allowedValues.has_value());
}

TEST_F(StructureTest, ForeignKeyFlagsAndPairs) {
  const std::string columns =
      "<columns><column name=\"a\"><data-type>INTEGER</data-type></column>"
      "<column name=\"b\"><data-type>INTEGER</data-type></column></columns>";
  const std::string twoPairs =
      "<fk-columns><fk-column><fk-local-column>a</fk-local-column>"
      "<fk-reference-column>ra</fk-reference-column></fk-column>"
      "<fk-column><fk-local-column>b</fk-local-column>"
      "<fk-reference-column>rb</fk-reference-column></fk-column></fk-columns>";
  const std::string messages = LoadXml(DictionaryXml(TableXml(
      "t", columns +
               "<primary-key><primary-key-column/><primary-key-column>b</primary-key-column>"
               "<primary-key-column>a</primary-key-column></primary-key>"
               "<foreign-keys>"
               "<foreign-key reference-table-name=\"r1\" isbidirectional=\"true\">" +
               twoPairs +
               "<fk-constraints>ON-DELETE-CASCADE</fk-constraints></foreign-key>"
               "<foreign-key reference-table-name=\"r2\" isbidirectional=\"TRUE\">" +
               twoPairs +
               "<fk-constraints>on-delete-cascade</fk-constraints></foreign-key>"
               "<foreign-key reference-table-name=\"r3\"><fk-constraints>ON-DELETE-CASCADE"
               "</fk-constraints>" +
               twoPairs +
               "</foreign-key>"
               "<foreign-key reference-table-name=\"r4\"/>"
               "</foreign-keys>")));
  const TableDefn* table = GetTableDefn("t");
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->constraints->primaryKeyColumns, (std::vector<std::string>{"b", "a"}));
  const std::vector<ForeignKeyDefn>& keys = table->constraints->foreignKeys;
  ASSERT_EQ(keys.size(), 4u);  // r3 (fk-columns not first) and r4 (no children) add none
  const struct {
    const char* local;
    const char* reference;
    const char* table;
    bool cascade;
    bool bidirectional;
  } expected[] = {{"a", "ra", "r1", true, true},
                  {"b", "rb", "r1", true, true},
                  {"a", "ra", "r2", false, false},
                  {"b", "rb", "r2", false, false}};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(keys[i].localColumn, expected[i].local);
    EXPECT_EQ(keys[i].referenceColumn, expected[i].reference);
    EXPECT_EQ(keys[i].referenceTable, expected[i].table);
    EXPECT_EQ(keys[i].onDeleteCascade, expected[i].cascade);
    EXPECT_EQ(keys[i].isBidirectional, expected[i].bidirectional);
  }
  EXPECT_NE(messages.find("[DEBUG] fk-columns tag not found \n"), std::string::npos);
  EXPECT_NE(messages.find("[TRACE] \t@@@@ Loaded Table definition Successfully @@@@\n"),
            std::string::npos);
}

}  // namespace
