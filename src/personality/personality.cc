#include "personality/personality.h"

#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "log/log.h"
#include "platform/mutex.h"
#include "platform/no_destructor.h"
#include "platform/thread_annotations.h"

namespace {

struct PersonalityState {
  fh::Mutex mutex;
  // none until InitPersonality; the definitions never move once appended.
  std::optional<std::vector<std::unique_ptr<PersonalityDefn>>> gv_personalityDefnVect
      GUARDED_BY(mutex);
};

PersonalityState& State() {
  static fh::NoDestructor<PersonalityState> state;
  return state.get();
}

const PersonalityDefn* FindDefn(PersonalityState& state, const char* name) REQUIRES(state.mutex) {
  if (!state.gv_personalityDefnVect) return nullptr;
  for (const auto& definition : *state.gv_personalityDefnVect) {
    if (definition->name == name) return definition.get();
  }
  return nullptr;
}

const char* TextOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : "(null)";
}

std::string FormatDefn(const PersonalityDefn& definition) {
  std::string text = "\nPersonality Name: " + definition.name + "\n";
  text += std::string("Description: ") + TextOrNull(definition.description) + "\n";
  text += "Dominant Table: " + definition.dominantTable + "\n\n";
  text += "Constituent Table Information\n";
  for (const ConstituentTableDefn& table : definition.constituentTables) {
    text += "Constituent Table Name: " + table.tableName + "\n";
    text += "Constituent Table Index: " + std::to_string(table.tableIndex) + "\n";
    text += std::string("Foreign Key: ") + TextOrNull(table.foreignKey) + "\n";
    text += "Mandatory Status: " + std::to_string(table.mandatory) + "\n\n";
  }
  return text;
}

}  // namespace

int InitPersonality() {
  LogTrace("@@@@ Inside InitPersonality @@@@\n");
  PersonalityState& state = State();
  fh::MutexLock lock(&state.mutex);
  try {
    if (!state.gv_personalityDefnVect) state.gv_personalityDefnVect.emplace();
    return 1;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return 99;
  }
}

bool fh::AddPersonalityDefn(PersonalityDefn definition) {
  PersonalityState& state = State();
  const std::string name = definition.name;
  {
    fh::MutexLock lock(&state.mutex);
    try {
      if (state.gv_personalityDefnVect) {
        state.gv_personalityDefnVect->push_back(
            std::make_unique<PersonalityDefn>(std::move(definition)));
        return true;
      }
    } catch (const std::bad_alloc&) {
    }
  }
  LogError("Cannot Add personality %s into gv_personalityDefnVect.\n", name.c_str());
  return false;
}

const PersonalityDefn* GetPersonalityDefn(const char* name) {
  LogTrace("@@@@ Inside GetPersonalityDefn @@@@\n");
  if (name == nullptr) {
    LogError("Cannot get personality.  Personality name is NULL\n");
    return nullptr;
  }
  const PersonalityDefn* found = nullptr;
  {
    PersonalityState& state = State();
    fh::MutexLock lock(&state.mutex);
    found = FindDefn(state, name);
  }
  if (found == nullptr) LogError("Personality %s not found in gv_personalityDefnVect\n", name);
  return found;
}

int PrintPersonalityDefn(const char* name) {
  LogTrace("@@@@ Inside PrintPersonalityDefn @@@@\n");
  const PersonalityDefn* definition = GetPersonalityDefn(name);
  if (definition == nullptr) return 0;
  try {
    LogDebug("\n%s\n", FormatDefn(*definition).c_str());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
  return 1;
}

std::optional<std::vector<std::string>> GetConstituentTables(const char* personalityName) {
  LogTrace("@@@@ Inside GetConstituentTables @@@@\n");
  const PersonalityDefn* definition = GetPersonalityDefn(personalityName);
  if (definition == nullptr) return std::nullopt;
  try {
    std::vector<std::string> names;
    for (const ConstituentTableDefn& table : definition->constituentTables) {
      if (!table.tableName.empty()) names.push_back(table.tableName);
    }
    return names;
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
    return std::nullopt;
  }
}

std::optional<std::vector<std::string>> GetDominantTables() {
  LogTrace("@@@@ Inside GetDominantTables @@@@\n");
  PersonalityState& state = State();
  fh::MutexLock lock(&state.mutex);
  if (!state.gv_personalityDefnVect || state.gv_personalityDefnVect->empty()) return std::nullopt;
  try {
    std::vector<std::string> names;
    for (const auto& definition : *state.gv_personalityDefnVect) {
      names.push_back(definition->dominantTable);
    }
    return names;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

std::vector<std::string> GetPersonalityNames() {
  LogTrace("@@@@ Inside GetPersonalityNames @@@@\n");
  PersonalityState& state = State();
  fh::MutexLock lock(&state.mutex);
  std::vector<std::string> names;
  if (!state.gv_personalityDefnVect) return names;
  try {
    for (const auto& definition : *state.gv_personalityDefnVect) names.push_back(definition->name);
  } catch (const std::bad_alloc&) {
    names.clear();
  }
  return names;
}

void fh::ResetPersonalitiesForTesting() {
  PersonalityState& state = State();
  fh::MutexLock lock(&state.mutex);
  state.gv_personalityDefnVect.reset();
}
