#include "engine/auto_rename.h"

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <system_error>

#include "zplatform/messages.h"
#include "zplatform/path.h"
#include "zplatform/safe_file.h"

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

// A directory entry, not what a link in it points to: replacing a link
// replaces only the link.
struct EntryId {
  dev_t device;
  ino_t inode;
  auto operator<=>(const EntryId&) const = default;
};

std::optional<EntryId> IdOf(const std::string& path) {
  struct stat status {};
  if (lstat(path.c_str(), &status) != 0) return std::nullopt;
  return EntryId{status.st_dev, status.st_ino};
}

bool SameEntry(const std::string& a, const std::string& b) {
  const auto first = IdOf(a);
  return first && first == IdOf(b);
}

// A path with its directory as the file system resolves it, so that
// "a/../b" and "b" meet; the last component stays as written.
std::string EntryKey(const std::string& path) {
  const fs::path whole(path);
  fs::path directory = whole.parent_path();
  if (directory.empty()) directory = ".";
  std::error_code error;
  fs::path resolved = fs::weakly_canonical(directory, error);
  if (error) resolved = directory;
  return (resolved / whole.filename()).string();
}

// The names the batch holds: each selected row's file under its current
// name. In a dry run nothing moves on disk, so the renames are simulated:
// a name a row leaves counts as free, the one it takes as held.
class BatchNames {
 public:
  BatchNames(const FileList& list, bool simulated) : simulated_(simulated) {
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (!list.at(i).selected) continue;
      byKey_[EntryKey(list.at(i).caption)] = i;
      if (const auto id = IdOf(list.at(i).caption); id && !simulated_) byId_[*id] = i;
    }
  }

  // The selected row other than `row` whose file `path` names.
  std::optional<std::size_t> HolderOf(const std::string& path, std::size_t row) const {
    if (const auto found = byKey_.find(EntryKey(path)); found != byKey_.end() && found->second != row) {
      return found->second;
    }
    if (simulated_) return std::nullopt;
    // Another spelling of a held name (a file system that ignores case).
    if (const auto id = IdOf(path)) {
      if (const auto found = byId_.find(*id); found != byId_.end() && found->second != row) return found->second;
    }
    return std::nullopt;
  }

  bool RenamedInBatch(std::size_t row) const { return renamed_.count(row) != 0; }

  bool Taken(const std::string& path) const {
    return Exists(path) && (!simulated_ || vacated_.count(EntryKey(path)) == 0);
  }

  void Moved(std::size_t row, const std::string& from, const std::string& to) {
    const std::string fromKey = EntryKey(from), toKey = EntryKey(to);
    if (const auto found = byKey_.find(fromKey); found != byKey_.end() && found->second == row) byKey_.erase(found);
    byKey_[toKey] = row;
    renamed_.insert(row);
    if (simulated_) {
      vacated_.insert(fromKey);
      vacated_.erase(toKey);
    }
  }

 private:
  bool simulated_;
  std::map<std::string, std::size_t> byKey_;
  std::map<EntryId, std::size_t> byId_;  // a rename keeps the entry, so this stays true
  std::set<std::size_t> renamed_;
  std::set<std::string> vacated_;
};

// How a new name stands against the batch and the disk.
void JudgeName(RenamePlanRow& plan, const BatchNames& batch) {
  if (const auto holder = batch.HolderOf(plan.newPath, plan.row)) {
    plan.outcome = batch.RenamedInBatch(*holder) ? RenameOutcome::CollidesInBatch : RenameOutcome::IsSourceOfRow;
    plan.otherRow = *holder;
  } else if (batch.Taken(plan.newPath)) {
    plan.outcome = SameEntry(plan.oldPath, plan.newPath) ? RenameOutcome::NewSpelling : RenameOutcome::ExistsOnDisk;
  } else {
    plan.outcome = RenameOutcome::Free;
  }
}

