#include "storedquery/stored_query_reads.h"

#include <strings.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "dictionary/column_types.h"
#include "dictionary/sql_text.h"
#include "log/log.h"
#include "sql/table_route.h"

namespace fh::storedq {

DefinitionHandle::DefinitionHandle(const char* tableName, ConnectionHandle* held) {
  if (const char* name = fh::RouteOfTable(tableName, fh::RouteLookup::kMap).connection)
    connectionName_ = name;
  handle_ = GetConnectionHandle(connectionName_ ? connectionName_->c_str() : nullptr);
  release_ = handle_ != nullptr && handle_ != held;
}

DefinitionHandle::~DefinitionHandle() {
  if (release_) ReleaseConnectionHandle(connectionName_ ? connectionName_->c_str() : nullptr);
}

std::unique_ptr<DBResultSet> DefinitionHandle::Query(const char* statement, int id) const {
  return ExecuteQuery(handle_, (statement + std::to_string(id)).c_str());
}

std::optional<std::string> DefinitionHandle::Value(const char* statement, int id) const {
  const auto resultSet = Query(statement, id);
  if (resultSet == nullptr || resultSet->rows.empty() || resultSet->columns.empty() ||
      resultSet->rows[0].empty()) {
    return std::nullopt;
  }
  return ValueText(resultSet->rows[0][0], resultSet->columns[0].dataType);
}

std::optional<std::string> ValueText(const std::optional<ColumnValue>& value, uint8_t dataType) {
  if (!value) return std::nullopt;
  if (IsIntegerColumnType(dataType)) return ConvertValueToString(value, dataType);
  if (value->isDateTime()) return ConvertValueToString(value, dataType);
  return std::string(value->text());
}

std::optional<std::string> RowText(const DBResultSet& resultSet, const char* columnName) {
  if (resultSet.rows.empty()) return std::nullopt;
  for (std::size_t i = 0; i < resultSet.columns.size() && i < resultSet.rows[0].size(); ++i) {
    if (strcasecmp(resultSet.columns[i].name.c_str(), columnName) == 0) {
      return ValueText(resultSet.rows[0][i], resultSet.columns[i].dataType);
    }
  }
  return std::nullopt;
}

std::vector<int> FirstColumnIds(const DBResultSet& resultSet) {
  std::vector<int> ids;
  if (resultSet.columns.empty()) return ids;
  for (const DBRow& row : resultSet.rows) {
    if (row.empty()) continue;
    if (const auto id = ParseId(ValueText(row[0], resultSet.columns[0].dataType))) {
      ids.push_back(*id);
    }
  }
  return ids;
}

std::optional<int> ParseId(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long value = std::strtol(text->c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) return std::nullopt;
  return static_cast<int>(value);
}

bool IsPlainIdentifier(const std::string& text) { return fh::IsPlainIdentifier(text); }

bool CheckIdentifier(const char* what, std::optional<std::string>& name) {
  if (!name || name->empty()) {
    name.reset();
    return true;
  }
  if (IsPlainIdentifier(*name)) return true;
  LogError("\nStored query: %s \"%s\" is not a plain identifier.\n", what, name->c_str());
  return false;
}

}  // namespace fh::storedq
