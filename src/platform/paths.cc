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

std::string_view WithoutTrailingSlashes(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path;
}

std::string_view ParentPart(std::string_view path) {
  const std::string_view rest = WithoutTrailingSlashes(path);
  const std::size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) return std::string_view();
  return WithoutTrailingSlashes(rest.substr(0, slash));
}

std::string ParentOfNormalized(std::string_view normalized) {
  const std::string_view parent = ParentPart(normalized);
  if (!parent.empty()) return std::string(parent);
  // Nothing before the last component: the root for an absolute path.
  return !normalized.empty() && normalized.front() == '/' ? "/" : ".";
}

std::string_view LastComponent(std::string_view normalized) {
  std::size_t slash = normalized.rfind('/');
  return slash == std::string_view::npos ? normalized : normalized.substr(slash + 1);
}

}  // namespace fh
