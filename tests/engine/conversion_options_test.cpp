#include <gtest/gtest.h>

#include "engine/conversion_options.h"
#include "engine/overwrite_prompt.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using testing_support::MessageRecorder;
using testing_support::TempDir;

FileInspector StreamsByName() {
  return FileInspector{
      [](const std::string& path, AudioInfo& info) {
        // "/m/44100-2-x.wav": rate and channels from the name.
        const std::string name = path.substr(path.rfind('/') + 1);
        info.kind = AudioKind::Wav;
        info.sampleRate = static_cast<std::uint32_t>(std::stoul(name));
        info.channels = static_cast<std::uint32_t>(std::stoul(name.substr(name.find('-') + 1)));
        info.bitrate = 1;
        info.durationMs = 1000;
      },
      [](const std::string&, AudioInfo, SongTags&) {},
  };
}

TEST(StreamTable, OneUnsetRowPerStreamInOrderOfFirstAppearance) {
  FileList list(StreamsByName());
  for (const char* name : {"44100-2-a.wav", "44100-1-b.wav", "44100-2-c.wav", "22050-1-d.wav"}) {
    list.AddFile(std::string("/m/") + name);
  }
  const auto all = BuildStreamTable(list, false);
  ASSERT_EQ(all.size(), 3u);
  EXPECT_EQ(all[0].sampleRateText + all[0].channelsText + all[0].bitrateText, "44100stereounset");
  EXPECT_EQ(all[1].sampleRateText + all[1].channelsText, "44100mono");
  EXPECT_EQ(all[2].sampleRateText + all[2].channelsText, "22050mono");
  EXPECT_EQ(StreamOf(all[0]).channels, 2u);
  EXPECT_EQ(StreamOf(all[2]).sampleRate, 22050u);

  list.SetSelected(3, true);
  const auto selected = BuildStreamTable(list, true);
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0].sampleRateText, "22050");
}

TEST(BitrateChoices, Mp3ListsFollowTheMpegVersionOfTheRate) {
  const std::vector<std::string> mpeg1 = {"32", "40", "48", "56", "64", "80", "96", "112",
                                          "128", "160", "192", "224", "256", "320"};
  const std::vector<std::string> mpeg2 = {"8", "16", "24", "32", "40", "48", "56", "64",
                                          "80", "96", "112", "128", "144", "160"};
  for (std::uint32_t rate : {32000u, 44100u, 48000u}) EXPECT_EQ(Mp3BitrateChoices(rate), mpeg1) << rate;
  for (std::uint32_t rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 96000u}) {
    EXPECT_EQ(Mp3BitrateChoices(rate), mpeg2) << rate;
  }
}

TEST(BitrateChoices, WmaKeepsTheStreamsFormatsOnceEach) {
  WmaBitrateChoices choices({44100, 2});
  choices.Add(128000, 2, 44100);
  choices.Add(64000, 1, 44100);   // other channels
  choices.Add(96000, 2, 48000);   // other rate
  choices.Add(127500, 2, 44100);  // rounds to 128 again
  choices.Add(48500, 2, 44100);   // a half goes to the even neighbour
  choices.Add(32000, 2, 44100);
  EXPECT_EQ(choices.Choices(), (std::vector<std::string>{"128", "48", "32"}));
}

TEST(BitrateChoices, ConvertNeedsEveryStreamSetForLossyTargets) {
  MessageRecorder messages;
  ConvertSettings settings;
  settings.streamBitrates = {{"44100", "stereo", "128"}, {"22050", "mono", "unset"}};
  struct Case {
    AudioKind kind;
    bool accepted;
  } const cases[] = {{AudioKind::Mp3, false}, {AudioKind::Wma, false}, {AudioKind::Wav, true}};
  for (const Case& c : cases) {
    settings.targetKind = c.kind;
    EXPECT_EQ(CheckAllBitratesSet(settings), c.accepted);
  }
  EXPECT_EQ(messages.Texts(), (std::vector<std::string>{"Please set all bitrate for converting first",
                                                        "Please set all bitrate for converting first"}));
  ResetBitrates(settings.streamBitrates);
  EXPECT_EQ(settings.streamBitrates[0].bitrateText, "unset");
}

TEST(OverwritePrompt, NewNameMustBeAFreePlainFileName) {
  TempDir dir;
  testing_support::WriteBytes(dir.File("taken.mp3"), {1});
  testing_support::WriteBytes(dir.File("other.mp3"), {1});
  const std::string existing = dir.File("taken.mp3");
  const std::string prefix = dir.path().string() + "/";
  EXPECT_EQ(InitialNewName(existing), "taken.mp3");
  struct Case {
    std::string name;
    std::string problem;
  } const cases[] = {
      {"taken.mp3", prefix + "taken.mp3 still exists!"},
      {"other.mp3", prefix + "other.mp3 still exists!"},
      {"free.mp3", ""},
      {"free", ""},
      {"", prefix + " is not a valid file name!"},
      {".", prefix + ". is not a valid file name!"},
      {"..", prefix + ".. is not a valid file name!"},
      {"sub/free.mp3", prefix + "sub/free.mp3 is not a valid file name!"},
  };
  for (const Case& c : cases) EXPECT_EQ(NewNameProblem(existing, c.name), c.problem) << c.name;

  MessageRecorder messages;
  EXPECT_FALSE(AcceptNewName(existing, "taken.mp3"));
  EXPECT_TRUE(AcceptNewName(existing, "free.mp3"));
  ASSERT_EQ(messages.messages.size(), 1u);
  EXPECT_EQ(messages.messages[0].kind, zplatform::MessageKind::Error);
}

}  // namespace
