#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include "engine/conversion_run.h"
#include "engine/trash.h"
#include "support/test_support.h"
#include "zplatform/path.h"

namespace {

using namespace zandro;
using testing_support::Bytes;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

// Records what the run shows; `onPump` plays the user's part.
struct ScriptedView : ConversionView {
  std::vector<std::string> events;
  std::vector<int> fileProgress;
  std::vector<std::pair<std::string, std::string>> times;
  std::size_t totalMaximum = 0, totalProgress = 0;
  bool completed = false;
  int pumps = 0;
  std::function<void(int)> onPump;

  void SetTotalMaximum(std::size_t rows) override { totalMaximum = rows; }
  void SetTotalProgress(std::size_t rows) override { totalProgress = rows; }
  void SetFileProgress(int percent) override { fileProgress.push_back(percent); }
  void ShowCurrentRow(std::size_t row) override { events.push_back("row " + std::to_string(row)); }
  void SetRowStatus(std::size_t row, const std::string& status) override {
    events.push_back(std::to_string(row) + " " + status);
  }
  void SetRowTarget(std::size_t row, const std::string& target) override {
    events.push_back(std::to_string(row) + " -> " + zplatform::FileNamePart(target));
  }
  void SetTimes(const std::string& elapsed, const std::string& remain) override { times.emplace_back(elapsed, remain); }
  void PumpEvents() override {
    if (onPump) onPump(++pumps);
  }
  void RunCompleted() override { completed = true; }
};

struct ScriptedPrompt : OverwritePrompt {
  std::deque<FileExistReply> replies;
  std::vector<std::string> asked;
  FileExistReply Ask(const std::string& existingPath) override {
    asked.push_back(existingPath);
    FileExistReply reply = replies.empty() ? FileExistReply{} : replies.front();
    if (!replies.empty()) replies.pop_front();
    return reply;
  }
};

// 44100 Hz stereo, `bytes` of PCM.
void MakeWav(const std::string& path, std::size_t bytes, std::uint16_t channels = 2) {
  testing_support::WriteBytes(path, testing_support::SimpleWav(channels, 44100, testing_support::Pcm16(bytes)));
}

// One source a.wav of `bytes` converted into out/, the prompt giving
// `reply`; `onPump` plays the user (or another program) during the row.
struct OneRow {
  TempDir dir;
  FileList list;
  ScriptedPrompt answers;
  ScriptedView shown;
  std::vector<StatusRow> rows;

  OneRow(std::size_t bytes, FileExistReply reply) {
    MakeWav(dir.File("a.wav"), bytes);
    list.AddFile(dir.File("a.wav"));
    fs::create_directory(dir.File("out"));
    answers.replies = {std::move(reply)};
  }
  std::vector<StatusRow> Run() {
    ConvertSettings settings;
    settings.sameDirectory = false;
    settings.outputDirectory = dir.File("out");
    BuildStatusRows(list, settings, TagRuleSettings{}, rows);
    ConversionRun run(rows, settings, shown, answers);
    run.Run();
    return run.Rows();
  }
};

class Run : public testing::Test {
 protected:
  std::string Source(const std::string& name, std::size_t bytes = 40000) {
    MakeWav(dir.File(name), bytes);
    EXPECT_TRUE(list.AddFile(dir.File(name)));
    return dir.File(name);
  }

  std::vector<StatusRow> Rows() {
    std::vector<StatusRow> rows;
    EXPECT_TRUE(BuildStatusRows(list, settings, rule, rows));
    return rows;
  }

  std::vector<StatusRow> Convert(ConversionRun::TickSource tick = {}) {
    ConversionRun run(Rows(), settings, view, prompt, std::move(tick));
    run.Run();
    return run.Rows();
  }

