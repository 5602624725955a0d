#include "db/odbc/odbc_provider.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

#include "db/conn_params.h"
#include "db/fetched_text.h"
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_prepared.h"
#include "dictionary/column_types.h"
#include "logging/log.h"
#include "util/object_lock.h"

namespace {

using fh::odbc::LogOdbcDiagnostics;
using fh::odbc::Odbc;
using fh::odbc::Succeeded;

// The provider's connection object: the environment and connection handles
// of one connection, released when it is destroyed.
struct OdbcConnection : ProviderConnection {
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  bool connected = false;
  fh::odbc::PreparedStatementSet prepared;  // released before the disconnect
  // The driver's SQL_GETDATA_EXTENSIONS, asked on the first query.
  std::optional<SQLUINTEGER> getDataExtensions;

  OdbcConnection() = default;
  OdbcConnection(const OdbcConnection&) = delete;
  OdbcConnection& operator=(const OdbcConnection&) = delete;
  ~OdbcConnection() override {
    prepared.ReleaseAll();
    if (connected && !Succeeded(Odbc().SQLDisconnect(connection))) {
      // Refused inside a transaction: give it up and disconnect.
      Odbc().SQLEndTran(SQL_HANDLE_DBC, connection, SQL_ROLLBACK);
      Odbc().SQLDisconnect(connection);
    }
    if (connection != SQL_NULL_HDBC) Odbc().SQLFreeHandle(SQL_HANDLE_DBC, connection);
    if (environment != SQL_NULL_HENV) Odbc().SQLFreeHandle(SQL_HANDLE_ENV, environment);
  }
};

// A statement handle of one connection, freed (its cursor closed) on every
// path when it goes out of scope.
class Statement {
 public:
  explicit Statement(SQLHDBC connection) {
    if (!Succeeded(Odbc().SQLAllocStmt(connection, &handle_))) handle_ = SQL_NULL_HSTMT;
  }
  ~Statement() {
    if (handle_ == SQL_NULL_HSTMT) return;
    Odbc().SQLFreeStmt(handle_, SQL_CLOSE);
    Odbc().SQLFreeHandle(SQL_HANDLE_STMT, handle_);
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  explicit operator bool() const { return handle_ != SQL_NULL_HSTMT; }
  SQLHSTMT get() const { return handle_; }

 private:
  SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

OdbcConnection* CellOf(ConnectionHandle* handle) {
  return handle != nullptr ? dynamic_cast<OdbcConnection*>(handle->connection.get()) : nullptr;
}

SQLCHAR* SqlText(const char* text) { return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text)); }

// The connection handle whose operation runs on this thread, set for the
// length of each public operation, so that a failure found deep inside one
// marks the handle broken when its diagnostics say the link is gone.
thread_local ConnectionHandle* t_operationHandle = nullptr;

class Operation {
 public:
  explicit Operation(ConnectionHandle* handle) : previous_(t_operationHandle) {
    t_operationHandle = handle;
  }
  ~Operation() { t_operationHandle = previous_; }
  Operation(const Operation&) = delete;
  Operation& operator=(const Operation&) = delete;

