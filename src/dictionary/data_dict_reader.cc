#include "dictionary/data_dict_reader.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "log/log.h"
#include "platform/paths.h"
#include "util/c_string.h"

namespace {

constexpr std::size_t kMaxReaderPathLength = 259;

// The attributes a tag record keeps, in the order they are looked up.
constexpr const char* kKeptAttributes[] = {"name", "system", "reference-table-name",
                                           "isbidirectional"};

struct XmlFreer {
  void operator()(xmlChar* text) const { xmlFree(text); }
};
using XmlString = std::unique_ptr<xmlChar, XmlFreer>;

const char* AsText(const XmlString& text) { return reinterpret_cast<const char*>(text.get()); }

// The reader's current node, with its name fetched once per node.
class NodeCursor {
 public:
  explicit NodeCursor(xmlTextReaderPtr reader) : reader_(reader) { Refresh(); }

  // xmlTextReaderRead: 1 when a node was read, 0 at the end of the document,
  // -1 on an error.
  int Read() {
    const int result = xmlTextReaderRead(reader_);
    if (result == 1) {
      Refresh();
    } else {
      type_ = XML_READER_TYPE_NONE;
      name_.clear();
    }
    return result;
  }

  xmlTextReaderPtr reader() const { return reader_; }
  int depth() const { return depth_; }
  bool isEmpty() const { return isEmpty_; }
  const std::string& name() const { return name_; }

  bool IsStartOf(const char* name) const {
    return type_ == XML_READER_TYPE_ELEMENT && StringCompareNoCase(name_.c_str(), name) == 0;
  }
  bool IsStartAt(int depth) const { return type_ == XML_READER_TYPE_ELEMENT && depth_ == depth; }
  bool IsEndAt(int depth) const { return type_ == XML_READER_TYPE_END_ELEMENT && depth_ == depth; }
  bool IsText() const {
    return type_ == XML_READER_TYPE_TEXT || type_ == XML_READER_TYPE_CDATA ||
           type_ == XML_READER_TYPE_WHITESPACE || type_ == XML_READER_TYPE_SIGNIFICANT_WHITESPACE;
  }
  std::string Value() const {
    XmlString value(xmlTextReaderValue(reader_));
    return value ? std::string(AsText(value)) : std::string();
  }

 private:
  void Refresh() {
    type_ = xmlTextReaderNodeType(reader_);
    depth_ = xmlTextReaderDepth(reader_);
    isEmpty_ = xmlTextReaderIsEmptyElement(reader_) == 1;
    XmlString name(xmlTextReaderName(reader_));
    name_ = name ? AsText(name) : "";
  }