RenamePlanRow JudgeRow(const FileList& list, std::size_t i, const TagRuleSettings& rule, const BatchNames& batch) {
  RenamePlanRow plan;
  plan.row = i;
  plan.oldPath = list.at(i).caption;
  const std::string base = BuildNameFromTags(list.at(i), rule);
  if (base.empty()) {
    plan.newPath = plan.oldPath;
    plan.outcome = RenameOutcome::NoTagValue;
    return plan;
  }
  plan.newPath = zplatform::DirectoryPart(plan.oldPath) + base + zplatform::ExtensionPart(plan.oldPath);
  // Such a name would move the file elsewhere or name no file at all.
  if (base == "." || base == ".." || base.find('/') != std::string::npos) {
    plan.outcome = RenameOutcome::UnusableName;
  } else if (plan.newPath == plan.oldPath) {
    plan.outcome = RenameOutcome::Unchanged;
  } else {
    JudgeName(plan, batch);
  }
  return plan;
}

bool WillRename(RenameOutcome outcome) {
  return outcome == RenameOutcome::Free || outcome == RenameOutcome::NewSpelling ||
         outcome == RenameOutcome::ExistsOnDisk;
}

}  // namespace

std::vector<RenamePlanRow> PlanAutoRename(const FileList& list, const TagRuleSettings& rule) {
  std::vector<RenamePlanRow> plan;
  BatchNames batch(list, true);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list.at(i).selected) continue;
    plan.push_back(JudgeRow(list, i, rule, batch));
    // A name that will be asked about is counted as taken by this row, as
    // the conversion's plan counts a target that exists.
    if (WillRename(plan.back().outcome)) batch.Moved(i, plan.back().oldPath, plan.back().newPath);
  }
  return plan;
}

namespace {

// Why a row judged so is not renamed, for the outcomes that keep it as it is.
RenameProblem ProblemFor(const RenamePlanRow& plan) {
  RenameProblem problem;
  problem.row = plan.row;
  problem.path = plan.oldPath;
  switch (plan.outcome) {
    case RenameOutcome::NoTagValue:
      problem.kind = RenameProblem::Kind::Kept;
      problem.reason = "keeps its name: no chosen tag has a value";
      break;
    case RenameOutcome::UnusableName:
      problem.kind = RenameProblem::Kind::Refused;
      problem.reason = "name from tags unusable: " + plan.newPath.substr(zplatform::DirectoryPart(plan.oldPath).size()) +
                       " (a tag holds a '/', or the name is '.' or '..')";
      break;
    default:
      problem.kind = RenameProblem::Kind::Refused;
      problem.reason = "new name " + plan.newPath + " " + RenameOutcomeText(plan);
      break;
  }
  return problem;
}

}  // namespace

bool IsFailure(const RenameProblem& problem) {
  return problem.kind == RenameProblem::Kind::Refused || problem.kind == RenameProblem::Kind::Failed;
}

std::string RenameOutcomeText(const RenamePlanRow& row) {
  switch (row.outcome) {
    case RenameOutcome::Free:
      return "free";
    case RenameOutcome::NewSpelling:
      return "free (the same file, spelled otherwise)";
    case RenameOutcome::ExistsOnDisk:
      return "exists (will ask)";
    case RenameOutcome::CollidesInBatch:
      return "collides with row " + std::to_string(row.otherRow + 1);
    case RenameOutcome::IsSourceOfRow:
      return "is the source of row " + std::to_string(row.otherRow + 1);
    case RenameOutcome::Unchanged:
      return "keeps its name";
    case RenameOutcome::NoTagValue:
      return "no chosen tag has a value";
    case RenameOutcome::UnusableName:
      return "name from tags unusable";
  }
  return "";
}

