// Fetching 100,000 rows of five columns (integer, bigint, double, text,
// date) from one SQLite database: through the ODBC provider's ExecuteQuery
// (typed values in a result set) and through the sqlite3 C API (each value
// read and the texts copied), in the same run. The ratio of the two times is
// the price of the ODBC road. A third run reads the same rows through the
// driver manager alone (columns bound as the provider binds them, no value
// kept): the part of that price the SQLite ODBC driver takes, which no
// provider can win back.
#include <benchmark/benchmark.h>
#include <sql.h>
#include <sqlext.h>
#include <sqlite3.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench_directory.h"
#include "db/conn_params.h"
#include "db/connection.h"
#include "db/db_provider.h"
#include "db/db_result_set.h"

namespace {

constexpr int kRows = 100000;

// The database file, made once per process in a temporary directory.
const std::string& DatabasePath() {
  static const std::string path = [] {
    std::string file = fhbench::BenchDirectory() + "/rows.db";
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_exec(db,
                 "create table r (i integer, b bigint, d double, t varchar(40), day date);"
                 "begin;",
                 nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "insert into r values (?, ?, ?, ?, ?)", -1, &insert, nullptr);
    for (int row = 0; row < kRows; ++row) {
      const std::string text = "row text number " + std::to_string(row);
      const std::string day =
          "2024-0" + std::to_string(1 + row % 9) + "-1" + std::to_string(row % 10);
      sqlite3_bind_int(insert, 1, row);
      sqlite3_bind_int64(insert, 2, 10000000000LL + row);
      sqlite3_bind_double(insert, 3, row * 0.25);
      sqlite3_bind_text(insert, 4, text.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_text(insert, 5, day.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_step(insert);
      sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    sqlite3_exec(db, "commit;", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return file;
  }();
  return path;
}

void BM_OdbcExecuteQuery(benchmark::State& state) {
  InitDBProvider();
  const std::string connect = "Driver=SQLite3;Database=" + DatabasePath();
  auto entry = CreateConnParamsEntry("b", 1, "bench", nullptr, nullptr, "BenchDB", 1,
                                     connect.c_str(), "ODBC", "SQLITE");
  auto handle = OpenDBConnection(entry.get());
  if (!handle) {
    state.SkipWithError("cannot connect through the SQLite3 ODBC driver");
    return;
  }
  for (auto _ : state) {
    auto result = ExecuteQuery(handle.get(), "select i, b, d, t, day from r");
    if (!result || result->rowCount != kRows) state.SkipWithError("query failed");
    benchmark::DoNotOptimize(result);
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  CloseDBConnection(std::move(handle));
}
BENCHMARK(BM_OdbcExecuteQuery)->Unit(benchmark::kMillisecond);

void BM_Sqlite3CApi(benchmark::State& state) {
  sqlite3* db = nullptr;
  sqlite3_open_v2(DatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
  for (auto _ : state) {
    sqlite3_stmt* select = nullptr;
    sqlite3_prepare_v2(db, "select i, b, d, t, day from r", -1, &select, nullptr);
    int rows = 0;
    while (sqlite3_step(select) == SQLITE_ROW) {
      benchmark::DoNotOptimize(sqlite3_column_int(select, 0));
      benchmark::DoNotOptimize(sqlite3_column_int64(select, 1));
      benchmark::DoNotOptimize(sqlite3_column_double(select, 2));
      std::string text(reinterpret_cast<const char*>(sqlite3_column_text(select, 3)));
      std::string day(reinterpret_cast<const char*>(sqlite3_column_text(select, 4)));
      benchmark::DoNotOptimize(text);
      benchmark::DoNotOptimize(day);
      ++rows;
    }
    sqlite3_finalize(select);
    if (rows != kRows) state.SkipWithError("query failed");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  sqlite3_close(db);
}
BENCHMARK(BM_Sqlite3CApi)->Unit(benchmark::kMillisecond);

// The driver's share: the rows fetched one at a time into bound buffers (the
// double as SQL_C_DOUBLE, the rest as text), nothing converted or kept.
void BM_OdbcDriverFetchOnly(benchmark::State& state) {
  const std::string connect = "Driver=SQLite3;Database=" + DatabasePath();
  SQLHENV environment = SQL_NULL_HENV;
  SQLHDBC connection = SQL_NULL_HDBC;
  SQLAllocEnv(&environment);
  SQLAllocConnect(environment, &connection);
  SQLCHAR out[1025];
  SQLSMALLINT outLength = 0;
  if (!SQL_SUCCEEDED(SQLDriverConnect(
          connection, nullptr, reinterpret_cast<SQLCHAR*>(const_cast<char*>(connect.c_str())),
          SQL_NTS, out, sizeof out, &outLength, SQL_DRIVER_NOPROMPT))) {
    state.SkipWithError("cannot connect through the SQLite3 ODBC driver");
    return;
  }
  std::vector<char> text(4 * 64);
  double number = 0;
  SQLLEN indicators[5] = {};
  for (auto _ : state) {
    SQLHSTMT statement = SQL_NULL_HSTMT;
    SQLAllocStmt(connection, &statement);
    SQLExecDirect(statement,
                  reinterpret_cast<SQLCHAR*>(const_cast<char*>("select i, b, d, t, day from r")),
                  SQL_NTS);
    for (SQLUSMALLINT column = 1; column <= 5; ++column) {
      if (column == 3) {
        SQLBindCol(statement, column, SQL_C_DOUBLE, &number, sizeof number, &indicators[2]);
      } else {
        SQLBindCol(statement, column, SQL_C_CHAR,
                   &text[(column > 3 ? column - 2 : column - 1) * 64], 64, &indicators[column - 1]);
      }
    }
    int rows = 0;
    while (SQL_SUCCEEDED(SQLFetch(statement))) ++rows;
    SQLFreeHandle(SQL_HANDLE_STMT, statement);
    if (rows != kRows) state.SkipWithError("query failed");
  }
  state.SetItemsProcessed(state.iterations() * kRows);
  SQLDisconnect(connection);
  SQLFreeHandle(SQL_HANDLE_DBC, connection);
  SQLFreeHandle(SQL_HANDLE_ENV, environment);
}
BENCHMARK(BM_OdbcDriverFetchOnly)->Unit(benchmark::kMillisecond);

}  // namespace
