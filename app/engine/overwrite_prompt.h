#pragma once
// The question asked when a target (or a new name of auto-rename) is taken.

#include <string>

namespace zandro {

enum class FileExistAnswer : int { None = 0, UseNewName = 1, OverWrite = 2, Skip = 3 };

struct FileExistReply {
  FileExistAnswer answer = FileExistAnswer::None;
  std::string newName;  // a bare file name, for UseNewName
};

// One question per existing file; implemented by the window, the terminal
// and scripted tests.
class OverwritePrompt {
 public:
  virtual ~OverwritePrompt() = default;
  virtual FileExistReply Ask(const std::string& existingPath) = 0;
};

// The first text of the prompt's edit field: the existing file's name.
std::string InitialNewName(const std::string& existingPath);

// Why "Use New Name" cannot take `typedName` next to `existingPath`: the
// error text to show, or "" when the name is free. A name that is taken, and
// one that is no plain file name (empty, ".", "..", or holding '/'), are refused.
std::string NewNameProblem(const std::string& existingPath, const std::string& typedName);

// "Use New Name" pressed: shows the problem as an error and returns false
// (the prompt stays open), or returns true.
bool AcceptNewName(const std::string& existingPath, const std::string& typedName);

}  // namespace zandro
