// The XML data import on every engine: generated identifiers shared through
// table:column:local-id references, keys taken from enclosing and
// descendant elements, the text and Workflow_Statements rules, containers,
// and the save of every table touched, referenced tables first.
#include "framework/data_import.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>

#include <cctype>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "config/data_source_map.h"
#include "sequence/sequence_generator.h"
#include "sql/sql_dialects.h"
#include "store/table_data.h"
#include "support/sql_engine_fixture.h"
#include "support/table_definitions.h"
#include "util/memory_pool.h"

namespace fhtest {
namespace {

ColumnDefnEntry Col(const char* name, uint8_t type, const char* generator = nullptr) {
  ColumnDefnEntry column;
  column.columnName = name;
  column.dataType = type;
  column.maxSize = 40;
  if (generator != nullptr) column.generatorName = generator;
  return column;
}

// The tables child, parent and Workflow_Statements are made afresh for each
// test; the sequences are this process's own, so that they start at 1 on a
// server whose SeqGenState other tests share.
class DataImportTest : public SqlEngineFixture {
 protected:
  void SetUp() override {
    SqlEngineFixture::SetUp();
    if (HasFatalFailure()) return;
    fh::ResetSequenceMapForTesting();
    DropTables();
    ASSERT_EQ(Run("create table if not exists SeqGenState (SEQNAME varchar(64) not null primary "
                  "key, CURRENTBATCHEND integer)"),
              1);
    ForgetSequences();
    // child(cid gen, pid -> parent.pid, label text); parent(pid gen, name);
    // Workflow_Statements(id, NEXT_STATEMENT_ID -> itself without generator).
    Define("SeqGenState", {Col("SEQNAME", KES_SQL_CHAR), Col("CURRENTBATCHEND", KES_SQL_INT)},
           {"SEQNAME"}, {});
    Define("child",
           {Col("cid", KES_SQL_INT, childSeq_.c_str()), Col("pid", KES_SQL_INT),
            Col("label", KES_SQL_CHAR)},
           {"cid"}, {{"pid", "pid", "parent"}});
    Define("parent", {Col("pid", KES_SQL_INT, parentSeq_.c_str()), Col("name", KES_SQL_CHAR)},
           {"pid"}, {});
    Define("Workflow_Statements",
           {Col("STATEMENT_ID", KES_SQL_INT), Col("NEXT_STATEMENT_ID", KES_SQL_INT)},
           {"STATEMENT_ID"}, {});
    int missing = -1;
    CreateAllTables(&missing);  // SeqGenState may exist already
    ASSERT_EQ(missing, 0);
    ASSERT_TRUE(SequenceGenerator());
  }
  void TearDown() override {
    DropTables();
    ForgetSequences();
    fh::ResetSequenceMapForTesting();
    SqlEngineFixture::TearDown();
  }

  static void Define(const char* name, std::vector<ColumnDefnEntry> columns,
                     std::vector<std::string> key, std::vector<ForeignKeyDefn> foreignKeys) {
    ASSERT_TRUE(DefineTable(name, std::move(columns), std::move(key), std::move(foreignKeys)));
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(name, "conn")));
  }

  void DropTables() {
    for (const char* table : {"child", "parent", "Workflow_Statements"})
      Run(std::string("drop table ") + table);
  }
  void ForgetSequences() {
    Run("delete from SeqGenState where SEQNAME in ('" + childSeq_ + "', '" + parentSeq_ + "')");
  }

  const std::string childSeq_ = UniqueTableName("ChildSeq");
  const std::string parentSeq_ = UniqueTableName("ParentSeq");

  std::string WriteXml(const std::string& body) {
    const std::string path = dir_.Sub("data.xml");
    EXPECT_TRUE(WriteFileBytes(path, "<?xml version=\"1.0\"?>\n<root>" + body + "</root>\n"));
    return path;
  }