AutoRenameOutcome RenameSelected(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                 OverwritePrompt& prompt, bool dryRun) {
  AutoRenameOutcome outcome;
  if (list.SelectedCount() == 0) {
    zplatform::ShowMessage(zplatform::MessageKind::Plain, "There is no file selected !");
    return outcome;
  }
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list.at(i).selected && list.at(i).Text(Column::Type) == "WAV") {
      zplatform::ShowMessage(zplatform::MessageKind::Plain, "Can't set tag information to wav file !");
      return outcome;
    }
  }
  rule.author = rule.year = rule.album = rule.track = rule.title = true;
  if (!dialog.Edit(rule)) return outcome;

  if (dryRun) {
    outcome.plan = PlanAutoRename(list, rule);
    for (const RenamePlanRow& row : outcome.plan) {
      if (WillRename(row.outcome)) {
        outcome.renamed.push_back({row.row, row.oldPath, row.newPath});
      } else if (row.outcome != RenameOutcome::Unchanged) {
        outcome.problems.push_back(ProblemFor(row));
      }
    }
    return outcome;
  }

  BatchNames batch(list, false);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (!list.at(i).selected) continue;
    RenamePlanRow plan = JudgeRow(list, i, rule, batch);
    auto refuse = [&](RenameProblem::Kind kind, std::string reason) {
      outcome.problems.push_back({i, plan.oldPath, std::move(reason), kind});
    };
    bool replace = false;
    switch (plan.outcome) {
      case RenameOutcome::Unchanged:
        continue;
      case RenameOutcome::NoTagValue:
      case RenameOutcome::UnusableName:
      case RenameOutcome::CollidesInBatch:
      case RenameOutcome::IsSourceOfRow:
        outcome.problems.push_back(ProblemFor(plan));
        continue;
      case RenameOutcome::NewSpelling: {
        // The same file under another spelling (a file system that ignores
        // case): nothing to ask, nothing replaced, only the spelling changes.
        if (std::rename(plan.oldPath.c_str(), plan.newPath.c_str()) != 0) {
          refuse(RenameProblem::Kind::Failed,
                 "could not be renamed to " + plan.newPath + ": " + zplatform::SystemErrorText(errno));
          continue;
        }
        list.SetCaption(i, plan.newPath);
        batch.Moved(i, plan.oldPath, plan.newPath);
        outcome.renamed.push_back({i, plan.oldPath, plan.newPath});
        continue;
      }
      case RenameOutcome::ExistsOnDisk: {
        const FileExistReply reply = prompt.Ask(plan.newPath);
        switch (reply.answer) {
          case FileExistAnswer::UseNewName:
            if (const std::string problem = NewNameProblem(plan.newPath, reply.newName); !problem.empty()) {
              refuse(RenameProblem::Kind::Refused, problem);
              continue;
            }
            plan.newPath = zplatform::DirectoryPart(plan.newPath) + reply.newName;
            // The prompt checked the disk; the batch's own names count as well.
            JudgeName(plan, batch);
            if (plan.outcome != RenameOutcome::Free) {
              refuse(RenameProblem::Kind::Refused, "new name " + plan.newPath + " " +
                                                       (plan.outcome == RenameOutcome::ExistsOnDisk
                                                            ? std::string("exists")
                                                            : RenameOutcomeText(plan)));
              continue;
            }
            break;
          case FileExistAnswer::OverWrite:
            replace = true;
            break;
          case FileExistAnswer::Skip:
            refuse(RenameProblem::Kind::Skipped, "skipped: new name " + plan.newPath + " exists");
            continue;
          case FileExistAnswer::None:
            refuse(RenameProblem::Kind::Skipped, "new name " + plan.newPath + " exists and no answer was given");
            continue;
        }
        break;
      }
      case RenameOutcome::Free:
        break;
    }
    // Replacing is one rename over the old file, so a failure leaves both
    // files as they were; otherwise the move never replaces anything, also
    // a file that appeared since the check.
    const bool moved = replace ? std::rename(plan.oldPath.c_str(), plan.newPath.c_str()) == 0
                               : RenameNoReplace(plan.oldPath, plan.newPath);
    if (!moved) {
      const int error = errno;
      refuse(RenameProblem::Kind::Failed,
             error == EEXIST ? "new name " + plan.newPath + " was taken meanwhile"
                             : "could not be renamed to " + plan.newPath + ": " + zplatform::SystemErrorText(error));
      continue;
    }
    list.SetCaption(i, plan.newPath);
    batch.Moved(i, plan.oldPath, plan.newPath);
    outcome.renamed.push_back({i, plan.oldPath, plan.newPath});
  }
  return outcome;
}

std::vector<RenameResult> AutoRename(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                     OverwritePrompt& prompt, bool dryRun) {
  return RenameSelected(list, rule, dialog, prompt, dryRun).renamed;
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
