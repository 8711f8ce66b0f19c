#include <gtest/gtest.h>

#include "engine/conversion_inputs.h"

namespace {

using namespace zandro;

TEST(ChosenBitrate, FirstMatchingStreamGivesTheRate) {
  const std::vector<StreamBitrateRow> table = {
      {"44100", "stereo", "128"}, {"44100", "mono", "64"}, {"22050", "mono", "unset"},
      {"44100", "stereo", "320"},  // a later duplicate never wins
  };
  struct Case {
    std::uint32_t rate;
    std::uint32_t channels;
    int expected;
  } const cases[] = {
      {44100, 2, 128}, {44100, 1, 64}, {22050, 2, 0}, {44100, 6, 0}, {22050, 1, 0}, {0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.rate << "/" << c.channels);
    EXPECT_EQ(ChosenBitrate(table, c.rate, c.channels), c.expected);
  }
  EXPECT_EQ(ChosenBitrate({}, 44100, 2), 0);
}

FileListEntry Row(std::string author, std::string year, std::string album, std::string track,
                  std::string title) {
  FileListEntry row;
  row.caption = "/music/source.wav";
  row.Text(Column::Author) = std::move(author);
  row.Text(Column::Year) = std::move(year);
  row.Text(Column::Album) = std::move(album);
  row.Text(Column::Track) = std::move(track);
  row.Text(Column::Title) = std::move(title);
  return row;
}

TEST(BuildNameFromTags, FollowsTheRuleInItsFixedOrder) {
  TagRuleSettings all;
  TagRuleSettings authorTrack{.author = true, .year = false, .album = false, .track = true,
                              .title = false, .splitter = "-"};
  TagRuleSettings authorTrackTitle = authorTrack;
  authorTrackTitle.title = true;
  TagRuleSettings none{.author = false, .year = false, .album = false, .track = false,
                       .title = false, .splitter = "-"};
  TagRuleSettings spaced = all;
  spaced.splitter = " - ";
  TagRuleSettings joined = all;
  joined.splitter = "";

  struct Case {
    const char* what;
    FileListEntry row;
    TagRuleSettings rule;
    const char* expected;
  } const cases[] = {
      {"all on", Row("Abc", "2001", "Def", "3", ""), all, "Abc-2001-Def-3"},
      {"author and track", Row("X", "1999", "Alb", "3", "T"), authorTrack, "X-3"},
      {"empty title", Row("X", "", "", "3", ""), authorTrackTitle, "X-3"},
      {"long splitter", Row("A", "", "B", "", "C"), spaced, "A - B - C"},
      {"empty splitter", Row("A", "", "B", "", ""), joined, "AB"},
      {"all empty", Row("", "", "", "", ""), all, ""},
      {"all off", Row("A", "1", "B", "2", "C"), none, ""},
      {"texts as they stand", Row(" A/B ", "", "", "", "x:y"), all, " A/B -x:y"},
      {"utf-8", Row("Bj\xC3\xB6rk", "", "", "", "J\xC3\xB3ga"), spaced, "Bj\xC3\xB6rk - J\xC3\xB3ga"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(BuildNameFromTags(c.row, c.rule), c.expected);
  }
}

TEST(FormatDuration, TwoDigitsAtLeastAndUnlimitedHours) {
  const std::pair<std::uint64_t, const char*> cases[] = {
      {0, "00:00:00"},     {5, "00:00:05"},     {59, "00:00:59"},  {60, "00:01:00"},
      {3600, "01:00:00"},  {3725, "01:02:05"},  {360000, "100:00:00"},
      {4294967295u, "1193046:28:15"},
  };
  for (const auto& [seconds, text] : cases) {
    EXPECT_EQ(FormatDuration(seconds), text) << seconds;
  }
}

TEST(FileListEntry, ColumnsMapOntoCaptionAndSubItems) {
  FileListEntry row;
  row.Text(Column::FileName) = "/a.wav";
  row.Text(Column::Type) = "WAV";
  row.Text(Column::Year) = "2001";
  EXPECT_EQ(row.caption, "/a.wav");
  EXPECT_EQ(row.subItems[0], "WAV");
  EXPECT_EQ(row.subItems[9], "2001");
  EXPECT_EQ(kColumnCaptions[4], "Bitrate(kbps)");
}

}  // namespace
