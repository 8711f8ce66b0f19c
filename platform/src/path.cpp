#include "zplatform/path.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace zplatform {

std::string DirectoryPart(std::string_view path) {
  const auto slash = path.rfind(kPathSeparator);
  return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

std::string FileNamePart(std::string_view path) {
  const auto slash = path.rfind(kPathSeparator);
  return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

std::string ExtensionPart(std::string_view path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? std::string() : name.substr(dot);
}

std::string BaseNamePart(std::string_view path) {
  const std::string name = FileNamePart(path);
  const auto dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string WithTrailingSeparator(std::string_view directory) {
  std::string result(directory);
  if (!result.empty() && result.back() != kPathSeparator) result += kPathSeparator;
  return result;
}

std::string HomeDirectory() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) {
    home = entry->pw_dir;
  }
  while (home.size() > 1 && home.back() == kPathSeparator) home.pop_back();
  return home;
}

}  // namespace zplatform
