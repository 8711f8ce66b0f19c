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

// Auto-rename: checks the selection (messages as the command shows them),
// turns the rule's switches on, lets the dialog edit the rule, then renames
// the selected files. With `dryRun` nothing is asked or renamed and the
// names that would be used are returned. Returns the rows renamed.
std::vector<RenameResult> AutoRename(FileList& list, TagRuleSettings& rule, TagRuleDialog& dialog,
                                     OverwritePrompt& prompt, bool dryRun = false);

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
