#include "dictionary/data_dict_loader.h"

#include <libxml/tree.h>
#include <libxml/xmlerror.h>

#include <memory>
#include <new>
#include <string>

#include "config/config_files.h"
#include "dictionary/data_dict_builder.h"
#include "dictionary/data_dict_checks.h"
#include "dictionary/data_dict_reader.h"
#include "dictionary/xml_tag_info.h"
#include "log/log.h"
#include "util/c_string.h"

namespace {

constexpr const char* kListFileName = "datadictionary.txt";

bool IsDictionaryDescription(xmlTextReaderPtr reader) {
  return xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT &&
         xmlTextReaderDepth(reader) == 1 &&
         xmlStrcasecmp(xmlTextReaderConstName(reader),
                       reinterpret_cast<const xmlChar*>("description")) == 0;
}

bool IsTableStart(xmlTextReaderPtr reader) {
  return xmlTextReaderNodeType(reader) == XML_READER_TYPE_ELEMENT &&
         xmlTextReaderDepth(reader) == 1 &&
         xmlStrcasecmp(xmlTextReaderConstName(reader), reinterpret_cast<const xmlChar*>("table")) ==
             0;
}

// Reads past the content of the element under the reader. false when its
// closing tag cannot be reached.
bool SkipElement(xmlTextReaderPtr reader) {
  if (xmlTextReaderIsEmptyElement(reader) == 1) return true;
  const int depth = xmlTextReaderDepth(reader);
  while (xmlTextReaderRead(reader) == 1) {
    if (xmlTextReaderNodeType(reader) == XML_READER_TYPE_END_ELEMENT &&
        xmlTextReaderDepth(reader) == depth) {
      return true;
    }
  }
  return false;
}

void LoadTable(xmlTextReaderPtr reader, const char* path) {
  const xmlNodePtr node = xmlTextReaderCurrentNode(reader);
  const long nodeLine = node != nullptr ? xmlGetLineNo(node) : -1;
  const int line =
      nodeLine > 0 ? static_cast<int>(nodeLine) : xmlTextReaderGetParserLineNumber(reader);
  std::unique_ptr<XmlTagInfo> tableTree;
  const TableDefn* built = nullptr;
  if (ParseTableInfo(reader, tableTree)) built = LoadTableDefnFromTagInfo(tableTree.get());
  fh::CheckLoadedTable(tableTree.get(), built, path, line);
  FreeXmlTagInfoList(std::move(tableTree));
}

// Loads one listed file: path composed from the list's directory and name.
void LoadListedFile(const std::string& name, const std::string& path) {
  LogDebug("Opening %s\n", path.c_str());
  if (name.size() > fh::kMaxListedFileNameLength || path.size() > fh::kMaxDataPathLength) {
    LogError("Unable to open %s\n", path.c_str());
    fh::ReportDataDictFault(path.c_str(), 0, "the name is too long to be opened");
    return;
  }
  LoadDataDictFromXMLFile(path.c_str());
}

// Loads every file named in the list, each composed with composePath, then
// checks the references between the tables.
template <typename ComposePath>
void LoadListedFiles(std::FILE* list, ComposePath composePath) {
  fh::ResetDataDictChecks();
  std::string name;
  while (fh::ReadConfigToken(list, name)) {
    try {
      std::optional<std::string> path = composePath(name);
      if (path) LoadListedFile(name, *path);
    } catch (const std::bad_alloc&) {
      LogError("MEMORY_ALLOCATION_FAILURE\n");
    }
  }
  fh::CheckTableReferences();
}

}  // namespace

bool LoadAllDataDictFiles() {
  LogTrace("\t@@@@@ Inside LoadAllDataDictFiles() @@@@@\n");
  fh::OpenedConfigFile list = fh::OpenConfigFile(kListFileName);
  if (!list.stream) {
    LogError("Cannot open DataDictionary File.\n");
    return false;
  }
  LoadListedFiles(list.stream.get(), [&](const std::string& name) {
    return fh::ComposeDataPath(list.location, name.c_str());
  });
  return true;
}

bool LoadDataDictFiles(const char* directory) {
  LogTrace("\t@@@@@ Inside LoadDataDictFiles() @@@@@\n");
  if (directory == nullptr) return false;
  fh::ConfigFileStream list;
  try {
    list = fh::OpenDataFileForRead((std::string(directory) + "\\" + kListFileName).c_str());
  } catch (const std::bad_alloc&) {
    return false;
  }
  if (!list) return false;
  LoadListedFiles(list.get(), [&](const std::string& name) -> std::optional<std::string> {
    return std::string(directory) + "\\" + name;
  });
  return true;
}

bool LoadDataDictFromXMLFile(const char* path) {
  LogTrace("\nInside LoadDataDictFromXMLFile() \n\n");
  if (path == nullptr) return false;
  XmlDataParser(path);
  return true;
}

bool XmlDataParser(const char* path) {
  LogTrace("\n Inside XmlDataParser\n");
  if (path == nullptr) return true;
  fh::XmlDiagnosticsToLog diagnostics;
  fh::XmlTextReaderHandle reader = fh::OpenDataDictReader(path);
  if (!reader) {
    LogError("Unable to open %s\n", path);
    fh::ReportDataDictFault(path, 0, "cannot be opened");
    return true;
  }
  xmlResetLastError();
  bool stopped = false;
  int result = xmlTextReaderRead(reader.get());
  while (result == 1) {
    if (IsTableStart(reader.get())) {
      LoadTable(reader.get(), path);
    } else if (IsDictionaryDescription(reader.get()) && !SkipElement(reader.get())) {
      LogError("\nNo Description end tag\n");
      stopped = true;
      break;
    }
    result = xmlTextReaderRead(reader.get());
  }
  int line = xmlTextReaderGetParserLineNumber(reader.get());
  reader.reset();
  if (stopped || result != 0) {
    LogError("%s : failed to parse\n", path);
    const xmlError* error = xmlGetLastError();
    if (error != nullptr && error->line > 0) line = error->line;
    std::string reason =
        error != nullptr && error->message != nullptr ? error->message : "the reader stopped";
    while (!reason.empty() && reason.back() == '\n') reason.pop_back();
    fh::ReportDataDictFault(path, line, "the file does not parse: %s", reason.c_str());
  }
  return true;
}