 private:
  ConnectionHandle* previous_;
};

// Logs the diagnostics of handle and marks the operation's connection
// broken when they say the link is gone.
void LogAndClassify(SQLSMALLINT handleType, SQLHANDLE handle) {
  if (LogOdbcDiagnostics(handleType, handle) == fh::odbc::OdbcFailure::kConnectionLost &&
      t_operationHandle != nullptr) {
    MarkConnectionBroken(*t_operationHandle);
  }
}

// A failure: its fixed line, then what the driver says about handle.
void Fail(const char* line, SQLSMALLINT handleType, SQLHANDLE handle) {
  LogError("%s", line);
  LogAndClassify(handleType, handle);
}

void FailStatement(const char* line, const Statement& statement) {
  Fail(line, SQL_HANDLE_STMT, statement.get());
}

// The transaction operations' failure report.
void FailTransaction(const char* line, SQLHDBC connection) {
  LogError("%s", line);
  LogError("Error in starting transaction\n");
  LogAndClassify(SQL_HANDLE_DBC, connection);
}

// ---- connect string

bool NeedsBraces(const std::string& value) {
  return value.find_first_of(";{}") != std::string::npos;
}

void AppendPair(std::string& text, const char* key, const std::optional<std::string>& value) {
  if (!value) return;
  text += key;
  text += '=';
  if (!NeedsBraces(*value)) {
    text += *value;
  } else {
    text += '{';
    for (char c : *value) {
      text += c;
      if (c == '}') text += '}';
    }
    text += '}';
  }
  text += ';';
}

// ---- type table

struct SqlTypeMapping {
  SQLSMALLINT sqlType;
  uint8_t columnType;
};

// Searched in order. SQL_FLOAT is double precision in ODBC; the wide text
// types of Unicode drivers read as texts like their narrow twins.
constexpr SqlTypeMapping kSqlTypeTable[] = {
    {SQL_BIGINT, KES_SQL_BIGINT},
    {SQL_SMALLINT, KES_SQL_SMALLINT},
    {SQL_INTEGER, KES_SQL_INT},
    {SQL_FLOAT, KES_SQL_DOUBLE},
    {SQL_DOUBLE, KES_SQL_DOUBLE},
    {SQL_NUMERIC, KES_SQL_NUMERIC},
    {SQL_CHAR, KES_SQL_CHAR},
    {SQL_VARCHAR, KES_SQL_NCHAR},
    {SQL_DATE, KES_SQL_DATE},
    {SQL_TIME, KES_SQL_TIME},
    {SQL_TIMESTAMP, KES_SQL_DATETIME},
    {SQL_TINYINT, KES_SQL_BOOLEAN},
    {SQL_LONGVARCHAR, KES_SQL_BLOB},
    {SQL_BINARY, KES_SQL_BLOB},
    {SQL_VARBINARY, KES_SQL_BLOB},
    {SQL_LONGVARBINARY, KES_SQL_BLOB},
    {SQL_REAL, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_DECIMAL, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_GUID, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_WCHAR, KES_SQL_CHAR},
    {SQL_WVARCHAR, KES_SQL_NCHAR},
    {SQL_WLONGVARCHAR, KES_SQL_BLOB},
    {SQL_BIT, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MONTH, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_YEAR_TO_MONTH, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_HOUR, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_DAY_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_MINUTE, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_HOUR_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
    {SQL_INTERVAL_MINUTE_TO_SECOND, KES_SQL_NOT_SUPPORTED_TYPE},
};
static_assert(std::size(kSqlTypeTable) == 36);

// ---- fetching

// A result column: what the database said and how its values are read.
struct FetchColumn {
  SQLSMALLINT sqlType = 0;
  uint8_t columnType = 0;
  SQLULEN size = 0;  // the column size the driver reports (0: unknown)
};

// A result column bound to a buffer of one block of rows: width bytes per
// row (a text's terminating zero included) and each row's length or
// SQL_NULL_DATA. A width of 0: the column is read piece by piece instead.
struct BoundColumn {
  SQLLEN width = 0;
  std::vector<char> values;
  std::vector<SQLLEN> indicators;
};

// The bound columns of a query and the block of rows each fetch fills. The
// statement points at these buffers until it is freed, so they outlive it.
struct Binding {
  std::vector<BoundColumn> columns;  // one per result column
  SQLULEN blockRows = 1;             // rows one fetch asks for
  SQLULEN fetched = 0;               // rows the last fetch delivered
  std::vector<SQLUSMALLINT> statuses;
  bool rereadable = false;  // a truncated bound value can be read again whole
};

// What one query's fetch keeps: the statement, the blob sink (none for a
// plain query), a reusable piece buffer and the bound columns.
struct Fetch {
  const Statement& statement;
  BlobSink sink = nullptr;
  void* context = nullptr;
  Binding* binding = nullptr;  // none: every value is read piece by piece
  // Small at first: some drivers fill the whole buffer they are given.
  // It grows to a longer value's length when one is met.
  std::vector<char> buffer = std::vector<char>(256);
};

enum class ReadResult { kValue, kNull, kFailed };

// Reads column as text, whole, in as many pieces as it takes.
ReadResult ReadText(Fetch& fetch, SQLUSMALLINT column, std::string& text) {
  text.clear();
  for (;;) {
    SQLLEN indicator = 0;
    const auto size = static_cast<SQLLEN>(fetch.buffer.size());
    const SQLRETURN result = Odbc().SQLGetData(fetch.statement.get(), column, SQL_C_CHAR,
                                               fetch.buffer.data(), size, &indicator);
    if (result == SQL_NO_DATA) return ReadResult::kValue;
    if (!Succeeded(result)) return ReadResult::kFailed;
    if (indicator == SQL_NULL_DATA) return ReadResult::kNull;
    if (indicator != SQL_NO_TOTAL && indicator >= 0 && indicator < size) {
      text.append(fetch.buffer.data(), static_cast<std::size_t>(indicator));
      return ReadResult::kValue;
    }
    // Truncated: the buffer holds size - 1 bytes and its terminating zero.
    text.append(fetch.buffer.data(), static_cast<std::size_t>(size - 1));
    // indicator was the length left before this piece: make room for the
    // rest at once (the buffer never shrinks).
    if (indicator != SQL_NO_TOTAL && indicator - (size - 1) + 1 > size) {
      fetch.buffer.resize(static_cast<std::size_t>(indicator - (size - 1)) + 1);
    }
  }
}

// Streams a binary column to the sink in pieces of at most 1024 bytes, then
// the end call.
bool StreamBlob(Fetch& fetch, SQLUSMALLINT column) {
  constexpr SQLLEN kPieceSize = 1024;
  char piece[kPieceSize];
  for (;;) {
    SQLLEN indicator = 0;
    const SQLRETURN result = Odbc().SQLGetData(fetch.statement.get(), column, SQL_C_BINARY, piece,
                                               kPieceSize, &indicator);
    if (result == SQL_NO_DATA || indicator == SQL_NULL_DATA) break;
    if (!Succeeded(result)) return false;
    const SQLLEN length =
        (indicator == SQL_NO_TOTAL || indicator > kPieceSize) ? kPieceSize : indicator;
    if (length > 0 && fetch.sink != nullptr)
      fetch.sink(piece, static_cast<int32_t>(length), fetch.context);
    if (result == SQL_SUCCESS) break;
  }
  if (fetch.sink != nullptr) fetch.sink(nullptr, 0, fetch.context);
  return true;
}

// Reads one column of the current row into row. false after the failure's
// error lines.
bool ReadColumn(Fetch& fetch, SQLUSMALLINT column, const FetchColumn& kind, const std::string& name,
                std::string& text, DBRow& row) {
  if (fetch.sink != nullptr && kind.columnType == KES_SQL_BLOB) {
    if (!StreamBlob(fetch, column)) {
      FailStatement("SQLGetData failed\n", fetch.statement);
      return false;
    }
    row.emplace_back(std::nullopt);
    return true;
  }
  if (kind.columnType == KES_SQL_DOUBLE) {
    double number = 0;
    SQLLEN indicator = 0;
    const SQLRETURN result = Odbc().SQLGetData(fetch.statement.get(), column, SQL_C_DOUBLE, &number,
                                               sizeof number, &indicator);
    if (!Succeeded(result)) {
      FailStatement("SQLGetData failed\n", fetch.statement);
      return false;
    }
    if (indicator == SQL_NULL_DATA) {
      row.emplace_back(std::nullopt);
    } else {
      row.emplace_back(ColumnValue::FromDouble(number));
    }
    return true;
  }
  switch (ReadText(fetch, column, text)) {
    case ReadResult::kFailed:
      FailStatement("SQLGetData failed\n", fetch.statement);
      return false;
    case ReadResult::kNull:
      row.emplace_back(std::nullopt);
      return true;
    case ReadResult::kValue:
      break;
  }
  std::optional<ColumnValue> value =
      fh::FetchedTextValue(text.c_str(), text.size(), kind.columnType);
  if (!value) {
    LogError("Value conversion failed for column %s\n", name.c_str());
    return false;
  }
  row.emplace_back(std::move(value));
  return true;
}

// Describes the result columns. false after the failure's error lines.
bool DescribeColumns(const Statement& statement, SQLSMALLINT count,
                     std::vector<DBColumnDescriptor>& descriptors,
                     std::vector<FetchColumn>& columns) {
  for (SQLSMALLINT column = 1; column <= count; ++column) {
    std::vector<SQLCHAR> name(99);
    SQLSMALLINT nameLength = 0;
    FetchColumn kind;
    SQLULEN size = 0;
    SQLSMALLINT digits = 0;
    SQLSMALLINT nullable = 0;
    SQLRETURN result = Odbc().SQLDescribeCol(statement.get(), static_cast<SQLUSMALLINT>(column),
                                             name.data(), static_cast<SQLSMALLINT>(name.size()),
                                             &nameLength, &kind.sqlType, &size, &digits, &nullable);
    if (Succeeded(result) && nameLength >= static_cast<SQLSMALLINT>(name.size())) {
      name.resize(static_cast<std::size_t>(nameLength) + 1);  // a longer name: read it whole
      result = Odbc().SQLDescribeCol(statement.get(), static_cast<SQLUSMALLINT>(column),
                                     name.data(), static_cast<SQLSMALLINT>(name.size()),
                                     &nameLength, &kind.sqlType, &size, &digits, &nullable);
    }
    if (!Succeeded(result)) {
      FailStatement("SQLDescribeCol failed\n", statement);
      return false;
    }
    kind.columnType = MapODBCSqlType(kind.sqlType);
    kind.size = size;
    descriptors.push_back({reinterpret_cast<const char*>(name.data()), kind.columnType});
    columns.push_back(kind);
  }
  return true;
}

// The longest column size bound to a buffer; a longer text is read piece by
// piece.
constexpr SQLULEN kMaxBoundTextSize = 1024;
// The bytes one block of bound rows may take, and the most rows it holds.
constexpr SQLULEN kBlockBytes = 256 * 1024;
constexpr SQLULEN kMaxBlockRows = 512;

// true when the driver reads a bound value of any row of a fetched block
// again with SQLGetData, and reads unbound columns beside bound ones. Asked
// once per connection.
bool RereadsBoundBlocks(OdbcConnection& cell) {
  if (!cell.getDataExtensions) {
    SQLUINTEGER bits = 0;
    if (!Succeeded(Odbc().SQLGetInfo(cell.connection, SQL_GETDATA_EXTENSIONS, &bits,
                                     static_cast<SQLSMALLINT>(sizeof bits), nullptr))) {
      bits = 0;
    }
    cell.getDataExtensions = bits;
  }
  constexpr SQLUINTEGER kNeeded = SQL_GD_BLOCK | SQL_GD_BOUND | SQL_GD_ANY_COLUMN;
  return (*cell.getDataExtensions & kNeeded) == kNeeded;
}

// The bytes a row of column takes in its bound buffer; 0 when the column is
// read piece by piece: binaries, long texts and texts of unknown size, the
// types read as raw text, and every text when a truncated value could not
// be read again. A double is read as a double, every other bound value as
// text (as piece by piece reading does): numbers and dates have short
// texts, other texts take up to four bytes a character plus a sign, a
// point and the zero.
SQLLEN BoundWidth(const FetchColumn& column, bool rereadable) {
  if (column.columnType == KES_SQL_DOUBLE) return sizeof(double);
  if (!rereadable) return 0;
  switch (column.columnType) {
    case KES_SQL_SMALLINT:
    case KES_SQL_INT:
    case KES_SQL_BIGINT:
    case KES_SQL_BOOLEAN:
      return 32;
    case KES_SQL_DATE:
    case KES_SQL_TIME:
    case KES_SQL_DATETIME:
      return 64;
    case KES_SQL_NUMERIC:
    case KES_SQL_CHAR:
    case KES_SQL_NCHAR:
      if (column.size == 0 || column.size > kMaxBoundTextSize) return 0;
      return static_cast<SQLLEN>(column.size * 4 + 8);
    default:
      return 0;
  }
}

bool SetStatementPointer(const Statement& statement, SQLINTEGER attribute, SQLPOINTER value) {
  if (Succeeded(Odbc().SQLSetStmtAttr(statement.get(), attribute, value, 0))) return true;
  FailStatement("SQLSetStmtAttr failed\n", statement);
  return false;
}

// Binds the columns that have a width to buffers of one block of rows. A
// block holds many rows when every column is bound, one row when some are
// read piece by piece. Without any bound column the fetch reads piece by
// piece alone (fetch.binding becomes none). false after the failure's
// error lines.
bool BindColumns(Fetch& fetch, const std::vector<FetchColumn>& columns) {
  Binding& binding = *fetch.binding;
  binding.columns.resize(columns.size());
  SQLULEN rowBytes = 0;
  bool allBound = true;
  bool anyBound = false;
  for (std::size_t index = 0; index < columns.size(); ++index) {
    const SQLLEN width = BoundWidth(columns[index], binding.rereadable);
    // Without rereading, unbound columns may only follow the bound ones.
    binding.columns[index].width = (allBound || binding.rereadable) ? width : 0;
    allBound = allBound && width > 0;
    anyBound = anyBound || binding.columns[index].width > 0;
    rowBytes += static_cast<SQLULEN>(binding.columns[index].width) + sizeof(SQLLEN);
  }
  if (!anyBound) {
    fetch.binding = nullptr;
    return true;
  }
  binding.blockRows = allBound ? std::clamp(kBlockBytes / rowBytes, SQLULEN{1}, kMaxBlockRows) : 1;
  binding.statuses.assign(binding.blockRows, SQL_ROW_SUCCESS);
  const Statement& statement = fetch.statement;
  if (binding.blockRows > 1 &&
      !SetStatementPointer(statement, SQL_ATTR_ROW_ARRAY_SIZE,
                           reinterpret_cast<SQLPOINTER>(binding.blockRows))) {
    return false;
  }
  if (!SetStatementPointer(statement, SQL_ATTR_ROWS_FETCHED_PTR, &binding.fetched) ||
      !SetStatementPointer(statement, SQL_ATTR_ROW_STATUS_PTR, binding.statuses.data())) {
    return false;
  }
  for (std::size_t index = 0; index < columns.size(); ++index) {
    BoundColumn& bound = binding.columns[index];
    if (bound.width == 0) continue;
    bound.values.resize(static_cast<std::size_t>(bound.width) * binding.blockRows);
    bound.indicators.resize(binding.blockRows);
    const SQLSMALLINT cType =
        columns[index].columnType == KES_SQL_DOUBLE ? SQL_C_DOUBLE : SQL_C_CHAR;
    if (!Succeeded(Odbc().SQLBindCol(statement.get(), static_cast<SQLUSMALLINT>(index + 1), cType,
                                     bound.values.data(), bound.width, bound.indicators.data()))) {
      FailStatement("SQLBindCol failed\n", statement);
      return false;
    }
  }
  return true;
}

// Reads the value of row rowIndex of the block that its bound buffer
// truncated whole into text: positioned on the row, with SQLGetData. The
// value read must begin with the bytes the buffer kept and have the length
// the fetch reported. false after the failure's error lines.
bool RereadTruncated(Fetch& fetch, SQLULEN rowIndex, SQLUSMALLINT column, const std::string& name,
                     std::string& text) {
  const BoundColumn& bound = fetch.binding->columns[column - 1];
  const SQLLEN indicator = bound.indicators[rowIndex];
  if (fetch.binding->blockRows > 1 &&
      !Succeeded(Odbc().SQLSetPos(fetch.statement.get(), static_cast<SQLSETPOSIROW>(rowIndex + 1),
                                  SQL_POSITION, SQL_LOCK_NO_CHANGE))) {
    FailStatement("SQLSetPos failed\n", fetch.statement);
    return false;
  }
  const ReadResult result = ReadText(fetch, column, text);
  if (result == ReadResult::kFailed) {
    FailStatement("SQLGetData failed\n", fetch.statement);
    return false;
  }
  const auto kept = static_cast<std::size_t>(bound.width - 1);
  const char* cell = bound.values.data() + rowIndex * static_cast<SQLULEN>(bound.width);
  if (result == ReadResult::kNull || text.size() <= kept ||
      std::memcmp(text.data(), cell, kept) != 0 ||
      (indicator >= 0 && text.size() != static_cast<std::size_t>(indicator))) {
    LogError("Value of column %s read back differently\n", name.c_str());
    return false;
  }
  return true;
}

// Reads row rowIndex of the fetched block of a bound column into row, as
// ReadColumn reads it piece by piece. false after the failure's error
// lines.
bool ReadBound(Fetch& fetch, SQLULEN rowIndex, SQLUSMALLINT column, const FetchColumn& kind,
               const std::string& name, std::string& text, DBRow& row) {
  BoundColumn& bound = fetch.binding->columns[column - 1];
  const SQLLEN indicator = bound.indicators[rowIndex];
  if (indicator == SQL_NULL_DATA) {
    row.emplace_back(std::nullopt);
    return true;
  }
  char* cell = bound.values.data() + rowIndex * static_cast<SQLULEN>(bound.width);
  if (kind.columnType == KES_SQL_DOUBLE) {
    double number = 0;
    std::memcpy(&number, cell, sizeof number);
    row.emplace_back(ColumnValue::FromDouble(number));
    return true;
  }
  const char* value = cell;
  std::size_t length = 0;
  if (indicator >= 0 && indicator < bound.width) {
    cell[indicator] = '\0';  // some drivers leave no zero after a value
    length = static_cast<std::size_t>(indicator);
  } else {
    if (!RereadTruncated(fetch, rowIndex, column, name, text)) return false;
    value = text.c_str();
    length = text.size();
  }
  std::optional<ColumnValue> converted = fh::FetchedTextValue(value, length, kind.columnType);
  if (!converted) {
    LogError("Value conversion failed for column %s\n", name.c_str());
    return false;
  }
  row.emplace_back(std::move(converted));
  return true;
}

// Reads row rowIndex of the fetched block, bound columns from their buffers
// and the others piece by piece. false after the failure's error lines.
bool ReadRow(Fetch& fetch, SQLULEN rowIndex, const std::vector<FetchColumn>& columns,
             const std::vector<DBColumnDescriptor>& descriptors, std::string& text, DBRow& row) {
  row.reserve(columns.size());
  for (std::size_t index = 0; index < columns.size(); ++index) {
    const auto column = static_cast<SQLUSMALLINT>(index + 1);
    const bool bound = fetch.binding != nullptr && fetch.binding->columns[index].width > 0;
    if (!(bound ? ReadBound(fetch, rowIndex, column, columns[index], descriptors[index].name, text,
                            row)
                : ReadColumn(fetch, column, columns[index], descriptors[index].name, text, row))) {
      return false;
    }
  }
  return true;
}

// Fetches every row of an executed query into a result set; none after the
// failure's error lines. Columns with a short value are bound and fetched a
// block of rows at a time (one row while some column is read piece by
// piece); a blob sink's query reads every value piece by piece.
std::unique_ptr<DBResultSet> FetchAll(Fetch& fetch) {
  const Statement& statement = fetch.statement;
  SQLLEN rowCount = 0;
  if (!Succeeded(Odbc().SQLRowCount(statement.get(), &rowCount))) {
    FailStatement("No Rows Affected\n", statement);
    return nullptr;
  }
  SQLSMALLINT count = 0;
  if (!Succeeded(Odbc().SQLNumResultCols(statement.get(), &count))) {
    FailStatement("SQLNumResultCols Failed\n", statement);
    return nullptr;
  }
  std::vector<DBColumnDescriptor> descriptors;
  std::vector<FetchColumn> columns;
  if (!DescribeColumns(statement, count, descriptors, columns)) return nullptr;
  DBRows rows;
  std::string text;
  if (count > 0) {
    if (fetch.binding != nullptr && !BindColumns(fetch, columns)) return nullptr;
    for (SQLRETURN result = Odbc().SQLFetch(statement.get()); result != SQL_NO_DATA;
         result = Odbc().SQLFetch(statement.get())) {
      if (!Succeeded(result)) {
        FailStatement("SQLFetch failed\n", statement);
        return nullptr;
      }
      const SQLULEN block = fetch.binding != nullptr ? fetch.binding->fetched : 1;
      for (SQLULEN rowIndex = 0; rowIndex < block; ++rowIndex) {
        if (fetch.binding != nullptr && fetch.binding->statuses[rowIndex] == SQL_ROW_ERROR) {
          FailStatement("SQLFetch failed\n", statement);
          return nullptr;
        }
        DBRow row;
        if (!ReadRow(fetch, rowIndex, columns, descriptors, text, row)) return nullptr;
        rows.push_back(std::move(row));
      }
    }
    Odbc().SQLCloseCursor(statement.get());
  }
  Odbc().SQLFreeStmt(statement.get(), SQL_UNBIND);
  return CreateDBResultSet(std::move(rows), std::move(descriptors), count);
}

// Runs a query (prepared and executed in blob mode, directly otherwise) and
// fetches it.
std::unique_ptr<DBResultSet> RunQuery(OdbcConnection& cell, const char* text, BlobSink sink,
                                      void* context, bool blobMode) {
  Binding binding;  // declared first: the statement points into it until freed
  if (!blobMode) binding.rereadable = RereadsBoundBlocks(cell);
  Statement statement(cell.connection);
  if (!statement) {
    Fail("Allocating Statement Handle failed\n", SQL_HANDLE_DBC, cell.connection);
    return nullptr;
  }
  if (blobMode) {
    if (!Succeeded(Odbc().SQLPrepare(statement.get(), SqlText(text), SQL_NTS))) {
      FailStatement("SQLPrepare failed\n", statement);
      return nullptr;
    }
    const SQLRETURN result = Odbc().SQLExecute(statement.get());
    if (!Succeeded(result) && result != SQL_NO_DATA) {
      FailStatement("SQLExecute failed\n", statement);
      return nullptr;
    }
  } else {
    const SQLRETURN result = Odbc().SQLExecDirect(statement.get(), SqlText(text), SQL_NTS);
    if (!Succeeded(result) && result != SQL_NO_DATA) {
      FailStatement("SQLExecDirect failed\n", statement);
      return nullptr;
    }
  }
  Fetch fetch{statement, blobMode ? sink : nullptr, context, blobMode ? nullptr : &binding};
  if (blobMode && sink == nullptr) fetch.sink = [](const void*, int32_t, void*) {};
  return FetchAll(fetch);
}

// The pieces of a binary parameter, copied as the supplier hands them out.
// Some drivers (SQLite's) must know a data-at-execution value's total
// length before the first piece arrives, so the pieces are gathered first.
struct BlobPieces {
  std::vector<std::string> pieces;
  SQLLEN total = 0;
};

// Gathers every piece of supplier. false (after the error line) for a piece
// with a negative length or with no bytes but a positive length.
bool GatherPieces(BlobSupplier supplier, void* context, BlobPieces& gathered) {
  if (supplier == nullptr) return true;
  for (;;) {
    const void* piece = nullptr;
    int32_t length = 0;
    if (supplier(&piece, &length, context) == kBlobNoMoreData) return true;
    if (length < 0 || (piece == nullptr && length > 0)) {
      LogError("Invalid blob piece\n");
      return false;
    }
    if (length == 0) continue;
    gathered.pieces.emplace_back(static_cast<const char*>(piece), static_cast<std::size_t>(length));
    gathered.total += length;
  }
}

// Sends the gathered pieces of the parameter the driver asks for. false
// after the failure's error lines.
bool SendPieces(const Statement& statement, const BlobPieces& gathered) {
  for (const std::string& piece : gathered.pieces) {
    if (!Succeeded(Odbc().SQLPutData(statement.get(), const_cast<char*>(piece.data()),
                                     static_cast<SQLLEN>(piece.size())))) {
      FailStatement("SQLPutData failed\n", statement);
      return false;
    }
  }
  return true;
}

// Switches auto-commit on or off; false after the failure's error lines.
bool SetAutoCommit(SQLHDBC connection, bool on) {
  const auto value = static_cast<SQLULEN>(on ? SQL_AUTOCOMMIT_ON : SQL_AUTOCOMMIT_OFF);
  const SQLRETURN result = Odbc().SQLSetConnectAttr(
      connection, SQL_ATTR_AUTOCOMMIT, reinterpret_cast<SQLPOINTER>(value), SQL_IS_INTEGER);
  if (Succeeded(result)) return true;
  FailTransaction(
      on ? "Error in setting SQL_AUTOCOMMIT_ON\n" : "Error in setting SQL_AUTOCOMMIT_OFF\n",
      connection);
  return false;
}

}  // namespace

const DBProvider kODBCProvider = {
    "ODBC",
    ODBCOpenConnection,
    ODBCExecuteUpdate,
    ODBCExecuteQuery,
    ODBCCloseConnection,
    ODBCBeginTransaction,
    ODBCCommitTransaction,
    ODBCRollbackTransaction,
    ODBCExecuteUpdateBlob,
    ODBCExecuteQueryBlob,
    ODBCExecuteUpdateRowCount,
    ODBCPrepareStatement,
    ODBCExecutePrepared,
    ODBCPreparedRowCount,
    ODBCFinalizeStatement,
};

bool fh::odbc::OdbcLinkOf(ConnectionHandle* handle, SQLHDBC* connection,
                          PreparedStatementSet** statements) {
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return false;
  *connection = cell->connection;
  *statements = &cell->prepared;
  return true;
}

uint8_t MapODBCSqlType(int sqlType) {
  for (const SqlTypeMapping& mapping : kSqlTypeTable) {
    if (mapping.sqlType == sqlType) return mapping.columnType;
  }
  return KES_SQL_NOT_SUPPORTED_TYPE;
}

std::string BuildODBCConnectString(const ConnParamsEntry& entry) {
  if (entry.useConnectString == 1) return entry.connectString.value_or("");
  std::string text;
  AppendPair(text, "DSN", entry.dsn);
  AppendPair(text, "UID", entry.user);
  AppendPair(text, "PWD", entry.password);
  if (!entry.dsn && entry.providerName) text += "Driver={" + *entry.providerName + "}";
  return text;
}

namespace {

// SQLite enforces foreign keys only when each connection asks for it, so a
// SQLITE connection turns them on at once, before any transaction. false
// when the engine refused.
bool EnforceSqliteForeignKeys(const ConnParamsEntry& entry, SQLHDBC connection) {
  if (!entry.dialectName || strcasecmp(entry.dialectName->c_str(), "SQLITE") != 0) return true;
  Statement statement(connection);
  if (!statement) return false;
  const SQLRETURN result =
      Odbc().SQLExecDirect(statement.get(), SqlText("PRAGMA foreign_keys = ON"), SQL_NTS);
  if (Succeeded(result)) return true;
  FailStatement("Enabling foreign keys failed\n", statement);
  return false;
}

// psqlODBC by default wraps every statement in a savepoint of its own and
// rolls back to it on an error. The framework keeps its own savepoints
// (statement batches), and after a failed prepared statement the driver's
// handling made them vanish (psqlODBC 13). Rollback level 0 ("Protocol=
// 7.4-0") leaves errors to the caller and saves a round trip per statement;
// a PGSQL connection asks for it after whatever its connect string says.
std::string WithCallerRollback(const ConnParamsEntry& entry, std::string connectString) {
  if (!entry.dialectName || strcasecmp(entry.dialectName->c_str(), "PGSQL") != 0) {
    return connectString;
  }
  if (!connectString.empty() && connectString.back() != ';') connectString += ';';
  return connectString + "Protocol=7.4-0;";
}

}  // namespace

std::unique_ptr<ConnectionHandle> ODBCOpenConnection(const ConnParamsEntry* entry) {
  if (entry == nullptr || !entry->dsn) {
    LogError("ODBC connection Parameter missing\n");
    return nullptr;
  }
  SQLHENV environment = SQL_NULL_HENV;
  if (!Succeeded(Odbc().SQLAllocEnv(&environment))) {
    LogError("Allocating Env Handle failed\n");
    return nullptr;
  }
  std::unique_ptr<OdbcConnection> cell;
  try {
    cell = std::make_unique<OdbcConnection>();
  } catch (const std::bad_alloc&) {
    LogError("Error in allocating SQLHDBC\n");
    Odbc().SQLFreeHandle(SQL_HANDLE_ENV, environment);
    return nullptr;
  }
  cell->environment = environment;
  if (!Succeeded(Odbc().SQLAllocConnect(environment, &cell->connection))) {
    cell->connection = SQL_NULL_HDBC;
    Fail("Allocating connection Handle failed\n", SQL_HANDLE_ENV, environment);
    return nullptr;
  }
  try {
    const std::string connectString = WithCallerRollback(*entry, BuildODBCConnectString(*entry));
    SQLCHAR out[1025] = {};
    SQLSMALLINT outLength = 0;
    const auto length =
        connectString.size() <= static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max())
            ? static_cast<SQLSMALLINT>(connectString.size())
            : static_cast<SQLSMALLINT>(SQL_NTS);
    const SQLRETURN result = Odbc().SQLDriverConnect(
        cell->connection, nullptr, SqlText(connectString.c_str()), length, out,
        static_cast<SQLSMALLINT>(sizeof out), &outLength, SQL_DRIVER_NOPROMPT);
    if (!Succeeded(result)) {
      Fail("Connecting to driver failed\n", SQL_HANDLE_DBC, cell->connection);
      return nullptr;
    }
    cell->connected = true;
    if (!EnforceSqliteForeignKeys(*entry, cell->connection)) return nullptr;
    auto handle = std::make_unique<ConnectionHandle>();
    handle->connectionName = entry->connectionName.value_or("");
    handle->connection = std::move(cell);
    return handle;
  } catch (const std::bad_alloc&) {
    LogError("Unable to allocate memory\n");
    return nullptr;
  }
}

