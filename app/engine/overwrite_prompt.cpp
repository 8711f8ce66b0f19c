#include "engine/overwrite_prompt.h"

#include <filesystem>
#include <system_error>

#include "zplatform/messages.h"
#include "zplatform/path.h"

namespace zandro {

std::string InitialNewName(const std::string& existingPath) { return zplatform::FileNamePart(existingPath); }

std::string NewNameProblem(const std::string& existingPath, const std::string& typedName) {
  const std::string candidate = zplatform::DirectoryPart(existingPath) + typedName;
  if (typedName.empty() || typedName == "." || typedName == ".." ||
      typedName.find('/') != std::string::npos) {
    return candidate + " is not a valid file name!";
  }
  std::error_code error;
  // A dangling link is taken as well: writing through it would create a file elsewhere.
  if (std::filesystem::exists(std::filesystem::symlink_status(candidate, error))) {
    return candidate + " still exists!";
  }
  return "";
}

bool AcceptNewName(const std::string& existingPath, const std::string& typedName) {
  const std::string problem = NewNameProblem(existingPath, typedName);
  if (problem.empty()) return true;
  zplatform::ShowMessage(zplatform::MessageKind::Error, problem);
  return false;
}

}  // namespace zandro
