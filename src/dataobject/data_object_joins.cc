#include "dataobject/data_object_joins.h"

#include <strings.h>

#include "dataobject/data_object_internal.h"

namespace fh::dataobject {
namespace {

Vector* JoinColumns(const TableDefn& table, const std::vector<std::string>& names,
                    SelectQuery* query) {
  Vector* columns = CreateColumnVector(query->pool);
  if (columns == nullptr) return nullptr;
  for (const std::string& name : names) {
    ColumnRef* ref = CreateListColumnRef(table.tableName.c_str(), nullptr, name.c_str(), nullptr, 0,
                                         0, kAggregateNone, query->pool);
    if (ref == nullptr || !AddColumnToVector(query->pool, ref, columns)) return nullptr;
  }
  return columns;
}

}  // namespace

bool AddAllColumns(SelectQuery* query, const TableDefn& table) {
  for (const ColumnDefnEntry& column : table.columns) {
    ColumnRef* ref = CreateColumnRef(table.tableName.c_str(), nullptr, column.columnName.c_str(),
                                     nullptr, 0, column.dataType, kAggregateNone, query->pool);
    if (ref == nullptr || !AddColumnToSelectQuery(query, ref)) return false;
  }
  return true;
}

bool ForeignKeyColumns(const TableDefn& from, const TableDefn& to,
                       std::vector<std::string>& fromColumns, std::vector<std::string>& toColumns) {
  if (!from.constraints) return false;
  bool inKey = false;
  for (const ForeignKeyDefn& key : from.constraints->foreignKeys) {
    if (strcasecmp(key.referenceTable.c_str(), to.tableName.c_str()) == 0) {
      fromColumns.push_back(key.localColumn);
      toColumns.push_back(key.referenceColumn);
      inKey = true;
    } else if (inKey) {
      break;
    }
  }
  return inKey;
}

bool RelatedByForeignKey(const TableDefn& a, const TableDefn& b) {
  std::vector<std::string> aColumns;
  std::vector<std::string> bColumns;
  return ForeignKeyColumns(a, b, aColumns, bColumns) || ForeignKeyColumns(b, a, bColumns, aColumns);
}

bool AddForeignKeyJoin(SelectQuery* query, const TableDefn& base, const TableDefn& joined,
                       uint8_t joinType) {
  std::vector<std::string> baseColumns;
  std::vector<std::string> joinedColumns;
  if (!ForeignKeyColumns(joined, base, joinedColumns, baseColumns) &&
      !ForeignKeyColumns(base, joined, baseColumns, joinedColumns))
    return false;
  Vector* baseVector = JoinColumns(base, baseColumns, query);
  Vector* joinedVector = JoinColumns(joined, joinedColumns, query);
  if (baseVector == nullptr || joinedVector == nullptr) return false;
  Join* join = CreateJoin(base.tableName.c_str(), nullptr, joined.tableName.c_str(), nullptr,
                          joinType, baseVector, joinedVector, query->pool);
  return join != nullptr && AddJoin(query, join) && AddAllColumns(query, joined);
}

SelectQuery* JoinedQueryOverTables(const std::vector<std::string>& tables) {
  std::vector<const TableDefn*> ordered;
  for (const std::string& name : SortTableNamesByFK(tables)) {
    const TableDefn* table = GetTableDefn(name.c_str());
    if (table == nullptr) return nullptr;
    ordered.push_back(table);
  }
  if (ordered.empty()) return nullptr;
  SelectQuery* query = CreateSelectQuery();
  bool built = query != nullptr && AddAllColumns(query, *ordered[0]);
  if (built && ordered.size() == 1) {
    TableRef* table = CreateTableRef(ordered[0]->tableName.c_str(), nullptr, query->pool);
    built = table != nullptr && AddTable(query, table);
  }
  for (std::size_t i = 1; built && i < ordered.size(); ++i) {
    const TableDefn* base = nullptr;
    for (std::size_t j = 0; j < i && base == nullptr; ++j) {
      if (RelatedByForeignKey(*ordered[j], *ordered[i])) base = ordered[j];
    }
    built = base != nullptr && AddForeignKeyJoin(query, *base, *ordered[i], LEFT_JOIN);
  }
  if (built) return query;
  FreeSelectQuery(query);
  return nullptr;
}

}  // namespace fh::dataobject
