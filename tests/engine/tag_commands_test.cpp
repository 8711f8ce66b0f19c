// The tag commands and auto-rename on copies of real MP3 and WMA files,
// through the real WMA library.

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "audio/audio_io.h"
#include "audio/wma_bridge.h"
#include "engine/auto_rename.h"
#include "engine/tag_commands.h"
#include "support/test_support.h"
#include "zplatform/diagnostics.h"
#include "zplatform/text.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

class Tags : public testing::Test {
 protected:
  void SetUp() override {
    zplatform::SetDiagnosticSink([](std::string_view) {});
    LoadWmaLibrary();
    ASSERT_TRUE(WmaAvailable());
  }

  // Copies a fixture in, gives it tags, and lists it.
  std::string Add(const char* fixture, const std::string& name, const char* title = "", const char* author = "") {
    const std::string path = dir.File(name);
    fs::copy_file(testing_support::RealFixture(fixture), path);
    if (KindFromFileName(path) != AudioKind::Wav) {
      SongTags tags{};
      zplatform::CopyToField(title, tags.title);
      zplatform::CopyToField(author, tags.author);
      AudioInfo info;
      info.kind = KindFromFileName(path);
      EXPECT_TRUE(WriteSongTags(path, info, tags));
    }
    EXPECT_TRUE(list.AddFile(path));
    return path;
  }

  static SongTags Stored(const std::string& path) {
    AudioInfo info;
    info.kind = KindFromFileName(path);
    SongTags tags;
    EXPECT_TRUE(ReadSongTags(path, info, tags));
    return tags;
  }

  TempDir dir;
  MessageRecorder messages;
  FileList list;
};

struct ScriptedTagDialog : TagDialog {
  bool accept = true;
  SongTags shown{};
  SongTags entered{};
  int opened = 0;
  bool Edit(SongTags& tags) override {
    ++opened;
    shown = tags;
    if (accept) tags = entered;
    return accept;
  }
};

TEST_F(Tags, EditingOneFileStartsFromTheRowAndWritesTheFirstSelected) {
  Add("xing.mp3", "a.mp3", "A title");
  const std::string b = Add("silence-1.wma", "b.wma", "B title");
  const std::string c = Add("xing.mp3", "c.mp3", "C title");
  list.SetSelected(1, true);
  list.SetSelected(2, true);
  list.SetText(1, Column::Author, "Shown only");  // the dialog shows the row, not the file

  ScriptedTagDialog dialog;
  dialog.accept = false;
  EXPECT_FALSE(ChangeTagInfo(list, dialog));
  EXPECT_STREQ(dialog.shown.title, "B title");
  EXPECT_STREQ(dialog.shown.author, "Shown only");
  EXPECT_STREQ(Stored(b).author, "");  // Cancel wrote nothing

  dialog.accept = true;
  zplatform::CopyToField("New", dialog.entered.title);
  zplatform::CopyToField("Someone", dialog.entered.author);
  zplatform::CopyToField("2020", dialog.entered.year);
  EXPECT_TRUE(ChangeTagInfo(list, dialog));
  EXPECT_STREQ(Stored(b).title, "New");
  EXPECT_STREQ(Stored(b).year, "2020");
  EXPECT_EQ(list.at(1).Text(Column::Title), "New");
  EXPECT_EQ(list.at(1).Text(Column::Year), "2020");
  EXPECT_STREQ(Stored(c).title, "C title");  // only the first selected row
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(Tags, CommandsRefuseWithoutSelectionAndOnWavFiles) {
  Add("xing.mp3", "a.mp3", "A");
  Add("empty.wav", "b.wav");
  ScriptedTagDialog dialog;
  EXPECT_FALSE(ChangeTagInfo(list, dialog));
  EXPECT_FALSE(GroupSetTag(list, GroupField::Year));
  list.SetSelected(1, true);  // the WAV row
  EXPECT_FALSE(ChangeTagInfo(list, dialog));
  EXPECT_EQ(dialog.opened, 0);
  list.SetSelected(0, true);
  messages.inputAnswers = {"1999"};
  EXPECT_FALSE(GroupSetTag(list, GroupField::Year));
  const std::string none = "There is no file selected !";
  const std::string wav = "Can't set tag information to wav file !";
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{none, none, wav, wav}));
  EXPECT_STREQ(Stored(dir.File("a.mp3")).year, "");
  EXPECT_EQ(messages.inputAnswers.size(), 1u);  // never asked
}

