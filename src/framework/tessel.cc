#include "framework/tessel.h"

#include <libxml/parser.h>

#include <algorithm>
#include <set>
#include <string>

#include "config/data_source_map.h"
#include "config/tessel_root.h"
#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/db_provider.h"
#include "dictionary/data_dict_checks.h"
#include "dictionary/data_dict_loader.h"
#include "dictionary/table_defn.h"
#include "framework/data_import.h"
#include "framework/table_loader.h"
#include "framework/tessel_log.h"
#include "log/log.h"
#include "log/log_file.h"
#include "sequence/sequence_generator.h"
#include "sql/sql_dialects.h"
#include "sql/table_route.h"
#include "store/table_data.h"
#include "util/memory_pool.h"

namespace {

bool Fail(const char* message) {
  LogError("%s", message);
  return false;
}

// Each data source names a provider that is loaded and a dialect that
// exists; one error line per data source that does not.
bool CheckDataSources() {
  bool sound = true;
  for (int index = 0; index < fh::GetConnParamsEntryCount(); ++index) {
    const ConnParamsEntry* entry = fh::GetConnParamsEntryAt(index);
    if (entry == nullptr) break;
    const char* name = entry->connectionName ? entry->connectionName->c_str() : "";
    const char* provider = entry->providerName ? entry->providerName->c_str() : "";
    const char* dialect = entry->dialectName ? entry->dialectName->c_str() : "";
    if (GetDBProviderIndex(provider) < 0) {
      LogError("connparams.txt: data source %s names the unknown provider \"%s\"\n", name,
               provider);
      sound = false;
    }
    if (FindSQLDialect(dialect) == nullptr) {
      LogError(
          "connparams.txt: data source %s names the unknown dialect \"%s\" (MYSQL, PGSQL, "
          "FIREBIRD or SQLITE)\n",
          name, dialect);
      sound = false;
    }
  }
  return sound;
}

// After a failed EstablishDBConnections: names the first data source that
// got no connection (the pool is filled in file order).
void NameUnopenedConnection() {
  for (int index = 0; index < fh::GetConnParamsEntryCount(); ++index) {
    const ConnParamsEntry* entry = fh::GetConnParamsEntryAt(index);
    if (entry == nullptr || !entry->connectionName) break;
    if (fh::GetPooledHandleCount(entry->connectionName->c_str()) > 0) continue;
    LogError("Cannot open the connection %s to the data source %s\n",
             entry->connectionName->c_str(), entry->dsn ? entry->dsn->c_str() : "(none)");
    return;
  }
}

// The configuration (definitions, data-source map, connection parameters)
// and a connection to every data source.
bool ReadConfigurationAndConnect() {
  if (!fh::ReadTesselConfiguration()) return false;
  if (GetTableDefnList().empty()) {
    return Fail(
        "datadictionary.txt: lists no data dictionary file that defines a table. InitTessel "
        "failed.\n");
  }
  if (!EstablishDBConnections()) {
    NameUnopenedConnection();
    return Fail("EstablishDBConnections failed.\n");
  }
  return true;
}

constexpr char kSequenceTable[] = "SeqGenState";

bool HasGeneratedColumn(const TableDefn& table) {
  return std::any_of(table.columns.begin(), table.columns.end(), [](const ColumnDefnEntry& column) {
    return column.generatorName.has_value();
  });
}

// A sequence keeps its batches in the SeqGenState table of the database that
// holds the generated column's table, but the data-source map places
// SeqGenState in one database only. Creates it in every other database that
// holds a generated column. The number of those databases where it is still
// missing afterwards.
int CreateSequenceTablesWhereUsed() {
  if (GetTableDefn(kSequenceTable) == nullptr) return 0;
  std::set<std::string> done;
  if (const char* home = fh::RouteOfTable(kSequenceTable, fh::RouteLookup::kMap).connection)
    done.insert(home);
  int missing = 0;
  for (const TableDefn* table : GetTableDefnList()) {
    if (!HasGeneratedColumn(*table)) continue;
    const char* connection =
        fh::RouteOfTable(table->tableName.c_str(), fh::RouteLookup::kMap).connection;
    if (connection == nullptr || !done.insert(connection).second) continue;
    if (fh::TableExistsInDB(connection, kSequenceTable)) continue;
    if (!CreateTableInDB(kSequenceTable, connection)) ++missing;
  }
  return missing;
}

// After the connections: the defined tables created where missing, the
// sequences, the tables of the load list and the default data.
bool PrepareTables() {
  int missing = 0;
  const bool allCreated = CreateAllTables(&missing);
  missing += CreateSequenceTablesWhereUsed();
  if (missing > 0) {
    LogError("InitTessel failed: %d defined table(s) missing from the database.\n", missing);
    return false;
  }
  if (!SequenceGenerator()) return Fail("SequenceGenerator failed.\n");
  if (!LoadAllTables()) {
    LogError(
        "Error in loading tables from loadtablelist.txt.  Please check if there are any entries "
        "in your loadtablelist.txt or load the required tables manually.\n");
  }
  if (allCreated && !SaveDefaultData()) return Fail("Cannot save default data.\n");
  return true;
}

}  // namespace

