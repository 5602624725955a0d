#include "query/criteria_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// A tree as text: a leaf "name<code>operand", a connective "(left AND right)".
// Also checks that every child points back at its parent.
std::string Show(const fh::CriteriaNode* node) {
  if (node == nullptr) return "-";
  if (node->isLeaf()) {
    return *node->columnName + "<" + std::to_string(node->operatorCode) + ">" + *node->operand;
  }
  for (const fh::CriteriaNode* child : {node->left.get(), node->right.get()}) {
    if (child != nullptr && child->parent != node) return "bad parent";
  }
  const char* connective = node->operatorCode == fh::kCriteriaAnd ? " AND " : " OR ";
  return "(" + Show(node->left.get()) + connective + Show(node->right.get()) + ")";
}

TEST(CriteriaParserTest, AcceptedTextsBuildTheirTrees) {
  struct Case {
    const char* text;
    const char* tree;
  };
  const std::vector<Case> cases = {
      {"x = 5", "x<5>5"},
      {"5 = x", "x<5>5"},
      {"x<3", "x<1>3"},
      {"x > 3", "x<2>3"},
      {"x <= 3", "x<3>3"},
      {"x >= 3", "x<4>3"},
      {"x != 3", "x<6>3"},
      {"3 < x", "x<2>3"},  // a literal on the left mirrors the operator
      {"3 > x", "x<1>3"},
      {"3 <= x", "x<4>3"},
      {"3 >= x", "x<3>3"},
      {"3 != x", "x<6>3"},
      {"\tprice >= 1.25 ", "price<4>1.25"},
      {"name = 'bolt'", "name<5>'bolt'"},
      {"name = ''", "name<5>''"},
      {"name = 'a and (b'", "name<5>'a and (b'"},
      {"AND = 1", "AND<5>1"},  // upper case is an identifier
      {"andx = 1", "andx<5>1"},
      {"or_1 = 1", "or_1<5>1"},
      {"a_B9 = 007", "a_B9<5>007"},
      {"(x = 1)", "x<5>1"},
      {"((x = 1))", "x<5>1"},
      {"a = 1 and b = 2", "(a<5>1 AND b<5>2)"},
      {"a = 1 and b = 2 or c = 3", "(a<5>1 AND (b<5>2 OR c<5>3))"},
      {"a = 1 or b = 2 and c = 3", "(a<5>1 OR (b<5>2 AND c<5>3))"},
      {"(a = 1 or b = 2) and c = 3", "((a<5>1 OR b<5>2) AND c<5>3)"},
      {"a=1 and (b=2 and (c=3 or d=4))", "(a<5>1 AND (b<5>2 AND (c<5>3 OR d<5>4)))"},
      // Line feeds, tabs and carriage returns are white space.
      {"a = 1\nand\tb = 2\r\n", "(a<5>1 AND b<5>2)"},
      {"x = -1", "x<5>-1"},
      {"-2.5 < x", "x<2>-2.5"},
      {"x = 'it''s'", "x<5>'it's'"},  // a doubled quote is one quote of the text
      {"x = ''''", "x<5>'''"},
      {"x = 'two\nlines'", "x<5>'two\nlines'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(c.text);
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(Show(tree.get()), c.tree);
    EXPECT_EQ(tree->parent, nullptr);
  }
}

TEST(CriteriaParserTest, RefusedTexts) {
  struct Case {
    const char* text;
    const char* reason;
  };
  const std::vector<Case> cases = {
      {"", "syntax error"},
      {"   ", "syntax error"},
      {"x =< 3", "syntax error"},
      {"x == 3", "syntax error"},
      {"x = 1 AND y = 2", "syntax error"},
      {"x = - 1", "invalid syntax"},
      {"x = --1", "invalid syntax"},
      {"t.x = 1", "invalid syntax"},
      {"x = \"a\"", "invalid syntax"},
      {"x = 'it's'", "syntax error"},
      {"x = 'open", "invalid syntax"},
      {"x = 'open''", "invalid syntax"},
      {"x = 1.", "invalid syntax"},
      {"x ! 1", "invalid syntax"},
      {"x = 1 \f", "invalid syntax"},
      {"x = y", "syntax error"},
      {"1 = 2", "syntax error"},
      {"x 1", "syntax error"},
      {"x =", "syntax error"},
      {"(x = 1", "syntax error"},
      {"x = 1)", "syntax error"},
      {"()", "syntax error"},
      {"x = 1 and", "syntax error"},
      {"and x = 1", "syntax error"},
      {"x = 1 or or y = 2", "syntax error"},
      {"x = 1 y = 2", "syntax error"},
      // One expression: text left over after it is refused, never read in part.
      {"id = 999\nid > 0", "syntax error"},
      {"x = 1\n\ny = 2", "syntax error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParseCriteria(c.text), nullptr);
    std::string reason;
    EXPECT_EQ(fh::ParseCriteriaInput(c.text, &reason), nullptr);
    EXPECT_EQ(reason, c.reason);
  }
  EXPECT_EQ(ParseCriteria(nullptr), nullptr);
}

std::string Nested(int depth) {
  return std::string(static_cast<std::size_t>(depth), '(') + "x = 1" +
         std::string(static_cast<std::size_t>(depth), ')');
}

TEST(CriteriaParserTest, NestingIsCappedWithoutExhaustingTheStack) {
  std::unique_ptr<fh::CriteriaNode> deepest =
      ParseCriteria(Nested(fh::kMaxCriteriaNesting).c_str());
  ASSERT_NE(deepest, nullptr);
  EXPECT_EQ(Show(deepest.get()), "x<5>1");
  EXPECT_EQ(ParseCriteria(Nested(fh::kMaxCriteriaNesting + 1).c_str()), nullptr);
  EXPECT_EQ(ParseCriteria(Nested(1000000).c_str()), nullptr);
}

TEST(CriteriaParserTest, LongChainsParseAndFreeWithoutRecursion) {
  std::string text = "x = 0";
  const int leaves = 200000;
  for (int i = 1; i < leaves; ++i) text += i % 2 ? " and x = 1" : " or x = 2";
  std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(text.c_str());
  ASSERT_NE(tree, nullptr);
  int depth = 0;
  for (const fh::CriteriaNode* node = tree.get(); !node->isLeaf(); node = node->right.get())
    ++depth;
  EXPECT_EQ(depth, leaves - 1);  // right-grouped: one connective per level
  FreeCriteriaTree(std::move(tree));
}

TEST(CriteriaParserTest, BuildersLinkParents) {
  std::unique_ptr<fh::CriteriaNode> tree =
      CreateCriteriaConnective(CreateCriteriaLeaf("a", fh::kCriteriaLess, "1"),
                               CreateCriteriaLeaf("b", fh::kCriteriaEqual, "'x'"), fh::kCriteriaOr);
  ASSERT_NE(tree, nullptr);
  EXPECT_EQ(Show(tree.get()), "(a<1>1 OR b<5>'x')");
  EXPECT_EQ(CreateCriteriaLeaf(nullptr, fh::kCriteriaLess, "1"), nullptr);
  EXPECT_EQ(CreateCriteriaLeaf("a", fh::kCriteriaLess, nullptr), nullptr);
}

}  // namespace
