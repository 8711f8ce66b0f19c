#include <gtest/gtest.h>

#include <cstring>

#include "audio/song_tags.h"
#include "support/test_support.h"

namespace {

using namespace zandro;

TEST(SongTags, WavFilesReadAsAnEmptyRecordAndTakeNoTags) {
  testing_support::TempDir dir;
  const std::string path = dir.File("a.wav");
  testing_support::WriteBytes(path, testing_support::SimpleWav(2, 44100, testing_support::Pcm16(8)));
  const auto before = testing_support::ReadBytes(path);

  SongTags tags;
  std::memset(&tags, 'x', sizeof tags);
  AudioInfo info;
  info.kind = AudioKind::Wav;
  EXPECT_TRUE(ReadSongTags(path, info, tags));
  const SongTags zero{};
  EXPECT_EQ(std::memcmp(&tags, &zero, sizeof tags), 0);

  std::strcpy(tags.title, "Title");
  EXPECT_TRUE(WriteSongTags(path, info, tags));
  EXPECT_EQ(testing_support::ReadBytes(path), before);
}

}  // namespace
