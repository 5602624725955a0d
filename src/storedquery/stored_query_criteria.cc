#include "storedquery/stored_query_criteria.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/connection.h"
#include "dictionary/column_types.h"
#include "log/log.h"
#include "query/select_query.h"
#include "storedquery/stored_query_reads.h"
#include "util/memory_pool.h"

using fh::storedq::DefinitionHandle;

namespace {

// Deeper trees are refused: a definition that nests this far is taken for a
// cycle, and the recursion stays bounded.
constexpr std::size_t kMaxCriteriaDepth = 64;

// The operator code of an OPERATOR text; 0 when it matches no name.
uint8_t OperatorNumber(const std::optional<std::string>& text) {
  if (!text) return 0;
  for (uint8_t i = 1; i <= fh::kSelectOperatorMax; ++i) {
    if (*text == fh::GetSelectOperatorName(i)) return i;
  }
  return 0;
}

// A plain decimal number, optionally signed and with a fraction.
bool IsNumber(const std::string& text) {
  std::size_t i = text.size() > 0 && (text[0] == '-' || text[0] == '+') ? 1 : 0;
  const std::size_t start = i;
  bool digits = false;
  bool point = false;
  for (; i < text.size(); ++i) {
    if (text[i] >= '0' && text[i] <= '9') {
      digits = true;
    } else if (text[i] == '.' && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return digits && i > start;
}

// The dialects write a BETWEEN value as it is, so it must be a range of two
// numbers: "<number> AND <number>" (the word in any case).
bool IsNumericRange(const std::string& value) {
  std::vector<std::string> words;
  std::size_t i = 0;
  while (i < value.size()) {
    while (i < value.size() && value[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < value.size() && value[i] != ' ') ++i;
    if (i > start) words.push_back(value.substr(start, i - start));
  }
  return words.size() == 3 && IsNumber(words[0]) && strcasecmp(words[1].c_str(), "AND") == 0 &&
         IsNumber(words[2]);
}

fh::SelectCriteria* BuildRelational(int id, MemPool* pool, ConnectionHandle* held) {
  DefinitionHandle handle("RelationalExp", held);
  const auto row = handle.Query("SELECT * FROM RelationalExp WHERE R_ID = ", id);
  if (row == nullptr || row->rows.empty()) {
    LogDebug("\nInvalid ID\n");
    return nullptr;
  }
  auto column = fh::storedq::RowText(*row, "LIDENTIFIER");
  const uint8_t operatorCode = OperatorNumber(fh::storedq::RowText(*row, "OPERATOR"));
  const std::string value = fh::storedq::RowText(*row, "RIDENTIFIER").value_or("");
  if (!fh::storedq::CheckIdentifier("LIDENTIFIER", column)) return nullptr;
  if (operatorCode == fh::kSelectOperatorBetween && !IsNumericRange(value)) {
    LogError("\nStored query: BETWEEN range \"%s\" is not two numbers.\n", value.c_str());
    return nullptr;
  }
  fh::ColumnRef* ref = CreateColumnRef(nullptr, nullptr, fh::storedq::TextOrNull(column), nullptr,
                                       0, KES_SQL_NCHAR, 0, pool);
  if (ref == nullptr) return nullptr;
  return CreateCriteria(ref, value.c_str(), static_cast<int32_t>(value.size()), operatorCode, pool);
}

fh::SelectCriteria* BuildBoolean(int id, MemPool* pool, ConnectionHandle* handle,
                                 std::vector<int>& path) {
  if (path.size() >= kMaxCriteriaDepth || std::find(path.begin(), path.end(), id) != path.end()) {
    LogError("\nCriteria cycle at B_ID %d\n", id);
    return nullptr;
  }
  const auto row =
      ExecuteQuery(handle, ("SELECT * FROM BooleanExp WHERE B_ID = " + std::to_string(id)).c_str());
  if (row == nullptr || row->rows.empty()) return BuildRelational(id, pool, handle);
  const auto left = fh::storedq::ParseId(fh::storedq::RowText(*row, "LEXPRESSION"));
  const auto right = fh::storedq::ParseId(fh::storedq::RowText(*row, "REXPRESSION"));
  const auto operatorText = fh::storedq::RowText(*row, "OPERATOR");
  path.push_back(id);
  fh::SelectCriteria* leftNode = left ? BuildBoolean(*left, pool, handle, path) : nullptr;
  fh::SelectCriteria* rightNode =
      leftNode != nullptr && right ? BuildBoolean(*right, pool, handle, path) : nullptr;
  path.pop_back();
  if (leftNode == nullptr || rightNode == nullptr) {
    LogError("\nIncomplete criteria at B_ID %d\n", id);
    return nullptr;
  }
  return operatorText && *operatorText == "AND" ? CreateAndCriteria(leftNode, rightNode, pool)
                                                : CreateOrCriteria(leftNode, rightNode, pool);
}

// The tree's text: in order, a comparison as column, operator and value.
void CriteriaText(const fh::SelectCriteria* node, std::string& text) {
  if (node == nullptr) return;
  CriteriaText(node->left, text);
  if (node->column != nullptr && node->column->columnName != nullptr) {
    text += node->column->columnName;
  }
  const char* name = fh::GetSelectOperatorName(node->operatorCode);
  text += name != nullptr ? name : "";
  if (node->value != nullptr) text += node->value;
  CriteriaText(node->right, text);
}

}  // namespace

fh::SelectCriteria* BuildBooleanExp(int id, MemPool* pool, ConnectionHandle* handle) {
  std::vector<int> path;
  return BuildBoolean(id, pool, handle, path);
}

fh::SelectCriteria* BuildRelationalExp(int id, MemPool* pool) {
  return BuildRelational(id, pool, nullptr);
}

bool LoadQueryCriteria(int queryId, SelectQuery* selectQuery, MemPool* pool) {
  std::optional<int> root;
  {
    DefinitionHandle link("QueryvsCriteria");
    const auto ids = link.Query("SELECT B_ID FROM QueryvsCriteria WHERE QUERY_ID = ", queryId);
    if (ids != nullptr) {
      const auto list = fh::storedq::FirstColumnIds(*ids);
      if (!list.empty()) root = list.front();
    }
  }
  if (!root) return true;
  fh::SelectCriteria* criteria = nullptr;
  {
    DefinitionHandle handle("BooleanExp");
    criteria = BuildBooleanExp(*root, pool, handle.get());
  }
  if (criteria == nullptr) {
    LogError("\nCriteria of stored query %d cannot be built\n", queryId);
    return false;
  }
  SetCriteria(selectQuery, criteria);
  return true;
}

bool PrintQueryCriteria(int queryId) {
  if (!InitializeMemPool()) return false;
  SelectQuery* query = CreateSelectQuery();
  bool printed = false;
  if (query != nullptr && LoadQueryCriteria(queryId, query, query->pool) &&
      query->criteria != nullptr) {
    std::string text;
    CriteriaText(query->criteria, text);
    LogDebug("\n%s\n", text.c_str());
    printed = true;
  }
  FreeSelectQuery(query);
  fh::ReleaseMemPool();
  return printed;
}
