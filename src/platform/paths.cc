#include "platform/paths.h"

namespace fh {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

}  // namespace

std::string NormalizePath(std::string_view path) {
  std::string normalized;
  normalized.reserve(path.size());
  bool previousWasSeparator = false;
  for (char c : path) {
    if (IsSeparator(c)) {
      if (!previousWasSeparator) normalized.push_back('/');
      previousWasSeparator = true;
    } else {
      normalized.push_back(c);
      previousWasSeparator = false;
    }
  }
  return normalized;
}

std::string ParentOfNormalized(std::string_view normalized) {
  std::string_view trimmed = normalized;
  while (trimmed.size() > 1 && trimmed.back() == '/') trimmed.remove_suffix(1);
  std::size_t slash = trimmed.rfind('/');
  if (slash == std::string_view::npos) return ".";
  if (slash == 0) return "/";
  return std::string(trimmed.substr(0, slash));
}

std::string_view LastComponent(std::string_view normalized) {
  std::size_t slash = normalized.rfind('/');
  return slash == std::string_view::npos ? normalized : normalized.substr(slash + 1);
}

}  // namespace fh
