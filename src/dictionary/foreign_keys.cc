#include "dictionary/foreign_keys.h"

#include <strings.h>

#include <set>
#include <utility>

namespace fh {
namespace {

bool Same(std::string_view a, std::string_view b) {
  return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return lower;
}

const std::vector<ForeignKeyDefn>* EntriesOf(const TableDefn& table) {
  return table.constraints ? &table.constraints->foreignKeys : nullptr;
}

// Depth-first placement shared by both orders: Place(i) puts every listed
// table that i refers to before i.
class ReferencedFirst {
 public:
  explicit ReferencedFirst(std::vector<const TableDefn*> tables) : tables_(std::move(tables)) {
    state_.assign(tables_.size(), kNew);
  }

  // The positions in placing order; cycles, when given, receives the
  // position of each table whose reference led back to one being placed.
  std::vector<std::size_t> Order(std::vector<std::size_t>* cycles) {
    cycles_ = cycles;
    for (std::size_t i = 0; i < tables_.size(); ++i) Place(i);
    return order_;
  }

 private:
  enum State { kNew, kVisiting, kPlaced };

  int IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < tables_.size(); ++i) {
      if (tables_[i] != nullptr && Same(tables_[i]->tableName, name)) return static_cast<int>(i);
    }
    return -1;
  }

  void Place(std::size_t i) {
    if (state_[i] != kNew) return;
    state_[i] = kVisiting;
    if (const auto* entries = tables_[i] != nullptr ? EntriesOf(*tables_[i]) : nullptr) {
      for (const ForeignKeyDefn& entry : *entries) {
        const int referenced = IndexOf(entry.referenceTable);
        if (referenced < 0 || static_cast<std::size_t>(referenced) == i) continue;
        const auto index = static_cast<std::size_t>(referenced);
        if (state_[index] == kVisiting && cycles_ != nullptr) cycles_->push_back(i);
        Place(index);
      }
    }
    state_[i] = kPlaced;
    order_.push_back(i);
  }

  std::vector<const TableDefn*> tables_;
  std::vector<State> state_;
  std::vector<std::size_t> order_;
  std::vector<std::size_t>* cycles_ = nullptr;
};

}  // namespace

std::vector<ForeignKey> GroupForeignKeys(const TableDefn& table) {
  std::vector<ForeignKey> keys;
  const auto* entries = EntriesOf(table);
  if (entries == nullptr) return keys;
  for (std::size_t start = 0; start < entries->size();) {
    const ForeignKeyDefn& first = (*entries)[start];
    ForeignKey key{
        first.referenceTable, {first.localColumn}, {first.referenceColumn}, first.onDeleteCascade};
    std::size_t next = start + 1;
    while (next < entries->size() && Same((*entries)[next].referenceTable, first.referenceTable) &&
           !Same((*entries)[next].referenceColumn, first.referenceColumn)) {
      key.localColumns.push_back((*entries)[next].localColumn);
      key.referenceColumns.push_back((*entries)[next].referenceColumn);
      ++next;
    }
    keys.push_back(std::move(key));
    start = next;
  }
  return keys;
}

std::vector<ForeignKey> KeysReferencing(const TableDefn& from, std::string_view to) {
  std::vector<ForeignKey> keys;
  for (ForeignKey& key : GroupForeignKeys(from)) {
    if (Same(key.referenceTable, to)) keys.push_back(std::move(key));
  }
  return keys;
}

bool JoinColumns(const TableDefn& from, const TableDefn& to, std::vector<std::string>& fromColumns,
                 std::vector<std::string>& toColumns) {
  std::vector<ForeignKey> keys = KeysReferencing(from, to.tableName);
  if (!keys.empty()) {
    fromColumns = std::move(keys[0].localColumns);
    toColumns = std::move(keys[0].referenceColumns);
    return true;
  }
  keys = KeysReferencing(to, from.tableName);
  if (keys.empty()) return false;
  fromColumns = std::move(keys[0].referenceColumns);
  toColumns = std::move(keys[0].localColumns);
  return true;
}