  xmlTextReaderPtr reader_;
  int type_ = XML_READER_TYPE_NONE;
  int depth_ = -1;
  bool isEmpty_ = false;
  std::string name_;
};

// Raised inside the reader stage when a record cannot be allocated.
struct OutOfMemory {};

std::unique_ptr<XmlTagInfo> NewTag(const std::string& tagName) {
  std::unique_ptr<XmlTagInfo> tag = CreateandInitXmlTagInfo();
  if (!tag) throw OutOfMemory();
  tag->tagName = tagName;
  return tag;
}

// A new record for the element under the cursor, with its kept attributes.
std::unique_ptr<XmlTagInfo> NewTagWithAttributes(const NodeCursor& cursor) {
  std::unique_ptr<XmlTagInfo> tag = NewTag(cursor.name());
  AllocateAndStrcpyAttrib(cursor.reader(), tag.get());
  return tag;
}

enum class TextResult {
  kRead,           // the reader is on the element's closing tag (or empty start tag)
  kElementInside,  // an element was found where only text may stand
  kReadFailed,     // the document ended or could not be read
};

// Reads the text of the element under the cursor: the text, CDATA and white
// space directly inside it, joined; comments and other nodes are passed
// over. With nestedAllowed, elements inside are skipped with their content;
// without it, the first one ends the reading. text stays none when the
// element holds no text.
TextResult ReadElementText(NodeCursor& cursor, bool nestedAllowed,
                           std::optional<std::string>& text) {
  text.reset();
  if (cursor.isEmpty()) return TextResult::kRead;
  const int depth = cursor.depth();
  while (true) {
    if (cursor.Read() != 1) return TextResult::kReadFailed;
    if (cursor.IsEndAt(depth)) return TextResult::kRead;
    if (cursor.IsStartAt(depth + 1) && !nestedAllowed) return TextResult::kElementInside;
    if (cursor.depth() == depth + 1 && cursor.IsText()) {
      if (!text) text.emplace();
      text->append(cursor.Value());
    }
  }
}

// A record named as the element under the cursor holding its text (none
// when empty). Element content inside is skipped. false when a read fails.
bool ReadLenientTextTag(NodeCursor& cursor, std::unique_ptr<XmlTagInfo>& tag) {
  tag = NewTag(cursor.name());
  std::optional<std::string> text;
  if (ReadElementText(cursor, true, text) != TextResult::kRead) return false;
  if (text) tag->values.push_back(std::move(*text));
  return true;
}

// As ReadLenientTextTag for an element that may hold text only; any other
// outcome logs failureMessage and gives false.
bool ReadStrictTextTag(NodeCursor& cursor, const char* failureMessage,
                       std::unique_ptr<XmlTagInfo>& tag) {
  tag = NewTag(cursor.name());
  std::optional<std::string> text;
  if (ReadElementText(cursor, false, text) != TextResult::kRead) {
    LogError("%s", failureMessage);
    return false;
  }
  if (text) tag->values.push_back(std::move(*text));
  return true;
}

// Walks the content of the element under the cursor: calls onChild for each
// element directly inside it (with the cursor on the child's start tag; the
// callback leaves it on the child's closing tag, or on the start tag of an
// empty child, or anywhere inside the child, whose remaining content is then
// passed over) until the element's closing tag. false when onChild fails,
// or when a read fails (after readFailureMessage).
template <typename OnChild>
bool ForEachChildElement(NodeCursor& cursor, const char* readFailureMessage, OnChild onChild) {
  if (cursor.isEmpty()) return true;
  const int depth = cursor.depth();
  while (true) {
    if (cursor.Read() != 1) {
      LogError("%s", readFailureMessage);
      return false;
    }
    if (cursor.IsEndAt(depth)) return true;
    if (cursor.IsStartAt(depth + 1) && !onChild()) return false;
  }
}

constexpr const char* kReadError = "\nxmlTextReaderRead returned error \n";

// uniquevalue-generation: yields a generator-name record with its text.
bool ParseUniqueValueGeneration(NodeCursor& cursor, fh::XmlTagChildAppender& columnChildren) {
  return ForEachChildElement(cursor, kReadError, [&] {
    if (!cursor.IsStartOf("generator-name")) return true;
    std::unique_ptr<XmlTagInfo> tag;
    if (!ReadLenientTextTag(cursor, tag)) {
      LogError("%s", kReadError);
      return false;
    }
    columnChildren.Append(std::move(tag));
    return true;
  });
}

// allowed-values: either one value record with every value text, or a from
// record followed by a to record. The first of value and from decides which.
bool ParseAllowedValues(NodeCursor& cursor, fh::XmlTagChildAppender& columnChildren) {
  enum class Kind { kNone, kList, kRange };
  Kind kind = Kind::kNone;
  std::vector<std::string> listTexts;
  std::unique_ptr<XmlTagInfo> from;
  std::unique_ptr<XmlTagInfo> to;
  bool ok = ForEachChildElement(cursor, kReadError, [&] {
    if (cursor.IsStartOf("value") && kind != Kind::kRange) {
      kind = Kind::kList;
      std::unique_ptr<XmlTagInfo> value;
      if (!ReadStrictTextTag(cursor, "\n No ending Value tag\n", value)) return false;
      if (const std::string* text = value->FirstValue()) listTexts.push_back(*text);
      return true;
    }
    if (cursor.IsStartOf("from") && kind == Kind::kNone) {
      kind = Kind::kRange;
      return ReadStrictTextTag(cursor, "\nNo Ending FROM tag \n", from);
    }
    if (cursor.IsStartOf("to") && kind == Kind::kRange && !to) {
      return ReadStrictTextTag(cursor, "\nNo ending TO tag \n", to);
    }
    return true;
  });
  if (!ok) return false;
  if (kind == Kind::kList) {
    std::unique_ptr<XmlTagInfo> value = NewTag("value");
    value->values = std::move(listTexts);
    columnChildren.Append(std::move(value));
  } else if (kind == Kind::kRange) {
    columnChildren.Append(std::move(from));
    if (to) columnChildren.Append(std::move(to));  // the sibling of from
  }
  return true;
}

bool IsColumnTextElement(const NodeCursor& cursor) {
  static constexpr const char* kTextElements[] = {"description", "data-type",     "nullable",
                                                  "max-size",    "default-value", "unique"};
  for (const char* name : kTextElements) {
    if (cursor.IsStartOf(name)) return true;
  }
  return false;
}

// The children of one column element.
bool ParseColumnChildren(NodeCursor& cursor, XmlTagInfo* column) {
  fh::XmlTagChildAppender children(column);
  return ForEachChildElement(cursor, kReadError, [&] {
    if (IsColumnTextElement(cursor)) {
      std::unique_ptr<XmlTagInfo> tag;
      if (!ReadLenientTextTag(cursor, tag)) {
        LogError("%s", kReadError);
        return false;
      }
      children.Append(std::move(tag));
      return true;
    }
    if (cursor.IsStartOf("uniquevalue-generation")) {
      return ParseUniqueValueGeneration(cursor, children);
    }
    if (cursor.IsStartOf("allowed-values")) return ParseAllowedValues(cursor, children);
    return true;
  });
}

bool ParseColumns(NodeCursor& cursor, XmlTagInfo* columnsTag) {
  fh::XmlTagChildAppender columns(columnsTag);
  bool listEnded = false;
  return ForEachChildElement(cursor, kReadError, [&] {
    if (listEnded) return true;
    if (!cursor.IsStartOf("column")) {
      listEnded = true;  // an unknown element ends the column list
      return true;
    }
    XmlTagInfo* column = columns.Append(NewTagWithAttributes(cursor));
    return ParseColumnChildren(cursor, column);
  });
}

bool ParsePrimaryKey(NodeCursor& cursor, XmlTagInfo* primaryKey) {
  fh::XmlTagChildAppender keyColumns(primaryKey);
  return ForEachChildElement(cursor, kReadError, [&] {
    if (!cursor.IsStartOf("primary-key-column")) return true;
    std::unique_ptr<XmlTagInfo> tag;
    if (!ReadStrictTextTag(cursor, "\nMissing primary-key-column end tag\n", tag)) return false;
    keyColumns.Append(std::move(tag));
    return true;
  });
}

constexpr const char* kMissingFkColumnsEnd = "\nMissing end FK-COLUMNS\n";

// fk-column: fk-local-column first, then fk-reference-column.
bool ParseFkColumn(NodeCursor& cursor, XmlTagInfo* fkColumn) {
  fh::XmlTagChildAppender pair(fkColumn);
  bool haveLocal = false;
  bool haveReference = false;
  return ForEachChildElement(cursor, kMissingFkColumnsEnd, [&] {
    std::unique_ptr<XmlTagInfo> tag;
    if (!haveLocal && cursor.IsStartOf("fk-local-column")) {
      if (!ReadStrictTextTag(cursor, "\n Missing endof FK-LOCAL-COLUMN tag\n", tag)) return false;
      haveLocal = true;
    } else if (haveLocal && !haveReference && cursor.IsStartOf("fk-reference-column")) {
      if (!ReadStrictTextTag(cursor, "\nMissing endof FK-REFERENCE-COLUMN\n", tag)) return false;
      haveReference = true;
    } else {
      return true;
    }
    pair.Append(std::move(tag));
    return true;
  });
}

bool ParseFkColumns(NodeCursor& cursor, XmlTagInfo* fkColumns) {
  fh::XmlTagChildAppender pairs(fkColumns);
  return ForEachChildElement(cursor, kMissingFkColumnsEnd, [&] {
    if (!cursor.IsStartOf("fk-column")) {
      LogError("%s", kMissingFkColumnsEnd);
      return false;
    }
    XmlTagInfo* fkColumn = pairs.Append(NewTag(cursor.name()));
    return ParseFkColumn(cursor, fkColumn);
  });
}

bool ParseForeignKey(NodeCursor& cursor, XmlTagInfo* foreignKey) {
  fh::XmlTagChildAppender children(foreignKey);
  bool haveColumns = false;
  bool haveConstraints = false;
  return ForEachChildElement(cursor, kReadError, [&] {
    if (!haveColumns && cursor.IsStartOf("fk-columns")) {
      haveColumns = true;
      XmlTagInfo* fkColumns = children.Append(NewTag(cursor.name()));
      return ParseFkColumns(cursor, fkColumns);
    }
    if (!haveConstraints && cursor.IsStartOf("fk-constraints")) {
      haveConstraints = true;
      std::unique_ptr<XmlTagInfo> tag;
      if (!ReadStrictTextTag(cursor, "\nMissing endof FK-CONSTRAINTS tag\n", tag)) return false;
      children.Append(std::move(tag));
    }
    return true;
  });
}

bool ParseForeignKeys(NodeCursor& cursor, XmlTagInfo* foreignKeys) {
  fh::XmlTagChildAppender keys(foreignKeys);
  return ForEachChildElement(cursor, kReadError, [&] {
    if (!cursor.IsStartOf("foreign-key")) return true;
    XmlTagInfo* foreignKey = keys.Append(NewTagWithAttributes(cursor));
    return ParseForeignKey(cursor, foreignKey);
  });
}

// The sections of a table, in the order they may appear.
bool ParseTableChildren(NodeCursor& cursor, XmlTagInfo* table) {
  fh::XmlTagChildAppender sections(table);
  bool haveDescription = false;
  bool haveColumns = false;
  bool havePrimaryKey = false;
  bool haveForeignKeys = false;
  return ForEachChildElement(cursor, kReadError, [&] {
    if (!haveColumns && !haveDescription && cursor.IsStartOf("description")) {
      haveDescription = true;
      std::unique_ptr<XmlTagInfo> tag;
      if (!ReadLenientTextTag(cursor, tag)) {
        LogError("%s", kReadError);
        return false;
      }
      sections.Append(std::move(tag));
      return true;
    }
    if (!haveColumns && cursor.IsStartOf("columns")) {
      haveColumns = true;
      return ParseColumns(cursor, sections.Append(NewTag(cursor.name())));
    }
    if (haveColumns && !havePrimaryKey && !haveForeignKeys && cursor.IsStartOf("primary-key")) {
      havePrimaryKey = true;
      return ParsePrimaryKey(cursor, sections.Append(NewTagWithAttributes(cursor)));
    }
    if (haveColumns && !haveForeignKeys && cursor.IsStartOf("foreign-keys")) {
      haveForeignKeys = true;
      return ParseForeignKeys(cursor, sections.Append(NewTagWithAttributes(cursor)));
    }
    return true;
  });
}

// libxml2 diagnostics, routed into the log: the parser's structured errors
// and the generic messages some parts of libxml2 print directly.
void LogXmlDiagnostic(void* /*context*/, xmlErrorPtr error) {
  if (error == nullptr) return;
  LogDebug("XML %s:%d: %s", error->file != nullptr ? error->file : "(document)", error->line,
           error->message != nullptr ? error->message : "(no message)\n");
}

void LogXmlGenericDiagnostic(void* /*context*/, const char* format, ...) FH_PRINTF_FORMAT(2, 3);
void LogXmlGenericDiagnostic(void* /*context*/, const char* format, ...) {
  if (format == nullptr) return;
  char message[512];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(message, sizeof message, format, arguments);
  va_end(arguments);
  LogDebug("XML %s", message);
}

}  // namespace

