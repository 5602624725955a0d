// The MYSQL dialect: its generator table and entry points (sql/sql_dialect.h
// says what each does). The texts come from the shared generator
// (sql/sql_generator.h) with this dialect's words.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sql/sql_dialect.h"

extern const SQLDialect kMysqlDialect;
extern const fh::DialectWords kMysqlWords;

std::optional<std::string> MysqlGenSelectQuery(SelectQuery* selectQuery);
std::optional<std::string> MysqlGenUpdateQuery(const char* tableName, const RowObject* row);
std::optional<std::string> MysqlGenInsertQuery(const char* tableName, const RowObject* row);
std::optional<std::string> MysqlGenDelteQuery(const char* tableName, const RowObject* row);
std::optional<std::string> MysqlGenCreateQuery(const char* tableName);
std::unique_ptr<RowObject> MysqlConvResultsetToRowobject(const DBResultSet* resultSet,
                                                         const char* tableName);
