#include "dataobject/data_object_test_helpers.h"

#include <unistd.h>

#include <cstring>
#include <memory>
#include <utility>

#include "config/data_source_map.h"
#include "dictionary/data_dict_loader.h"
#include "sequence/sequence_generator.h"

namespace fhtest {
namespace {

std::string Column(const std::string& name, const std::string& type,
                   const std::string& extra = "") {
  return "<column name=\"" + name + "\"><data-type>" + type + "</data-type>" + extra + "</column>";
}

std::string NotNull() { return "<nullable>false</nullable>"; }
std::string Size(int size) { return "<max-size>" + std::to_string(size) + "</max-size>"; }

std::string Key(const std::vector<std::string>& columns) {
  std::string text = "<primary-key>";
  for (const std::string& column : columns)
    text += "<primary-key-column>" + column + "</primary-key-column>";
  return text + "</primary-key>";
}

std::string ForeignKey(const std::string& table,
                       const std::vector<std::pair<std::string, std::string>>& pairs) {
  std::string text = "<foreign-key reference-table-name=\"" + table + "\"><fk-columns>";
  for (const auto& [local, reference] : pairs)
    text += "<fk-column><fk-local-column>" + local + "</fk-local-column><fk-reference-column>" +
            reference + "</fk-reference-column></fk-column>";
  return text + "</fk-columns></foreign-key>";
}

std::string Table(const std::string& name, const std::string& columns, const std::string& key,
                  const std::string& foreignKeys = "") {
  return "<table name=\"" + name + "\"><columns>" + columns + "</columns>" + key +
         (foreignKeys.empty() ? "" : "<foreign-keys>" + foreignKeys + "</foreign-keys>") +
         "</table>\n";
}

std::string DictionaryXml() {
  const DataObjectTables& t = TestTables();
  const std::string id = Column("id", "INTEGER", NotNull());
  return "<?xml version=\"1.0\"?>\n<data-dictionary>\n" +
         Table(t.parent, Column("pid", "INTEGER", NotNull()) + Column("name", "CHAR", Size(40)),
               Key({"pid"})) +
         Table(t.child,
               Column("pid", "INTEGER", NotNull()) + Column("cno", "INTEGER", NotNull()) +
                   Column("label", "CHAR", Size(40) + "<default-value>none</default-value>"),
               Key({"pid", "cno"}), ForeignKey(t.parent, {{"pid", "pid"}})) +
         Table(t.grand,
               Column("pid", "INTEGER", NotNull()) + Column("cno", "INTEGER", NotNull()) +
                   Column("gno", "INTEGER", NotNull()) + Column("note", "CHAR", Size(40)),
               Key({"pid", "cno", "gno"}), ForeignKey(t.child, {{"pid", "pid"}, {"cno", "cno"}})) +
         Table(
             t.texts,
             Column("a", "CHAR", Size(10) + NotNull()) + Column("b", "CHAR", Size(10) + NotNull()),
             Key({"a", "b"})) +
         Table(t.ids,
               Column("id", "BIGINT",
                      NotNull() + "<uniquevalue-generation><generator-name>" + IdsSequence() +
                          "</generator-name></uniquevalue-generation>") +
                   Column("note", "CHAR", Size(40)),
               Key({"id"})) +
         Table(t.cycleA, id + Column("b", "INTEGER"), Key({"id"}),
               ForeignKey(t.cycleB, {{"b", "id"}})) +
         Table(t.cycleB, id + Column("a", "INTEGER"), Key({"id"}),
               ForeignKey(t.cycleA, {{"a", "id"}})) +
         Table(t.self, id + Column("up", "INTEGER"), Key({"id"}),
               ForeignKey(t.self, {{"up", "id"}})) +
         "</data-dictionary>\n";
}

std::string ValueText(const std::optional<fh::ColumnValue>& value, uint8_t type) {
  if (!value) return "NULL";
  return ConvertValueToString(value, type).value_or("?");
}

}  // namespace

const DataObjectTables& TestTables() {
  static const DataObjectTables tables{UniqueTableName("dopar"), UniqueTableName("dochi"),
                                       UniqueTableName("dogra"), UniqueTableName("dotxt"),
                                       UniqueTableName("doids"), UniqueTableName("docya"),
                                       UniqueTableName("docyb"), UniqueTableName("doslf")};
  return tables;
}

std::string IdsSequence() { return "doids_seq_" + std::to_string(::getpid()); }

bool LoadTestDictionary(const std::string& directory) {
  const std::string path = directory + "/dataobject_dictionary.xml";
  return WriteFileBytes(path, DictionaryXml()) && LoadDataDictFromXMLFile(path.c_str());
}

std::vector<std::string> RowTexts(DataObject* object, const std::string& table) {
  std::vector<std::string> rows;
  const RowCollection* collection = nullptr;
  for (const RowCollection* c = object != nullptr ? object->firstCollection : nullptr; c != nullptr;
       c = c->next) {
    if (table == c->tableName) collection = c;
  }
  if (collection == nullptr) return rows;
  for (const RowUnit* row = collection->firstRow; row != nullptr; row = row->next) {
    std::string text;
    for (int32_t i = 0; i < collection->columnCount; ++i) {
      const auto at = static_cast<std::size_t>(i);
      text +=
          (i > 0 ? "|" : "") + ValueText(at < row->values.size() ? row->values[at] : std::nullopt,
                                         collection->columnTypes[i]);
    }
    rows.push_back(text + "#" + std::to_string(row->state));
  }
  return rows;
}

std::string ColumnTexts(DataObject* object, const std::string& table) {
  std::unique_ptr<Vector> columns = GetColumnListFromDO(table.c_str(), object);
  std::string text;
  for (VectorNode* node = columns ? columns->head.get() : nullptr; node != nullptr;
       node = node->next.get())
    text += (text.empty() ? "" : "|") + std::string(static_cast<const char*>(node->data));
  return text;
}

bool InsertTexts(DataObject* object, const std::string& table,
                 const std::vector<const char*>& texts) {
  return InsertStringRowIntoDO(object, table.c_str(), texts.data());
}

void DataObjectTest::SetUp() {
  SqlEngineFixture::SetUp();
  if (HasFatalFailure()) return;
  fh::ResetSequenceMapForTesting();
  ASSERT_TRUE(LoadTestDictionary(dir_.path()));
  for (const std::string* table : {&t_.parent, &t_.child, &t_.grand, &t_.texts, &t_.ids})
    ASSERT_TRUE(AddDataSourceMapEntry(CreateDataSourceMapEntry(table->c_str(), "conn")));
  for (const std::string* table : {&t_.grand, &t_.child, &t_.parent, &t_.ids})
    Run("drop table " + *table);
  ASSERT_TRUE(MakeTable(t_.parent, "create table " + t_.parent +
                                       " (pid INT NOT NULL, name VARCHAR(40), PRIMARY KEY (pid))"));
  ASSERT_TRUE(MakeTable(
      t_.child, "create table " + t_.child +
                    " (pid INT NOT NULL, cno INT NOT NULL, label VARCHAR(40), PRIMARY KEY (pid, "
                    "cno), FOREIGN KEY (pid) REFERENCES " +
                    t_.parent + " (pid))"));
  ASSERT_TRUE(MakeTable(
      t_.grand, "create table " + t_.grand +
                    " (pid INT NOT NULL, cno INT NOT NULL, gno INT NOT NULL, note VARCHAR(40),"
                    " PRIMARY KEY (pid, cno, gno), FOREIGN KEY (pid, cno) REFERENCES " +
                    t_.child + " (pid, cno))"));
  ASSERT_TRUE(MakeTable(
      t_.ids, "create table " + t_.ids + " (id BIGINT NOT NULL PRIMARY KEY, note VARCHAR(40))"));
}

void DataObjectTest::TearDown() {
  DropMadeTables();
  fh::ResetSequenceMapForTesting();
  SqlEngineFixture::TearDown();
}

void DataObjectTest::FillGraph() {
  for (const std::string& sql : {"insert into " + t_.parent + " values (1, 'p1')",
                                 "insert into " + t_.parent + " values (2, 'p2')",
                                 "insert into " + t_.child + " values (1, 1, 'c11')",
                                 "insert into " + t_.child + " values (1, 2, 'c12')",
                                 "insert into " + t_.grand + " values (1, 1, 1, 'g111')",
                                 "insert into " + t_.grand + " values (1, 1, 2, 'g112')",
                                 "insert into " + t_.grand + " values (1, 2, 1, 'g121')"})
    ASSERT_EQ(Run(sql), 1) << sql;
}

}  // namespace fhtest
