#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "engine/file_list.h"
#include "support/test_support.h"
#include "zplatform/path.h"
#include "zplatform/text.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;
namespace fs = std::filesystem;

// Probes by table (by file name), or by extension for anything else.
struct FakeFiles {
  std::map<std::string, AudioInfo> infos;
  std::map<std::string, SongTags> tags;

  FileInspector Inspector() {
    return FileInspector{
        [this](const std::string& path, AudioInfo& info) {
          const std::string name = zplatform::FileNamePart(path);
          if (auto found = infos.find(name); found != infos.end()) {
            info = found->second;
            return;
          }
          info.kind = KindFromFileName(path);
          info.sampleRate = 44100;
          info.channels = 2;
          info.bitrate = 128;
          info.durationMs = 1000;
        },
        [this](const std::string& path, AudioInfo, SongTags& out) {
          if (auto found = tags.find(zplatform::FileNamePart(path)); found != tags.end()) out = found->second;
        },
    };
  }
};

void Touch(const fs::path& path) {
  fs::create_directories(path.parent_path());
  std::ofstream(path) << "x";
}

std::vector<std::string> Captions(const FileList& list) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < list.size(); ++i) out.push_back(zplatform::FileNamePart(list.at(i).caption));
  return out;
}

TEST(FileList, TheSameFileIsListedOnceHoweverItsPathIsWritten) {
  TempDir dir;
  FakeFiles files;
  FileList list(files.Inspector());
  Touch(dir.path() / "a.wav");
  Touch(dir.path() / "A.wav");  // another file on a case-sensitive system
  fs::create_directory(dir.path() / "sub");
  fs::create_symlink(dir.path() / "a.wav", dir.path() / "link.wav");

  EXPECT_TRUE(list.AddFile(dir.File("a.wav")));
  EXPECT_FALSE(list.AddFile(dir.File("a.wav")));
  EXPECT_FALSE(list.AddFile(dir.File("sub/../a.wav")));
  EXPECT_FALSE(list.AddFile(dir.File("link.wav")));
  EXPECT_TRUE(list.AddFile(dir.File("A.wav")));
  EXPECT_EQ(list.size(), 2u);

  // Once removed, the file may be added again.
  list.Remove(0);
  EXPECT_TRUE(list.AddFile(dir.File("a.wav")));
}

TEST(FileList, ARowNeedsARateABitRateOrATime) {
  struct Case {
    std::uint32_t rate, bitrate, durationMs;
    bool listed;
  } const cases[] = {{0, 0, 0, false}, {8000, 0, 0, true}, {0, 64, 0, true}, {0, 0, 1, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << "/" << c.bitrate << "/" << c.durationMs);
    FakeFiles files;
    files.infos["x.mp3"] = AudioInfo{AudioKind::Mp3, c.rate, 2, c.bitrate, 0, 0, 0, c.durationMs};
    FileList list(files.Inspector());
    EXPECT_EQ(list.AddFile("/music/x.mp3"), c.listed);
    EXPECT_EQ(list.size(), c.listed ? 1u : 0u);
  }
}

TEST(FileList, RowTextsFollowTheColumnFormats) {
  SongTags tags{};
  zplatform::CopyToField("Title", tags.title);
  zplatform::CopyToField("Author", tags.author);
  zplatform::CopyToField("Album", tags.album);
  zplatform::CopyToField("2001", tags.year);
  zplatform::CopyToField("7", tags.track);
  struct Case {
    AudioInfo info;
    std::array<std::string, 5> expected;  // type, rate, channels, bitrate, time
  } const cases[] = {
      {{AudioKind::Mp3, 44100, 2, 128, 0, 0, 0, 999}, {"MP3", "44100", "stereo", "128", "00:00:00"}},
      {{AudioKind::Wav, 22050, 1, 344, 0, 0, 0, 3725900}, {"WAV", "22050", "mono", "344", "01:02:05"}},
      {{AudioKind::Wma, 8000, 6, 0, 0, 0, 0, 360000000}, {"WMA", "8000", "mono", "0", "100:00:00"}},
  };
  for (const Case& c : cases) {
    const auto texts = RowTexts(c.info, tags);
    for (std::size_t i = 0; i < 5; ++i) EXPECT_EQ(texts[i], c.expected[i]);
    EXPECT_EQ(texts[5], "Title");
    EXPECT_EQ(texts[6], "Author");
    EXPECT_EQ(texts[7], "Album");
    EXPECT_EQ(texts[8], "7");
    EXPECT_EQ(texts[9], "2001");
  }
}

