// Loading in-memory tables (store/table_data.h) from their databases: a whole
// table, the rows of a select query, or every table named in the load list
// "loadtablelist.txt". Every fetched row becomes a row in the persisted
// state (1).
//
// The data source of a table: with the data-source mode on
// (sql/sql_dialects.h) the connection the data source map gives the table
// and that connection's dialect (a table without a map entry cannot be
// loaded); with the mode off the default connection and the default dialect.
// Every handle taken is given back before the call returns.
//
// The load list: one table per line (any length, LF or CRLF). A line
// without a blank names a table to load whole. A line with a blank is split
// at its first blank into a table name and a rest: a rest containing
// "select" or "SELECT" (exactly these letter cases) is the query the table is
// loaded by ("LOADTABLE_QUERY : %s\n", trace), any other rest is ignored and
// the whole table loaded ("LOADTABLE : %s\n", trace). Empty lines are skipped.
//
// Thread safety: loading takes no lock of its own; it must not overlap other
// changes to the table list or to the tables it creates.
#pragma once

// Logs "\t@@@@@ Inside LoadAllTables() @@@@@\n" (trace). Opens
// "loadtablelist.txt" by the data directory rule (config/config_files.h);
// false with "Cannot open LoadTableList Entry File.\n" (error) when it opens
// nowhere. Otherwise loads every listed table and returns true whatever the
// single loads gave. The file is closed after reading.
bool LoadAllTables();
// The same for the load list at path (opened as given only).
bool LoadAllTables(const char* path);

// Logs "\nLoading Table : %s\n" (trace). A name without a definition is
// refused first, with "Error in getting Table Definition for %s\n" (error),
// and sends no statement. Otherwise runs "select * from <table>" on the
// table's data source and loads every row into a new in-memory table. false
// when the data source cannot be reached, with "Error in executing select
// query for %s\n" when the query fails, "\nLoadTable Failed for %s table as there
// is mismatch between table definition in datadictionary and actual table in
// database\n" when the database table has more or fewer columns than the
// definition (no in-memory table is made then), and "CreateTable Failed \n"
// when the table cannot be created (also when it is already in memory; all
// error). A row that cannot be converted or added ends the load with false;
// the table then stays in memory with the rows added so far.
bool LoadTable(const char* tableName);

// Logs "\t@@@@@ Inside LoadTableByQuery() @@@@@\n", "\nLoading Table : %s\n"
// and "\nSelect Query  : %s\n" (trace). Loads the rows query returns into a
// new in-memory table; each row has the definition's columns, by position
// (columns the query did not return are NULL, extra ones are dropped). A
// failed query logs "Error in executing select query \n" (error), still
// creates the empty table and gives false. false without a message when the
// table cannot be created; false when a row cannot be converted or added.
bool LoadTableByQuery(const char* tableName, const char* query);

// Logs "@@@ Inside LoadViewByQuery @@@\n" and "\nLoading View Data : %s\n"
// (trace). Creates the custom view viewName over every column of
// tableName's definition, in order (each name logged "%s\t", trace), and
// adds the rows query returns, converted by the table's dialect. false
// without a definition, when the view cannot be created, and after a failed
// query ("Error in executing select query \n", error; the view then stays,
// empty).
bool LoadViewByQuery(const char* viewName, const char* tableName, const char* query);

// Logs "\t@@@@@ Inside ReloadTableData() @@@@@\n" (trace). Unloads every
// in-memory table (unsaved changes are lost), then LoadAllTables().
bool ReloadTableData();
