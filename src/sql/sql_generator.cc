#include "sql/sql_generator.h"

#include <strings.h>

#include <algorithm>
#include <cfloat>
#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "dictionary/column_types.h"
#include "dictionary/date_time.h"
#include "dictionary/foreign_keys.h"
#include "dictionary/sql_text.h"
#include "logging/log.h"

namespace {

constexpr const char* kUnsupported = "Unsupported Datatype Used in Query generation.\n";

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char small[256];
  const int needed = std::vsnprintf(small, sizeof small, format, args);
  va_end(args);
  if (needed < 0) return {};
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::string text(static_cast<std::size_t>(needed) + 1, '\0');
  va_start(args, format);
  std::vsnprintf(text.data(), text.size(), format, args);
  va_end(args);
  text.resize(static_cast<std::size_t>(needed));
  return text;
}

void TraceInside(const DialectWords& words, const char* function) {
  LogTrace("@@@@@@@@@@@ - INSIDE %s%s - @@@@@@@@@@@@@", words.prefix, function);
}

// ---- values -----------------------------------------------------------------

std::string IntegerLiteral(const ColumnValue& value, uint8_t dataType) {
  const int64_t number = GetIntegerValue(value, dataType).value_or(0);
  if (dataType == KES_SQL_UNSIGNED_LONG_INT)
    return Format("%" PRIu64, static_cast<uint64_t>(number));
  return Format("%" PRId64, number);
}

}  // namespace

std::optional<std::string> FloatingLiteralText(const ColumnValue& value, uint8_t dataType) {
  const std::optional<double> number = GetFloatingValue(value, dataType);
  if (!number || !std::isfinite(*number)) return std::nullopt;
  // The shortest text that reads back to the same value (a long mantissa with
  // a large exponent overflows some engines' literal parsers).
  // A single-precision text must also lie inside the float range when read
  // as a double (an engine that checks the range in double precision
  // refuses 3.4028235e+38).
  const bool isDouble = dataType == KES_SQL_DOUBLE;
  for (int digits = 1; digits < 17; ++digits) {
    std::string text = Format("%.*g", digits, *number);
    const double read = std::strtod(text.c_str(), nullptr);
    if (isDouble ? read == *number
                 : static_cast<float>(read) == static_cast<float>(*number) &&
                       std::fabs(read) <= FLT_MAX) {
      return text;
    }
  }
  return Format("%.17g", *number);
}

std::size_t LiteralTextLength(const ColumnValue& value) {
  const auto* bytes = value.bytes();
  const auto length = static_cast<std::size_t>(value.length());
  const void* zero = std::memchr(bytes, 0, length);
  return zero == nullptr
             ? length
             : static_cast<std::size_t>(static_cast<const unsigned char*>(zero) - bytes);
}

namespace {

// The value of a criteria or having record as a literal of the column's type.
// Dates and times arrive as their texts.
std::optional<std::string> CriteriaLiteral(const DialectWords& words, const char* value,
                                           int32_t length, uint8_t dataType) {
  if (IsDateTimeColumnType(dataType))
    return QuoteSqlText(words, value, static_cast<std::size_t>(length));
  const ColumnValue bytes = ColumnValue::FromBytes(value, static_cast<std::size_t>(length));
  return WriteSqlLiteral(words, &bytes, dataType);
}

// ---- select -----------------------------------------------------------------

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

// ---- statements -------------------------------------------------------------

bool IsKeyColumn(const TableDefn& table, const std::string& name) {
  return fh::IsPrimaryKeyColumn(table, name);
}

bool HasPrimaryKey(const TableDefn& table) {
  return table.constraints && !table.constraints->primaryKeyColumns.empty();
}

const ColumnValue* RowValue(const RowObject& row, std::size_t index) {
  if (index >= row.values.size() || !row.values[index]) return nullptr;
  return &*row.values[index];
}

// The definition a statement is written for; none (silently) without one or
// without columns, or for a null row.
const TableDefn* StatementTable(const char* tableName, const RowObject* row) {
  if (tableName == nullptr || row == nullptr) return nullptr;
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr || table->columns.empty()) return nullptr;
  return table;
}

bool RequirePrimaryKey(const TableDefn& table) {
  if (HasPrimaryKey(table)) return true;
  LogError("Cannot generate query for table %s: it has no primary key.\n", table.tableName.c_str());
  return false;
}

std::string DefaultText(const DialectWords& words, const ColumnDefnEntry& column) {
  if (!column.defaultValue) return " ";
  const auto literal = WriteSqlLiteral(words, &*column.defaultValue, column.dataType);
  if (!literal || *literal == "NULL") return " ";
  return "DEFAULT " + *literal;
}

