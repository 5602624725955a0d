#include "store/table_print.h"

#include <cinttypes>
#include <cstdio>
#include <string>

#include "dictionary/column_types.h"
#include "log/log.h"

namespace {

bool PrintsAsInteger(uint8_t type) {
  return (type >= KES_SQL_TINYINT && type <= KES_SQL_BIGINT && type != KES_SQL_UNSIGNED_SMALLINT) ||
         type == KES_SQL_BOOLEAN;
}

bool PrintsAsText(uint8_t type) {
  return type == KES_SQL_CHAR || type == KES_SQL_NCHAR || type == KES_SQL_TEXT ||
         fh::IsDateTimeColumnType(type);
}

// Appends one value of type and its tab; other codes append nothing.
void AppendValue(std::string& out, const std::optional<fh::ColumnValue>& value, uint8_t type) {
  if (!value) {
    out += "NULL\t";
    return;
  }
  if (PrintsAsInteger(type)) {
    std::optional<int64_t> number = fh::GetIntegerValue(*value, type);
    if (number) out += std::to_string(*number);
  } else if (type == KES_SQL_FLOAT || type == KES_SQL_DOUBLE) {
    std::optional<double> number = fh::GetFloatingValue(*value, type);
    char text[512];
    std::snprintf(text, sizeof text, "%f", number ? *number : 0.0);
    out += text;
  } else if (PrintsAsText(type)) {
    std::optional<std::string> text = ConvertValueToString(&*value, type);
    if (text) out += *text;
  } else {
    return;
  }
  out += '\t';
}

// The rendering of rows described by columns; rows marked deleted are left
// out when skipDeleted.
template <typename Rows>
std::string Render(const fh::ColumnSource& columns, const Rows& rows, bool skipDeleted) {
  std::string out;
  const int32_t count = fh::ColumnCountOf(columns);
  for (int32_t i = 0; i < count; ++i) {
    out += fh::ColumnNameAt(columns, i);
    out += '\t';
  }
  out += '\n';
  rows([&](const RowObject& row) {
    if (skipDeleted && (row.state & fh::kRowDeleted) != 0) return;
    for (int32_t i = 0; i < count; ++i) {
      const auto at = static_cast<std::size_t>(i);
      AppendValue(out, at < row.values.size() ? row.values[at] : std::nullopt,
                  fh::ColumnTypeAt(columns, i));
    }
    out += '\n';
  });
  return out;
}

std::string RenderTable(const TableData& table) {
  return Render(
      fh::ColumnsOf(table),
      [&](auto visit) {
        for (const RowObject* row = table.firstRow.get(); row != nullptr; row = row->next.get()) {
          visit(*row);
        }
      },
      false);
}

const TableData* FindView(const char* viewName) {
  const TableData* table = GetTableDataByName(viewName);
  return table != nullptr && table->kind == fh::kTableKindCustomView ? table : nullptr;
}

std::string Logged(std::string text) {
  LogTrace("String Value of Relvar Data\n %s\n", text.c_str());
  return text;
}

}  // namespace

void PrintTableData(const char* tableName) {
  LogTrace("@@@ Inside PrintTableData @@@\n");
  const TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return;
  if (table->kind == fh::kTableKindCustomView) {
    PrintCustomViewData(tableName);
    return;
  }
  LogDebug("%s", RenderTable(*table).c_str());
}

std::optional<std::string> ToStringTableData(const char* tableName) {
  LogTrace("@@@ Inside ToStringTableData @@@\n");
  const TableData* table = GetTableDataByName(tableName);
  if (table == nullptr) return std::nullopt;
  if (table->kind == fh::kTableKindCustomView) return ToStringCustomViewData(tableName);
  return Logged(RenderTable(*table));
}

void PrintResultData(const ResultData* result) {
  LogTrace("\t@@@@@ Inside PrintResultData() @@@@@\n");
  if (result == nullptr) return;
  LogDebug("%s", Render(
                     result->columns(),
                     [&](auto visit) {
                       for (const fh::ResultNode* node = result->first.get(); node != nullptr;
                            node = node->next.get()) {
                         if (node->row != nullptr) visit(*node->row);
                       }
                     },
                     true)
                     .c_str());
}

void PrintCustomViewData(const char* viewName) {
  LogTrace("@@@ Inside PrintCustomViewData @@@\n");
  const TableData* view = FindView(viewName);
  if (view != nullptr) LogDebug("%s", RenderTable(*view).c_str());
}

std::optional<std::string> ToStringCustomViewData(const char* viewName) {
  LogTrace("@@@ Inside ToStringCustomViewData @@@\n");
  const TableData* view = FindView(viewName);
  if (view == nullptr) return std::nullopt;
  return Logged(RenderTable(*view));
}
