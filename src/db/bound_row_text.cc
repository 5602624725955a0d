#include "db/bound_row_text.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "log/log.h"

namespace fh {
namespace {

constexpr std::size_t kShownTextBytes = 64;

std::string ShowValue(const BoundValue& value) {
  switch (value.kind) {
    case BoundKind::kNull:
      return "NULL";
    case BoundKind::kInteger:
      return std::to_string(value.integer);
    case BoundKind::kUnsigned:
      return std::to_string(value.unsignedInteger);
    case BoundKind::kDouble: {
      char text[32];
      std::snprintf(text, sizeof text, "%.17g", value.real);
      return text;
    }
    case BoundKind::kBlob:
      return "<" + std::to_string(value.length) + " bytes>";
    default:
      break;
  }
  const std::size_t shown = value.bytes != nullptr ? std::min(value.length, kShownTextBytes) : 0;
  std::string text = "'";
  for (std::size_t i = 0; i < shown; ++i) {
    if (value.bytes[i] == '\'') text += '\'';
    text += value.bytes[i];
  }
  return text + (shown < value.length ? "...'" : "'");
}

}  // namespace

std::string ShowBoundRow(const BoundValue* row, int count) {
  std::string shown = "(";
  for (int column = 0; column < count; ++column) {
    if (column > 0) shown += ", ";
    shown += ShowValue(row[column]);
  }
  return shown + ")";
}

void LogFailingBoundRow(const BoundValue* row, int count, int number) {
  try {
    LogError("Failing row %d: %s\n", number, ShowBoundRow(row, count).c_str());
  } catch (const std::bad_alloc&) {
    LogError("MEMORY_ALLOCATION_FAILURE\n");
  }
}

}  // namespace fh
