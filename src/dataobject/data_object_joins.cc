#include "dataobject/data_object_joins.h"

#include "dataobject/data_object_sort_internal.h"
#include "dictionary/foreign_keys.h"

namespace fh::dataobject {
namespace {

Vector* ColumnVector(const TableDefn& table, const std::vector<std::string>& names,
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

bool RelatedByForeignKey(const TableDefn& a, const TableDefn& b) {
  std::vector<std::string> aColumns;
  std::vector<std::string> bColumns;
  return fh::JoinColumns(a, b, aColumns, bColumns);
}

bool AddForeignKeyJoin(SelectQuery* query, const TableDefn& base, const TableDefn& joined,
                       uint8_t joinType) {
  std::vector<std::string> baseColumns;
  std::vector<std::string> joinedColumns;
  if (!fh::JoinColumns(joined, base, joinedColumns, baseColumns)) return false;
  Vector* baseVector = ColumnVector(base, baseColumns, query);
  Vector* joinedVector = ColumnVector(joined, joinedColumns, query);
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
