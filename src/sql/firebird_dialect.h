// The FIREBIRD dialect: its generator table and entry points (sql/sql_dialect.h
// says what each does). The texts come from the shared generator
// (sql/sql_generator.h) with this dialect's words.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "sql/sql_dialect.h"

extern const SQLDialect kFirebirdDialect;
extern const fh::DialectWords kFirebirdWords;

std::optional<std::string> FirebirdGenSelectQuery(SelectQuery* selectQuery);
std::optional<std::string> FirebirdGenUpdateQuery(const char* tableName, const RowObject* row);
namespace fh {

std::optional<std::string> FirebirdGenInsertQuery(const char* tableName, const RowObject* row);
std::optional<std::string> FirebirdGenDeleteQuery(const char* tableName, const RowObject* row);
std::optional<std::string> FirebirdGenCreateQuery(const char* tableName);

}  // namespace fh

std::unique_ptr<RowObject> FirebirdConvResultsetToRowobject(const DBResultSet* resultSet,
                                                            const char* tableName);
