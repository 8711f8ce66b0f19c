#include <getopt.h>

#include <cstdio>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/line_text.h"
#include "cli/terminal.h"
#include "engine/auto_rename.h"
#include "engine/file_list.h"

namespace zandro::cli {

namespace {

constexpr const char* kRenameHelp =
    "Usage: zandro-cli rename [OPTION]... PATH...\n"
    "Rename MP3 and WMA files from their tags, in the order author, year, album,\n"
    "track, title, joined by the splitter; the extension is kept. A file whose\n"
    "chosen tags are all empty keeps its name. Prints the old and the new path\n"
    "of each renamed file, separated by a tab; each file not renamed is named on\n"
    "stderr with the reason. A file of the batch (one of the files given, or a\n"
    "name an earlier file was just given) is never replaced, whatever the answer.\n"
    "%s"
    "\n"
    "      --tags LIST           the tags that make the name, a comma list of\n"
    "                            author, year, album, track, title (default: all)\n"
    "      --splitter TEXT       text between the tags (default \"-\")\n"
    "      --if-exists ANSWER    when the new name is taken: ask, skip, overwrite or\n"
    "                            rename:NAME (default: ask on a terminal, else skip)\n"
    "  -n, --dry-run             print what would happen to each file, its old and\n"
    "                            its new path (tab separated): free, exists (will\n"
    "                            ask), collides with row N, is the source of row N,\n"
    "                            ...; rename nothing\n"
    "  -h, --help                show this help and exit\n"
    "\n"
    "Exit status: 0 when every file was renamed, kept its name or was skipped,\n"
    "1 otherwise, 2 for wrong usage.\n";

enum OptionId { kTags = 1000, kSplitter, kIfExists };

// The rule as the options give it, in place of the rule dialog.
class FixedRule : public TagRuleDialog {
 public:
  explicit FixedRule(TagRuleSettings rule) : rule_(std::move(rule)) {}
  bool Edit(TagRuleSettings& rule) override {
    rule = rule_;
    return true;
  }

 private:
  TagRuleSettings rule_;
};

}  // namespace

int RenameCommand(int argc, char** argv) {
  static const option kOptions[] = {{"tags", required_argument, nullptr, kTags},
                                    {"splitter", required_argument, nullptr, kSplitter},
                                    {"if-exists", required_argument, nullptr, kIfExists},
                                    {"dry-run", no_argument, nullptr, 'n'},
                                    {"help", no_argument, nullptr, 'h'},
                                    {nullptr, 0, nullptr, 0}};
  TagRuleSettings rule;
  IfExists ifExists;
  ifExists.mode = StdinIsTerminal() && StderrIsTerminal() ? IfExists::Mode::Ask : IfExists::Mode::Skip;
  bool dryRun = false;
  optind = 1;
  for (int c; (c = getopt_long(argc, argv, "nh", kOptions, nullptr)) != -1;) {
    const std::string value = optarg ? optarg : "";
    switch (c) {
      case kTags:
        if (!ParseTags(value, rule)) return UsageError("rename", ("invalid tag list '" + value + "'").c_str());
        break;
      case kSplitter:
        rule.splitter = value;
        break;
      case kIfExists:
        if (!ParseIfExists(value, ifExists)) {
          return UsageError("rename", ("invalid --if-exists answer '" + value + "'").c_str());
        }
        break;
      case 'n':
        dryRun = true;
        break;
      case 'h':
        std::printf(kRenameHelp, kEscapeHelp);
        return 0;
      default:
        return UsageError("rename", nullptr);
    }
  }
  if (optind >= argc) return UsageError("rename", "missing PATH");

  FileList list;
  const bool allListed = AddPaths(list, optind, argc, argv);
  if (list.empty()) {
    std::fputs("zandro-cli: nothing to rename\n", stderr);
    return 1;
  }
  list.SelectByKind(KindChoice::All);
  // A WAV file among them refuses the whole command, with its message.
  bool refused = false;
  for (std::size_t i = 0; i < list.size(); ++i) refused |= list.at(i).Text(Column::Type) == "WAV";
  FixedRule dialog(rule);
  TerminalPrompt prompt(ifExists);
  TagRuleSettings used = rule;
  const AutoRenameOutcome outcome = RenameSelected(list, used, dialog, prompt, dryRun);
  if (dryRun) {
    for (const RenamePlanRow& row : outcome.plan) {
      std::printf("%s\t%s\t%s\n", RenameOutcomeText(row).c_str(), EscapeField(row.oldPath).c_str(),
                  EscapeField(row.newPath).c_str());
    }
    return allListed && !refused ? 0 : 1;
  }
  for (const RenameResult& result : outcome.renamed) {
    std::printf("%s\t%s\n", EscapeField(result.oldPath).c_str(), EscapeField(result.newPath).c_str());
  }
  bool failed = false;
  for (const RenameProblem& problem : outcome.problems) {
    std::fprintf(stderr, "zandro-cli: %s: %s\n", EscapeField(problem.path).c_str(), problem.reason.c_str());
    failed |= IsFailure(problem);
  }
  return allListed && !refused && !failed ? 0 : 1;
}

}  // namespace zandro::cli
