// Creating ODBC data sources: one from its parts, or one per line of a text
// file.
//
// Thread safety: the installer writes a shared odbc.ini; create data sources
// from one thread at a time.
#pragma once

// Adds the data source dsnName for the driver driverName (as the driver
// manager knows it, e.g. "SQLite3"), with the attribute pairs "DSN",
// "DESCRIPTION", "SERVER", "UID", "PWD", "DATABASE" in this order, leaving
// out each pair whose value is none or the word "NULL" (any letter case).
// false with "DriverName or DSN name is NULL \n" when either is missing,
// with "SQLConfigDataSource returned FALSE \n" when the installer refuses.
bool CreateDSN(const char* dsnName, const char* description, const char* server, const char* user,
               const char* password, const char* database, const char* driverName);

// Reads path line by line: six blank-separated words (DSN name,
// description, server, user, password, database) and the rest of the line,
// leading blanks skipped, as the driver name; lines of any length ending in
// LF or CRLF. Stops at the end of the file or at the first incomplete line.
// Calls CreateDSN per line, logging "Creating DSN %s Failed\n" when it fails
// and going on. false with "Error opening File %s \n" when the file cannot
// be opened; else true.
bool CreateDSNFromFile(const char* path);
