#include "logging/directories.h"

#include <cerrno>
#include <string_view>

#include "platform/files.h"

namespace fh {
namespace {

std::string_view WithoutTrailingSlashes(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  return path;
}

}  // namespace
}  // namespace fh

int MakeDirectory(const char* path) {
  if (path == nullptr) return EINVAL;
  return MakeOneDirectory(path);
}

int MakeDirectoryPath(const char* path) {
  const int first = MakeDirectory(path);
  if (first == EEXIST) return 1;
  if (first != ENOENT) return first;
  const std::string parent = GetParentPath(path);
  if (parent.empty()) return first;  // no parent named: nothing more to create
  const int parentResult = MakeDirectoryPath(parent.c_str());
  // 1: the parent appeared meanwhile (another process made it); go on too.
  if (parentResult != 0 && parentResult != 1) return parentResult;
  const int last = MakeDirectory(path);
  return last == EEXIST ? 1 : last;
}

std::string GetParentPath(const char* path) {
  if (path == nullptr) return std::string();
  std::string_view rest = fh::WithoutTrailingSlashes(path);
  const std::size_t slash = rest.rfind('/');
  if (slash == std::string_view::npos) return std::string();
  return std::string(fh::WithoutTrailingSlashes(rest.substr(0, slash)));
}

std::string TrimTrailingSlashes(const char* path) {
  if (path == nullptr) return std::string();
  return std::string(fh::WithoutTrailingSlashes(path));
}