bool fh::ReadTesselConfiguration() {
  if (!LoadAllDataDictFiles()) return Fail("LoadAllDataDictFiles failed.\n");
  if (const int faults = fh::DataDictFaultCount(); faults > 0) {
    LogError("InitTessel failed: %d fault(s) in the data dictionaries (see above).\n", faults);
    return false;
  }
  if (!LoadDataSourceMapEntryFromFile("..\\data\\dsn_table_map.txt"))
    return Fail("LoadDataSourceMapEntryFromFile failed.\n");
  if (!LoadConnParamsEntryFromFile("..\\data\\connparams.txt"))
    return Fail("LoadConnParamsEntryFromFile failed.\n");
  if (fh::RefusedConnParamsLine() > 0)
    return Fail("InitTessel failed: connparams.txt is not usable.\n");
  if (fh::GetConnParamsEntryCount() == 0)
    return Fail("No entires in data source vector. InitTessel failed.\n");
  if (!CheckDataSources()) return Fail("InitTessel failed: connparams.txt is not usable.\n");
  // The first data source's dialect turns the data-source mode on, also when
  // it brings its own connect string: every connection then writes its own
  // dialect (the mode off would give every table the MYSQL dialect).
  fh::SetDialectModeFromConnParams();
  return true;
}

bool InitTessel(const char* root) {
  SetTesselRoot(root);
  if (!InitLogDefaults() || !OpenLogFileAppend()) return false;
  fh::StartFrameworkLogRotation();
  LogTrace("@@ Inside InitTessel @@\n");
  if (!InitializeMemPool()) return Fail("InitializeMemPool failed.\n");
  if (!InitDBProvider()) LogError("InitDBProvider failed. Already initialized.\n");
  FreeAllTableDefns();
  InitSQLDialects();
  if (!fh::InitSequenceMap()) return Fail("Memory allocation Failed\n");
  if (!ReadConfigurationAndConnect() || !PrepareTables()) return false;
  LogDebug(
      "\nWelcome to Tessel.  You have successfully initialised the appropriate parameters, "
      "loaded the mentioned files/tables and established connection with the DB.\n");
  return true;
}

void DeInitTessel() {
  LogTrace("Inside DeInitTessel.\n");
  UnLoadAllTable();
  fh::FreeSequenceMap();
  FreeConnectionPool();
  FreeAllConnParamsEntries();
  FreeAllDataSourceMapEntries();
  FreeAllTableDefns();
  FreeSQLDialects();
  fh::ReleaseMemPool();
  xmlCleanupParser();
  fh::StopFrameworkLogRotation();
  CloseLogFile();
  FreeLogParams();
  fh::ResetTesselRoot();
}