void fh::XmlTextReaderCloser::operator()(xmlTextReader* reader) const {
  if (reader != nullptr) xmlFreeTextReader(reader);
}

fh::XmlTextReaderHandle fh::OpenDataDictReader(const char* path) {
  if (path == nullptr || std::strlen(path) > kMaxReaderPathLength) return nullptr;
  try {
    xmlInitParser();
    const std::string normalized = fh::NormalizePath(path);
    return fh::XmlTextReaderHandle(xmlNewTextReaderFilename(normalized.c_str()));
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

namespace fh {

XmlDiagnosticsToLog::XmlDiagnosticsToLog()
    : savedHandler_(xmlStructuredError),
      savedContext_(xmlStructuredErrorContext),
      savedGenericHandler_(xmlGenericError),
      savedGenericContext_(xmlGenericErrorContext) {
  xmlSetStructuredErrorFunc(nullptr, LogXmlDiagnostic);
  xmlSetGenericErrorFunc(nullptr, LogXmlGenericDiagnostic);
}

XmlDiagnosticsToLog::~XmlDiagnosticsToLog() {
  xmlSetStructuredErrorFunc(savedContext_, savedHandler_);
  xmlSetGenericErrorFunc(savedGenericContext_, savedGenericHandler_);
}

}  // namespace fh

void AllocateAndStrcpyAttrib(xmlTextReaderPtr reader, XmlTagInfo* tag) {
  LogTrace("\nInside AllocateAndStrcpyAttrib\n\n");
  if (reader == nullptr || tag == nullptr) return;
  const int count = xmlTextReaderAttributeCount(reader);
  if (count <= 0) return;
  tag->attrNames.reserve(tag->attrNames.size() + static_cast<std::size_t>(count));
  tag->attrValues.reserve(tag->attrValues.size() + static_cast<std::size_t>(count));
  for (const char* name : kKeptAttributes) {
    XmlString value(xmlTextReaderGetAttribute(reader, reinterpret_cast<const xmlChar*>(name)));
    if (!value) continue;
    tag->attrNames.emplace_back(name);
    tag->attrValues.emplace_back(AsText(value));
  }
}

bool ParseTableInfo(xmlTextReaderPtr reader, std::unique_ptr<XmlTagInfo>& tableTree) {
  tableTree.reset();
  if (reader == nullptr) return false;
  try {
    NodeCursor cursor(reader);
    if (!cursor.IsStartOf("table")) {
      LogError("\nTABLE tag missing\n");
      return false;
    }
    tableTree = NewTagWithAttributes(cursor);
    LogTrace("@@@@Parsing Table Info : %s @@@@\n",
             tableTree->attrValues.empty() ? "" : tableTree->attrValues.front().c_str());
    return ParseTableChildren(cursor, tableTree.get());
  } catch (const std::bad_alloc&) {
  } catch (const OutOfMemory&) {
  }
  LogError("MEMORY_ALLOCATION_FAILURE\n");
  return false;
}

bool ParseColumnInfo(xmlTextReaderPtr reader, XmlTagInfo* columnsTag) {
  if (reader == nullptr || columnsTag == nullptr) return false;
  try {
    NodeCursor cursor(reader);
    return ParseColumns(cursor, columnsTag);
  } catch (const std::bad_alloc&) {
  } catch (const OutOfMemory&) {
  }
  LogError("MEMORY_ALLOCATION_FAILURE\n");
  return false;
}