void TraceColumn(const ColumnDefnEntry& column) {
  LogTrace("Column Name : %s\n", column.columnName.c_str());
  LogTrace("Column Type : %d\n", column.dataType);
  LogTrace("Unique Flag : %s\n", column.isUnique ? "TRUE" : "FALSE");
  LogTrace("Description : %s\n", column.description.value_or("").c_str());
  LogTrace("---------------------------------------\n\n");
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ",") + name;
  return text;
}

// One constraint per foreign key (fh::GroupForeignKeys); ON DELETE CASCADE
// only where the dictionary asks for it.
std::string ForeignKeys(const DialectWords& words, const TableDefn& table) {
  const std::vector<fh::ForeignKey> keys = fh::GroupForeignKeys(table);
  std::string text = ",\n";
  for (std::size_t group = 0; group < keys.size(); ++group) {
    const fh::ForeignKey& key = keys[group];
    const std::string local = Joined(key.localColumns);
    text += Format("\tFOREIGN KEY(%s) REFERENCES %s (%s)", local.c_str(),
                   key.referenceTable.c_str(), Joined(key.referenceColumns).c_str());
    if (key.onDeleteCascade) text += " ON DELETE CASCADE";
    if (words.indexClause) {
      text +=
          ",\n" + Format("\tINDEX %s_IDX%zu (%s)", table.tableName.c_str(), group, local.c_str());
    }
    if (group + 1 < keys.size()) text += ",\n";
  }
  return text;
}

}  // namespace

std::string HexText(const unsigned char* bytes, std::size_t length) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(length * 2);
  for (std::size_t i = 0; i < length; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 15];
  }
  return text;
}

// ---- literals -----------------------------------------------------------------

namespace {

// The parts of value a column of dataType keeps: a DATE its date, a TIME its
// time, a DATETIME both (a missing time is midnight). An engine that keeps
// the text (SQLite) must see the same text the column's values read back
// as, or a key written from a record with more parts finds no row.
KesDateTime DateTimeOfType(const KesDateTime& value, uint8_t dataType) {
  KesDateTime kept = value;
  if (dataType == KES_SQL_DATE) kept.time.reset();
  if (dataType == KES_SQL_TIME) kept.date.reset();
  if (dataType == KES_SQL_DATETIME && kept.date && !kept.time) kept.time = KesTime{};
  return kept;
}

}  // namespace

std::optional<std::string> DateTimeLiteralText(const ColumnValue& value, uint8_t dataType) {
  if (!value.isDateTime()) return std::nullopt;
  return KesDateTimeToString(DateTimeOfType(*value.dateTime(), dataType));
}

std::string QuoteSqlText(const DialectWords& words, const char* text, std::size_t length) {
  return fh::QuoteSqlText(std::string_view(text, length), words.backslashEscapes);
}

std::optional<std::string> WriteSqlLiteral(const DialectWords& words, const ColumnValue* value,
                                           uint8_t dataType) {
  if (value == nullptr) return "NULL";
  if (IsDateTimeColumnType(dataType)) {
    const auto text = DateTimeLiteralText(*value, dataType);
    if (!text) return std::nullopt;
    return QuoteSqlText(words, text->c_str(), text->size());
  }
  if (value->isDateTime()) return std::nullopt;
  if (IsIntegerColumnType(dataType)) {
    std::string text = IntegerLiteral(*value, dataType);
    if (dataType == KES_SQL_UNSIGNED_LONG_INT && words.unsignedBigintAsText) {
      return "'" + text + "'";
    }
    return text;
  }
  if (IsFloatingColumnType(dataType)) return FloatingLiteralText(*value, dataType);
  switch (dataType) {
    case KES_SQL_BOOLEAN:
      return value->length() > 0 && value->bytes()[0] != 0 ? words.trueLiteral : words.falseLiteral;
    case KES_SQL_BLOB:
      return words.binaryLiteral(value->bytes(), static_cast<std::size_t>(value->length()));
    case KES_SQL_DECIMAL:
    case KES_SQL_NUMERIC:
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
    case KES_SQL_CLOB:
    case KES_SQL_TEXT:
      return QuoteSqlText(words, value->text(), LiteralTextLength(*value));
    default:
      return std::nullopt;
  }
}

// ---- generators ---------------------------------------------------------------

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