bool IsPrimaryKeyColumn(const TableDefn& table, std::string_view column) {
  if (!table.constraints) return false;
  for (const std::string& key : table.constraints->primaryKeyColumns) {
    if (Same(key, column)) return true;
  }
  return false;
}

const ForeignKeyDefn* ReferenceOf(const TableDefn& table, std::string_view column) {
  const auto* entries = EntriesOf(table);
  if (entries == nullptr) return nullptr;
  for (const ForeignKeyDefn& entry : *entries) {
    if (Same(entry.localColumn, column)) return &entry;
  }
  return nullptr;
}

bool LeadsToColumn(std::string_view table, std::string_view column, std::string_view root,
                   std::string_view rootColumn) {
  // Breadth over every entry of a column (a column may belong to several
  // keys); each (table, column) is visited once, so cycles end.
  std::vector<std::pair<std::string, std::string>> pending{
      {std::string(table), std::string(column)}};
  std::set<std::string> visited;
  while (!pending.empty()) {
    auto [name, local] = std::move(pending.back());
    pending.pop_back();
    if (Same(name, root) && Same(local, rootColumn)) return true;
    if (!visited.insert(Lower(name) + '\n' + Lower(local)).second) continue;
    const TableDefn* definition = GetTableDefn(name.c_str());
    const auto* entries = definition != nullptr ? EntriesOf(*definition) : nullptr;
    if (entries == nullptr) continue;
    for (const ForeignKeyDefn& entry : *entries) {
      if (Same(entry.localColumn, local))
        pending.emplace_back(entry.referenceTable, entry.referenceColumn);
    }
  }
  return false;
}

namespace {

bool WalkToRoots(std::string_view table, std::string_view column, std::vector<std::string>& path,
                 std::vector<RootColumn>& roots, RootWalkStop& stop) {
  const TableDefn* definition = GetTableDefn(std::string(table).c_str());
  if (definition == nullptr) {
    stop = {std::string(table), false};
    return false;
  }
  for (const std::string& on : path) {
    if (Same(on, table)) {
      stop = {std::string(table), true};
      return false;
    }
  }
  const auto* entries = EntriesOf(*definition);
  if (entries == nullptr || entries->empty()) {
    for (const RootColumn& root : roots) {
      if (Same(root.table, table) && root.column == column) return true;
    }
    roots.push_back({definition->tableName, std::string(column)});
    return true;
  }
  path.emplace_back(table);
  for (const ForeignKeyDefn& entry : *entries) {
    if (!WalkToRoots(entry.referenceTable, entry.referenceColumn, path, roots, stop)) return false;
  }
  path.pop_back();
  return true;
}

}  // namespace

bool RootsOf(std::string_view table, std::string_view column, std::vector<RootColumn>& roots,
             RootWalkStop& stop) {
  std::vector<std::string> path;
  return WalkToRoots(table, column, path, roots, stop);
}

std::vector<const TableDefn*> OrderReferencedFirst(const std::vector<const TableDefn*>& tables) {
  std::vector<const TableDefn*> ordered;
  for (std::size_t i : ReferencedFirst(tables).Order(nullptr)) ordered.push_back(tables[i]);
  return ordered;
}

std::vector<std::string> OrderNamesReferencedFirst(const std::vector<std::string>& names,
                                                   std::vector<std::string>* cycles) {
  std::vector<const TableDefn*> tables;
  for (const std::string& name : names) tables.push_back(GetTableDefn(name.c_str()));
  std::vector<std::size_t> cycleAt;
  std::vector<std::string> ordered;
  for (std::size_t i : ReferencedFirst(tables).Order(&cycleAt)) ordered.push_back(names[i]);
  if (cycles != nullptr) {
    for (std::size_t i : cycleAt) cycles->push_back(names[i]);
  }
  return ordered;
}

}  // namespace fh
