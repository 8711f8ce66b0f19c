#include "engine/auto_rename.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "zplatform/messages.h"
#include "zplatform/path.h"

namespace zandro {

namespace fs = std::filesystem;

std::string RulePattern(const TagRuleSettings& rule) {
  FileListEntry names;
  names.Text(Column::Author) = "Author";
  names.Text(Column::Year) = "Year";
  names.Text(Column::Album) = "Album";
  names.Text(Column::Track) = "Track";
  names.Text(Column::Title) = "Title";
  return BuildNameFromTags(names, rule);
}

bool IsRefusedSplitterCharacter(char32_t character) {
  switch (character) {
    case U'\\':
    case U'/':
    case U':':
    case U'*':
    case U'?':
    case U'"':
    case U'<':
    case U'>':
    case U'|':
      return true;
    default:
      return false;
  }
}

bool RenameNoReplace(const std::string& from, const std::string& to) {
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno != EINVAL && errno != ENOSYS) return false;
  // A file system without the flag: a hard link fails on an existing name too.
  if (link(from.c_str(), to.c_str()) != 0) return false;
  unlink(from.c_str());
  return true;
}

namespace {

bool Exists(const std::string& path) {
  std::error_code error;
  return fs::exists(fs::symlink_status(path, error));
}

bool SameFile(const std::string& a, const std::string& b) {
  std::error_code error;
  return fs::equivalent(a, b, error) && !error;
}

}  // namespace

std::vector<RenameResult> AutoRename(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                     OverwritePrompt& prompt, bool dryRun) {
  std::vector<RenameResult> renamed;
  if (list.SelectedCount() == 0) {
    zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file selected !");
    return renamed;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.at(i).selected && list.at(i).Text(Column::Type) == "WAV") {
      zplatform::ShowMessage(zplatform::MessageKind::Plain, "Can't set tag information to wav file !");
      return renamed;
    }
  }
  rule.author = rule.year = rule.album = rule.track = rule.title = true;
  if (!dialog.Edit(rule)) return renamed;

  for (std::size_t i = 0; i < list.size(); ++i) {
    const FileListEntry& row = list.at(i);
    if (!row.selected) continue;
    const std::string base = BuildNameFromTags(row, rule);
    // Such a name would move the file elsewhere or name no file at all.
    if (base.empty() || base == "." || base == ".." || base.find('/') != std::string::npos) continue;
    const std::string oldPath = row.caption;
    std::string newPath = zplatform::DirectoryPart(oldPath) + base + zplatform::ExtensionPart(oldPath);
    if (newPath == oldPath) continue;
    if (dryRun) {
      renamed.push_back({i, oldPath, newPath});
      continue;
    }

    if (Exists(newPath)) {
      if (SameFile(oldPath, newPath)) {
        // The same file under another spelling (a file system that ignores
        // case): nothing to ask, nothing to delete, only the spelling changes.
        std::error_code error;
        fs::rename(oldPath, newPath, error);
        if (!error) {
          list.SetCaption(i, newPath);
          renamed.push_back({i, oldPath, newPath});
        }
        continue;
      }
      const FileExistReply reply = prompt.Ask(newPath);
      switch (reply.answer) {
        case FileExistAnswer::UseNewName:
          if (!NewNameProblem(newPath, reply.newName).empty()) continue;
          newPath = zplatform::DirectoryPart(newPath) + reply.newName;
          break;
        case FileExistAnswer::OverWrite: {
          std::error_code error;
          fs::remove(newPath, error);
          break;
        }
        case FileExistAnswer::Skip:
          continue;
        case FileExistAnswer::None:
          break;  // the move below finds the name taken and leaves the row
      }
    }
    if (RenameNoReplace(oldPath, newPath)) {
      list.SetCaption(i, newPath);
      renamed.push_back({i, oldPath, newPath});
    }
  }
  return renamed;
}

UndoOutcome UndoAutoRename(FileList& list, const std::vector<RenameResult>& batch) {
  UndoOutcome outcome;
  // Last renamed first, so a chain of names unwinds in order.
  for (auto it = batch.rbegin(); it != batch.rend(); ++it) {
    if (!Exists(it->newPath)) {
      outcome.problems.push_back(it->newPath + " is gone, so it stays gone");
      continue;
    }
    if (Exists(it->oldPath)) {
      outcome.problems.push_back(it->newPath + " stays: " + it->oldPath + " is taken");
      continue;
    }
    if (!RenameNoReplace(it->newPath, it->oldPath)) {
      outcome.problems.push_back(it->newPath + " could not be renamed back to " + it->oldPath);
      continue;
    }
    for (std::size_t row = 0; row < list.size(); ++row) {
      if (list.at(row).caption == it->newPath) {
        list.SetCaption(row, it->oldPath);
        break;
      }
    }
    outcome.restored.push_back(*it);
  }
  return outcome;
}

}  // namespace zandro
