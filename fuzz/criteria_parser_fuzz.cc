// Feeds one input to the criteria parser, both as a criteria text and as raw
// parser input, checks the shape of every tree it builds, and evaluates each
// tree against a small in-memory table with a column of every comparable
// type. The log goes to /dev/null at trace level (or FH_FUZZ_LOG_LEVEL).
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "dictionary/table_defn.h"
#include "log/log_file.h"
#include "query/criteria_parser.h"
#include "store/table_data.h"
#include "store/table_rows.h"
#include "store/table_selection.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Every leaf has a name, an operand and a comparison code; every inner node
// is a connective without them whose children point back at it. Walks
// without recursion: trees may be deep.
void CheckShape(const fh::CriteriaNode* root) {
  std::vector<const fh::CriteriaNode*> pending = {root};
  while (!pending.empty()) {
    const fh::CriteriaNode* node = pending.back();
    pending.pop_back();
    if (node->isLeaf()) {
      Check(node->operatorCode >= fh::kCriteriaLess && node->operatorCode <= fh::kCriteriaNotEqual);
      Check(!node->left && !node->right);
      continue;
    }
    Check(node->operatorCode == fh::kCriteriaAnd || node->operatorCode == fh::kCriteriaOr);
    Check(node->left && node->right);
    Check(node->left->parent == node && node->right->parent == node);
    pending.push_back(node->left.get());
    pending.push_back(node->right.get());
  }
}

ColumnDefnEntry Column(const char* name, const char* type) {
  fh::ColumnDefnSource source;
  source.columnName = name;
  source.dataTypeName = type;
  return *fh::CreateColumnDefn(source);
}

void AddFuzzRow(const char* values[6]) {
  const TableDefn* definition = GetTableDefn("F");
  std::vector<std::optional<fh::ColumnValue>> row;
  for (std::size_t i = 0; i < 6; ++i) {
    if (values[i] == nullptr) {
      row.emplace_back();
      continue;
    }
    int32_t length = static_cast<int32_t>(std::string(values[i]).size());
    row.push_back(ConvertStringToValue(values[i], definition->columns[i].dataType, &length));
  }
  std::unique_ptr<RowObject> made = CreateNewRowObject(std::move(row), {});
  AddNewRow("F", made);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitLogDefaults();
  if (std::FILE* sink = std::fopen("/dev/null", "w")) SetLogFilePtr(sink);
  const char* level = std::getenv("FH_FUZZ_LOG_LEVEL");
  SetLogLevel(level != nullptr ? static_cast<std::uint8_t>(std::atoi(level)) : 4);
  std::vector<ColumnDefnEntry> columns;
  columns.push_back(Column("a", "KES_SQL_TINYINT"));
  columns.push_back(Column("b", "KES_SQL_UNSIGNED_INT"));
  columns.push_back(Column("c", "BIGINT"));
  columns.push_back(Column("d", "FLOAT"));
  columns.push_back(Column("x", "CHAR"));
  columns.push_back(Column("y", "DATE"));
  fh::AddTableDefn(fh::CreateTableDefn("F", std::nullopt, std::move(columns), ConstraintDefn{}));
  CreateTable("F");
  const char* first[6] = {"-5", "4000000000", "-1", "1.5", "bolt", "2021-01-01"};
  const char* second[6] = {"127", "0", "9223372036854775807", "-2", "", nullptr};
  const char* third[6] = {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
  AddFuzzRow(first);
  AddFuzzRow(second);
  AddFuzzRow(third);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<fh::CriteriaNode> tree = ParseCriteria(text.c_str());
  if (tree) {
    Check(tree->parent == nullptr);
    CheckShape(tree.get());
    std::unique_ptr<ResultData> result = SelectRows("F", text.c_str());
    if (result) Check(result->rowCount >= 0 && result->rowCount <= 3);
  }
  std::string reason;
  std::unique_ptr<fh::CriteriaNode> raw = fh::ParseCriteriaInput(text.c_str(), &reason);
  if (raw) CheckShape(raw.get());
  return 0;
}
