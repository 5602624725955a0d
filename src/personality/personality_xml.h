// The personality file reader: an XML file whose elements declare
// personalities, their constituent tables and the index settings of
// dominant tables, read into the process-wide list of dataobject/
// personality.h.
//
// The file is parsed as a document tree; every element below the root, in
// document order (each element before its children), becomes a DoNode. The
// nodes are then read as follows, element and attribute names compared
// without regard to letter case:
//
//   PersonalityConfiguration  personalityname, description, dominanttableid
//       starts a personality; the elements that follow it and are named
//       ConstituentTable belong to it, up to the first element with another
//       name (or the end of the file).
//   ConstituentTable  tableindex, tableid, fkconstraint_id, mandatory
//       one constituent table, its attributes read in file order. Reading
//       stops at a tableindex of "0" (the entry standing for the dominant
//       table is kept with the attributes read so far). "mandatory" is false
//       only for "false" in any letter case (and when absent). An entry
//       whose tableid is the personality's dominant table (ignoring case) is
//       dropped.
//   DominantTableConfig  dominanttableid, isindexed, nonindexlimit
//       isindexed="true" asks for the dominant table's index table
//       (personality/personality_index.h); nonindexlimit is not used.
//
// Thread safety: the reader keeps no state of its own; the list it appends
// to has its own lock. Reading a file creates index tables in the databases.
#pragma once

#include <libxml/tree.h>

#include <string>
#include <utility>
#include <vector>

// One element of a personality file: its name and its attributes (name,
// value) in document order.
struct DoNode {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;
};

// Appends a DoNode for the element node (nothing for other node kinds) to
// nodes. false with "Cannot Add doNode into doNodeVect.\n" (error) when
// memory is exhausted.
bool CreateDoNodeAndSave(const xmlNode* node, std::vector<DoNode>& nodes);

// Appends a DoNode for node, its following siblings and all their
// descendants, in document order, each element before its children. Walks
// without recursion, so any depth of nesting is safe. false when a node
// could not be saved (the nodes saved so far stay).
bool TraverseNodes(const xmlNode* node, std::vector<DoNode>& nodes);

// Makes a PersonalityDefn of every PersonalityConfiguration node with its
// constituent tables (rules above) and appends it to the list. 1; 0 when a
// personality could not be appended ("Cannot Add personality %s into
// gv_personalityDefnVect.\n") or a constituent could not be added ("Cannot
// Add constituent table %s into constituentTableVect.\n", error); the
// personalities appended before stay.
int CreateAndAddPersonalityDefn(const std::vector<DoNode>& nodes);

// Logs "@@@@ Inside CreatePersonalityFromXMLFile @@@@\n" (trace). Reads the
// personality file at path ('\\' or '/' separators): creates the index
// tables its DominantTableConfig elements ask for (CreateIndexTable; their
// failures are logged and do not change the result), then appends its
// personalities. 1; 0 with "Could not parse file %s\n" (error) when the
// file cannot be parsed as XML, and 0 when a personality could not be
// appended; 99 with "MEMORY_ALLOCATION_FAILURE\n" when memory is exhausted.
int CreatePersonalityFromXMLFile(const char* path);
