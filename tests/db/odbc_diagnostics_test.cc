// The one translation of ODBC diagnostics into "the link is gone" or "the
// statement failed", on the records the packaged drivers really give: a
// session ended by the server, a stopped server, an unreadable SQLite file,
// and ordinary statement errors that must not count as a lost link.
#include <gtest/gtest.h>

#include <vector>

#include "db/odbc/odbc_api.h"

namespace fhtest {
namespace {

using fh::odbc::ClassifyOdbcDiagnostics;
using fh::odbc::OdbcDiagnostic;
using fh::odbc::OdbcFailure;

TEST(OdbcDiagnosticsTest, LostLinksAreToldFromStatementFailures) {
  const struct {
    OdbcDiagnostic record;
    OdbcFailure want;
  } cases[] = {
      // psqlODBC: a terminated backend, then every later call; a link found
      // gone while preparing.
      {{"57P01", 35, "FATAL: terminating connection due to administrator command"},
       OdbcFailure::kConnectionLost},
      {{"08S01", 35, "SQLExecDirect unable due to the connection lost"},
       OdbcFailure::kConnectionLost},
      {{"S1000", 1, "The connection has been lost;\nError while preparing parameters"},
       OdbcFailure::kConnectionLost},
      {{"08001", 101, "could not connect to server"}, OdbcFailure::kConnectionLost},
      {{"23505", 1, "ERROR: duplicate key value violates unique constraint"},
       OdbcFailure::kStatement},
      {{"25P02", 1, "ERROR: current transaction is aborted"}, OdbcFailure::kStatement},
      // MariaDB Connector/ODBC: the client codes, whatever the state.
      {{"S1001", 2013, "[ma-3.1.15]Lost connection to server during query"},
       OdbcFailure::kConnectionLost},
      {{"HY000", 2006, "[ma-3.1.15]Server has gone away"}, OdbcFailure::kConnectionLost},
      {{"HY000", 2055, "[ma-3.1.15]Lost connection to server at 'reading'"},
       OdbcFailure::kConnectionLost},
      {{"23000", 1062, "[ma-3.1.15]Duplicate entry '1' for key 'PRIMARY'"},
       OdbcFailure::kStatement},
      {{"HY000", 2006, "[SQLite]not from MariaDB"}, OdbcFailure::kStatement},
      // SQLite: the file cannot be read any more; a constraint is a statement.
      {{"S1000", 26, "[SQLite]file is not a database (26)"}, OdbcFailure::kConnectionLost},
      {{"S1000", 14, "[SQLite]unable to open database file (14)"}, OdbcFailure::kConnectionLost},
      {{"S1000", 19, "[SQLite]UNIQUE constraint failed: t.id (19)"}, OdbcFailure::kStatement},
      {{"S1000", 0, "[SQLite]no such table: t (1)"}, OdbcFailure::kStatement},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ClassifyOdbcDiagnostics({c.record}), c.want)
        << c.record.state << " " << c.record.message;
  }
  // Any record of several decides; none is a statement failure.
  EXPECT_EQ(ClassifyOdbcDiagnostics({cases[4].record, cases[1].record}),
            OdbcFailure::kConnectionLost);
  EXPECT_EQ(ClassifyOdbcDiagnostics({}), OdbcFailure::kStatement);
}

}  // namespace
}  // namespace fhtest
