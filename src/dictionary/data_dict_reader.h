// The reader stage of the data dictionary loader: walks a data dictionary
// XML file with the libxml2 streaming text reader and builds, per table, a
// tree of tag records (dictionary/xml_tag_info.h) for the builder stage
// (dictionary/data_dict_builder.h).
//
// The tree of one table:
//
//   table (attributes name, system)
//     description?            one text, or none when empty
//     columns
//       column (attribute name)         one per column, in file order
//         description | data-type | nullable | max-size | default-value |
//         unique                        one text each, none when empty
//         generator-name                from uniquevalue-generation
//         value                         all allowed values, in order
//         | from, to                    the allowed range
//     primary-key?
//       primary-key-column              one text each, in key order
//     foreign-keys?
//       foreign-key (attributes reference-table-name, isbidirectional)
//         fk-columns
//           fk-column
//             fk-local-column, fk-reference-column   one text each
//         fk-constraints?                            one text
//
// Element names are matched without regard to letter case; records carry
// the names as written. Structure is followed by element depth, so an empty
// element (<description/>) never takes the following element's place.
// Comments and white space between elements are skipped everywhere; an
// unknown element is skipped with everything inside it. Sections out of
// order (a description after columns, a primary key before the columns) are
// skipped like unknown elements. A column list ends at the first unknown
// element inside it: the columns after that element are not read.
//
// Messages (error level) and failures: a read that fails inside a table
// "\nxmlTextReaderRead returned error \n"; a key or allowed-value element
// holding anything but text (or a read failing inside it):
// "\nMissing primary-key-column end tag\n",
// "\n Missing endof FK-LOCAL-COLUMN tag\n",
// "\nMissing endof FK-REFERENCE-COLUMN\n", "\nMissing endof FK-CONSTRAINTS
// tag\n", "\n No ending Value tag\n", "\nNo Ending FROM tag \n", "\nNo
// ending TO tag \n"; an element other than fk-column inside fk-columns (or a
// read failing there) "\nMissing end FK-COLUMNS\n"; memory exhausted
// "MEMORY_ALLOCATION_FAILURE\n".
//
// Thread safety: a reader is used by one thread at a time. Several threads
// may read different files at once.
#pragma once

#include <libxml/xmlreader.h>

#include <memory>

#include "dictionary/xml_tag_info.h"

namespace fh {

// Frees a text reader with xmlFreeTextReader.
struct XmlTextReaderCloser {
  void operator()(xmlTextReader* reader) const;
};
using XmlTextReaderHandle = std::unique_ptr<xmlTextReader, XmlTextReaderCloser>;

// A streaming text reader on path (xmlNewTextReaderFilename on the path with
// its separators normalised, platform/paths.h). None for a null path, a path
// longer than 259 characters, or a file that cannot be opened.
XmlTextReaderHandle OpenDataDictReader(const char* path);

// While it lives, libxml2's own diagnostics raised on the constructing
// thread go to the log at debug level instead of the standard error stream;
// the previous handler is restored on destruction. Construct and destroy it
// on the same thread.
class XmlDiagnosticsToLog {
 public:
  XmlDiagnosticsToLog();
  ~XmlDiagnosticsToLog();
  XmlDiagnosticsToLog(const XmlDiagnosticsToLog&) = delete;
  XmlDiagnosticsToLog& operator=(const XmlDiagnosticsToLog&) = delete;

 private:
  xmlStructuredErrorFunc savedHandler_;
  void* savedContext_;
  xmlGenericErrorFunc savedGenericHandler_;
  void* savedGenericContext_;
};

}  // namespace fh

// Logs "\nInside AllocateAndStrcpyAttrib\n\n" (trace). Appends to tag, in
// this order, each of the attributes name, system, reference-table-name and
// isbidirectional that the reader's current element has; other attributes
// are not kept. Null arguments are ignored.
void AllocateAndStrcpyAttrib(xmlTextReaderPtr reader, XmlTagInfo* tag);

// Entered with the reader on a table's start tag. Reads the table up to its
// closing tag and builds its tree into tableTree (replacing what was there).
// true with the reader on the table's closing tag (or still on the start tag
// of an empty table); false after a message (see the top of this file),
// with the reader inside the table and tableTree holding what was read so
// far. A node that is not a table start gives "\nTABLE tag missing\n".
bool ParseTableInfo(xmlTextReaderPtr reader, std::unique_ptr<XmlTagInfo>& tableTree);

// Entered with the reader on a columns start tag. Appends one record per
// column to columnsTag's children. true with the reader on the closing
// columns tag (or still on the start tag of an empty column list); false
// after a message.
bool ParseColumnInfo(xmlTextReaderPtr reader, XmlTagInfo* columnsTag);