  TempDir dir;
  MessageRecorder messages;
  FileList list;
  ConvertSettings settings;
  TagRuleSettings rule;
  ScriptedView view;
  ScriptedPrompt prompt;
};

TEST_F(Run, StatusRowsNameTheirTargets) {
  const std::string a = Source("a.wav");
  Source("b.wav");
  Source("c.wav");
  list.SetText(1, Column::Author, "X");
  list.SetText(1, Column::Track, "3");
  list.SetText(1, Column::Title, "T");
  list.SetText(2, Column::Author, "AC/DC");
  settings.targetKind = AudioKind::Mp3;

  std::vector<StatusRow> rows = Rows();
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0].source, a);
  EXPECT_EQ(rows[0].target, dir.File("a.mp3"));
  EXPECT_EQ(rows[0].status, "Waiting");

  settings.sameFileName = false;
  rule = TagRuleSettings{false, false, false, true, false, "-"};
  rule.author = true;
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out/deeper/still");
  rows = Rows();
  EXPECT_TRUE(fs::is_directory(settings.outputDirectory));
  EXPECT_EQ(rows[0].target, dir.File("out/deeper/still/a.mp3"));  // no tags: the source's name
  EXPECT_EQ(rows[1].target, dir.File("out/deeper/still/X-3.mp3"));
  EXPECT_FALSE(rows[1].unsafeName);
  EXPECT_TRUE(rows[2].unsafeName);

  list.SetSelected(1, true);
  settings.selectedOnly = true;
  settings.outputDirectory += "/";
  rows = Rows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0].entry, 1u);
  EXPECT_EQ(rows[0].target, dir.File("out/deeper/still/X-3.mp3"));

  settings.outputDirectory = "";
  EXPECT_FALSE(BuildStatusRows(list, settings, rule, rows));
  EXPECT_TRUE(rows.empty());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Unable to create directory"});
}

TEST_F(Run, ConvertsEveryRowAndReportsProgress) {
  Source("a.wav", 20000);
  Source("b.wav", 30000);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");

  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Done");
  EXPECT_EQ(rows[1].status, "Done");
  EXPECT_EQ(fs::file_size(dir.File("out/a.wav")), 46u + 20000u);
  EXPECT_EQ(fs::file_size(dir.File("out/b.wav")), 46u + 30000u);
  EXPECT_EQ(view.events, (std::vector<std::string>{"row 0", "0 Converting", "0 Done", "row 1", "1 Converting",
                                                   "1 Done"}));
  EXPECT_EQ(view.totalMaximum, 2u);
  EXPECT_EQ(view.totalProgress, 2u);
  EXPECT_TRUE(view.completed);
  EXPECT_EQ(view.fileProgress.back(), 100);
  for (int percent : view.fileProgress) EXPECT_LE(percent, 100);
  EXPECT_TRUE(prompt.asked.empty());
  EXPECT_TRUE(AllRowsSucceeded(rows));
}

TEST_F(Run, TimeLabelsChangeOncePerWholeSecondOnceTheBarMoved) {
  Source("a.wav", 176400 * 4);  // four seconds, 87 blocks
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  std::uint32_t now = 0xFFFFF000u;  // the tick wraps during the file
  const auto rows = Convert([&now] {
    const std::uint32_t t = now;
    now += 150;
    return t;
  });
  ASSERT_EQ(rows[0].status, "Done");
  ASSERT_GE(view.times.size(), 3u);
  EXPECT_EQ(view.times.front().first, "Elapsed : 00:00:01");
  EXPECT_EQ(view.times.back(), (std::pair<std::string, std::string>{"", ""}));  // emptied at the end
  for (std::size_t i = 1; i + 1 < view.times.size(); ++i) {
    EXPECT_NE(view.times[i].first, view.times[i - 1].first);
    EXPECT_EQ(view.times[i].second.rfind("Remain  : ", 0), 0u);
  }
  // 87 blocks of 150 ms: 13 whole seconds, each shown once.
  EXPECT_EQ(view.times.size(), 13u + 1u);
}

