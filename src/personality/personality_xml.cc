#include "personality/personality_xml.h"

#include <libxml/parser.h>
#include <strings.h>

#include <cstdlib>
#include <memory>
#include <new>

#include "log/log.h"
#include "personality/personality.h"
#include "personality/personality_index.h"
#include "platform/paths.h"

namespace {

struct DocFree {
  void operator()(xmlDoc* doc) const { xmlFreeDoc(doc); }
};

bool NameIs(const std::string& name, const char* expected) {
  return strcasecmp(name.c_str(), expected) == 0;
}

std::string AttributeValue(const xmlNode* node, const xmlAttr* attr) {
  xmlChar* text = xmlNodeListGetString(node->doc, attr->children, 1);
  std::string value = text != nullptr ? reinterpret_cast<const char*>(text) : "";
  xmlFree(text);
  return value;
}

PersonalityDefn PersonalityOf(const DoNode& node) {
  PersonalityDefn definition;
  for (const auto& [name, value] : node.attributes) {
    if (NameIs(name, "personalityname")) {
      definition.name = value;
    } else if (NameIs(name, "description")) {
      definition.description = value;
    } else if (NameIs(name, "dominanttableid")) {
      definition.dominantTable = value;
    }
  }
  return definition;
}

ConstituentTableDefn ConstituentOf(const DoNode& node, const std::string& dominantTable) {
  ConstituentTableDefn table;
  table.dominantTable = dominantTable;
  for (const auto& [name, value] : node.attributes) {
    if (NameIs(name, "tableindex")) {
      table.tableIndex = static_cast<int32_t>(std::strtol(value.c_str(), nullptr, 10));
      if (value == "0") break;  // the entry standing for the dominant table
    } else if (NameIs(name, "tableid")) {
      table.tableName = value;
    } else if (NameIs(name, "fkconstraint_id")) {
      table.foreignKey = value;
    } else if (NameIs(name, "mandatory")) {
      table.mandatory = strcasecmp(value.c_str(), "false") == 0 ? 0 : 1;
    }
  }
  return table;
}

}  // namespace

bool CreateDoNodeAndSave(const xmlNode* node, std::vector<DoNode>& nodes) {
  if (node == nullptr || node->type != XML_ELEMENT_NODE) return true;
  try {
    DoNode saved;
    saved.name = reinterpret_cast<const char*>(node->name);
    for (const xmlAttr* attr = node->properties; attr != nullptr; attr = attr->next) {
      saved.attributes.emplace_back(reinterpret_cast<const char*>(attr->name),
                                    AttributeValue(node, attr));
    }
    nodes.push_back(std::move(saved));
    return true;
  } catch (const std::bad_alloc&) {
    LogError("Cannot Add doNode into doNodeVect.\n");
    return false;
  }
}

bool TraverseNodes(const xmlNode* node, std::vector<DoNode>& nodes) {
  // Pre-order without recursion: descend to the first child, else move to
  // the next sibling, climbing back up to the first ancestor that has one.
  const xmlNode* const top = node != nullptr ? node->parent : nullptr;
  while (node != nullptr) {
    if (!CreateDoNodeAndSave(node, nodes)) return false;
    if (node->type == XML_ELEMENT_NODE && node->children != nullptr) {
      node = node->children;
      continue;
    }
    while (node != nullptr && node->next == nullptr) {
      node = node->parent;
      if (node == top) return true;
    }
    if (node != nullptr) node = node->next;
  }
  return true;
}

int CreateAndAddPersonalityDefn(const std::vector<DoNode>& nodes) {
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    if (!NameIs(nodes[i].name, "PersonalityConfiguration")) continue;
    PersonalityDefn definition = PersonalityOf(nodes[i]);
    for (; i + 1 < nodes.size() && NameIs(nodes[i + 1].name, "ConstituentTable"); ++i) {
      ConstituentTableDefn table = ConstituentOf(nodes[i + 1], definition.dominantTable);
      if (strcasecmp(table.tableName.c_str(), definition.dominantTable.c_str()) == 0) continue;
      try {
        definition.constituentTables.push_back(std::move(table));
      } catch (const std::bad_alloc&) {
        LogError("Cannot Add constituent table %s into constituentTableVect.\n",
                 table.tableName.c_str());
        return 0;
      }
    }
    if (!fh::AddPersonalityDefn(std::move(definition))) return 0;
  }
  return 1;
}

int CreatePersonalityFromXMLFile(const char* path) {
  LogTrace("@@@@ Inside CreatePersonalityFromXMLFile @@@@\n");
  if (path == nullptr) {
    LogError("Could not parse file %s\n", "(null)");
    return 0;
  }
  try {
    // libxml2 takes '/' only; configuration paths may use '\\'.
    std::unique_ptr<xmlDoc, DocFree> doc(xmlParseFile(fh::NormalizePath(path).c_str()));
    const xmlNode* root = doc != nullptr ? xmlDocGetRootElement(doc.get()) : nullptr;
    if (root == nullptr) {
      LogError("Could not parse file %s\n", path);
      return 0;
    }
    std::vector<DoNode> nodes;
    TraverseNodes(root->children, nodes);
    doc.reset();
    CreateIndexTable(nodes);
    return CreateAndAddPersonalityDefn(nodes);
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return 99;
  }
}
