// The SQLITE dialect: its generator table and entry points (sql/sql_dialect.h
// says what each does). The texts come from the shared generator
// (sql/sql_generator.h) with this dialect's words.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sql/sql_dialect.h"

extern const SQLDialect kSqliteDialect;
extern const fh::DialectWords kSqliteWords;

std::optional<std::string> SqliteGenSelectQuery(SelectQuery* selectQuery);
namespace fh {

std::optional<std::string> SqliteGenUpdateQuery(const char* tableName, const RowObject* row);
std::optional<std::string> SqliteGenInsertQuery(const char* tableName, const RowObject* row);
std::optional<std::string> SqliteGenDeleteQuery(const char* tableName, const RowObject* row);
std::optional<std::string> SqliteGenCreateQuery(const char* tableName);
std::unique_ptr<RowObject> SqliteConvResultsetToRowobject(const DBResultSet* resultSet,
                                                          const char* tableName);

}  // namespace fh