TEST_F(Run, OverwriteAnswersDecideAboutExistingTargets) {
  struct Case {
    FileExistReply reply;
    std::string status;
    std::string written;  // the file that receives the audio, "" for none
  } const cases[] = {
      {{FileExistAnswer::None, ""}, "Skipped", ""},
      {{FileExistAnswer::Skip, ""}, "Skipped", ""},
      {{FileExistAnswer::OverWrite, ""}, "Done", "a.wav"},
      {{FileExistAnswer::UseNewName, "renamed.wav"}, "Done", "renamed.wav"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reply.answer));
    OneRow one(1000, c.reply);
    testing_support::WriteBytes(one.dir.File("out/a.wav"), {'o', 'l', 'd'});
    const std::vector<StatusRow> rows = one.Run();
    EXPECT_EQ(rows[0].status, c.status);
    EXPECT_EQ(one.answers.asked, std::vector<std::string>{one.dir.File("out/a.wav")});
    EXPECT_EQ(fs::file_size(one.dir.File("out/a.wav")), c.written == "a.wav" ? 1046u : 3u);
    if (c.written == "renamed.wav") {
      EXPECT_EQ(fs::file_size(one.dir.File("out/renamed.wav")), 1046u);
      EXPECT_EQ(rows[0].target, one.dir.File("out/renamed.wav"));
      EXPECT_EQ(one.shown.events[2], "0 -> renamed.wav");
    }
  }
}

TEST_F(Run, TwoSourcesMeetingOneTargetAskForTheSecond) {
  Source("song.wav");
  fs::create_directory(dir.File("other"));
  MakeWav(dir.File("other/song.wav"), 2000);
  list.AddFile(dir.File("other/song.wav"));
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  prompt.replies = {{FileExistAnswer::Skip, ""}};
  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Done");
  EXPECT_EQ(rows[1].status, "Skipped");
  EXPECT_EQ(prompt.asked.size(), 1u);
}

TEST_F(Run, TheSourceIsNeverWrittenOver) {
  const std::string source = Source("a.wav", 4000);
  const Bytes before = testing_support::ReadBytes(source);
  prompt.replies = {{FileExistAnswer::OverWrite, ""}};
  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Error");
  EXPECT_EQ(testing_support::ReadBytes(source), before);
}

TEST_F(Run, RowsThatCannotConvertEndInErrorAndLeaveNothingBehind) {
  Source("good.wav", 4000);
  // Listed, then spoiled: the run probes again.
  Source("spoiled.wav", 4000);
  testing_support::WriteBytes(dir.File("spoiled.wav"), {'R', 'I', 'F', 'F'});
  Source("tagged.wav", 4000);
  list.SetText(2, Column::Author, "../escape");
  settings.sameFileName = false;
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");

  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Done");
  EXPECT_EQ(rows[1].status, "Error");
  EXPECT_EQ(rows[2].status, "Error");
  EXPECT_FALSE(fs::exists(dir.File("out/spoiled.wav")));
  EXPECT_FALSE(fs::exists(dir.File("escape-tagged.wav")));
  EXPECT_FALSE(fs::exists(dir.File("escape.wav")));
  EXPECT_EQ(view.totalProgress, 3u);
  EXPECT_FALSE(AllRowsSucceeded(rows));
}

// Under a millisecond the play time reads 0, yet the audio is there.
TEST_F(Run, AFileShorterThanAMillisecondStillConverts) {
  Source("short.wav", 40);  // ten stereo frames
  Source("empty.wav", 0);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Done");
  EXPECT_EQ(fs::file_size(dir.File("out/short.wav")), 46u + 40u);
  EXPECT_EQ(rows[1].status, "Error");
  EXPECT_EQ(rows[1].reason, dir.File("empty.wav") + " holds no audio");
  EXPECT_FALSE(fs::exists(dir.File("out/empty.wav")));
}