  // Every row of table as "v1|v2|..|state" (integers as numbers, texts as
  // given, NULL for none).
  static std::vector<std::string> Rows(const char* table) {
    std::vector<std::string> rows;
    const TableData* data = GetTableDataByName(table);
    if (data == nullptr) return rows;
    for (const RowObject* row = data->firstRow.get(); row != nullptr; row = row->next.get()) {
      std::string text;
      for (std::size_t i = 0; i < row->values.size(); ++i) {
        const auto& value = row->values[i];
        if (!value) {
          text += "NULL|";
        } else if (data->tableDefn->columns[i].dataType == KES_SQL_CHAR) {
          text += std::string(value->text()) + "|";
        } else {
          int32_t number = 0;
          std::memcpy(&number, value->bytes(), sizeof number);
          text += std::to_string(number) + "|";
        }
      }
      rows.push_back(text + std::to_string(row->state));
    }
    return rows;
  }
};

TEST_P(DataImportTest, ReferencesNestingAndTheWorkflowException) {
  const std::string path = WriteXml(
      "<childList>"
      "  <child cid='child:cid:1' label='parent:name:a:b'>"
      "    <parent pid='parent:pid:7' name='first'/>"
      "  </child>"
      "</childList>"
      "<parent pid='parent:pid:7' name='again'>"
      "  <child cid='child:cid:2' label='Meeting at 10:30:00'/>"
      "  <child cid='child:cid:3' label='x:y:z'/>"
      "</parent>"
      "<parent pid='parent:pid:8' name='third'/>"
      "<Workflow_Statements STATEMENT_ID='Workflow_Statements:STATEMENT_ID:5'"
      "                     NEXT_STATEMENT_ID='Workflow_Statements:STATEMENT_ID:0'/>");
  // The second parent:pid:7 is a duplicate key: its row fails (and is
  // reported), the others are written.
  EXPECT_FALSE(SaveDataInXML(path.c_str()));
  // The child takes pid from its descendant parent; both parent:pid:7 get
  // one number; a text column keeps what follows the second ':' of a
  // reference naming a defined table and column, any other text as written.
  EXPECT_EQ(Rows("child"),
            (std::vector<std::string>{"1|1|a:b|1", "2|1|Meeting at 10:30:00|1", "3|1|x:y:z|1"}));
  EXPECT_EQ(Rows("parent"), (std::vector<std::string>{"1|first|1", "1|again|2", "2|third|1"}));
  // No generator on the way: the local id; NEXT_STATEMENT_ID 0 stays 0.
  EXPECT_EQ(Rows("Workflow_Statements"), (std::vector<std::string>{"5|0|1"}));
  // Parents are saved before children: the duplicate parent key fails alone.
  std::string log = log_.Text();
  for (char& c : log) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  ASSERT_NE(log.find(" child values("), std::string::npos);
  EXPECT_LT(log.find(" parent values("), log.find(" child values("));
}

TEST_P(DataImportTest, BadFilesAndUnknownElementsFail) {
  const struct {
    std::string body;  // none: no file at all
    const char* message;
  } cases[] = {
      {"<unknown a='1'/>",
       "Cannot create and add a new row while constructing tabledata from XML file.\n"},
      {"<parent", "error: could not parse file file.xml\n"},
      {"<parent pid='12abc' name='p'/>", nullptr},
      {"<parent pid='1' name='p'><child cid='4294967296' label='c'/></parent>", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.body);
    const std::string path = WriteXml(c.body);
    EXPECT_FALSE(SaveDataInXML(path.c_str()));
    // A value that does not fit its column names the file, element and column.
    const bool misfit = c.message == nullptr;
    const std::string element = c.body.find("child") != std::string::npos ? "child" : "parent";
    const std::string column = element == "child" ? "cid" : "pid";
    EXPECT_TRUE(misfit ? log_.Contains("Cannot import " + path + ": element " + element +
                                       ", column " + column + ": ")
                       : log_.HasLine("[ERROR]", c.message));
    EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot create DO from " + path + ".\n"));
  }
}

