// Start-up and shut-down of the persistence framework.
//
// InitTessel brings everything up from the data directory below root (or
// "..\\data" relative to the working directory, config/config_files.h):
// the log "tessel.log" (kept below 2000000 bytes by rotation,
// framework/tessel_log.h), the memory pool, the database provider, the SQL
// dialects and the sequence map, the data dictionaries, the data source map,
// the connection parameters, the connection pool, the tables (created where
// missing), the sequences, the tables of the load list and, on a database
// whose tables were all just created, the default data. DeInitTessel takes
// everything down again.
//
// Lifecycle: not started -> started (InitTessel true) -> stopped
// (DeInitTessel). A failed InitTessel undoes nothing: call DeInitTessel to
// release what it set up. The root is borrowed (config/tessel_root.h):
// keep it valid until DeInitTessel.
//
// Thread safety: both run on the caller's thread and must not overlap any
// other framework call.
#pragma once

// Logs "@@ Inside InitTessel @@\n" (trace). true when the framework is
// ready. false at the first fatal step, after its error line:
// "InitializeMemPool failed.\n", "LoadAllDataDictFiles failed.\n",
// "LoadDataSourceMapEntryFromFile failed.\n", "LoadConnParamsEntryFromFile
// failed.\n", "No entires in data source vector. InitTessel failed.\n",
// "EstablishDBConnections failed.\n", "InitTessel failed: %d defined
// table(s) missing from the database.\n", "SequenceGenerator failed.\n",
// "Cannot save default data.\n"; false without a line when the log cannot be
// set up. Configuration the framework cannot run is refused the same way,
// each fault on its own line naming the file and the line, table or data
// source: any fault of the data dictionaries (dictionary/data_dict_checks.h),
// then "InitTessel failed: %d fault(s) in the data dictionaries (see
// above).\n"; dictionaries that define no table, "datadictionary.txt: lists
// no data dictionary file that defines a table. InitTessel failed.\n"; a
// connparams line with too few words (db/conn_params.h), or a data source
// naming a provider that is not loaded or a dialect that does not exist,
// then "InitTessel failed: connparams.txt is not usable.\n"; a connection
// that cannot be opened, "Cannot open the connection %s to the data source
// %s\n" before "EstablishDBConnections failed.\n".
// Not fatal: "InitDBProvider failed. Already initialized.\n" and a load list
// that fails ("Error in loading tables from loadtablelist.txt. ...").
bool InitTessel(const char* root);

namespace fh {
// The configuration steps of InitTessel, for programs that bring up the
// framework's database side themselves: loads the data dictionaries (added
// to the definitions already held), reads the data source map and the
// connection parameters (config/config_files.h finds them) and sets the
// dialect mode from the first data source. Opens no connection. false after
// the error line of the step that failed ("LoadAllDataDictFiles failed.\n",
// "LoadDataSourceMapEntryFromFile failed.\n", "LoadConnParamsEntryFromFile
// failed.\n", "No entires in data source vector. InitTessel failed.\n", and
// the configuration faults InitTessel refuses). Needs InitDBProvider and
// InitSQLDialects to have run.
bool ReadTesselConfiguration();
}  // namespace fh

// Logs "Inside DeInitTessel.\n" (trace). Unloads every in-memory table,
// frees the sequence map, the connection pool, the connection parameters,
// the data source map, the table definitions and the dialects, gives back
// the memory pool's use count, cleans up the XML parser, closes the log and
// forgets its settings and the root (the log's rotation timer is stopped
// first). Change listeners stay registered.
void DeInitTessel();