TEST_F(Run, AWriterThatCannotOpenGivesError) {
  Source("a.wav", 4000);
  testing_support::WriteBytes(dir.File("blocker"), {1});
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("blocker/out");  // under a plain file: cannot exist
  const auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Error");
}

// The batch never replaces its own files, whatever the answer: a row's
// source, and what an earlier row of the run wrote.
TEST_F(Run, NoRowWritesOverAFileOfTheBatch) {
  fs::create_directories(dir.File("a"));
  fs::create_directories(dir.File("b"));
  fs::create_directories(dir.File("out"));
  const std::string first = Source("a/song.wav", 4000);
  const std::string second = Source("b/song.wav", 8000);
  const std::string listedTarget = Source("out/song.wav", 12000);  // also row 3's source
  const Bytes listedBefore = testing_support::ReadBytes(listedTarget);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  prompt.replies.assign(3, {FileExistAnswer::OverWrite, ""});
  auto rows = Convert();
  EXPECT_EQ(rows[0].status, "Error");
  EXPECT_EQ(rows[0].reason, listedTarget + " is the source of row 3; it is not replaced");
  EXPECT_EQ(rows[1].status, "Error");
  EXPECT_EQ(rows[1].reason, listedTarget + " is the source of row 3; it is not replaced");
  EXPECT_EQ(rows[2].status, "Error");
  EXPECT_EQ(rows[2].reason, listedTarget + " is the source itself; it is not replaced");
  EXPECT_EQ(testing_support::ReadBytes(listedTarget), listedBefore);

  // Two rows, one target: the second may not replace the first's result,
  // and only the first source may go.
  list.Remove(2);
  fs::remove(listedTarget);
  TempDir trashHome;
  setenv("XDG_DATA_HOME", trashHome.path().c_str(), 1);
  prompt.replies.assign(1, {FileExistAnswer::OverWrite, ""});
  settings.deleteSources = true;
  rows = Convert();
  EXPECT_EQ(rows[0].status, "Done");
  EXPECT_EQ(rows[1].status, "Error");
  EXPECT_EQ(rows[1].reason, listedTarget + " collides with row 1; it is not replaced");
  EXPECT_EQ(fs::file_size(listedTarget), 46u + 4000u);
  messages.confirmAnswer = zplatform::MessageAnswer::Yes;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 1u);
  EXPECT_FALSE(fs::exists(first));
  EXPECT_TRUE(fs::exists(second));
  EXPECT_EQ(messages.Texts().back(), "This source stays:\n" + second + ": not converted (Error)");
  unsetenv("XDG_DATA_HOME");
}

// A file put under the target while the audio moved (another program,
// another run) is asked about as any taken target, once the audio is done.
TEST_F(Run, ATargetTakenDuringTheRowIsAskedAboutBeforeItIsReplaced) {
  struct Case {
    FileExistReply reply;
    std::string status;
    std::size_t targetSize;
  } const cases[] = {
      {{FileExistAnswer::Skip, ""}, "Skipped", 3u},
      {{FileExistAnswer::OverWrite, ""}, "Done", 46u + 40000u},
      {{FileExistAnswer::UseNewName, "mine.wav"}, "Done", 3u},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    OneRow one(40000, c.reply);
    one.shown.onPump = [&one](int pump) {
      if (pump == 1) testing_support::WriteBytes(one.dir.File("out/a.wav"), {'o', 't', 'h'});
    };
    const std::vector<StatusRow> rows = one.Run();
    EXPECT_EQ(rows[0].status, c.status);
    EXPECT_EQ(one.answers.asked, std::vector<std::string>{one.dir.File("out/a.wav")});
    EXPECT_EQ(fs::file_size(one.dir.File("out/a.wav")), c.targetSize);
    const std::size_t files = c.reply.answer == FileExistAnswer::UseNewName ? 2u : 1u;
    EXPECT_EQ(std::distance(fs::directory_iterator(one.dir.File("out")), fs::directory_iterator()), files);
    if (c.status == "Done") {
      EXPECT_EQ(rows[0].written, zplatform::IdentityOfFile(rows[0].target));
    }
  }
}

