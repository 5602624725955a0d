// Fetching a result set: describing its columns, reading values piece by
// piece or in blocks of rows bound to buffers, streaming binary columns to a
// sink, and the query runner that executes a text and fetches it.
#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "db/fetched_text.h"
#include "db/odbc/odbc_api.h"
#include "db/odbc/odbc_provider.h"
#include "db/odbc/odbc_provider_internal.h"
#include "dictionary/column_types.h"
#include "log/log.h"

namespace fh {

namespace {

using odbc::Fail;
using odbc::FailStatement;
using odbc::Odbc;
using odbc::OdbcConnection;
using odbc::SqlText;
using odbc::Statement;
using odbc::Succeeded;

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
  std::optional<ColumnValue> value = FetchedTextValue(text.c_str(), text.size(), kind.columnType);
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
  std::optional<ColumnValue> converted = FetchedTextValue(value, length, kind.columnType);
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

}  // namespace

std::unique_ptr<DBResultSet> odbc::RunQuery(OdbcConnection& cell, const char* text, BlobSink sink,
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

}  // namespace fh