std::optional<std::string> GenUpdateText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenUpdateQuery @@@\n", words.prefix);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr || !RequirePrimaryKey(*table)) return std::nullopt;
  try {
    std::string sets;
    std::string where;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      const bool isKey = IsKeyColumn(*table, column.columnName);
      if (isKey) LogTrace("@@@ Update Query has Primary Key in Set clause @@@\n");
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), column.dataType);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      if (isKey) {
        if (*literal == "NULL") continue;
        where += (where.empty() ? "" : " and ") + column.columnName + "=" + *literal;
      } else {
        sets += (sets.empty() ? "" : ",") + column.columnName + "=" + *literal;
      }
    }
    if (where.empty()) {
      LogError("Cannot generate query for table %s: its primary key is NULL.\n",
               table->tableName.c_str());
      return std::nullopt;
    }
    std::string text = "update " + table->tableName + " set " + sets + " where " + where;
    if (words.updateTraceBlank) {
      LogTrace("Update query is @@@ %s\n", text.c_str());
    } else {
      LogTrace("Update query is @@@%s\n", text.c_str());
    }
    return text;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
    return std::nullopt;
  }
}

std::optional<std::string> GenInsertText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenInsertQuery @@@\n", words.prefix);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr) return std::nullopt;
  try {
    std::string text = "insert into  " + table->tableName + " values(";
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), table->columns[i].dataType);
      text += (i == 0 ? "" : ",") + literal.value_or("NULL");
    }
    text += words.insertClose;
    if (words.insertTrace) LogTrace("Insert query is @@@%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE - Cannot generate insert query.\n");
    return std::nullopt;
  }
}

std::optional<std::string> GenDeleteText(const DialectWords& words, const char* tableName,
                                         const RowObject* row) {
  if (words.entryTraces) LogTrace("@@@ Inside %s @@@\n", words.deleteName);
  const TableDefn* table = StatementTable(tableName, row);
  if (table == nullptr || !RequirePrimaryKey(*table)) return std::nullopt;
  try {
    std::string where;
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      if (!IsKeyColumn(*table, column.columnName)) continue;
      const auto literal = WriteSqlLiteral(words, RowValue(*row, i), column.dataType);
      if (!literal) {
        LogError("%s", kUnsupported);
        return std::nullopt;
      }
      where += (where.empty() ? "" : " and ") + column.columnName + "=" + *literal;
    }
    std::string text = "delete from " + table->tableName + "  where " + where;
    LogTrace("Delete query is @@@%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::optional<std::string> GenCreateText(const DialectWords& words, const char* tableName) {
  if (words.entryTraces) LogTrace("@@@ Inside %sGenCreateQuery @@@\n", words.prefix);
  if (tableName == nullptr) return std::nullopt;
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr || table->columns.empty()) return std::nullopt;
  try {
    LogTrace("Table Name : %s\n", table->tableName.c_str());
    LogTrace("Description: %s\n", table->description.value_or("").c_str());
    LogTrace("---------------------------------------\n\n");
    const bool hasKey = HasPrimaryKey(*table);
    std::string text = "CREATE TABLE " + table->tableName + "(\n";
    for (std::size_t i = 0; i < table->columns.size(); ++i) {
      const ColumnDefnEntry& column = table->columns[i];
      TraceColumn(column);
      const ColumnShape shape = words.columnShape(column, IsKeyColumn(*table, column.columnName));
      if (!shape.type.empty()) {
        text += "\t" + column.columnName + " " + shape.type;
        if (shape.takesDefault) text += " " + DefaultText(words, column);
        if (shape.trailingBlank) text += " ";
      }
      if (!column.isNullable) text += " NOT NULL";
      const bool soleKey = hasKey && table->constraints->primaryKeyColumns.size() == 1 &&
                           IsKeyColumn(*table, column.columnName);
      if (column.isUnique && (words.uniqueOnSoleKey || !soleKey)) text += " UNIQUE";
      text += i + 1 < table->columns.size() || hasKey ? ",\n" : "\n";
    }
    if (hasKey) {
      text += "\tPRIMARY KEY(";
      const auto& keys = table->constraints->primaryKeyColumns;
      for (std::size_t i = 0; i < keys.size(); ++i) {
        LogTrace("Primary key : %s\n\n", keys[i].c_str());
        text += (i == 0 ? "" : ", ") + keys[i];
      }
      text += ")";
    }
    if (table->constraints && !table->constraints->foreignKeys.empty()) {
      LogTrace("Foreign key Constraints\n");
      LogTrace("********************************\n");
      text += ForeignKeys(words, *table);
      LogTrace("********************************\n");
    }
    text += words.createEnd;
    LogTrace("Create query is\n%s\n", text.c_str());
    return text;
  } catch (const std::bad_alloc&) {
    LogError("@@@ Query String Copy falied @@@\n");
    return std::nullopt;
  }
}

