#pragma once
// The desktop's Trash (the freedesktop.org trash specification): files moved
// there can be restored from the file manager.

#include <string>

namespace zandro {

enum class TrashResult {
  Trashed,  // moved into a trash, with its .trashinfo
  NoTrash,  // no trash can hold it (no home, no usable trash on its volume)
  Failed,   // a trash exists but the move failed; the file is where it was
};

// Moves the file to the home trash ($XDG_DATA_HOME/Trash) when it lives on
// the same file system, else to its volume's $topdir/.Trash-$uid. When it
// is not Trashed the file is where it was, and `reason` (when given) says
// why in plain words.
TrashResult MoveToTrash(const std::string& path, std::string* reason = nullptr);

// The home trash directory ($XDG_DATA_HOME/Trash or ~/.local/share/Trash).
std::string HomeTrashDirectory();

}  // namespace zandro
