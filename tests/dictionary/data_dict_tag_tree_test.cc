// The reader stage's tag tree: its shape for a full table, the attributes
// kept, and freeing and loading very large tables without deep recursion.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dictionary/data_dict_loader.h"
#include "dictionary/data_dict_reader.h"
#include "dictionary/data_dict_test_helpers.h"
#include "dictionary/xml_tag_info.h"
#include "log/log_file.h"

namespace {

using fhtest::DictionaryXml;
using fhtest::TableXml;

// The names of a record's children, in order.
std::vector<std::string> ChildNames(const XmlTagInfo* tag) {
  std::vector<std::string> names;
  for (const XmlTagInfo* child = tag->child.get(); child; child = child->sibling.get()) {
    names.push_back(child->tagName);
  }
  return names;
}

const XmlTagInfo* NthChild(const XmlTagInfo* tag, int n) {
  const XmlTagInfo* child = tag->child.get();
  while (child && n-- > 0) child = child->sibling.get();
  return child;
}

class TagTreeTest : public fhtest::DataDictTest {
 protected:
  // A reader on xml, moved to the first start tag named element.
  fh::XmlTextReaderHandle ReaderAt(const std::string& xml, const char* element) {
    fh::XmlTextReaderHandle reader = fh::OpenDataDictReader(WriteFile("tree.xml", xml).c_str());
    EXPECT_TRUE(reader);
    while (reader && xmlTextReaderRead(reader.get()) == 1) {
      if (xmlTextReaderNodeType(reader.get()) == XML_READER_TYPE_ELEMENT &&
          xmlStrcmp(xmlTextReaderConstName(reader.get()),
                    reinterpret_cast<const xmlChar*>(element)) == 0) {
        return reader;
      }
    }
    ADD_FAILURE() << "no element " << element;
    return nullptr;
  }
};

TEST_F(TagTreeTest, FullTableTreeShape) {
  fh::XmlTextReaderHandle reader = ReaderAt(
      DictionaryXml(TableXml(
          "t",
          "<description>d</description><columns>"
          "<column name=\"c1\"><data-type>INTEGER</data-type><max-size>4</max-size>"
          "<uniquevalue-generation><generator-name>Seq</generator-name>"
          "</uniquevalue-generation><allowed-values><value>1</value><value>2</value>"
          "</allowed-values></column>"
          "<column name=\"c2\"><allowed-values><from>a</from><to>z</to></allowed-values>"
          "<default-value/></column></columns>"
          "<primary-key><primary-key-column>c1</primary-key-column></primary-key>"
          "<foreign-keys><foreign-key reference-table-name=\"r\" isbidirectional=\"true\">"
          "<fk-columns><fk-column><fk-local-column>c1</fk-local-column>"
          "<fk-reference-column>x</fk-reference-column></fk-column></fk-columns>"
          "<fk-constraints>ON-DELETE-CASCADE</fk-constraints></foreign-key></foreign-keys>")),
      "table");
  ASSERT_TRUE(reader);
  std::unique_ptr<XmlTagInfo> tree;
  ASSERT_TRUE(ParseTableInfo(reader.get(), tree));
  ASSERT_TRUE(tree);
  EXPECT_EQ(xmlTextReaderNodeType(reader.get()), XML_READER_TYPE_END_ELEMENT);  // on </table>

  EXPECT_EQ(tree->tagName, "table");
  EXPECT_EQ(tree->attrValues, std::vector<std::string>{"t"});
  EXPECT_EQ(ChildNames(tree.get()),
            (std::vector<std::string>{"description", "columns", "primary-key", "foreign-keys"}));
  EXPECT_EQ(NthChild(tree.get(), 0)->values, std::vector<std::string>{"d"});

  const XmlTagInfo* columns = NthChild(tree.get(), 1);
  EXPECT_EQ(ChildNames(columns), (std::vector<std::string>{"column", "column"}));
  const XmlTagInfo* c1 = NthChild(columns, 0);
  EXPECT_EQ(ChildNames(c1),
            (std::vector<std::string>{"data-type", "max-size", "generator-name", "value"}));
  EXPECT_EQ(NthChild(c1, 2)->values, std::vector<std::string>{"Seq"});
  EXPECT_EQ(NthChild(c1, 3)->values, (std::vector<std::string>{"1", "2"}));
  EXPECT_EQ(NthChild(c1, 3)->valueCount(), 2);
  const XmlTagInfo* c2 = NthChild(columns, 1);
  EXPECT_EQ(ChildNames(c2), (std::vector<std::string>{"from", "to", "default-value"}));
  EXPECT_EQ(NthChild(c2, 2)->valueCount(), 0);  // empty element: no text

  const XmlTagInfo* foreignKey = NthChild(tree.get(), 3)->child.get();
  EXPECT_EQ(foreignKey->attrNames,
            (std::vector<std::string>{"reference-table-name", "isbidirectional"}));
  EXPECT_EQ(ChildNames(foreignKey), (std::vector<std::string>{"fk-columns", "fk-constraints"}));
  EXPECT_EQ(ChildNames(foreignKey->child->child.get()),
            (std::vector<std::string>{"fk-local-column", "fk-reference-column"}));
}

TEST_F(TagTreeTest, KeptAttributesComeInFixedOrder) {
  fh::XmlTextReaderHandle reader = ReaderAt(
      "<t isbidirectional=\"b\" other=\"o\" name=\"n\" reference-table-name=\"r\" "
      "system=\"s\" Name=\"upper\"/>",
      "t");
  ASSERT_TRUE(reader);
  XmlTagInfo tag;
  AllocateAndStrcpyAttrib(reader.get(), &tag);
  EXPECT_EQ(tag.attrNames, (std::vector<std::string>{"name", "system", "reference-table-name",
                                                     "isbidirectional"}));
  EXPECT_EQ(tag.attrValues, (std::vector<std::string>{"n", "s", "r", "b"}));
  EXPECT_EQ(tag.attrCount(), 4);
  ASSERT_NE(tag.FindAttribute("system"), nullptr);
  EXPECT_EQ(*tag.FindAttribute("system"), "s");
  EXPECT_EQ(tag.FindAttribute("other"), nullptr);
  AllocateAndStrcpyAttrib(nullptr, &tag);  // ignored
  AllocateAndStrcpyAttrib(reader.get(), nullptr);
  EXPECT_EQ(tag.attrCount(), 4);
}

TEST_F(TagTreeTest, ParseTableInfoRefusesOtherNodes) {
  fh::XmlTextReaderHandle reader = ReaderAt(DictionaryXml(""), "data-dictionary");
  ASSERT_TRUE(reader);
  std::unique_ptr<XmlTagInfo> tree;
  EXPECT_FALSE(ParseTableInfo(reader.get(), tree));
  EXPECT_FALSE(tree);
  EXPECT_FALSE(ParseTableInfo(nullptr, tree));
  EXPECT_NE(NewMessages().find(fhtest::ErrorLine("\nTABLE tag missing\n")), std::string::npos);
}

TEST_F(TagTreeTest, CreateAndFreeLogTheirEntry) {
  std::unique_ptr<XmlTagInfo> tag = CreateandInitXmlTagInfo();
  ASSERT_TRUE(tag);
  EXPECT_TRUE(tag->tagName.empty());
  EXPECT_EQ(tag->attrCount(), 0);
  EXPECT_EQ(tag->valueCount(), 0);
  EXPECT_EQ(tag->FirstValue(), nullptr);
  EXPECT_FALSE(tag->child || tag->sibling);
  FreeXmlTagInfoList(std::move(tag));
  FreeXmlTagInfoList(nullptr);
  const std::string messages = NewMessages();
  EXPECT_NE(messages.find("[TRACE] \n Inside CreateandInitXmlTagInfo \n"), std::string::npos);
  EXPECT_NE(messages.find("[TRACE] \n Inside FreeXmlTagInfoList\n"), std::string::npos);
}

// 300000 records as one sibling chain, one child chain and a comb of both
// would overflow an 8 MB stack if freeing recursed per record.
TEST(TagTreeFreeTest, VeryLongChainsFreeWithoutRecursion) {
  constexpr int kRecords = 300000;
  for (int shape = 0; shape < 3; ++shape) {
    SCOPED_TRACE(shape);
    auto root = std::make_unique<XmlTagInfo>();
    XmlTagInfo* last = root.get();
    for (int i = 0; i < kRecords; ++i) {
      auto next = std::make_unique<XmlTagInfo>();
      XmlTagInfo* raw = next.get();
      const bool asChild = shape == 1 || (shape == 2 && i % 2 == 0);
      (asChild ? last->child : last->sibling) = std::move(next);
      last = raw;
    }
    if (shape == 0) {
      root.reset();  // through the destructor
    } else {
      FreeXmlTagInfoList(std::move(root));
    }
  }
}

TEST_F(TagTreeTest, ThousandsOfColumnsInOneTableLoadAndFree) {
  constexpr int kColumns = 20000;
  SetLogLevel(2);  // errors only: the trace lines of 40000 columns are not the point here
  std::string columns = "<columns>";
  for (int i = 0; i < kColumns; ++i) {
    columns += "<column name=\"c" + std::to_string(i) +
               "\"><data-type>INTEGER</data-type><nullable>false</nullable></column>";
  }
  columns += "</columns>";
  LoadXml(DictionaryXml(TableXml("wide", columns) + fhtest::TableXml("next", columns)));
  const TableDefn* wide = GetTableDefn("wide");
  ASSERT_NE(wide, nullptr);
  ASSERT_EQ(wide->columns.size(), std::size_t(kColumns));
  EXPECT_EQ(wide->columns.back().columnName, "c" + std::to_string(kColumns - 1));
  EXPECT_FALSE(wide->columns.back().isNullable);
  EXPECT_NE(GetTableDefn("next"), nullptr);
  FreeAllTableDefns();
  EXPECT_EQ(fh::GetTableDefnCount(), 0u);
}

}  // namespace

