#include "framework/row_statements.h"

#include <memory>
#include <utility>

#include "framework/index_table.h"

namespace fh {

RowStatementPlanner::RowStatementPlanner()
    : indexed_(AnyIndexedDominantTable()), logsTexts_(LogsGeneratedStatements()) {}

std::optional<BatchStatement> RowStatementPlanner::Plan(
    RowWrite write, const char* tableName, const RowObject* row,
    const std::function<std::string()>& connection) {
  BatchStatement statement;
  std::optional<BoundStatement> bound = binder_.Bind(write, tableName, row);
  if (bound) statement.bound = std::make_shared<const BoundStatement>(std::move(*bound));
  if (!statement.bound || logsTexts_) {
    std::optional<std::string> text = RowStatementText(write, tableName, row);
    if (text) statement.text = std::move(*text);
    if (!text && !statement.bound) return std::nullopt;
  }
  std::string runsOn = connection();
  if (indexed_) {
    statement.followUp = [tableName, row, runsOn = std::move(runsOn)](ConnectionHandle* handle) {
      return AddEntryToIndexTableWithin(tableName, row, runsOn.c_str(), handle);
    };
  }
  return statement;
}

}  // namespace fh
