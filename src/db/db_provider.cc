#include "db/db_provider.h"

#include <cstring>
#include <new>
#include <vector>

#include "db/conn_params.h"
#include "db/connection_pool.h"
#include "db/odbc/odbc_provider.h"
#include "db/sqlite/sqlite_provider.h"
#include "log/log.h"
#include "platform/mutex.h"

namespace {

struct ProviderState {
  fh::Mutex mutex;
  std::vector<const DBProvider*> registry GUARDED_BY(mutex);
  const DBProvider* slots[fh::kProviderSlotCount] GUARDED_BY(mutex) = {};
};

ProviderState& State() {
  static ProviderState state;
  return state;
}

bool NameIs(const DBProvider* provider, const char* name) {
  return provider != nullptr && provider->name != nullptr && name != nullptr &&
         std::strcmp(provider->name, name) == 0;
}

const DBProvider* FindRegistered(ProviderState& state, const char* name) REQUIRES(state.mutex) {
  for (const DBProvider* provider : state.registry) {
    if (NameIs(provider, name)) return provider;
  }
  return nullptr;
}

// The slot holding name, scanning up to the first empty slot; -1 if none.
int FindSlot(ProviderState& state, const char* name) REQUIRES(state.mutex) {
  for (int index = 0; index < fh::kProviderSlotCount && state.slots[index] != nullptr; ++index) {
    if (NameIs(state.slots[index], name)) return index;
  }
  return -1;
}

}  // namespace

bool RegisterDBProvider(const DBProvider* provider) {
  if (provider == nullptr) return false;
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  try {
    state.registry.push_back(provider);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

const DBProvider* FindRegisteredDBProvider(const char* name) {
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  return FindRegistered(state, name);
}

bool InitDBProvider() {
  {
    ProviderState& state = State();
    fh::MutexLock lock(&state.mutex);
    if (state.slots[0] != nullptr) {
      LogError("InitDBProvider Failed as already initialized\n");
      return false;
    }
    for (const DBProvider*& slot : state.slots) slot = nullptr;
  }
  RegisterDBProvider(&kODBCProvider);
  RegisterDBProvider(&kSqliteProvider);
  LoadDBProvider("ODBC");
  LoadDBProvider(fh::kSqliteProviderName);
  FreeAllConnParamsEntries();
  FreeConnectionPool();
  return true;
}

bool LoadDBProvider(const char* name) {
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  for (const DBProvider*& slot : state.slots) {
    if (slot != nullptr) continue;
    slot = FindRegistered(state, name);
    return slot != nullptr;
  }
  return false;
}

int GetDBProviderIndex(const char* name) {
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  return FindSlot(state, name);
}

bool UnloadDBProvider(const char* name) {
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  const int index = FindSlot(state, name);
  if (index < 0) return false;
  state.slots[index] = nullptr;
  return true;
}

const DBProvider* fh::GetDBProviderAt(int index) {
  if (index < 0 || index >= fh::kProviderSlotCount) return nullptr;
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  return state.slots[index];
}

void fh::ResetDBProvidersForTesting() {
  ProviderState& state = State();
  fh::MutexLock lock(&state.mutex);
  state.registry.clear();
  for (const DBProvider*& slot : state.slots) slot = nullptr;
}
