// Importing XML data files into the in-memory tables and saving the tables
// they touched; the default data of a new database ("defaultdata.txt").
//
// An XML data file's root element holds elements named after tables. Every
// element, at any depth, whose name is a defined table becomes one new row
// (state 2) of that table, in document order (depth first); its attributes
// give column values by column name (ignoring case). An element that is no
// table is a container when its name contains "List" (its children are
// still read); any other is an error.
//
// Values: a value is a reference table:column:local-id only when table is a
// defined table that has the column column; any other value is taken as
// given. A reference in a text or blob column gives everything after the
// second ':'; in a date or time column it is taken as given; in an integer
// column it names a generated identifier: the first element that names a
// reference gets a new number from the sequence of the column (or, when it
// has no generator, of the referenced table's column, following that
// column's foreign keys until one has a generator), and every later mention
// of the same reference, or of this table:column:local-id, gets the same
// number. With no generator on the way the local id itself is the value.
// Workflow_Statements.NEXT_STATEMENT_ID with the local id "0" is 0.
// A value taken as given must fit its column: an integer in the column's
// range (no other characters), a decimal or floating-point number, a real
// date "YYYY-MM-DD" (a DATE or DATETIME may add " HH:MM:SS"), a real time
// "HH:MM:SS". Otherwise the file's import fails with "Cannot import %s:
// element %s, column %s: \"%s\" is no %s value.\n" (error; the file, or
// "XML data" for a buffer or node, the element, the column, the value and
// the column's type symbol). Booleans are "FALSE" (any case) or true.
//
// Nesting: a column the element does not give takes its default; a foreign
// key's local column then takes the referenced column's attribute from the
// nearest enclosing element that has it (else from the first descendant
// element named after the referenced table that has it); a primary key
// column that is no foreign key column takes the attribute of its own name
// from the nearest enclosing element that has it.
//
// Thread safety: start-up work; must not overlap other changes to the
// tables it fills.
#pragma once

#include <libxml/tree.h>

// Logs "@@@@@ Inside SaveDataInXML @@@@@\n" (trace). Imports the file at
// path and saves every table it describes (at any depth), referenced tables
// before the tables that refer to them. false with "error: could not parse
// file file.xml\n" and "Cannot create DO from %s.\n" (error) when the file
// cannot be parsed, with "Cannot construct table data from XML file.\n" and
// "Cannot create DO from %s.\n" when a row cannot be made, and false when a
// save fails. The parser's global state is cleaned up by DeInitTessel only.
bool SaveDataInXML(const char* path);

namespace fh {
// SaveDataInXML for a document held in memory (size bytes of buffer), parsed
// with xmlParseMemory. A row that cannot be made gives "Cannot construct
// table data from XML buffer.\n" (error) and false.
bool SaveDataInXMLBuffer(const char* buffer, int size);

// SaveDataInXML for an element the caller has parsed already: the table
// elements below node are imported (node itself is the enclosing element,
// like a document's root); the caller keeps the document. A row that cannot
// be made gives "Cannot construct table data from buffer node.\n" (error)
// and false.
bool SaveDataInXMLNode(const xmlNode* node);
}  // namespace fh

// Logs "\t@@@@@ Inside SaveDefaultData @@@@@\n" (trace). Opens
// "defaultdata.txt" by the data directory rule; when it opens nowhere "No
// default data to be prepopulated.\n" (info: the list is optional) and true. Otherwise
// SaveDataInXML for each listed file (blank-separated names, from the
// list's directory); true when every file was stored.
bool SaveDefaultData();