TEST_F(Tags, GroupSetKeepsEachFilesOtherFields) {
  const std::string a = Add("xing.mp3", "a.mp3", "Title A", "Author A");
  const std::string b = Add("silence-1.wma", "b.wma", "Title B", "Author B");
  list.SelectByKind(KindChoice::All);
  list.SetText(0, Column::Title, "stale row text");

  struct Case {
    GroupField field;
    std::string entered;
    std::string caption;
    std::size_t limit;
  } const cases[] = {
      {GroupField::Year, "1987", "Set Year", 19},
      {GroupField::Album, "An album", "Set Album", 255},
      {GroupField::Album, "", "Set Album", 255},
      {GroupField::Author, std::string(300, 'x'), "Set Author", 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.caption + " " + c.entered.substr(0, 10));
    messages.messages.clear();
    messages.inputLimits.clear();
    messages.inputAnswers = {c.entered};
    EXPECT_TRUE(GroupSetTag(list, c.field));
    EXPECT_EQ(messages.messages[0].caption, c.caption);
    EXPECT_EQ(messages.inputLimits[0], c.limit);
  }
  for (const std::string& path : {a, b}) {
    const SongTags tags = Stored(path);
    EXPECT_STREQ(tags.year, "1987");
    EXPECT_STREQ(tags.album, "");
    EXPECT_EQ(std::string(tags.author), std::string(255, 'x'));
  }
  EXPECT_STREQ(Stored(a).title, "Title A");  // read back from the file, not the row
  EXPECT_STREQ(Stored(b).title, "Title B");
  EXPECT_EQ(list.at(1).Text(Column::Year), "1987");
  EXPECT_EQ(list.at(1).Text(Column::Album), "");

  messages.inputAnswers.clear();  // Cancel
  EXPECT_FALSE(GroupSetTag(list, GroupField::Year));
  EXPECT_STREQ(Stored(a).year, "1987");
}

struct AcceptRule : TagRuleDialog {
  bool accept = true;
  TagRuleSettings seen;
  std::function<void(TagRuleSettings&)> change;
  bool Edit(TagRuleSettings& rule) override {
    seen = rule;
    if (accept && change) change(rule);
    return accept;
  }
};

struct ScriptedPrompt : OverwritePrompt {
  std::deque<FileExistReply> replies;
  std::vector<std::string> asked;
  FileExistReply Ask(const std::string& path) override {
    asked.push_back(path);
    FileExistReply reply = replies.empty() ? FileExistReply{} : replies.front();
    if (!replies.empty()) replies.pop_front();
    return reply;
  }
};

TEST(RulePattern, NamesTheChosenFieldsInTheirFixedOrder) {
  TagRuleSettings rule;
  EXPECT_EQ(RulePattern(rule), "Author-Year-Album-Track-Title");
  rule.year = rule.track = false;
  EXPECT_EQ(RulePattern(rule), "Author-Album-Title");
  rule.splitter = " - ";
  EXPECT_EQ(RulePattern(rule), "Author - Album - Title");
  rule.author = rule.album = rule.title = false;
  EXPECT_EQ(RulePattern(rule), "");
  for (char32_t c : {U'\\', U'/', U':', U'*', U'?', U'"', U'<', U'>', U'|'}) EXPECT_TRUE(IsRefusedSplitterCharacter(c));
  for (char32_t c : {U'-', U'_', U' ', U'.', U'\u00e9'}) EXPECT_FALSE(IsRefusedSplitterCharacter(c));
}

TEST_F(Tags, AutoRenameNamesFilesFromTheirTags) {
  const std::string track = Add("xing.mp3", "track01.MP3", "Xyz", "Abc");
  const std::string untagged = Add("xing.mp3", "untagged.mp3");
  const std::string slash = Add("xing.mp3", "slash.mp3", "b", "a/");
  const std::string dot = Add("xing.mp3", "dot.mp3", "", ".");
  list.SelectByKind(KindChoice::All);
  TagRuleSettings rule;
  rule.year = false;  // the command switches every field back on
  rule.splitter = "-";
  AcceptRule dialog;
  ScriptedPrompt prompt;

  const auto renamed = AutoRename(list, rule, dialog, prompt);
  EXPECT_TRUE(dialog.seen.year);
  ASSERT_EQ(renamed.size(), 1u);
  EXPECT_EQ(renamed[0].newPath, dir.File("Abc-Xyz.MP3"));
  EXPECT_TRUE(fs::exists(dir.File("Abc-Xyz.MP3")));
  EXPECT_FALSE(fs::exists(track));
  EXPECT_EQ(list.at(0).caption, dir.File("Abc-Xyz.MP3"));
  for (const std::string& kept : {untagged, slash, dot}) EXPECT_TRUE(fs::exists(kept)) << kept;
  EXPECT_TRUE(prompt.asked.empty());
  // Running it again finds every name already right: nothing asked, nothing moved.
  EXPECT_TRUE(AutoRename(list, rule, dialog, prompt).empty());
  EXPECT_TRUE(prompt.asked.empty());

  dialog.accept = false;  // a cancelled rule changes nothing
  list.SetText(1, Column::Title, "Other");
  EXPECT_TRUE(AutoRename(list, rule, dialog, prompt).empty());
  EXPECT_TRUE(fs::exists(untagged));
}

