// Reading the stored query definition tables: a handle of the data source
// that holds a definition table, the statements run on it, and the checks
// every text read there passes before it may reach generated SQL.
//
// Ownership: a DefinitionHandle borrows a pooled handle and gives it back
// when it goes out of scope; result sets and texts are the caller's.
//
// Thread safety: a DefinitionHandle belongs to the thread that made it (the
// pool lends handles per thread).
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/db_result_set.h"

struct ConnectionHandle;

namespace fh::storedq {

// A handle of the data source that holds a definition table, found through
// the data-source map (GetConnectionNameForTable, GetConnectionHandle) and
// given back (ReleaseConnectionHandle) on destruction. When the data source
// holds a handle the caller already borrowed (held), that one is used and
// the caller keeps the duty of giving it back.
class DefinitionHandle {
 public:
  explicit DefinitionHandle(const char* tableName, ConnectionHandle* held = nullptr);
  ~DefinitionHandle();
  DefinitionHandle(const DefinitionHandle&) = delete;
  DefinitionHandle& operator=(const DefinitionHandle&) = delete;

  ConnectionHandle* get() const { return handle_; }
  // Runs statement followed by id in decimal (the statements end in "= "):
  // the result set or none.
  std::unique_ptr<DBResultSet> Query(const char* statement, int id) const;
  // The first column of the first row of that statement as text; none when
  // the statement fails, gives no row or a NULL.
  std::optional<std::string> Value(const char* statement, int id) const;

 private:
  std::optional<std::string> connectionName_;
  ConnectionHandle* handle_ = nullptr;
  bool release_ = false;
};

// The text of a fetched value: integers in decimal, texts as they are; none
// for an SQL NULL or a value without a text form.
std::optional<std::string> ValueText(const std::optional<ColumnValue>& value, uint8_t dataType);
// The named column of the result set's first row as text (see ValueText).
std::optional<std::string> RowText(const DBResultSet& resultSet, const char* columnName);
// The first column of every row as an integer id, in result order; rows
// whose value is no integer are left out.
std::vector<int> FirstColumnIds(const DBResultSet& resultSet);
// A decimal integer text (optional sign) in int range; none otherwise.
std::optional<int> ParseId(const std::optional<std::string>& text);

// A text that may be pasted into SQL as a name: the framework's one rule
// for names (fh::IsPlainIdentifier, dictionary/sql_text.h).
bool IsPlainIdentifier(const std::string& text);
// Checks a name read from a definition table. An absent or empty name is
// none (true); a plain identifier is kept (true); anything else is refused
// with "\nStored query: %s \"%s\" is not a plain identifier.\n" (error;
// what names the field, then the text) and false.
bool CheckIdentifier(const char* what, std::optional<std::string>& name);

// The text's pointer for the builders (none for none).
inline const char* TextOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

}  // namespace fh::storedq
