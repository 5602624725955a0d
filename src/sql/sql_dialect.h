// SQL dialects: the generator table of one database product, and the small
// description of its words from which the shared generator
// (sql/sql_generator.h) writes every statement.
//
// Four dialects exist, one file each: MYSQL (sql/mysql_dialect.h), PGSQL,
// FIREBIRD and SQLITE. They share one design and one order of work and
// differ in a few words: paging, alias keywords, literals, booleans, column
// types and the end of a create-table statement.
//
// Ownership: every generated text is a new string owned by the caller; a
// converted row is a new row owned by the caller. The tables and
// descriptions are constants with static storage.
//
// Thread safety: the generators keep no state of their own; they read the
// table definitions (dictionary/table_defn.h, locked internally) and write
// the log. A select query is written into its own pool, so one query must
// not be generated from two threads at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "db/db_result_set.h"
#include "dictionary/sql_text.h"
#include "dictionary/table_defn.h"
#include "query/select_query.h"
#include "store/row_object.h"

// One dialect's generator table, members in this order.
struct SQLDialect {
  const char* name;  // "MYSQL", "PGSQL", "FIREBIRD", "SQLITE"
  std::optional<std::string> (*GenSelectQuery)(SelectQuery* selectQuery);
  std::optional<std::string> (*GenUpdateQuery)(const char* tableName, const RowObject* row);
  std::optional<std::string> (*GenInsertQuery)(const char* tableName, const RowObject* row);
  std::optional<std::string> (*GenDeleteQuery)(const char* tableName, const RowObject* row);
  std::optional<std::string> (*GenCreateQuery)(const char* tableName);
  // The result set's current row as a row of tableName, each value in the
  // definition's column type (none for no current row or no definition).
  std::unique_ptr<RowObject> (*ConvResultsetToRowobject)(const DBResultSet* resultSet,
                                                         const char* tableName);
};

namespace fh {

// Where a dialect writes its paging words.
enum class PagingForm : uint8_t {
  kMysqlLimit,   // at the end: "limit", " %d ," (offset, when non-zero), " %d"
  kLimitOffset,  // at the end: "limit %d", " offset %d" (offset, when non-zero)
  kFirstSkip,    // after "select ": "first %d " (limit), "skip %d " (offset, also alone)
};

// How a column is declared: "\t<name> <type>", then " <default>" when
// takesDefault (a lone " " without a default), then " " when trailingBlank.
struct ColumnShape {
  std::string type;  // empty: the column gets no text of its own
  bool takesDefault = false;
  bool trailingBlank = false;
};

// The text form in which a driver hands out a binary value fetched as text.
enum class BinaryTextForm : uint8_t {
  kRawBytes,   // the bytes themselves
  kHexDigits,  // hexadecimal digits, optionally after a backslash and "x"
  kQuotedHex,  // X'<hexadecimal digits>'
};

// What distinguishes a dialect.
struct DialectWords {
  const char* name;        // "MYSQL"
  const char* prefix;      // "Mysql": names its functions in trace lines
  const char* deleteName;  // the delete generator's name ("MysqlGenDelteQuery")
  PagingForm paging;
  bool aliasKeyword;        // "as " before aliases in join and table fragments
  const char* trueLiteral;  // a boolean in statements and criteria
  const char* falseLiteral;
  bool entryTraces;         // update, insert, delete and create log their entry
  bool insertTrace;         // "Insert query is @@@%s\n"
  bool updateTraceBlank;    // "Update query is @@@ %s\n" instead of "...@@@%s\n"
  const char* insertClose;  // ")" or ");"
  bool indexClause;         // "\tINDEX %s_IDX%d (%s)" after each foreign key
  const char* createEnd;    // the create-table statement's last words
  // The hexadecimal literal of a binary value.
  std::string (*binaryLiteral)(const unsigned char* bytes, std::size_t length);
  // The declaration of a column; isKey: it is a primary-key column.
  ColumnShape (*columnShape)(const ColumnDefnEntry& column, bool isKey);
  // How the engine's driver hands out a binary value read as text.
  BinaryTextForm binaryText;
  // " UNIQUE" is also written on a column that alone is the primary key
  // (Firebird rejects that as a second constraint on the same columns).
  bool uniqueOnSoleKey = true;
  // Unsigned 64-bit values are written as quoted texts (an engine without a
  // type that holds them keeps them in a varchar).
  bool unsignedBigintAsText = false;
  // How a criteria compares a number the engine keeps as text (a decimal or
  // an unsigned 64-bit column declared as a varchar): a printf form taking
  // the column, such as "CAST(%s AS NUMERIC)", so that "<" orders by value
  // and not by the text's letters. None: the column is compared as it is.
  const char* numericTextComparand = nullptr;
  // Setting a savepoint of a name already set nests a new one inside the old
  // one instead of replacing it (sql/savepoint_sql.h).
  bool savepointsNest = false;
  // The start of a query that counts, from the engine's catalogue, the
  // tables of the connection's own database or schema whose name equals a
  // text literal (letter case ignored) that follows, then ")". None: the
  // engine has no catalogue known here.
  const char* tableCountHead = nullptr;

  // A backslash in a text literal is doubled: the engine reads it as an
  // escape. The rule is the dictionary's, shared with the layers below.
  bool backslashEscapes() const { return DialectReadsBackslashEscapes(name); }
};

}  // namespace fh
