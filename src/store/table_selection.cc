#include "store/table_selection.h"

#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "lock/object_lock.h"
#include "log/log.h"
#include "query/criteria_parser.h"
#include "store/criteria_evaluator.h"
#include "store/table_rows.h"

namespace {

// The rows of table in list order.
std::vector<RowObject*> AllRows(const TableData& table) {
  std::vector<RowObject*> rows;
  for (RowObject* row = table.firstRow.get(); row != nullptr; row = row->next.get()) {
    rows.push_back(row);
  }
  return rows;
}

// Answers a criteria that fixes the table's whole primary key from its key
// index: true with the matching row in matches, or none. false (matches
// untouched) when the criteria fixes no key, or several rows match, whose
// list order only a scan gives.
bool FindByKey(const TableData& table, const fh::CompiledCriteria& compiled,
               std::vector<RowObject*>& matches) {
  if (!table.keyIndex) return false;
  const std::optional<uint64_t> hash = compiled.KeyHash(table.keyIndex->columns());
  if (!hash) return false;
  RowObject* found = nullptr;
  int count = 0;
  table.keyIndex->ForEachCandidate(*hash, [&](RowObject* row) {
    if (compiled.Matches(*row)) {
      found = row;
      ++count;
    }
  });
  if (count > 1) return false;
  if (found != nullptr) matches.push_back(found);
  return true;
}

// The rows of table that match criteria, in list order. false when the
// criteria cannot be applied to the table. REQUIRES: the criteria lock held.
bool CollectMatches(const TableData& table, const char* criteria,
                    std::vector<RowObject*>& matches) {
  if (table.kind != fh::kTableKindTable || table.columnCount == 0) return false;
  std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(criteria);
  if (!tree) return false;
  std::string unknownColumn;
  std::unique_ptr<fh::CompiledCriteria> compiled =
      fh::CompiledCriteria::Compile(tree.get(), fh::ColumnsOf(table), &unknownColumn);
  if (!compiled) {
    if (!unknownColumn.empty()) {
      LogError("Criteria column %s is not a column of table %s\n", unknownColumn.c_str(),
               table.tableName.c_str());
    }
    return false;
  }
  if (!FindByKey(table, *compiled, matches)) compiled->Filter(table.scanOrder, matches);
  return true;
}

// CollectMatches under the criteria lock.
bool CollectMatchesLocked(const TableData& table, const char* criteria,
                          std::vector<RowObject*>& matches) {
  fh::ObjectLockGuard lock(fh::CriteriaLockAddress());
  try {
    return CollectMatches(table, criteria, matches);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

// A result of table holding rows, cursor reset; none when a row cannot be
// added.
template <typename Rows>
std::unique_ptr<ResultData> MakeResult(const TableData& table, const Rows& rows) {
  std::unique_ptr<ResultData> result = CreateResultData(0, table.columnCount, &table);
  if (!result) return nullptr;
  result->ReserveNodes(rows.size());
  for (RowObject* row : rows) {
    if (!AddRowToResultData(row, result.get())) {
      LogError("not able to Add row \n");
      return nullptr;
    }
  }
  ResetResultDataCursor(result.get());
  return result;
}

}  // namespace

std::unique_ptr<ResultData> SelectRows(const char* tableName, const char* criteria) {
  LogTrace("@@@ Inside SelectRows @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return nullptr;
  try {
    if (criteria == nullptr) return MakeResult(*table, AllRows(*table));
    std::vector<RowObject*> matches;
    if (!CollectMatchesLocked(*table, criteria, matches)) return nullptr;
    return MakeResult(*table, matches);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

std::unique_ptr<ResultData> SelectRowByRowIdx(const char* tableName, int32_t n) {
  LogTrace("@@@ Inside SelectRowByRowIdx @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr || (n > 1 && n > table->rowCount)) return nullptr;
  RowObject* row = table->firstRow.get();
  for (int32_t position = 1; position < n && row != nullptr; ++position) row = row->next.get();
  if (row == nullptr && n > 1) return nullptr;
  std::vector<RowObject*> rows;
  try {
    if (row != nullptr) rows.push_back(row);
    return MakeResult(*table, rows);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

bool DeleteRowObjectByCriteria(const char* tableName, const char* criteria) {
  LogTrace("@@@ Inside DeleteRowObjectByCriteria @@@\n");
  TableData* table = GetTableDataByName(tableName);
  if (table == nullptr || criteria == nullptr) return false;
  std::vector<RowObject*> matches;
  if (!CollectMatchesLocked(*table, criteria, matches)) return false;
  for (RowObject* row : matches) DeleteRowObject(tableName, row);
  return true;
}
