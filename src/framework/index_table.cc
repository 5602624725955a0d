#include "framework/index_table.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <set>

#include "db/bound_update.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"
#include "dictionary/column_types.h"
#include "dictionary/column_values.h"
#include "dictionary/foreign_keys.h"
#include "log/log.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "sql/index_table_sql.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "store/row_write.h"
#include "store/table_data.h"

namespace {

struct DominantTables {
  fh::Mutex mutex;
  std::set<std::string> names GUARDED_BY(mutex);  // lower case
};

DominantTables& Dominants() {
  static fh::NoDestructor<DominantTables> state;
  return state.get();
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The description of connectionName's dialect; none for no connection or
// one without a known dialect.
const fh::DialectWords* WordsOf(const char* connectionName) {
  return fh::DialectWordsNamed(
      connectionName != nullptr ? GetDialectNameForConnection(connectionName) : nullptr);
}

// true when another live row of the in-memory table holds value at column.
bool StillReferred(const char* tableName, const RowObject* row, std::size_t column) {
  const TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return false;
  for (const RowObject* other = table->firstRow.get(); other != nullptr;
       other = other->next.get()) {
    if (other == row || (other->state & fh::kRowDeleted) != 0) continue;
    const auto& a = other->values[column];
    const auto& b = row->values[column];
    if (a && b && a->length() == b->length() &&
        std::equal(a->bytes(), a->bytes() + a->length(), b->bytes())) {
      return true;
    }
  }
  return false;
}

// A handle the caller already holds (inside its transaction) for its
// connection; none when the caller holds nothing.
struct HeldHandle {
  const char* connection = nullptr;
  ConnectionHandle* handle = nullptr;
};

// An index statement's bound form: its text with "?" for the key value
// and the table name, and those two values.
struct BoundIndexStatement {
  std::string text;
  fh::BoundValue values[2];
};

// Runs one statement on connection: a count query when count is given,
// else an update (its bound form, when given, where the provider prepares
// statements). The held handle serves its own connection, taken and
// given back by its holder only. false when it failed.
bool RunOn(const char* connection, const std::string& text, int64_t* count, const HeldHandle& held,
           const BoundIndexStatement* bound = nullptr) {
  const bool useHeld = held.handle != nullptr && connection != nullptr &&
                       held.connection != nullptr && strcmp(connection, held.connection) == 0;
  ConnectionHandle* handle = useHeld ? held.handle : GetConnectionHandle(connection);
  if (handle == nullptr) return false;
  bool ran = false;
  if (count != nullptr) {
    std::unique_ptr<DBResultSet> rows = ExecuteQuery(handle, text.c_str());
    if (rows != nullptr && NextDBResultSetRow(rows.get()) != nullptr && !rows->rows[0].empty() &&
        rows->rows[0][0]) {
      const auto number = ConvertValueToString(rows->rows[0][0], rows->columns[0].dataType);
      *count = number ? std::atoll(number->c_str()) : 0;
      ran = true;
    }
  } else {
    ran = bound != nullptr ? fh::RunBoundUpdate(handle, {bound->text, bound->values, text}) >= 0
                           : ExecuteUpdate(handle, text.c_str()) == 1;
  }
  if (!useHeld) ReleaseConnectionHandle(connection);
  return ran;
}

// The position of table's column that refers to root's key column: the
// local column of a foreign key leading there, else (GetColIndex) the
// column named like the key; -1 when there is none.
int ReferringColumn(const TableDefn& table, const TableDefn& root, const std::string& key) {
  for (const ForeignKeyDefn& reference : table.constraints->foreignKeys) {
    if (fh::LeadsToColumn(reference.referenceTable, reference.referenceColumn, root.tableName, key))
      return GetColIndex(reference.localColumn.c_str(), table.tableName.c_str(), &table);
  }
  return GetColIndex(key.c_str(), table.tableName.c_str(), &table);
}

// The key value bound as its literal holds it: an integer of a signed or
// narrow type as that number, any other value but an unsigned 64-bit one
// as its text (keyText). None for an unsigned 64-bit value, whose literal
// is a bare number an engine may read as an approximate one: it runs as
// text.
std::optional<fh::BoundValue> IndexKeyValue(const fh::ColumnValue& value, uint8_t dataType,
                                            const std::string& keyText) {
  fh::BoundValue bound;
  if (dataType == KES_SQL_UNSIGNED_LONG_INT) return std::nullopt;
  if (fh::IsIntegerColumnType(dataType)) {
    const std::optional<int64_t> number = fh::GetIntegerValue(value, dataType);
    if (!number) return std::nullopt;
    bound.kind = fh::BoundKind::kInteger;
    bound.integer = *number;
    return bound;
  }
  bound.kind = fh::BoundKind::kText;
  bound.bytes = keyText.data();
  bound.length = keyText.size();
  return bound;
}

// The bound form of an index statement whose text with markers is text;
// none without a key value to bind.
std::optional<BoundIndexStatement> BoundIndex(const std::string& text,
                                              const std::optional<fh::BoundValue>& keyValue,
                                              const std::string& tableName) {
  if (!keyValue) return std::nullopt;
  BoundIndexStatement bound;
  bound.text = text;
  bound.values[0] = *keyValue;
  bound.values[1].kind = fh::BoundKind::kText;
  bound.values[1].bytes = tableName.data();
  bound.values[1].length = tableName.size();
  return bound;
}

// The index statement for one root; false when a statement failed.
bool UpdateIndex(const char* tableName, const TableDefn& table, const RowObject& row,
                 const TableDefn& root, const HeldHandle& held) {
  const std::string& key = root.constraints->primaryKeyColumns[0];
  const int column = ReferringColumn(table, root, key);
  if (column < 0) return true;
  const char* connection = fh::GetIndexTableConnection(root.tableName.c_str());
  const auto& value = row.values[static_cast<std::size_t>(column)];
  const auto literal =
      fh::IndexKeyLiteral(value ? &*value : nullptr,
                          table.columns[static_cast<std::size_t>(column)].dataType, connection);
  if (!literal) return true;
  const uint8_t keyType = table.columns[static_cast<std::size_t>(column)].dataType;
  const std::string keyText = ConvertValueToString(&*value, keyType).value_or("");
  const std::optional<fh::BoundValue> keyValue = IndexKeyValue(*value, keyType, keyText);
  const fh::IndexEntrySql sql =
      fh::MakeIndexEntrySql(WordsOf(connection), root.tableName, key, *literal, table.tableName);
  const fh::RowWrite write = fh::WriteFor(row.state);
  if (write == fh::RowWrite::kDelete) {
    if (StillReferred(tableName, &row, static_cast<std::size_t>(column))) return true;
    const auto bound = BoundIndex(sql.boundRemove, keyValue, table.tableName);
    return RunOn(connection, sql.remove, nullptr, held, bound ? &*bound : nullptr);
  }
  if (write != fh::RowWrite::kInsert) return true;
  int64_t present = 0;
  if (!RunOn(connection, sql.count, &present, held)) return false;
  if (present > 0) return true;
  LogTrace("Insert Query for %s_IDX: %s\n", root.tableName.c_str(), sql.insert.c_str());
  const auto bound = BoundIndex(sql.boundInsert, keyValue, table.tableName);
  return RunOn(connection, sql.insert, nullptr, held, bound ? &*bound : nullptr);
}

}  // namespace

void fh::RegisterIndexedDominantTable(const char* tableName) {
  if (tableName == nullptr) return;
  fh::MutexLock lock(&Dominants().mutex);
  Dominants().names.insert(Lower(tableName));
}

bool fh::IsIndexedDominantTable(const char* tableName) {
  if (tableName == nullptr) return false;
  fh::MutexLock lock(&Dominants().mutex);
  return Dominants().names.count(Lower(tableName)) != 0;
}

bool fh::AnyIndexedDominantTable() {
  fh::MutexLock lock(&Dominants().mutex);
  return !Dominants().names.empty();
}

void fh::ClearIndexedDominantTables() {
  fh::MutexLock lock(&Dominants().mutex);
  Dominants().names.clear();
}

bool AddEntryToIndexTable(const char* tableName, const RowObject* row) {
  return fh::AddEntryToIndexTableWithin(tableName, row, nullptr, nullptr);
}

bool fh::AddEntryToIndexTableWithin(const char* tableName, const RowObject* row,
                                    const char* connectionName, ConnectionHandle* handle) {
  LogTrace("@@@ Inside AddEntryToIndexTable @@@\n");
  const TableDefn* table = GetTableDefn(tableName);
  if (table == nullptr || row == nullptr) return false;
  if (!table->constraints || table->constraints->foreignKeys.empty()) {
    LogTrace("No References.\n");
    return true;
  }
  try {
    std::vector<std::string> roots;
    std::vector<std::string> columns;
    if (!FindRootTable(tableName, nullptr, roots, columns)) return false;
    std::set<std::string> done;
    for (const std::string& name : roots) {
      const TableDefn* root = GetTableDefn(name.c_str());
      if (root == nullptr || !fh::IsIndexedDominantTable(name.c_str()) || !root->constraints ||
          root->constraints->primaryKeyColumns.size() != 1 || !done.insert(Lower(name)).second) {
        continue;
      }
      if (!UpdateIndex(tableName, *table, *row, *root, HeldHandle{connectionName, handle})) {
        LogError("Cannot Add Entry Into Index Table\n");
        return false;
      }
    }
    return true;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return false;
  }
}

const char* fh::GetIndexTableConnection(const char* rootTable) {
  const fh::TableRoute route = fh::RouteOfTable(rootTable, fh::RouteLookup::kMapQuietly);
  return route.routable ? route.connection : GetDefaultConnectionName();
}

std::optional<std::string> fh::IndexKeyLiteral(const fh::ColumnValue* value, uint8_t dataType,
                                               const char* connectionName) {
  if (value == nullptr) return std::nullopt;
  std::optional<std::string> text = ConvertValueToString(value, dataType);
  if (!text) return std::nullopt;
  if (fh::IsIntegerColumnType(dataType)) return text;
  return fh::IndexTextLiteral(WordsOf(connectionName), *text);
}

bool FindRootTable(const char* tableName, const char* columnName,
                   std::vector<std::string>& rootTables, std::vector<std::string>& rootColumns) {
  LogTrace("@@@ Inside FindRootTable @@@\n");
  if (tableName == nullptr) return false;
  std::vector<fh::RootColumn> roots;
  fh::RootWalkStop stop;
  const bool walked = fh::RootsOf(tableName, columnName != nullptr ? columnName : "", roots, stop);
  if (!walked) {
    if (stop.cycle) {
      LogError("Foreign key cycle at table %s\n", stop.table.c_str());
    } else {
      LogError("No table definition found for %s\n", stop.table.c_str());
    }
  }
  for (fh::RootColumn& root : roots) {
    rootTables.push_back(std::move(root.table));
    rootColumns.push_back(std::move(root.column));
  }
  return walked;
}

int GetColIndex(const char* columnName, const char* tableName, const TableDefn* tableDefn) {
  LogTrace("@@@ Inside GetColIndex @@@\n");
  if (tableDefn == nullptr && tableName != nullptr) tableDefn = GetTableDefn(tableName);
  if (tableDefn == nullptr || columnName == nullptr) return -1;
  for (std::size_t i = 0; i < tableDefn->columns.size(); ++i) {
    if (tableDefn->columns[i].columnName == columnName) return static_cast<int>(i);
  }
  return -1;
}