TEST_F(TagTreeTest, ParseColumnInfoAppendsOneRecordPerColumn) {
  fh::XmlTextReaderHandle reader = ReaderAt(
      DictionaryXml(TableXml("t",
                             "<columns><column name=\"a\"><data-type>INTEGER</data-type></column>"
                             "<column name=\"b\"/></columns>")),
      "columns");
  ASSERT_TRUE(reader);
  XmlTagInfo columns;
  columns.tagName = "columns";
  ASSERT_TRUE(ParseColumnInfo(reader.get(), &columns));
  EXPECT_EQ(xmlTextReaderNodeType(reader.get()), XML_READER_TYPE_END_ELEMENT);  // on </columns>
  EXPECT_EQ(ChildNames(&columns), (std::vector<std::string>{"column", "column"}));
  EXPECT_EQ(NthChild(&columns, 0)->attrValues, std::vector<std::string>{"a"});
  EXPECT_EQ(ChildNames(NthChild(&columns, 0)), std::vector<std::string>{"data-type"});
  EXPECT_EQ(NthChild(&columns, 1)->attrValues, std::vector<std::string>{"b"});

  EXPECT_FALSE(ParseColumnInfo(nullptr, &columns));
  EXPECT_FALSE(ParseColumnInfo(reader.get(), nullptr));
}
