#include "log/directories.h"

#include <cerrno>

#include "platform/files.h"
#include "platform/paths.h"

namespace {

constexpr unsigned kLogDirectoryMode = 0777;

}  // namespace

int MakeDirectory(const char* path) {
  if (path == nullptr) return EINVAL;
  return MakeOneDirectory(path);
}

int MakeDirectoryPath(const char* path) {
  const int result = fh::MakeDirectoryTree(path, kLogDirectoryMode);
  return result == EEXIST ? 1 : result;
}

std::string GetParentPath(const char* path) {
  if (path == nullptr) return std::string();
  return std::string(fh::ParentPart(path));
}

std::string TrimTrailingSlashes(const char* path) {
  if (path == nullptr) return std::string();
  return std::string(fh::WithoutTrailingSlashes(path));
}
