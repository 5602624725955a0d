// The data dictionary loader: reads the list file "datadictionary.txt" and
// loads every data dictionary XML file it names into the list of table
// definitions (dictionary/table_defn.h), through the reader stage
// (dictionary/data_dict_reader.h) and the builder stage
// (dictionary/data_dict_builder.h).
//
// The list file holds file names separated by white space; each names an XML
// file in the directory of the list. A name longer than 127 characters, or a
// path longer than 259, counts as a file that cannot be opened: it is logged
// with "Unable to open %s\n" and skipped, never shortened. A file that
// cannot be opened or parsed does not stop the list.
//
// Definitions accumulate in load order (a lookup finds the first table
// loaded under a name). Every fault found on the way (a file that cannot be
// opened or parsed, a table that is not loaded, a bad name or type, a table
// defined twice, a key naming what does not exist) is also
// reported through dictionary/data_dict_checks.h with its file and line;
// the results below stay as they are, and start-up reads the fault count.
// A list load (LoadAllDataDictFiles, LoadDataDictFiles) starts a new count
// and ends with the checks across tables.
//
// Thread safety: loads may run on several threads at once; each load keeps
// its own tag tree, and the list of definitions has its own lock.
#pragma once

// Logs "\t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n" (trace). Opens
// "datadictionary.txt" by the data directory rule (config/config_files.h)
// and loads every listed file from the directory where the list was found,
// logging "Opening %s\n" (debug) with each path. When the list opens at
// neither place: "Cannot open DataDictionary File.\n" (error) and false;
// otherwise true.
bool LoadAllDataDictFiles();

// Logs "\t@@@@@ Inside LoadDataDictFiles() @@@@@\n" (trace). As
// LoadAllDataDictFiles for the list "<directory>\\datadictionary.txt" and
// the files "<directory>\\<name>". false without a message when the list
// cannot be opened (also for a null directory), else true.
bool LoadDataDictFiles(const char* directory);

// Logs "\nInside LoadDataDictFromXMLFile() \n\n" (trace). Loads the tables
// of one data dictionary XML file with XmlDataParser. false for a null path;
// true otherwise: a file that cannot be opened or parsed is only logged.
bool LoadDataDictFromXMLFile(const char* path);

// Logs "\n Inside XmlDataParser\n" (trace). Walks the file and, for every
// table element directly below the root, reads its tag tree, builds and
// registers its definition and frees the tree. A dictionary-level
// description is skipped with its content; when its closing tag cannot be
// reached: "\nNo Description end tag\n" (error) and the walk stops. A file
// that cannot be opened: "Unable to open %s\n" (error). When the walk ends
// anywhere but at the end of the document: "%s : failed to parse\n" (error)
// with the path; tables completed before stay registered. Always true.
bool XmlDataParser(const char* path);
