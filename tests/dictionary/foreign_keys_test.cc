// The foreign-key rules on dictionaries without a database: grouping into
// keys, the referenced-first order, walks to a root column, key columns.
#include "dictionary/foreign_keys.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "dictionary/column_types.h"
#include "support/table_definitions.h"

namespace fhtest {
namespace {

class ForeignKeysTest : public testing::Test {
 protected:
  void SetUp() override { FreeAllTableDefns(); }
  void TearDown() override { FreeAllTableDefns(); }

  static void Define(const std::string& name, std::vector<std::string> columns,
                     std::vector<std::string> key, std::vector<ForeignKeyDefn> references = {}) {
    std::vector<ColumnDefnEntry> entries;
    for (const std::string& column : columns) entries.push_back(Column(column, KES_SQL_INT));
    ASSERT_TRUE(DefineTable(name, std::move(entries), std::move(key), std::move(references)));
  }
};

// Each key as "local,local>table(reference,reference)" plus "!" when it
// cascades.
std::vector<std::string> Shown(const std::vector<fh::ForeignKey>& keys) {
  std::vector<std::string> shown;
  for (const fh::ForeignKey& key : keys) {
    std::string text;
    for (const std::string& column : key.localColumns) text += (text.empty() ? "" : ",") + column;
    text += ">" + key.referenceTable + "(";
    for (std::size_t i = 0; i < key.referenceColumns.size(); ++i)
      text += (i == 0 ? "" : ",") + key.referenceColumns[i];
    shown.push_back(text + ")" + (key.onDeleteCascade ? "!" : ""));
  }
  return shown;
}

TEST_F(ForeignKeysTest, ConsecutiveEntriesGroupUntilTheFirstReferenceColumnRepeats) {
  struct Case {
    std::vector<ForeignKeyDefn> entries;
    std::vector<std::string> keys;
  };
  const std::vector<Case> cases = {
      {{}, {}},
      // Two keys to one table on the same column stay two keys.
      {{{"FROM_ACCOUNT", "ID", "ACCOUNT"}, {"TO_ACCOUNT", "id", "account"}},
       {"FROM_ACCOUNT>ACCOUNT(ID)", "TO_ACCOUNT>account(id)"}},
      {{{"a", "x", "T", true}, {"b", "y", "t"}, {"c", "z", "U"}}, {"a,b>T(x,y)!", "c>U(z)"}},
      {{{"a", "x", "T"}, {"c", "z", "U"}, {"b", "y", "T", true}}, {"a>T(x)", "c>U(z)", "b>T(y)!"}},
      {{{"a", "x", "T"}, {"b", "y", "T"}, {"c", "x", "T"}, {"d", "y", "T"}},
       {"a,b>T(x,y)", "c,d>T(x,y)"}},
  };
  for (std::size_t i = 0; i < cases.size(); ++i) {
    TableDefn table;
    table.tableName = "F";
    table.constraints = ConstraintDefn{{}, 0, cases[i].entries};
    EXPECT_EQ(Shown(fh::GroupForeignKeys(table)), cases[i].keys) << "case " << i;
  }
}

TEST_F(ForeignKeysTest, JoinColumnsTakeTheFirstKeyInEitherDirection) {
  Define("ACCOUNT", {"ID", "OWNER"}, {"ID"});
  Define("TRANSFER", {"TID", "FROM_ACCOUNT", "TO_ACCOUNT"}, {"TID"},
         {{"FROM_ACCOUNT", "ID", "ACCOUNT"}, {"TO_ACCOUNT", "ID", "ACCOUNT"}});
  Define("NOTE", {"NID"}, {"NID"});
  const TableDefn* account = GetTableDefn("account");
  const TableDefn* transfer = GetTableDefn("transfer");
  std::vector<std::string> from, to;
  ASSERT_TRUE(fh::JoinColumns(*transfer, *account, from, to));
  EXPECT_EQ(from, std::vector<std::string>{"FROM_ACCOUNT"});
  EXPECT_EQ(to, std::vector<std::string>{"ID"});
  ASSERT_TRUE(fh::JoinColumns(*account, *transfer, from, to));
  EXPECT_EQ(from, std::vector<std::string>{"ID"});
  EXPECT_EQ(to, std::vector<std::string>{"FROM_ACCOUNT"});
  EXPECT_FALSE(fh::JoinColumns(*account, *GetTableDefn("NOTE"), from, to));
  EXPECT_EQ(fh::KeysReferencing(*transfer, "Account").size(), 2u);
  EXPECT_TRUE(fh::IsPrimaryKeyColumn(*transfer, "tid"));
  EXPECT_FALSE(fh::IsPrimaryKeyColumn(*transfer, "FROM_ACCOUNT"));
  ASSERT_NE(fh::ReferenceOf(*transfer, "to_account"), nullptr);
  EXPECT_EQ(fh::ReferenceOf(*transfer, "to_account")->localColumn, "TO_ACCOUNT");
  EXPECT_EQ(fh::ReferenceOf(*transfer, "TID"), nullptr);
}

TEST_F(ForeignKeysTest, ReferencedTablesComeFirstAndCyclesEnd) {
  // line -> orders -> customer; product stands alone; a <-> b is a cycle;
  // self refers to itself; ghost has no definition.
  Define("line", {"lid", "oid"}, {"lid"}, {{"oid", "oid", "orders"}});
  Define("self", {"sid", "parent"}, {"sid"}, {{"parent", "sid", "self"}});
  Define("orders", {"oid", "cid"}, {"oid"}, {{"cid", "cid", "CUSTOMER"}});
  Define("a", {"id", "b"}, {"id"}, {{"b", "id", "b"}});
  Define("customer", {"cid"}, {"cid"});
  Define("b", {"id", "a"}, {"id"}, {{"a", "id", "a"}});
  std::vector<std::string> cycles;
  EXPECT_EQ(fh::OrderNamesReferencedFirst({"line", "ghost", "self", "orders", "a", "customer", "b"},
                                          &cycles),
            (std::vector<std::string>{"customer", "orders", "line", "ghost", "self", "b", "a"}));
  EXPECT_EQ(cycles, std::vector<std::string>{"b"});
  // A referenced table outside the list is no reason to move.
  EXPECT_EQ(fh::OrderNamesReferencedFirst({"line", "customer"}),
            (std::vector<std::string>{"line", "customer"}));
  std::vector<std::string> defined;
  for (const TableDefn* table : fh::OrderReferencedFirst(GetTableDefnList()))
    defined.push_back(table->tableName);
  const auto at = [&](const char* name) {
    return std::find(defined.begin(), defined.end(), name) - defined.begin();
  };
  EXPECT_EQ(defined.size(), 6u);
  EXPECT_LT(at("customer"), at("orders"));
  EXPECT_LT(at("orders"), at("line"));
}

TEST_F(ForeignKeysTest, WalksFollowEveryKeyOfAColumnToTheRoot) {
  Define("root", {"rid", "other"}, {"rid"});
  Define("mid", {"mid", "rid"}, {"mid"}, {{"rid", "rid", "root"}});
  // leaf.m refers to mid.mid, which is no root column; leaf.r reaches
  // root.rid through mid.rid; loop refers to itself.
  Define("leaf", {"m", "r"}, {}, {{"m", "mid", "mid"}, {"r", "rid", "MID"}});
  Define("loop", {"x", "y"}, {}, {{"x", "y", "loop"}, {"y", "x", "loop"}});
  struct Case {
    const char* table;
    const char* column;
    bool leads;
  };
  for (const Case& c : std::vector<Case>{{"root", "RID", true},
                                         {"root", "other", false},
                                         {"mid", "rid", true},
                                         {"mid", "mid", false},
                                         {"leaf", "r", true},
                                         {"leaf", "m", false},
                                         {"loop", "x", false}}) {
    EXPECT_EQ(fh::LeadsToColumn(c.table, c.column, "ROOT", "rid"), c.leads)
        << c.table << "." << c.column;
  }
  // Every entry followed to the tables without keys, each root once.
  std::vector<fh::RootColumn> roots;
  fh::RootWalkStop stop;
  ASSERT_TRUE(fh::RootsOf("leaf", "", roots, stop));
  ASSERT_EQ(roots.size(), 1u);
  EXPECT_EQ(roots[0].table + "." + roots[0].column, "root.rid");
  roots.clear();
  ASSERT_TRUE(fh::RootsOf("Root", "other", roots, stop));
  EXPECT_EQ(roots[0].table + "." + roots[0].column, "root.other");
  EXPECT_FALSE(fh::RootsOf("loop", "", roots, stop));
  EXPECT_EQ(stop.table + (stop.cycle ? " cycle" : ""), "loop cycle");
  Define("stray", {"s"}, {}, {{"s", "g", "ghost"}});
  EXPECT_FALSE(fh::RootsOf("stray", "", roots, stop));
  EXPECT_EQ(stop.table + (stop.cycle ? " cycle" : ""), "ghost");
}

}  // namespace
}  // namespace fhtest