TEST_F(Tags, AutoRenameAsksAboutTakenNames) {
  struct Case {
    FileExistReply reply;
    bool moved;
    std::string finalName;
    bool otherKept;
  } const cases[] = {
      {{FileExistAnswer::Skip, ""}, false, "a.mp3", true},
      {{FileExistAnswer::None, ""}, false, "a.mp3", true},
      {{FileExistAnswer::OverWrite, ""}, true, "X-T.mp3", false},
      {{FileExistAnswer::UseNewName, "fresh.mp3"}, true, "fresh.mp3", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.reply.answer));
    TempDir local;
    FileList rows;
    const std::string a = local.File("a.mp3");
    fs::copy_file(testing_support::RealFixture("xing.mp3"), a);
    testing_support::WriteBytes(local.File("X-T.mp3"), {'o', 't', 'h', 'e', 'r'});
    ASSERT_TRUE(rows.AddFile(a));
    rows.SetText(0, Column::Author, "X");
    rows.SetText(0, Column::Title, "T");
    rows.SetSelected(0, true);
    TagRuleSettings rule;
    AcceptRule dialog;
    ScriptedPrompt prompt;
    prompt.replies = {c.reply};
    AutoRename(rows, rule, dialog, prompt);
    EXPECT_EQ(prompt.asked, std::vector<std::string>{local.File("X-T.mp3")});
    EXPECT_EQ(rows.at(0).caption, local.File(c.finalName));
    EXPECT_TRUE(fs::exists(local.File(c.finalName)));
    EXPECT_EQ(fs::exists(a), !c.moved);
    EXPECT_EQ(fs::exists(local.File("X-T.mp3")) && fs::file_size(local.File("X-T.mp3")) == 5, c.otherKept);
  }
}

TEST_F(Tags, UndoPutsBackWhatStillStandsUnderItsNewName) {
  const std::string a = Add("xing.mp3", "a.mp3", "T1", "X");
  Add("xing.mp3", "b.mp3", "T2", "X");
  const std::string c = Add("xing.mp3", "c.mp3", "T3", "X");
  list.SelectByKind(KindChoice::All);
  TagRuleSettings rule;
  AcceptRule dialog;
  dialog.change = [](TagRuleSettings& r) { r.author = r.year = r.album = r.track = false; };
  ScriptedPrompt prompt;
  const auto batch = AutoRename(list, rule, dialog, prompt);
  ASSERT_EQ(batch.size(), 3u);
  fs::remove(dir.File("T2.mp3"));                              // gone since
  testing_support::WriteBytes(c, {1});                         // the old name is taken again
  const UndoOutcome undone = UndoAutoRename(list, batch);
  ASSERT_EQ(undone.restored.size(), 1u);
  EXPECT_TRUE(fs::exists(a));
  EXPECT_EQ(list.at(0).caption, a);
  EXPECT_EQ(list.at(1).caption, dir.File("T2.mp3"));
  EXPECT_EQ(list.at(2).caption, dir.File("T3.mp3"));
  EXPECT_TRUE(fs::exists(dir.File("T3.mp3")));
  ASSERT_EQ(undone.problems.size(), 2u);
  EXPECT_NE(undone.problems[0].find("taken"), std::string::npos);
  EXPECT_NE(undone.problems[1].find("gone"), std::string::npos);
}

TEST(RenameNoReplace, NeverReplacesAnExistingFile) {
  TempDir dir;
  testing_support::WriteBytes(dir.File("a"), {1});
  testing_support::WriteBytes(dir.File("b"), {2});
  EXPECT_FALSE(RenameNoReplace(dir.File("a"), dir.File("b")));
  EXPECT_EQ(testing_support::ReadBytes(dir.File("b")), testing_support::Bytes{2});
  EXPECT_TRUE(RenameNoReplace(dir.File("a"), dir.File("c")));
  EXPECT_FALSE(fs::exists(dir.File("a")));
  EXPECT_FALSE(RenameNoReplace(dir.File("missing"), dir.File("d")));
}

}  // namespace
