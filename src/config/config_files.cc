#include "config/config_files.h"

#include <cctype>
#include <new>

#include "config/tessel_root.h"
#include "log/log.h"
#include "platform/files.h"

namespace fh {

namespace {

constexpr const char* kWorkingDataPrefix = "..\\data\\";

// The part of path after its last '\' or '/' (the whole path without one).
std::string LastPathComponent(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? path : path.substr(separator + 1);
}

// The second attempt of the rule: "<root>/data/<fileName>", logged.
OpenedConfigFile OpenUnderRoot(const std::string& fileName) {
  OpenedConfigFile result;
  std::optional<std::string> path = ComposeDataPath(DataDirectory::kTesselRoot, fileName.c_str());
  if (!path) return result;
  LogDebug("Opening %s\n", path->c_str());
  result.stream = OpenDataFileForRead(path->c_str());
  if (result.stream) {
    result.path = std::move(*path);
    result.location = DataDirectory::kTesselRoot;
  }
  return result;
}

OpenedConfigFile OpenByRule(const std::string& firstPath, const std::string& fileName) {
  OpenedConfigFile result;
  result.stream = OpenDataFileForRead(firstPath.c_str());
  if (result.stream) {
    result.path = firstPath;
    result.location = DataDirectory::kWorkingDirectory;
    return result;
  }
  return OpenUnderRoot(fileName);
}

}  // namespace

void ConfigFileCloser::operator()(std::FILE* stream) const {
  if (stream != nullptr) std::fclose(stream);
}

std::optional<std::string> ComposeDataPath(DataDirectory location, const char* fileName) {
  if (fileName == nullptr) return std::nullopt;
  try {
    std::string path;
    if (location == DataDirectory::kWorkingDirectory) {
      path = std::string(kWorkingDataPrefix) + fileName;
    } else {
      std::optional<std::string> root = CopyTesselRoot();
      if (!root) return std::nullopt;
      path = *root + "/data/" + fileName;
    }
    return path;
  } catch (const std::bad_alloc&) {
    return std::nullopt;
  }
}

ConfigFileStream OpenDataFileForRead(const char* path) {
  if (path == nullptr) return nullptr;
  if (std::char_traits<char>::length(path) > kMaxDataPathLength) return nullptr;
  return ConfigFileStream(OpenFileStream(path, "r"));
}

OpenedConfigFile OpenConfigFile(const char* fileName) {
  if (fileName == nullptr) return {};
  try {
    return OpenByRule(std::string(kWorkingDataPrefix) + fileName, fileName);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

OpenedConfigFile OpenConfigFileAt(const char* path) {
  if (path == nullptr) return {};
  try {
    const std::string firstPath = path;
    return OpenByRule(firstPath, LastPathComponent(firstPath));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool ReadConfigToken(std::FILE* stream, std::string& token) {
  token.clear();
  if (stream == nullptr) return false;
  int c = std::fgetc(stream);
  while (c != EOF && std::isspace(static_cast<unsigned char>(c))) c = std::fgetc(stream);
  if (c == EOF) return false;
  try {
    while (c != EOF && !std::isspace(static_cast<unsigned char>(c))) {
      token.push_back(static_cast<char>(c));
      c = std::fgetc(stream);
    }
  } catch (const std::bad_alloc&) {
    token.clear();
    return false;
  }
  return true;
}

}  // namespace fh
