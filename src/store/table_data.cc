#include "store/table_data.h"

#include <strings.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "log/log.h"
#include "platform/mutex.h"

namespace {

// The process-wide table list, in creation order. Tables keep their
// addresses while they are in it.
struct TableListState {
  fh::Mutex mutex;
  std::vector<std::unique_ptr<TableData>> tables GUARDED_BY(mutex);
};

TableListState& TableList() {
  // Never destroyed, so that tables stay reachable during static destruction.
  static TableListState* state = new TableListState;
  return *state;
}

// The object whose address keys the criteria lock.
const char criteriaLockKey = 0;

// The position of the table named name (ignoring case), or end.
std::vector<std::unique_ptr<TableData>>::iterator FindTable(
    std::vector<std::unique_ptr<TableData>>& tables, const char* name) {
  return std::find_if(tables.begin(), tables.end(), [name](const std::unique_ptr<TableData>& t) {
    return strcasecmp(t->tableName.c_str(), name) == 0;
  });
}

// Appends table unless one of its name is loaded. The list takes it on true.
bool AppendTable(std::unique_ptr<TableData> table) {
  TableListState& state = TableList();
  fh::MutexLock lock(&state.mutex);
  if (FindTable(state.tables, table->tableName.c_str()) != state.tables.end()) return false;
  state.tables.push_back(std::move(table));
  return true;
}

// Takes every table out of the list (to be freed without the lock held).
std::vector<std::unique_ptr<TableData>> TakeAllTables() {
  TableListState& state = TableList();
  fh::MutexLock lock(&state.mutex);
  return std::exchange(state.tables, {});
}

}  // namespace

TableData::~TableData() {
  // Rows in the blocks are destroyed here and their memory goes with the
  // blocks; a row given to the table frees its own piece.
  RowObject* row = firstRow.get();
  while (row != nullptr) {
    RowObject* next = row->next.get();
    if (row->placement == fh::kRowPlacedInBlock) {
      row->~RowObject();
    } else {
      delete row;
    }
    row = next;
  }
}

const void* fh::CriteriaLockAddress() { return &criteriaLockKey; }

void InitTableList() {
  LogTrace("@@@ Inside InitTableList @@@\n");
  TakeAllTables();
}

bool CreateTable(const char* tableName) {
  LogTrace("@@@ Inside CreateTable @@@\n");
  if (tableName == nullptr) return false;
  const TableDefn* definition = GetTableDefn(tableName);
  if (definition == nullptr) return false;
  try {
    auto table = std::make_unique<TableData>();
    table->tableName = tableName;
    table->kind = fh::kTableKindTable;
    table->tableDefn = definition;
    table->columnCount = static_cast<int32_t>(definition->columns.size());
    table->keyIndex = fh::KeyIndex::ForDefinition(*definition);
    return AppendTable(std::move(table));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

bool CreateCustomViewData(const char* viewName, std::unique_ptr<CustomViewDefn> viewDefn) {
  LogTrace("@@@ Inside CreateCustomViewData @@@\n");
  if (viewName == nullptr || !viewDefn) return false;
  try {
    auto view = std::make_unique<TableData>();
    view->tableName = viewName;
    view->kind = fh::kTableKindCustomView;
    view->columnCount = static_cast<int32_t>(viewDefn->columns.size());
    view->viewDefn = std::move(viewDefn);
    return AppendTable(std::move(view));
  } catch (const std::bad_alloc&) {
    return false;
  }
}

TableData* GetTableDataByName(const char* name) {
  LogTrace("@@@ Inside GetTableDataByName @@@\n");
  if (name == nullptr) return nullptr;
  TableListState& state = TableList();
  fh::MutexLock lock(&state.mutex);
  auto found = FindTable(state.tables, name);
  return found == state.tables.end() ? nullptr : found->get();
}

std::vector<std::string> fh::GetLoadedTableNames() {
  TableListState& state = TableList();
  fh::MutexLock lock(&state.mutex);
  std::vector<std::string> names;
  for (const std::unique_ptr<TableData>& table : state.tables) {
    if (table->kind == fh::kTableKindTable) names.push_back(table->tableName);
  }
  return names;
}

int SortTableByName(const TableData* first, const TableData* second) {
  LogTrace("@@@ Inside SortTableByName @@@\n");
  if (first == nullptr || second == nullptr) return (first != nullptr) - (second != nullptr);
  return std::strcmp(first->tableName.c_str(), second->tableName.c_str());
}

void FreeTableData(std::unique_ptr<TableData> tableData) {
  LogTrace("\t@@@@@ Inside FreeTableData() @@@@@\n");
  if (!tableData) return;
  LogTrace("\t %s is being freed\n", tableData->tableName.c_str());
  tableData.reset();
}

bool UnLoadTable(const char* tableName) {
  LogTrace("\t@@@@@ UnLoadTable() @@@@@\n");
  if (tableName == nullptr) return false;
  std::unique_ptr<TableData> removed;
  {
    TableListState& state = TableList();
    fh::MutexLock lock(&state.mutex);
    auto found = FindTable(state.tables, tableName);
    if (found == state.tables.end()) return false;
    removed = std::move(*found);
    state.tables.erase(found);
  }
  FreeTableData(std::move(removed));
  return true;
}

void UnLoadAllTable() {
  LogTrace("@@@ Inside UnLoadAllTable @@@\n");
  for (std::unique_ptr<TableData>& table : TakeAllTables()) FreeTableData(std::move(table));
}

fh::ColumnSource fh::ColumnsOf(const TableData& table) {
  if (table.kind == fh::kTableKindCustomView)
    return fh::ColumnSource{nullptr, table.viewDefn.get()};
  return fh::ColumnSource{table.tableDefn, nullptr};
}
