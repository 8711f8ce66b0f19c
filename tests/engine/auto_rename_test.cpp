// Auto-rename of a batch in which names meet: files of the batch are never
// replaced, every row left as it was says why, and the dry run meets what
// the run meets. The files hold their first name as their bytes, so a test
// sees which file ended under which name, and any file lost.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <map>

#include "engine/auto_rename.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using testing_support::TempDir;
namespace fs = std::filesystem;

// Rows listed by extension alone: renaming reads only the rows' texts.
FileInspector ByExtension() {
  return FileInspector{[](const std::string& path, AudioInfo& info) {
                         info.kind = KindFromFileName(path);
                         info.sampleRate = 44100;
                         info.channels = 2;
                       },
                       [](const std::string&, AudioInfo, SongTags&) {}};
}

struct AcceptRule : TagRuleDialog {
  bool Edit(TagRuleSettings& rule) override {
    rule.year = rule.album = rule.track = false;  // names are Author-Title
    return true;
  }
};

struct ScriptedPrompt : OverwritePrompt {
  std::deque<FileExistReply> replies;
  FileExistReply fallback{FileExistAnswer::OverWrite, ""};
  std::vector<std::string> asked;
  FileExistReply Ask(const std::string& path) override {
    asked.push_back(path);
    if (replies.empty()) return fallback;
    FileExistReply reply = replies.front();
    replies.pop_front();
    return reply;
  }
};

// One row of a batch: its file name and the tags its new name comes from.
struct Row {
  std::string name, author, title;
};

class Batch {
 public:
  explicit Batch(const std::vector<Row>& rows, const std::vector<std::string>& others = {}) : list(ByExtension()) {
    for (const Row& row : rows) {
      Write(row.name);
      EXPECT_TRUE(list.AddFile(dir.File(row.name))) << row.name;
      const std::size_t index = list.size() - 1;
      list.SetText(index, Column::Author, row.author);
      list.SetText(index, Column::Title, row.title);
      list.SetSelected(index, true);
    }
    for (const std::string& other : others) Write(other);  // files outside the batch
  }

  // Every file of the folder: name -> the name it first had.
  std::map<std::string, std::string> Files() const {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
      const testing_support::Bytes bytes = testing_support::ReadBytes(entry.path().string());
      files[entry.path().filename().string()] = std::string(bytes.begin(), bytes.end());
    }
    return files;
  }


  TempDir dir;
  FileList list;
  TagRuleSettings rule;
  AcceptRule dialog;
  ScriptedPrompt prompt;

 private:
  void Write(const std::string& name) {
    testing_support::WriteBytes(dir.File(name), testing_support::Bytes(name.begin(), name.end()));
  }
};