// ---- result sets ----------------------------------------------------------------

namespace {

// The fetched value as text (dates and times in their text forms).
std::string FetchedText(const ColumnValue& value, uint8_t fetchedType) {
  if (value.isDateTime()) return KesDateTimeToString(*value.dateTime()).value_or("");
  if (IsIntegerColumnType(fetchedType) || fetchedType == KES_SQL_BOOLEAN) {
    return Format("%" PRId64, GetIntegerValue(value, fetchedType).value_or(0));
  }
  if (IsFloatingColumnType(fetchedType)) {
    return Format("%.17g", GetFloatingValue(value, fetchedType).value_or(0));
  }
  return std::string(value.text(), LiteralTextLength(value));
}

bool TextIsTrue(const std::string& text) {
  return text == "1" || strcasecmp(text.c_str(), "t") == 0 || strcasecmp(text.c_str(), "true") == 0;
}

std::optional<ColumnValue> ToDateTime(const ColumnValue& value, uint8_t fetchedType,
                                      uint8_t columnType) {
  KesDateTime parsed;
  if (value.isDateTime()) {
    parsed = *value.dateTime();
  } else {
    const std::string text = FetchedText(value, fetchedType);
    int a = 0, b = 0, c = 0, d = 0, e = 0, f = 0;
    if (columnType == KES_SQL_TIME) {
      if (std::sscanf(text.c_str(), "%d:%d:%d", &a, &b, &c) != 3) return std::nullopt;
      parsed.time =
          KesTime{static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c)};
    } else {
      const int read = std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &a, &b, &c, &d, &e, &f);
      if (read < 3) return std::nullopt;
      parsed.date =
          KesDate{static_cast<uint16_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c)};
      parsed.time =
          KesTime{static_cast<uint8_t>(d), static_cast<uint8_t>(e), static_cast<uint8_t>(f)};
    }
  }
  if (columnType == KES_SQL_DATE) parsed.time.reset();
  if (columnType == KES_SQL_TIME) parsed.date.reset();
  return ColumnValue::FromDateTime(parsed);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The bytes of a binary value the driver handed out as text; the value as it
// is when it is not in the dialect's text form.
ColumnValue DecodeBinary(const ColumnValue& value, BinaryTextForm form) {
  if (form == BinaryTextForm::kRawBytes || value.isDateTime()) return value;
  std::string_view text(reinterpret_cast<const char*>(value.bytes()),
                        static_cast<std::size_t>(value.length()));
  if (form == BinaryTextForm::kQuotedHex) {
    if (text.size() < 3 || (text[0] != 'X' && text[0] != 'x') || text[1] != '\'' ||
        text.back() != '\'') {
      return value;
    }
    text = text.substr(2, text.size() - 3);
  } else if (text.substr(0, 2) == "\\x") {
    text.remove_prefix(2);
  }
  if (text.size() % 2 != 0) return value;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 2) {
    const int high = HexDigit(text[i]);
    const int low = HexDigit(text[i + 1]);
    if (high < 0 || low < 0) return value;
    bytes += static_cast<char>(high * 16 + low);
  }
  return ColumnValue::FromBytes(bytes.data(), bytes.size());
}

// The integer a fetched floating-point value stands for in a column of
// columnType; none (with an error line) when it is not finite or lies
// outside the column's range, where the conversion would be undefined or
// wrap.
std::optional<int64_t> FloatingToInteger(double number, uint8_t columnType) {
  double low = -9223372036854775808.0;  // -2^63
  double high = 9223372036854775808.0;  // 2^63, exclusive
  if (columnType == KES_SQL_BOOLEAN) return number != 0 ? 1 : 0;
  if (!IsSignedIntegerColumnType(columnType)) low = 0;
  if (columnType == KES_SQL_UNSIGNED_LONG_INT) high = 18446744073709551616.0;  // 2^64
  const int32_t size = GetColumnTypeSize(columnType);
  if (size < 8) {
    const double span = std::ldexp(1.0, size * 8);
    high = IsSignedIntegerColumnType(columnType) ? span / 2 : span;
    low = IsSignedIntegerColumnType(columnType) ? -span / 2 : 0;
  }
  if (!(number >= low && number < high)) {
    LogError("Fetched value %.17g is out of range for a column of type %s.\n", number,
             GetColumnTypeSymbol(columnType));
    return std::nullopt;
  }
  if (columnType == KES_SQL_UNSIGNED_LONG_INT)
    return static_cast<int64_t>(static_cast<uint64_t>(number));
  return static_cast<int64_t>(number);
}