// The same document from memory and from a parsed element: the same rows,
// and each entry's own line when an element names no table.
TEST_P(DataImportTest, BufferAndNodeEntriesImportLikeAFile) {
  const std::string good =
      "<root><parent pid='parent:pid:1' name='p'><child cid='child:cid:1' label='c'/>"
      "</parent></root>";
  const std::string bad = "<root><unknown a='1'/></root>";

  ASSERT_TRUE(fh::SaveDataInXMLBuffer(good.data(), static_cast<int>(good.size())));
  EXPECT_EQ(Rows("parent"), (std::vector<std::string>{"1|p|1"}));
  EXPECT_EQ(Rows("child"), (std::vector<std::string>{"1|1|c|1"}));
  EXPECT_FALSE(fh::SaveDataInXMLBuffer(bad.data(), static_cast<int>(bad.size())));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot construct table data from XML buffer.\n"));
  EXPECT_FALSE(fh::SaveDataInXMLBuffer("<root", 5));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "error: could not parse file file.xml\n"));

  std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> doc(
      xmlParseMemory(good.data(), static_cast<int>(good.size())), xmlFreeDoc);
  ASSERT_NE(doc, nullptr);
  ASSERT_TRUE(fh::SaveDataInXMLNode(xmlDocGetRootElement(doc.get())));
  EXPECT_EQ(Rows("parent").size(), 2u);
  std::unique_ptr<xmlDoc, void (*)(xmlDoc*)> badDoc(
      xmlParseMemory(bad.data(), static_cast<int>(bad.size())), xmlFreeDoc);
  EXPECT_FALSE(fh::SaveDataInXMLNode(xmlDocGetRootElement(badDoc.get())));
  EXPECT_TRUE(log_.HasLine("[ERROR]", "Cannot construct table data from buffer node.\n"));
  EXPECT_FALSE(fh::SaveDataInXMLNode(nullptr));
}

INSTANTIATE_TEST_SUITE_P(Engines, DataImportTest, testing::ValuesIn(SelectedEngines()), EngineName);

// Which texts fit which column: a value that does not fails the import
// before anything is saved (no database needed to see it refused).
TEST(DataImportValueTest, ValuesMustFitTheirColumns) {
  FreeAllTableDefns();
  InitTableList();
  ASSERT_TRUE(InitializeMemPool());
  TestLog log;
  ASSERT_NE(fh::AddTableDefn(fh::CreateTableDefn(
                "fits", std::nullopt,
                {Col("d", KES_SQL_DATE), Col("t", KES_SQL_TIME), Col("ts", KES_SQL_DATETIME),
                 Col("n", KES_SQL_TINYINT), Col("u", KES_SQL_UNSIGNED_LONG_INT),
                 Col("x", KES_SQL_DECIMAL), Col("f", KES_SQL_DOUBLE), Col("s", KES_SQL_CHAR)},
                ConstraintDefn{})),
            nullptr);
  const struct {
    const char* column;
    const char* text;
    bool fits;
  } cases[] = {
      {"d", "2024-02-29", true},
      {"d", "2023-02-29", false},
      {"d", "2026-13-01", false},
      {"d", "2026-12-08 10:30:00", true},
      {"d", "2026-12-08x", false},
      {"t", "23:59:59", true},
      {"t", "24:00:00", false},
      {"ts", "2026-12-08 10:60:00", false},
      {"n", "-128", true},
      {"n", "128", false},
      {"n", "12abc", false},
      {"u", "18446744073709551615", true},
      {"u", "18446744073709551616", false},
      {"x", "-12345678901234567890.5", true},
      {"x", "1.2.3", false},
      {"f", "1e308", true},
      {"f", "1e999", false},
      {"s", "Meeting at 10:30:00", true},
  };
  for (const auto& c : cases) {
    const std::string xml = std::string("<root><fits ") + c.column + "='" + c.text + "'/></root>";
    fh::SaveDataInXMLBuffer(xml.data(), static_cast<int>(xml.size()));
    const std::string refused =
        std::string("Cannot import XML data: element fits, column ") + c.column + ": \"" + c.text;
    EXPECT_EQ(log.Contains(refused), !c.fits) << c.column << " " << c.text;
  }
  UnLoadAllTable();
  fh::ResetMemPoolForTest();
  FreeAllTableDefns();
}

}  // namespace
}  // namespace fhtest