// Answered OverWrite at every question, a batch still never replaces its
// own files; the dry run says so before.
TEST(AutoRename, NeverReplacesAFileOfTheBatch) {
  struct Case {
    const char* what;
    std::vector<Row> rows;
    bool lastThroughSubfolder;  // the last row listed as "sub/../NAME"
    std::vector<std::string> plan;
    std::map<std::string, std::string> files;  // after the run
  } const cases[] = {
      {"two rows, one name",
       {{"a.mp3", "X", "T"}, {"b.mp3", "X", "T"}},
       false,
       {"free", "collides with row 1"},
       {{"X-T.mp3", "a.mp3"}, {"b.mp3", "b.mp3"}}},
      {"the name is a later row's file",
       {{"a.mp3", "b", ""}, {"b.mp3", "c", ""}},
       false,
       {"is the source of row 2", "free"},
       {{"a.mp3", "a.mp3"}, {"c.mp3", "b.mp3"}}},
      {"the name is the file of an earlier row that kept it",
       {{"a.mp3", "", ""}, {"b.mp3", "a", ""}},
       false,
       {"no chosen tag has a value", "is the source of row 1"},
       {{"a.mp3", "a.mp3"}, {"b.mp3", "b.mp3"}}},
      {"the name an earlier row left is free",
       {{"b.mp3", "c", ""}, {"a.mp3", "b", ""}},
       false,
       {"free", "free"},
       {{"b.mp3", "a.mp3"}, {"c.mp3", "b.mp3"}}},
      {"three rows, one name, one through another spelling of the folder",
       {{"a.mp3", "X", "T"}, {"b.mp3", "X", "T"}, {"c.mp3", "X", "T"}},
       true,
       {"free", "collides with row 1", "collides with row 1"},
       {{"X-T.mp3", "a.mp3"}, {"b.mp3", "b.mp3"}, {"c.mp3", "c.mp3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Batch batch(c.rows);
    const std::size_t last = c.rows.size() - 1;
    if (c.lastThroughSubfolder) {
      fs::create_directory(batch.dir.File("sub"));
      batch.list.SetCaption(last, batch.dir.File("sub/../" + c.rows[last].name));
    }
    std::vector<std::string> plan;
    for (const RenamePlanRow& row :
         RenameSelected(batch.list, batch.rule, batch.dialog, batch.prompt, true).plan) {
      plan.push_back(RenameOutcomeText(row));
    }
    EXPECT_EQ(plan, c.plan);
    const auto renamed = AutoRename(batch.list, batch.rule, batch.dialog, batch.prompt);
    EXPECT_EQ(batch.prompt.asked, std::vector<std::string>{}) << "nothing outside the batch is in the way";
    fs::remove(batch.dir.File("sub"));
    EXPECT_EQ(batch.Files(), c.files);
    for (const RenameResult& result : renamed) EXPECT_EQ(batch.list.at(result.row).caption, result.newPath);
  }
}

// One batch meeting every case: the dry run's line for each row, then the
// run (every question answered OverWrite) doing just that.
TEST(AutoRename, TheDryRunMeetsWhatTheRunMeets) {
  Batch batch({{"a.mp3", "X", "T"},   // 1
               {"b.mp3", "X", "T"},   // 2 the name row 1 takes
               {"c.mp3", "d", ""},    // 3 the name of row 4's file
               {"d.mp3", "Y", "T"},   // 4 a file outside the batch holds the name
               {"e.mp3", "", ""},     // 5 no tag
               {"f.mp3", "f", ""},    // 6 the name it has
               {"g.mp3", "a/b", ""},  // 7 a slash in a tag
               {"h.mp3", "a", ""}},   // 8 the name row 1 leaves
              {"Y-T.mp3"});
  const std::vector<std::string> expected = {"free",
                                            "collides with row 1",
                                            "is the source of row 4",
                                            "exists (will ask)",
                                            "no chosen tag has a value",
                                            "keeps its name",
                                            "name from tags unusable",
                                            "free"};

  const AutoRenameOutcome dry = RenameSelected(batch.list, batch.rule, batch.dialog, batch.prompt, true);
  std::vector<std::string> texts;
  for (const RenamePlanRow& row : dry.plan) texts.push_back(RenameOutcomeText(row));
  EXPECT_EQ(texts, expected);
  ASSERT_EQ(dry.plan.size(), 8u);
  EXPECT_EQ(dry.plan[1].newPath, batch.dir.File("X-T.mp3"));
  EXPECT_EQ(dry.plan[4].newPath, batch.dir.File("e.mp3"));
  EXPECT_TRUE(batch.prompt.asked.empty());
  const auto untouched = batch.Files();
  EXPECT_EQ(untouched.size(), 9u);

  const AutoRenameOutcome run = RenameSelected(batch.list, batch.rule, batch.dialog, batch.prompt);
  EXPECT_EQ(batch.prompt.asked, std::vector<std::string>{batch.dir.File("Y-T.mp3")});
  EXPECT_EQ(batch.Files(), (std::map<std::string, std::string>{{"X-T.mp3", "a.mp3"},
                                                                {"b.mp3", "b.mp3"},
                                                                {"c.mp3", "c.mp3"},
                                                                {"Y-T.mp3", "d.mp3"},
                                                                {"e.mp3", "e.mp3"},
                                                                {"f.mp3", "f.mp3"},
                                                                {"g.mp3", "g.mp3"},
                                                                {"a.mp3", "h.mp3"}}));
  std::vector<std::size_t> renamedRows;
  for (const RenameResult& result : run.renamed) renamedRows.push_back(result.row);
  EXPECT_EQ(renamedRows, (std::vector<std::size_t>{0, 3, 7}));
  std::vector<std::size_t> dryRows;
  for (const RenameResult& result : dry.renamed) dryRows.push_back(result.row);
  EXPECT_EQ(dryRows, renamedRows);

  // Each row left as it was, with why; the unchanged name is no problem.
  struct Expected {
    std::size_t row;
    RenameProblem::Kind kind;
    std::string reason;
  } const problems[] = {
      {1, RenameProblem::Kind::Refused, "new name " + batch.dir.File("X-T.mp3") + " collides with row 1"},
      {2, RenameProblem::Kind::Refused, "new name " + batch.dir.File("d.mp3") + " is the source of row 4"},
      {4, RenameProblem::Kind::Kept, "keeps its name: no chosen tag has a value"},
      {6, RenameProblem::Kind::Refused, "name from tags unusable: a/b.mp3"},
  };
  for (const AutoRenameOutcome* outcome : {&dry, &run}) {
    ASSERT_EQ(outcome->problems.size(), std::size(problems));
    for (std::size_t i = 0; i < std::size(problems); ++i) {
      const RenameProblem& got = outcome->problems[i];
      EXPECT_EQ(got.row, problems[i].row);
      EXPECT_EQ(got.path, batch.list.at(got.row).caption);
      EXPECT_EQ(got.kind, problems[i].kind);
      EXPECT_EQ(got.reason.rfind(problems[i].reason, 0), 0u) << got.reason;
    }
  }
  EXPECT_FALSE(IsFailure(run.problems[2]));
  EXPECT_TRUE(IsFailure(run.problems[0]));
}

// The answers to a name taken outside the batch, and a rename the file system
// refuses. "{}" in a reason stands for the batch's folder.
TEST(AutoRename, AnswersAndFailuresAreReportedAndLoseNoFile) {
  const std::map<std::string, std::string> untouched = {{"a.mp3", "a.mp3"}, {"b.mp3", "b.mp3"}, {"X-T.mp3", "X-T.mp3"}};
  struct Case {
    const char* what;
    FileExistReply reply;
    bool sourceGone;  // the row's file was removed after it was listed
    RenameProblem::Kind kind;
    std::string reason;
    std::map<std::string, std::string> files;
  } const cases[] = {
      {"Skip", {FileExistAnswer::Skip, ""}, false, RenameProblem::Kind::Skipped, "skipped: new name {}X-T.mp3 exists",
       untouched},
      {"closed without an answer", {}, false, RenameProblem::Kind::Skipped,
       "new name {}X-T.mp3 exists and no answer was given", untouched},
      {"a new name that is another row's file", {FileExistAnswer::UseNewName, "b.mp3"}, false,
       RenameProblem::Kind::Refused, "{}b.mp3 still exists!", untouched},
      // Replacing is one step: the file that would have been replaced stays.
      {"OverWrite, and the rename fails", {FileExistAnswer::OverWrite, ""}, true, RenameProblem::Kind::Failed,
       "could not be renamed to {}X-T.mp3: no such file or directory", {{"b.mp3", "b.mp3"}, {"X-T.mp3", "X-T.mp3"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Batch batch({{"a.mp3", "X", "T"}, {"b.mp3", "b", ""}}, {"X-T.mp3"});
    if (c.sourceGone) fs::remove(batch.dir.File("a.mp3"));
    batch.prompt.replies = {c.reply};
    const AutoRenameOutcome outcome = RenameSelected(batch.list, batch.rule, batch.dialog, batch.prompt);
    EXPECT_EQ(batch.prompt.asked, std::vector<std::string>{batch.dir.File("X-T.mp3")});
    EXPECT_EQ(batch.Files(), c.files);
    EXPECT_TRUE(outcome.renamed.empty());
    EXPECT_EQ(batch.list.at(0).caption, batch.dir.File("a.mp3"));
    EXPECT_EQ(outcome.problems.size(), 1u);  // row 2 keeps the name it has, silently
    if (outcome.problems.size() != 1) continue;
    EXPECT_EQ(outcome.problems[0].row, 0u);
    EXPECT_EQ(outcome.problems[0].path, batch.dir.File("a.mp3"));
    EXPECT_EQ(outcome.problems[0].kind, c.kind);
    std::string reason = c.reason;
    reason.replace(reason.find("{}"), 2, batch.dir.File(""));
    EXPECT_EQ(outcome.problems[0].reason, reason);
  }
}

}  // namespace
