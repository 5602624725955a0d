// The select text of a query: columns, joins, tables, the criteria tree,
// group-by with having, sort order and paging (sql/sql_generator.h).
#include <strings.h>

#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "dictionary/column_types.h"
#include "log/log.h"
#include "sql/sql_generator.h"
#include "sql/sql_generator_internal.h"

namespace fh {

namespace {

using sqlgen::Format;
using sqlgen::kUnsupported;

void TraceInside(const DialectWords& words, const char* function) {
  LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", words.prefix, function);
}

// The value of a criteria or having record as a literal of the column's type.
// Dates and times arrive as their texts.
std::optional<std::string> CriteriaLiteral(const DialectWords& words, const char* value,
                                           int32_t length, uint8_t dataType) {
  if (IsDateTimeColumnType(dataType))
    return QuoteSqlText(words, value, static_cast<std::size_t>(length));
  const ColumnValue bytes = ColumnValue::FromBytes(value, static_cast<std::size_t>(length));
  return WriteSqlLiteral(words, &bytes, dataType);
}

template <typename T>
std::vector<T*> Elements(const Vector* vector) {
  std::vector<T*> elements;
  if (vector == nullptr) return elements;
  for (VectorNode* node = vector->head.get(); node != nullptr; node = node->next.get()) {
    elements.push_back(static_cast<T*>(node->data));
  }
  return elements;
}

std::string Qualifier(const ColumnRef& column) {
  if (column.tableAlias != nullptr) return std::string(column.tableAlias) + ".";
  if (column.tableName != nullptr) return std::string(column.tableName) + ".";
  return {};
}

std::string QualifiedName(const ColumnRef& column) {
  return Qualifier(column) + (column.columnName != nullptr ? column.columnName : "");
}

std::optional<std::string> ColumnsFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateColumnsStr");
  std::string text;
  const auto columns = Elements<ColumnRef>(query.columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnRef& column = *columns[i];
    if (column.aggregate != kAggregateNone) {
      const char* aggregate = GetAggregateName(column.aggregate);
      if (aggregate == nullptr) {
        LogError("Invalid Aggregate Type\n");
        return std::nullopt;
      }
      text += column.columnName != nullptr
                  ? Format(" %s(%s)", aggregate, QualifiedName(column).c_str())
                  : Format(" %s(*)", aggregate);
    } else {
      text += QualifiedName(column);
      if (column.columnAlias != nullptr) text += Format(" as %s ", column.columnAlias);
    }
    text += i + 1 < columns.size() ? "," : " \n";
  }
  return text;
}

std::string Aliased(const DialectWords& words, const char* alias) {
  if (alias == nullptr) return {};
  return words.aliasKeyword ? Format("as %s ", alias) : Format("%s ", alias);
}

// A join column without alias and table name is qualified by its side.
std::string JoinColumn(const ColumnRef& column, const char* alias, const char* table) {
  if (column.tableAlias != nullptr || column.tableName != nullptr) return QualifiedName(column);
  const char* qualifier = alias != nullptr ? alias : table;
  return (qualifier != nullptr ? std::string(qualifier) + "." : std::string()) +
         (column.columnName != nullptr ? column.columnName : "");
}

std::optional<std::string> JoinsFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateJoinsStr");
  std::string text;
  const auto joins = Elements<Join>(query.joins);
  for (std::size_t i = 0; i < joins.size(); ++i) {
    const Join& join = *joins[i];
    if (i == 0)
      text += Format(" %s ", join.baseTable ? join.baseTable : "") + Aliased(words, join.baseAlias);
    if (join.joinType == INNER_JOIN) {
      text += " inner join ";
    } else if (join.joinType == LEFT_JOIN) {
      text += " left join ";
    } else {
      LogError("Invalid Join Type\n");
      return std::nullopt;
    }
    text +=
        Format(" %s ", join.joinedTable ? join.joinedTable : "") + Aliased(words, join.joinedAlias);
    if (join.baseColumns == nullptr || join.joinedColumns == nullptr) continue;
    const auto base = Elements<ColumnRef>(join.baseColumns);
    const auto joined = Elements<ColumnRef>(join.joinedColumns);
    text += " on ";
    for (std::size_t k = 0; k < base.size() && k < joined.size(); ++k) {
      text += JoinColumn(*base[k], join.baseAlias, join.baseTable) + " = " +
              JoinColumn(*joined[k], join.joinedAlias, join.joinedTable);
      text += k + 1 < base.size() && k + 1 < joined.size() ? " and " : " ";
    }
  }
  return text;
}

std::string TablesFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateTableListStr");
  std::string text;
  const auto tables = Elements<TableRef>(query.tables);
  for (std::size_t i = 0; i < tables.size(); ++i) {
    text += tables[i]->name != nullptr ? tables[i]->name : "";
    if (tables[i]->alias != nullptr) {
      text += Format(words.aliasKeyword ? " as %s " : " %s ", tables[i]->alias);
    }
    text += i + 1 < tables.size() ? ", " : "\n";
  }
  return text;
}

void SkipBlanks(std::string_view text, std::size_t& at) {
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
}

