// Personalities: named families of tables that together describe one business
// object, one dominant table (whose primary key identifies the object) and
// its constituent tables (which refer to the dominant table by foreign key).
// Personalities are read from XML files (personality/personality_xml.h) into
// one process-wide list, gv_personalityDefnVect, and retrieved as data
// objects (personality/personality_retrieval.h).
//
// The list. InitPersonality creates it (empty) once; every personality file
// read afterwards appends its personalities in file order. Definitions are
// never changed after they were appended and live until the process ends
// (or ResetPersonalitiesForTesting): a pointer handed out by
// GetPersonalityDefn stays valid that long. Lookups find the first
// definition appended under a name (names compare exactly).
//
// Thread safety: the list is guarded by one internal mutex; every function
// here may be called from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// One constituent table of a personality.
struct ConstituentTableDefn {
  std::string dominantTable;  // the personality's dominant table
  std::string tableName;      // "tableid"; empty when the file gave none
  int32_t tableIndex = 0;     // "tableindex"; 0 stands for the dominant table itself
  uint8_t mandatory = 0;      // "mandatory": 0 only for "false" (any case) or no attribute
  std::optional<std::string> foreignKey;  // "fkconstraint_id", as written in the file
};

struct PersonalityDefn {
  std::string name;           // "personalityname"
  std::string dominantTable;  // "dominanttableid"
  std::optional<std::string> description;
  std::vector<ConstituentTableDefn> constituentTables;  // in file order
};

// Logs "@@@@ Inside InitPersonality @@@@\n" (trace). Creates the empty list
// when it does not exist yet (a later call keeps the list as it is); 1. 99
// with "MEMORY_ALLOCATION_FAILURE\n" (error) when memory is exhausted.
int InitPersonality();

namespace fh {
// Appends definition to the list, which takes it. false with "Cannot Add
// personality %s into gv_personalityDefnVect.\n" (error) when the list was
// never created (InitPersonality) or memory is exhausted.
bool AddPersonalityDefn(PersonalityDefn definition);
}  // namespace fh

// Logs "@@@@ Inside GetPersonalityDefn @@@@\n" (trace). The first definition
// named name, or none: "Cannot get personality.  Personality name is NULL\n"
// for a null name, "Personality %s not found in gv_personalityDefnVect\n"
// for an unknown one (both error).
const PersonalityDefn* GetPersonalityDefn(const char* name);

// Logs "@@@@ Inside PrintPersonalityDefn @@@@\n" (trace), then the
// definition as one debug line "\n%s\n" of "\nPersonality Name: %s\n",
// "Description: %s\n", "Dominant Table: %s\n\n", "Constituent Table
// Information\n" and per constituent "Constituent Table Name: %s\n",
// "Constituent Table Index: %d\n", "Foreign Key: %s\n", "Mandatory Status:
// %u\n\n" (an absent text prints as "(null)"). 1; 0 for a null name or an
// unknown personality (logged as by GetPersonalityDefn).
int PrintPersonalityDefn(const char* name);

// Logs "@@@@ Inside GetConstituentTables @@@@\n" (trace). The names of the
// personality's constituent tables in file order (an entry without a table
// name is left out); none for an unknown personality.
std::optional<std::vector<std::string>> GetConstituentTables(const char* personalityName);

// Logs "@@@@ Inside GetDominantTables @@@@\n" (trace). The dominant table of
// every personality in list order (one per personality, repeats included);
// none when there are no personalities.
std::optional<std::vector<std::string>> GetDominantTables();

// Logs "@@@@ Inside GetPersonalityNames @@@@\n" (trace). Every personality's
// name in list order (empty when there are none).
std::vector<std::string> GetPersonalityNames();

namespace fh {
// Tests only: frees every definition and forgets the list (InitPersonality
// must run again before personalities can be added).
void ResetPersonalitiesForTesting();
}  // namespace fh