TEST(FileList, SortingComparesTextAscendingWithoutRegardToCase) {
  FakeFiles files;
  const std::uint32_t rates[] = {44100, 8000, 22050, 11025};
  const char* names[] = {"b.wav", "C.wav", "a.wav", "D.wav"};
  const std::uint32_t bitrates[] = {64, 128, 320, 1411};
  FileList list(files.Inspector());
  for (int i = 0; i < 4; ++i) {
    files.infos[names[i]] = AudioInfo{AudioKind::Wav, rates[i], 2, bitrates[i], 0, 0, 0, 1000};
    list.AddFile(std::string("/m/") + names[i]);
  }

  list.SortByColumn(static_cast<int>(Column::SamplesPerSec));
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"D.wav", "a.wav", "b.wav", "C.wav"}));
  list.SortByColumn(static_cast<int>(Column::SamplesPerSec));
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"D.wav", "a.wav", "b.wav", "C.wav"}));
  list.SortByColumn(static_cast<int>(Column::Bitrate));  // 128 before 1411 before 320 before 64
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"C.wav", "D.wav", "a.wav", "b.wav"}));
  list.SortByColumn(static_cast<int>(Column::FileName));
  EXPECT_EQ(Captions(list), (std::vector<std::string>{"a.wav", "b.wav", "C.wav", "D.wav"}));
  EXPECT_EQ(list.SortColumn(), 0);
}

class FourKinds : public testing::Test {
 protected:
  void SetUp() override {
    for (const char* name : {"one.wma", "two.MP3", "three.Wav", "four.WMA"}) list.AddFile(std::string("/m/") + name);
  }
  FakeFiles files;
  FileList list{files.Inspector()};
};

TEST_F(FourKinds, SelectAndDeleteByKindJudgeTheExtension) {
  struct Case {
    KindChoice kind;
    std::vector<std::string> matching;
  } const cases[] = {
      {KindChoice::All, {"one.wma", "two.MP3", "three.Wav", "four.WMA"}},
      {KindChoice::Wma, {"one.wma", "four.WMA"}},
      {KindChoice::Mp3, {"two.MP3"}},
      {KindChoice::Wav, {"three.Wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    list.SelectByKind(KindChoice::All);
    list.SelectByKind(c.kind);  // replaces the previous selection
    std::vector<std::string> selected;
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (list.at(i).selected) selected.push_back(zplatform::FileNamePart(list.at(i).caption));
    }
    EXPECT_EQ(selected, c.matching);

    FileList copy(files.Inspector());
    for (std::size_t i = 0; i < list.size(); ++i) copy.AddFile(list.at(i).caption);
    copy.DeleteByKind(c.kind);
    EXPECT_EQ(copy.size(), 4 - c.matching.size());
  }
}

TEST_F(FourKinds, DeleteSelectedNeedsASelection) {
  MessageRecorder messages;
  list.SelectByKind(KindChoice::Mp3);
  list.SetSelected(2, false);
  list.SetSelected(1, false);
  EXPECT_FALSE(list.DeleteSelected());
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"There is no file selected !"});
  EXPECT_EQ(list.size(), 4u);

  list.SetSelected(0, true);
  list.SetSelected(1, true);
  list.SetSelected(3, true);
  EXPECT_TRUE(list.DeleteSelected());
  EXPECT_EQ(Captions(list), std::vector<std::string>{"three.Wav"});
  EXPECT_EQ(messages.messages.size(), 1u);
}

TEST_F(FourKinds, StatusTextCountsByTypeAndFollowsEveryChange) {
  FileList empty(files.Inspector());
  EXPECT_EQ(empty.StatusText(),
            "Total 0 audio files listed(0 wma/0 mp3/0 wav)    Total 0 audio files selected(0 wma/0 mp3/0 wav)");

  list.SetSelected(0, true);
  list.SetSelected(1, true);
  EXPECT_EQ(list.StatusText(),
            "Total 4 audio files listed(2 wma/1 mp3/1 wav)    Total 2 audio files selected(1 wma/1 mp3/0 wav)");
  list.Remove(0);
  list.SelectByKind(KindChoice::Wav);
  EXPECT_EQ(list.StatusText(),
            "Total 3 audio files listed(1 wma/1 mp3/1 wav)    Total 1 audio files selected(0 wma/0 mp3/1 wav)");
  list.Clear();
  EXPECT_EQ(list.StatusText(), empty.StatusText());
}