// One literal of a range at text[at]: a number (optional sign, digits,
// optional fraction) or a quoted text with quotes doubled and no backslash
// (which one engine reads as an escape). Moves at past it.
bool SkipRangeLiteral(std::string_view text, std::size_t& at) {
  if (at < text.size() && text[at] == '\'') {
    for (++at; at < text.size(); ++at) {
      if (text[at] == '\\') return false;
      if (text[at] != '\'') continue;
      if (at + 1 < text.size() && text[at + 1] == '\'') {
        ++at;
        continue;
      }
      ++at;
      return true;
    }
    return false;
  }
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  const std::size_t digits = at;
  while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  if (at == digits) return false;
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') ++at;
  }
  return true;
}

// true when text is a range "<low> AND <high>" of two literals and nothing
// else: the BETWEEN value is pasted as it stands, so anything more could
// carry more SQL than a range.
bool IsRangeText(std::string_view text) {
  std::size_t at = 0;
  SkipBlanks(text, at);
  if (!SkipRangeLiteral(text, at)) return false;
  std::size_t before = at;
  SkipBlanks(text, at);
  if (at == before || text.size() - at < 3 || strncasecmp(text.data() + at, "AND", 3) != 0)
    return false;
  at += 3;
  before = at;
  SkipBlanks(text, at);
  if (at == before || !SkipRangeLiteral(text, at)) return false;
  SkipBlanks(text, at);
  return at == text.size();
}

// A decimal or an unsigned 64-bit number: the types an engine without an
// exact type of their size keeps as text.
bool IsNumberKeptAsText(uint8_t dataType) {
  return dataType == KES_SQL_DECIMAL || dataType == KES_SQL_NUMERIC ||
         dataType == KES_SQL_UNSIGNED_LONG_INT;
}

bool LeafText(const DialectWords& words, const SelectCriteria& node, std::string& text) {
  const ColumnRef& column = *node.column;
  const char* qualifier = column.tableAlias != nullptr ? column.tableAlias : column.tableName;
  std::string operand = qualifier != nullptr ? Format("%s.", qualifier) : std::string();
  operand += column.columnName != nullptr ? column.columnName : "";
  if (qualifier != nullptr) text += ' ';
  if (words.numericTextComparand != nullptr && IsNumberKeptAsText(column.dataType)) {
    text += Format(words.numericTextComparand, operand.c_str());
  } else {
    text += operand;
  }
  const char* name = GetSelectOperatorName(node.operatorCode);
  if (name == nullptr || node.operatorCode == 0 || node.operatorCode == 7 ||
      node.operatorCode == 8) {
    LogError("Invalid Operator\n");
    return false;
  }
  text += Format(" %s ", name);
  if (node.operatorCode == kSelectOperatorBetween) {
    // The caller supplies the whole range text; only a plain range passes.
    const std::string_view range(node.value != nullptr ? node.value : "",
                                 node.value != nullptr ? std::strlen(node.value) : 0);
    if (!IsRangeText(range)) {
      LogError("Invalid BETWEEN range: %s\n", std::string(range).c_str());
      return false;
    }
    text += Format(" %s ", node.value);
    return true;
  }
  if (column.dataType == KES_SQL_BOOLEAN) {
    const bool isTrue = node.valueLength > 0 && node.value[0] == 1;
    text += Format(" %s ", isTrue ? words.trueLiteral : words.falseLiteral);
    return true;
  }
  const auto literal = CriteriaLiteral(words, node.value, node.valueLength, column.dataType);
  if (!literal) {
    LogError("%s", kUnsupported);
    return false;
  }
  text += Format(" %s ", literal->c_str());
  return true;
}

bool IsConnective(const SelectCriteria& node) {
  return node.operatorCode == 7 || node.operatorCode == 8;
}

// In order: left subtree, node, right subtree (iteratively, for deep trees).
// A connective below a connective of the other kind is put in parentheses,
// so the text groups as the tree does; a chain of one kind needs none.
bool CriteriaText(const DialectWords& words, const SelectCriteria* root, std::string& text) {
  TraceInside(words, "GenCriteriaString");
  struct Frame {
    const SelectCriteria* node;
    bool parenthesized;
    bool leftDone;
  };
  std::vector<Frame> stack;
  const SelectCriteria* node = root;
  uint8_t parentCode = 0;
  for (;;) {
    // Down the left side, opening the parentheses the grouping needs.
    while (node != nullptr) {
      const bool parenthesized =
          IsConnective(*node) && parentCode != 0 && parentCode != node->operatorCode;
      if (parenthesized) text += " (";
      stack.push_back(Frame{node, parenthesized, false});
      parentCode = IsConnective(*node) ? node->operatorCode : 0;
      node = node->left;
    }
    // Up while the right side is done, closing the parentheses.
    while (!stack.empty() && stack.back().leftDone) {
      if (stack.back().parenthesized) text += ") ";
      stack.pop_back();
    }
    if (stack.empty()) return true;
    Frame& frame = stack.back();
    frame.leftDone = true;
    const SelectCriteria& current = *frame.node;
    if (IsConnective(current)) {
      text += Format(" %s ", GetSelectOperatorName(current.operatorCode));
    } else if (current.column == nullptr || !LeafText(words, current, text)) {
      if (current.column == nullptr) LogError("Invalid Operator\n");
      return false;
    }
    parentCode = IsConnective(current) ? current.operatorCode : 0;
    node = current.right;
  }
}

