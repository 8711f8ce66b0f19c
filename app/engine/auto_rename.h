#pragma once
// Renaming the selected files from their tags, and the rule's pattern text.

#include <string>
#include <vector>

#include "engine/conversion_inputs.h"
#include "engine/file_list.h"
#include "engine/overwrite_prompt.h"

namespace zandro {

// The rule dialog: edits the rule; true on "OK".
class TagRuleDialog {
 public:
  virtual ~TagRuleDialog() = default;
  virtual bool Edit(TagRuleSettings& rule) = 0;
};

// The pattern the rule dialog shows, e.g. "Author-Year-Album-Track-Title".
std::string RulePattern(const TagRuleSettings& rule);

// The characters the splitter edit refuses as they are typed.
bool IsRefusedSplitterCharacter(char32_t character);

struct RenameResult {
  std::size_t row;
  std::string oldPath;
  std::string newPath;
};

// What renaming one selected row meets, judged before anything is asked.
enum class RenameOutcome {
  Free,             // the new name is free
  NewSpelling,      // the new name is the row's own file spelled otherwise
  ExistsOnDisk,     // a file outside the batch holds the name: the prompt asks
  CollidesInBatch,  // an earlier row of this batch takes (took) that name
  IsSourceOfRow,    // the name is the file of another selected row
  Unchanged,        // the name from tags is the name the file has
  NoTagValue,       // no chosen tag has a value: the file keeps its name
  UnusableName,     // the name from tags would leave the directory or name no file
};

struct RenamePlanRow {
  std::size_t row = 0;  // in the list
  std::string oldPath, newPath;
  RenameOutcome outcome = RenameOutcome::Free;
  std::size_t otherRow = 0;  // the list row, for CollidesInBatch and IsSourceOfRow
};

// "free", "exists (will ask)", "collides with row 2", "is the source of row 3", ...
// Rows are counted from 1 in list order.
std::string RenameOutcomeText(const RenamePlanRow& row);

// A selected row that was not renamed, and why.
struct RenameProblem {
  enum class Kind {
    Kept,     // nothing to do: no chosen tag has a value
    Skipped,  // the new name is taken and the answer was Skip (or none)
    Refused,  // renaming would have replaced a file of the batch, or the name is unusable
    Failed,   // the file system refused the rename
  };
  std::size_t row = 0;
  std::string path;  // the row's file, which keeps this name
  std::string reason;
  Kind kind = Kind::Failed;
};

bool IsFailure(const RenameProblem& problem);

struct AutoRenameOutcome {
  std::vector<RenameResult> renamed;    // the dry run: the rows it would rename
  std::vector<RenameProblem> problems;  // rows not renamed, in list order; unchanged names are not listed
  std::vector<RenamePlanRow> plan;      // the dry run only: every selected row
};

// Auto-rename: checks the selection (messages as the command shows them),
// turns the rule's switches on, lets the dialog edit the rule, then renames
// the selected files in list order. A file of the batch (a selected row's
// file, or the new name an earlier row got) is never replaced, whatever the
// prompt answers; a file outside it only when the answer is OverWrite, in
// one step. With `dryRun` nothing is asked or renamed: `plan` tells what
// the run would meet, row by row.
AutoRenameOutcome RenameSelected(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                 OverwritePrompt& prompt, bool dryRun = false);

// The same, for callers that need only the rows renamed.
std::vector<RenameResult> AutoRename(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                     OverwritePrompt& prompt, bool dryRun = false);

// What renaming the selected rows by `rule` would meet; changes nothing.
std::vector<RenamePlanRow> PlanAutoRename(const FileList& list, const TagRuleSettings& rule);

struct UndoOutcome {
  std::vector<RenameResult> restored;
  std::vector<std::string> problems;  // one line per file left as it is
};

// Reverses a batch of auto-rename: every file still under its new name goes
// back to its old name unless something now stands there; the rows follow.
UndoOutcome UndoAutoRename(FileList& list, const std::vector<RenameResult>& batch);

// Moves `from` to `to` unless something exists at `to`; never replaces a
// file, also when one appears between a check and the move.
bool RenameNoReplace(const std::string& from, const std::string& to);

}  // namespace zandro