// The question promised the Trash: a source the Trash cannot take stays,
// and the user learns which and why.
TEST_F(Run, ASourceTheTrashCannotTakeStays) {
  TempDir trashHome;
  testing_support::WriteBytes(trashHome.File("Trash"), {1});  // no directory can be made there
  setenv("XDG_DATA_HOME", trashHome.path().c_str(), 1);
  const std::string source = Source("a.wav", 4000);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  settings.deleteSources = true;
  const auto rows = Convert();
  ASSERT_EQ(rows[0].status, "Done");
  messages.confirmAnswer = zplatform::MessageAnswer::Yes;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 0u);
  EXPECT_TRUE(fs::exists(source));
  EXPECT_EQ(list.size(), 1u);
  EXPECT_EQ(messages.Texts().back(), "This source stays:\n" + source + ": the Trash " + trashHome.File("Trash") +
                                         " cannot be used, so it stays");
  // Deleting outright was asked for: then it goes.
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows, SourceRemoval::Delete), 1u);
  EXPECT_FALSE(fs::exists(source));
  unsetenv("XDG_DATA_HOME");
}

TEST_F(Run, CancelStopsAfterTheCurrentRow) {
  Source("a.wav", 100000);
  Source("b.wav", 100000);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  ConversionRun run(Rows(), settings, view, prompt);
  view.onPump = [&run](int pump) {
    if (pump == 2) run.PressButton();
  };
  run.Run();
  EXPECT_EQ(run.Rows()[0].status, "Cancelled");
  EXPECT_EQ(run.Rows()[1].status, "Waiting");
  EXPECT_FALSE(run.Completed());
  EXPECT_FALSE(view.completed);
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"You have canceled converting process"});
  // A cut-off target never gets a real name, nor leaves its temporary file.
  EXPECT_FALSE(fs::exists(dir.File("out/a.wav")));
  EXPECT_FALSE(fs::exists(dir.File("out/b.wav")));
  EXPECT_TRUE(fs::is_empty(dir.File("out")));
}