std::optional<std::string> CriteriaFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateCriteriaStr");
  std::string text = "where ";
  if (!CriteriaText(words, query.criteria, text)) return std::nullopt;
  return text;
}

std::optional<std::string> GroupByFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateGroupByStr");
  std::string text = "group by ";
  const auto columns = Elements<ColumnRef>(query.groupBy->columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const ColumnRef& column = *columns[i];
    if (column.columnAlias != nullptr) {
      text += column.columnAlias;
    } else if (column.tableName != nullptr) {
      text += Format("%s.%s", column.tableName, column.columnName ? column.columnName : "");
    } else {
      text += QualifiedName(column);
    }
    text += i + 1 < columns.size() ? "," : "\n";
  }
  const Having* having = query.groupBy->having;
  if (having == nullptr || having->column == nullptr) return text;
  const char* aggregate = GetAggregateName(having->column->aggregate);
  const char* op = GetSelectOperatorName(having->operatorCode);
  if (aggregate == nullptr || op == nullptr) {
    LogError(aggregate == nullptr ? "Invalid Aggregate Type\n" : "Invalid Operator\n");
    return std::nullopt;
  }
  const auto literal =
      CriteriaLiteral(words, having->value, having->valueLength, having->column->dataType);
  if (!literal) {
    LogError("%s", kUnsupported);
    return std::nullopt;
  }
  text += "having " + Format(" %s(", aggregate) + QualifiedName(*having->column) + ") " +
          Format(" %s ", op) + Format(" %s ", literal->c_str());
  return text;
}

std::string SortFragment(const DialectWords& words, const SelectQuery& query) {
  TraceInside(words, "GenerateSortColumnStr");
  std::string text = "order by ";
  const auto columns = Elements<ColumnRef>(query.sortOrder->columns);
  for (std::size_t i = 0; i < columns.size(); ++i) {
    text += QualifiedName(*columns[i]);
    text += i + 1 < columns.size() ? "," : " ";
  }
  text += query.sortOrder->ascending ? " asc " : " desc ";
  return text;
}

std::string PagingText(const DialectWords& words, const SelectQuery& query) {
  switch (words.paging) {
    case PagingForm::kMysqlLimit:
      if (query.limit == 0) return {};
      return "limit" + (query.offset != 0 ? Format(" %d ,", query.offset) : std::string()) +
             Format(" %d", query.limit);
    case PagingForm::kLimitOffset:
      if (query.limit == 0) return {};
      return Format("limit %d", query.limit) +
             (query.offset != 0 ? Format(" offset %d", query.offset) : std::string());
    case PagingForm::kFirstSkip:
      return (query.limit != 0 ? Format("first %d ", query.limit) : std::string()) +
             (query.offset != 0 ? Format("skip %d ", query.offset) : std::string());
  }
  return {};
}

}  // namespace

std::optional<std::string> GenSelectText(const DialectWords& words, SelectQuery* query) {
  LogTrace("@@@@@@@@@@@ - INSIDE %sGenSelectQuery - @@@@@@@@@@@@@", words.prefix);
  if (query == nullptr) return std::nullopt;
  try {
    const bool firstSkip = words.paging == PagingForm::kFirstSkip;
    std::string text = "select ";
    if (firstSkip) text += PagingText(words, *query);
    if (query->columns != nullptr && query->columns->count > 0) {
      const auto columns = ColumnsFragment(words, *query);
      if (!columns) return std::nullopt;
      text += *columns + "from ";
    } else {
      text += firstSkip ? " * from " : "* from ";
    }
    const bool hasJoins = query->joins != nullptr && query->joins->count > 0;
    const bool hasTables = query->tables != nullptr && query->tables->count > 0;
    if (hasJoins) {
      const auto joins = JoinsFragment(words, *query);
      if (!joins) return std::nullopt;
      text += *joins;
    }
    if (hasTables) text += (hasJoins ? "," : "") + TablesFragment(words, *query);
    if (!hasJoins && !hasTables) {
      LogError("\nNo Tables To Be Selected\n");
      return std::nullopt;
    }
    if (query->criteria != nullptr) {
      const auto criteria = CriteriaFragment(words, *query);
      if (!criteria) return std::nullopt;
      text += *criteria;
    }
    if (query->groupBy != nullptr) {
      const auto groupBy = GroupByFragment(words, *query);
      if (!groupBy) return std::nullopt;
      text += *groupBy;
    }
    if (query->sortOrder != nullptr) text += SortFragment(words, *query);
    if (!firstSkip) text += PagingText(words, *query);
    LogTrace("\nSelect Query constructed is\n%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("@@@ Query String Copy falied @@@\n");
    return std::nullopt;
  }
}

}  // namespace fh