int64_t ODBCExecuteUpdateRowCount(ConnectionHandle* handle, const char* text) {
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return -1;
  Operation operation(handle);
  ObjectLockGuard lock(handle);
  Statement statement(cell->connection);
  if (!statement) {
    Fail("Allocating Statement Handle failed\n", SQL_HANDLE_DBC, cell->connection);
    return -1;
  }
  // Run directly: a one-off text prepared first would cost the server a
  // second round trip (and a plan) it never uses again.
  const SQLRETURN result = Odbc().SQLExecDirect(statement.get(), SqlText(text), SQL_NTS);
  if (result == SQL_NO_DATA) return 0;  // an update or delete that touched no row
  if (!Succeeded(result)) {
    FailStatement("SQLExecute failed\n", statement);
    return -1;
  }
  SQLLEN rows = 0;
  if (!Succeeded(Odbc().SQLRowCount(statement.get(), &rows))) {
    FailStatement("No Rows Affected \n", statement);
    return -1;
  }
  return rows < 0 ? 0 : static_cast<int64_t>(rows);
}

int ODBCExecuteUpdate(ConnectionHandle* handle, const char* text) {
  return ODBCExecuteUpdateRowCount(handle, text) < 0 ? 0 : 1;
}

std::unique_ptr<DBResultSet> ODBCExecuteQuery(ConnectionHandle* handle, const char* text) {
  LogTrace("Inside ODBCExecuteQuery\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  Operation operation(handle);
  ObjectLockGuard lock(handle);
  try {
    return RunQuery(*cell, text, nullptr, nullptr, false);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

std::unique_ptr<DBResultSet> ODBCExecuteQueryBlob(ConnectionHandle* handle, const char* text,
                                                  BlobSink sink, void* context) {
  LogTrace("Inside ODBCExecuteQuery\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return nullptr;
  Operation operation(handle);
  try {
    return RunQuery(*cell, text, sink, context, true);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return nullptr;
  }
}

int ODBCExecuteUpdateBlob(ConnectionHandle* handle, const char* text, BlobSupplier supplier,
                          void* context) {
  LogTrace("Inside ODBCExecuteUpdateBlob\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr || text == nullptr) return 0;
  Operation operation(handle);
  Statement statement(cell->connection);
  if (!statement) {
    Fail("Allocating Statement Handle failed\n", SQL_HANDLE_DBC, cell->connection);
    return 0;
  }
  if (!Succeeded(Odbc().SQLPrepare(statement.get(), SqlText(text), SQL_NTS))) {
    FailStatement("SQLPrepare failed\n", statement);
    return 0;
  }
  BlobPieces gathered;
  if (!GatherPieces(supplier, context, gathered)) return 0;
  SQLLEN indicator = SQL_LEN_DATA_AT_EXEC(gathered.total);
  if (!Succeeded(Odbc().SQLBindParameter(statement.get(), 1, SQL_PARAM_INPUT, SQL_C_BINARY,
                                         SQL_LONGVARBINARY, 0, 0, reinterpret_cast<SQLPOINTER>(1),
                                         0, &indicator))) {
    FailStatement("SQLBindParameter failed\n", statement);
    return 0;
  }
  SQLRETURN result = Odbc().SQLExecute(statement.get());
  const char* failedCall = "SQLExecute failed\n";
  while (result == SQL_NEED_DATA) {
    SQLPOINTER token = nullptr;
    result = Odbc().SQLParamData(statement.get(), &token);
    failedCall = "SQLParamData failed\n";
    if (result == SQL_NEED_DATA && !SendPieces(statement, gathered)) return 0;
  }
  if (result == SQL_NO_DATA) return 1;  // touched no row
  if (!Succeeded(result)) {
    FailStatement(failedCall, statement);
    return 0;
  }
  SQLLEN rows = 0;
  if (!Succeeded(Odbc().SQLRowCount(statement.get(), &rows))) {
    FailStatement("No Rows Affected \n", statement);
    return 0;
  }
  return 1;
}

bool ODBCCloseConnection(ConnectionHandle* handle) {
  if (handle != nullptr) handle->connection.reset();
  return true;
}

int ODBCBeginTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCBeginTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  return SetAutoCommit(cell->connection, false) ? 1 : 0;
}

int ODBCCommitTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCCommitTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  if (!Succeeded(Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_COMMIT))) {
    FailTransaction("Error in commiting transaction\n", cell->connection);
    Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_ROLLBACK);
    SetAutoCommit(cell->connection, true);
    return 0;
  }
  return SetAutoCommit(cell->connection, true) ? 1 : 0;
}

int ODBCRollbackTransaction(ConnectionHandle* handle) {
  LogTrace("\t@@@@@ ODBCRollbackTransaction() @@@@@\n");
  OdbcConnection* cell = CellOf(handle);
  if (cell == nullptr) return 0;
  Operation operation(handle);
  if (!Succeeded(Odbc().SQLEndTran(SQL_HANDLE_DBC, cell->connection, SQL_ROLLBACK))) {
    FailTransaction("Error in rollbacking transaction\n", cell->connection);
    SetAutoCommit(cell->connection, true);
    return 0;
  }
  return SetAutoCommit(cell->connection, true) ? 1 : 0;
}