TEST_F(Run, CancelOnTheLastRowStillCompletesAndDoneShowsNoMessage) {
  Source("a.wav", 100000);
  settings.targetKind = AudioKind::Wav;
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  ConversionRun run(Rows(), settings, view, prompt);
  view.onPump = [&run](int pump) {
    if (pump == 1) run.PressButton();
  };
  run.Run();
  EXPECT_EQ(run.Rows()[0].status, "Cancelled");
  EXPECT_TRUE(view.completed);
  EXPECT_EQ(messages.messages.size(), 1u);
  run.PressButton();  // the button now reads "Done"
  EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(Run, DeletionTrashesOnlySourcesWhoseTargetsProveTheConversion) {
  TempDir trashHome;
  setenv("XDG_DATA_HOME", trashHome.path().c_str(), 1);
  const std::string done = Source("done.wav", 176400 * 3);
  const std::string skipped = Source("skipped.wav", 4000);
  const std::string failed = Source("failed.wav", 4000);
  const std::string waiting = Source("waiting.wav", 4000);
  const std::string truncated = Source("truncated.wav", 176400 * 3);
  settings.sameDirectory = false;
  settings.outputDirectory = dir.File("out");
  std::vector<StatusRow> rows = Convert();
  ASSERT_TRUE(AllRowsSucceeded(rows));
  rows[1].status = "Skipped";
  rows[2].status = "Error";
  rows[3].status = "Waiting";
  // A target cut short after the run no longer proves anything.
  fs::resize_file(dir.File("out/truncated.wav"), 46 + 176400);
  settings.deleteSources = true;

  messages.confirmAnswer = zplatform::MessageAnswer::No;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 0u);
  messages.confirmAnswer = zplatform::MessageAnswer::Cancel;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 0u);
  EXPECT_TRUE(fs::exists(done));

  messages.confirmAnswer = zplatform::MessageAnswer::Yes;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 1u);
  EXPECT_FALSE(fs::exists(done));
  for (const std::string& kept : {skipped, failed, waiting, truncated}) EXPECT_TRUE(fs::exists(kept)) << kept;
  ASSERT_EQ(list.size(), 4u);
  EXPECT_EQ(list.at(0).caption, skipped);
  std::vector<std::string> expected(3, "Delete all source file ?\n1 file will be moved to the Trash.");
  // Every source that stays is named, with why.
  expected.push_back("These sources stay:\n" + skipped + ": not converted (Skipped)\n" + failed +
                     ": not converted (Error)\n" + waiting + ": not converted (Waiting)\n" + truncated +
                     ": its target " + dir.File("out/truncated.wav") + " is no longer the file this run wrote");
  EXPECT_EQ(messages.Texts(), expected);

  // In the Trash, with the record the file manager restores it by.
  const fs::path trash = trashHome.path() / "Trash";
  EXPECT_TRUE(fs::exists(trash / "files" / "done.wav"));
  const auto info = testing_support::ReadBytes((trash / "info" / "done.wav.trashinfo").string());
  const std::string record(info.begin(), info.end());
  EXPECT_EQ(record.rfind("[Trash Info]\nPath=" + done + "\nDeletionDate=", 0), 0u) << record;

  // Asked after every run with the option set; not at all without it.
  settings.deleteSources = false;
  EXPECT_EQ(DeleteConvertedSources(list, settings, rows), 0u);
  EXPECT_EQ(messages.messages.size(), 4u);
  unsetenv("XDG_DATA_HOME");
}

TEST(Trash, SameNamesGetTheirOwnEntries) {
  TempDir home;
  TempDir files;
  setenv("XDG_DATA_HOME", home.path().c_str(), 1);
  for (int i = 0; i < 3; ++i) {
    testing_support::WriteBytes(files.File("a b%.wav"), {static_cast<std::uint8_t>(i)});
    EXPECT_EQ(MoveToTrash(files.File("a b%.wav")), TrashResult::Trashed);
  }
  const fs::path trash = home.path() / "Trash";
  EXPECT_TRUE(fs::exists(trash / "files" / "a b%.wav"));
  EXPECT_TRUE(fs::exists(trash / "files" / "a b%.1.wav"));
  EXPECT_TRUE(fs::exists(trash / "info" / "a b%.2.wav.trashinfo"));
  const auto info = testing_support::ReadBytes((trash / "info" / "a b%.wav.trashinfo").string());
  EXPECT_NE(std::string(info.begin(), info.end()).find("a%20b%25.wav"), std::string::npos);
  std::string why;
  EXPECT_EQ(MoveToTrash(files.File("missing.wav"), &why), TrashResult::Failed);
  EXPECT_EQ(why, "cannot be found: no such file or directory");

  // A name as long as names go still fits, its record keeping the full path.
  const std::string longName = std::string(251, 'n') + ".wav";
  testing_support::WriteBytes(files.File(longName), {7});
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(MoveToTrash(files.File(longName), &why), TrashResult::Trashed) << why;
    testing_support::WriteBytes(files.File(longName), {7});
  }
  std::size_t records = 0;
  for (const auto& entry : fs::directory_iterator(trash / "info")) {
    const auto bytes = testing_support::ReadBytes(entry.path().string());
    records += std::string(bytes.begin(), bytes.end()).find(longName) != std::string::npos;
    EXPECT_LE(entry.path().filename().string().size(), 255u);
  }
  EXPECT_EQ(records, 2u);
  unsetenv("XDG_DATA_HOME");
}

}  // namespace