TEST(FileList, DirectoryScanDescendsRealDirectoriesAndFilters) {
  TempDir dir;
  for (const char* name : {"top.wma", "a/mid.MP3", "a/b/deep.Wav", "a/note.txt", "a/song.ogg", ".hidden/x.wav",
                           "a/b/c/d/e/far.mp3"}) {
    Touch(dir.path() / name);
  }
  fs::create_directory_symlink(dir.path(), dir.path() / "a" / "loop");  // would never end if followed
  fs::create_symlink(dir.path() / "top.wma", dir.path() / "a" / "alias.wma");

  struct Case {
    ScanFilter filter;
    std::vector<std::string> listed;
  } const cases[] = {
      {ScanFilter::All, {"top.wma", "mid.MP3", "deep.Wav", "far.mp3"}},
      {ScanFilter::Wma, {"top.wma"}},
      {ScanFilter::Mp3, {"mid.MP3", "far.mp3"}},
      {ScanFilter::Wav, {"deep.Wav"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.filter));
    FakeFiles files;
    FileList list(files.Inspector());
    EXPECT_EQ(list.AddDirectory(dir.path().string(), c.filter), c.listed.size());
    std::vector<std::string> got = Captions(list);
    std::vector<std::string> expected = c.listed;
    std::sort(got.begin(), got.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(got, expected);
    for (std::size_t i = 0; i < list.size(); ++i) EXPECT_EQ(list.at(i).caption.find("//"), std::string::npos);
  }

  FakeFiles files;
  FileList list(files.Inspector());
  EXPECT_EQ(list.AddDirectory(dir.File("missing"), ScanFilter::All), 0u);
  EXPECT_EQ(list.AddDirectory("", ScanFilter::All), 0u);
  EXPECT_EQ(list.AddDirectory(dir.path().string() + "/", ScanFilter::All), 4u);
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 0u);  // all duplicates
}

TEST(FileList, ObserverHearsEveryRowChange) {
  struct Recorder : FileListObserver {
    std::vector<std::string> events;
    void RowInserted(std::size_t row) override { events.push_back("+" + std::to_string(row)); }
    void RowRemoved(std::size_t row) override { events.push_back("-" + std::to_string(row)); }
    void RowChanged(std::size_t row) override { events.push_back("~" + std::to_string(row)); }
    void RowsReordered() override { events.push_back("sort"); }
  } recorder;
  FakeFiles files;
  FileList list(files.Inspector());
  list.SetObserver(&recorder);
  list.AddFile("/m/a.wav");
  list.AddFile("/m/b.wav");
  list.SetSelected(1, true);
  list.SetSelected(1, true);  // no change, no event
  list.SortByColumn(0);
  list.DeleteSelected();
  EXPECT_EQ(recorder.events, (std::vector<std::string>{"+0", "+1", "~1", "sort", "-1"}));
}

TEST(FileList, StopScanEndsTheRunningScanOnlyAndNothingAfterIt) {
  TempDir dir;
  for (const char* name : {"1.wav", "2.wav", "a/3.wav", "a/b/4.wav", "a/b/5.wav", "c/6.wav"}) Touch(dir.path() / name);

  // Stops from inside the scan, as a window does when it closes while the
  // scan lets events run.
  struct Stopper : FileListObserver {
    FileList* list = nullptr;
    std::size_t stopAt = 0;
    void RowInserted(std::size_t row) override {
      if (row + 1 == stopAt) list->StopScan();
    }
    void RowRemoved(std::size_t) override {}
    void RowChanged(std::size_t) override {}
    void RowsReordered() override {}
  } stopper;
  FakeFiles files;
  FileList list(files.Inspector());
  stopper.list = &list;
  stopper.stopAt = 3;
  list.SetObserver(&stopper);
  list.StopScan();  // no scan running: must not affect the next one
  EXPECT_FALSE(list.Scanning());
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 3u);
  EXPECT_FALSE(list.Scanning());

  stopper.stopAt = 0;
  EXPECT_EQ(list.AddDirectory(dir.path().string(), ScanFilter::All), 3u);  // the rest, then all duplicates
  EXPECT_EQ(list.size(), 6u);
}

}  // namespace