// A decimal's text in its shortest form: the zeros that end its fraction
// dropped, and the point when no digit follows it ("500.0000000000" is
// "500"). An engine that declares a fixed scale pads every value to it; this
// way the same value reads back as the same text on every engine.
std::string ShortestDecimalText(std::string text) {
  if (text.find('.') == std::string::npos || text.find_first_of("eE") != std::string::npos)
    return text;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  if (text.empty() || text == "-" || text == "+") return "0";
  return text;
}

std::optional<ColumnValue> ToColumnType(const DialectWords& words,
                                        const std::optional<ColumnValue>& fetched,
                                        uint8_t fetchedType, uint8_t columnType) {
  if (!fetched) return std::nullopt;
  const ColumnValue& value = *fetched;
  if (columnType == KES_SQL_BLOB) return DecodeBinary(value, words.binaryText);
  if (IsDateTimeColumnType(columnType)) {
    auto converted = ToDateTime(value, fetchedType, columnType);
    return converted ? converted : fetched;
  }
  if (IsIntegerColumnType(columnType) || columnType == KES_SQL_BOOLEAN) {
    int64_t number = 0;
    if (!value.isDateTime() &&
        (IsIntegerColumnType(fetchedType) || fetchedType == KES_SQL_BOOLEAN)) {
      number = GetIntegerValue(value, fetchedType).value_or(0);
    } else if (!value.isDateTime() && IsFloatingColumnType(fetchedType)) {
      const auto converted =
          FloatingToInteger(GetFloatingValue(value, fetchedType).value_or(0), columnType);
      if (!converted) return std::nullopt;
      number = *converted;
    } else {
      const std::string text = FetchedText(value, fetchedType);
      if (TextIsTrue(text)) {
        number = 1;
      } else if (columnType == KES_SQL_UNSIGNED_LONG_INT) {
        number = static_cast<int64_t>(std::strtoull(text.c_str(), nullptr, 10));
      } else {
        number = std::strtoll(text.c_str(), nullptr, 10);
      }
    }
    if (columnType == KES_SQL_BOOLEAN) number = number != 0 ? 1 : 0;
    return ColumnValue::FromInteger(columnType, number);
  }
  if (IsFloatingColumnType(columnType)) {
    double number = 0;
    if (!value.isDateTime() && IsFloatingColumnType(fetchedType)) {
      number = GetFloatingValue(value, fetchedType).value_or(0);
    } else {
      number = std::strtod(FetchedText(value, fetchedType).c_str(), nullptr);
    }
    return columnType == KES_SQL_DOUBLE ? ColumnValue::FromDouble(number)
                                        : ColumnValue::FromFloat(static_cast<float>(number));
  }
  if ((columnType == KES_SQL_DECIMAL || columnType == KES_SQL_NUMERIC) && !value.isDateTime())
    return ColumnValue::FromText(ShortestDecimalText(FetchedText(value, fetchedType)));
  if (value.isDateTime() || (columnType != KES_SQL_BLOB && (IsIntegerColumnType(fetchedType) ||
                                                            IsFloatingColumnType(fetchedType)))) {
    return ColumnValue::FromText(FetchedText(value, fetchedType));
  }
  return value;
}

}  // namespace

std::unique_ptr<RowObject> ConvertResultRow(const DialectWords& words, const DBResultSet* resultSet,
                                            const char* tableName) {
  if (resultSet == nullptr || resultSet->cursor < 0 ||
      resultSet->cursor >= static_cast<int64_t>(resultSet->rows.size())) {
    return nullptr;
  }
  try {
    const DBRow& fetched = resultSet->rows[static_cast<std::size_t>(resultSet->cursor)];
    const TableDefn* table = tableName != nullptr ? GetTableDefn(tableName) : nullptr;
    std::vector<std::optional<ColumnValue>> values;
    std::vector<int32_t> lengths;
    const std::size_t count =
        std::min(fetched.size(), static_cast<std::size_t>(std::max(resultSet->columnCount, 0)));
    for (std::size_t i = 0; i < count; ++i) {
      const uint8_t fetchedType =
          i < resultSet->columns.size() ? resultSet->columns[i].dataType : 0;
      std::optional<ColumnValue> value = fetched[i];
      if (table != nullptr && i < table->columns.size()) {
        value = ToColumnType(words, fetched[i], fetchedType, table->columns[i].dataType);
      }
      lengths.push_back(value ? value->length() : 0);
      values.push_back(std::move(value));
    }
    auto row = CreateNewRowObject(std::move(values), std::move(lengths));
    if (row != nullptr) row->state = kRowPersisted;
    return row;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
