// The PGSQL dialect: its generator table and entry points (sql/sql_dialect.h
// says what each does). The texts come from the shared generator
// (sql/sql_generator.h) with this dialect's words.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sql/sql_dialect.h"

extern const SQLDialect kPgsqlDialect;
extern const fh::DialectWords kPgsqlWords;

std::optional<std::string> PgsqlGenSelectQuery(SelectQuery* selectQuery);
namespace fh {

std::optional<std::string> PgsqlGenUpdateQuery(const char* tableName, const RowObject* row);
std::optional<std::string> PgsqlGenInsertQuery(const char* tableName, const RowObject* row);

}  // namespace fh

std::optional<std::string> PgsqlGenDeleteQuery(const char* tableName, const RowObject* row);
std::optional<std::string> PgsqlGenCreateQuery(const char* tableName);
std::unique_ptr<RowObject> PgsqlConvResultsetToRowobject(const DBResultSet* resultSet,
                                                         const char* tableName);
