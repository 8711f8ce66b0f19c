#include <gtest/gtest.h>

#include <filesystem>

#include "audio/audio_io.h"
#include "audio/song_tags.h"
#include "audio/wma_bridge.h"
#include "support/test_support.h"

// Each test binds once, as a process does; CTest runs every test in a
// process of its own.

namespace {

using namespace zandro;
using testing_support::TempDir;
namespace fs = std::filesystem;

void Place(const TempDir& dir, const std::string& sub, const char* library, bool runtime) {
  fs::create_directories(dir.path() / sub);
  if (library) fs::copy_file(library, dir.path() / sub / kWmaLibraryFile);
  if (runtime) testing_support::WriteBytes((dir.path() / sub / kWmaRuntimeFile).string(), {0});
}

TEST(WmaBinding, WithoutTheRuntimeTheLibraryIsNotLoaded) {
  TempDir dir;
  Place(dir, "bin", FAKE_WMA_LIBRARY, false);
  LoadWmaLibrary({dir.File("bin"), dir.File("lib")});
  EXPECT_FALSE(WmaAvailable());
  EXPECT_EQ(Wma().CheckWMAFileInfo, nullptr);

  // The audio operations then fail for WMA without calling anything.
  AudioInfo info;
  EXPECT_FALSE(ProbeAudioFile(dir.File("x.wma"), info));
  EXPECT_EQ(info.kind, AudioKind::Wma);
  EXPECT_EQ(info.sampleRate, 0u);
  SongTags tags;
  EXPECT_FALSE(ReadSongTags(dir.File("x.mp3"), AudioInfo{AudioKind::Mp3, 0, 0, 0, 0, 0, 0, 0}, tags));
  EXPECT_FALSE(OpenAudioWriter(dir.File("y.wma"), info));
  EXPECT_FALSE(CloseAudioWriter(info));
}

TEST(WmaBinding, RuntimeAndLibraryBindAllTenNames) {
  TempDir dir;
  // The runtime in the library directory, the library in the program's.
  Place(dir, "bin", FAKE_WMA_LIBRARY, false);
  Place(dir, "lib", nullptr, true);
  LoadWmaLibrary({dir.File("bin"), dir.File("lib")});
  ASSERT_TRUE(WmaAvailable());
  const WmaBridge& bridge = Wma();
  for (const void* slot : {reinterpret_cast<const void*>(bridge.InitWMAWriteFile),
                           reinterpret_cast<const void*>(bridge.WriteWMAFile),
                           reinterpret_cast<const void*>(bridge.CloseWMAWriteFile),
                           reinterpret_cast<const void*>(bridge.CheckWMAFileInfo),
                           reinterpret_cast<const void*>(bridge.InitWMAReadFile),
                           reinterpret_cast<const void*>(bridge.ReadWMAFile),
                           reinterpret_cast<const void*>(bridge.CloseWMAReadFile),
                           reinterpret_cast<const void*>(bridge.GetWmaSongInfo),
                           reinterpret_cast<const void*>(bridge.SetWmaSongInfo),
                           reinterpret_cast<const void*>(bridge.EnumWMAFormat)}) {
    EXPECT_NE(slot, nullptr);
  }

  // The dispatch goes through the table.
  AudioInfo info;
  EXPECT_TRUE(ProbeAudioFile("any.WMA", info));
  EXPECT_EQ(info.sampleRate, 48000u);
  EXPECT_EQ(info.durationMs, 3712u);
  ASSERT_TRUE(OpenAudioReader("any.wma", info, 0));
  const std::uint8_t* data = nullptr;
  std::uint32_t count = 0;
  int blocks = 0;
  while (ReadAudioBlock(info, data, count)) {
    EXPECT_EQ(count, 4u);
    EXPECT_EQ(data[3], 4);
    ++blocks;
  }
  EXPECT_EQ(blocks, 2);
  CloseAudioReader(info);
  CloseAudioReader(info);
  SongTags tags;
  EXPECT_TRUE(ReadSongTags("x.mp3", AudioInfo{AudioKind::Mp3, 0, 0, 0, 0, 0, 0, 0}, tags));
  EXPECT_STREQ(tags.title, "Fake title");
  EXPECT_TRUE(CloseAudioWriter(info));
}

TEST(WmaBinding, ALibraryMissingANameIsNotAvailable) {
  TempDir dir;
  Place(dir, "bin", FAKE_WMA_INCOMPLETE_LIBRARY, true);
  LoadWmaLibrary({dir.File("bin")});
  EXPECT_FALSE(WmaAvailable());
  EXPECT_EQ(Wma().CheckWMAFileInfo, nullptr);
}

TEST(WmaBinding, TheProgramsOwnDirectoryComesFirst) {
  TempDir dir;
  Place(dir, "bin", FAKE_WMA_LIBRARY, true);
  Place(dir, "lib", FAKE_WMA_INCOMPLETE_LIBRARY, true);
  LoadWmaLibrary({dir.File("bin"), dir.File("lib")});
  EXPECT_TRUE(WmaAvailable());

  const auto defaults = WmaSearchDirectories();
  ASSERT_EQ(defaults.size(), 2u);
  EXPECT_EQ(fs::path(defaults[0]), fs::path(testing::internal::GetArgvs()[0]).parent_path().lexically_normal());
  EXPECT_EQ(fs::path(defaults[1]).filename(), "zandro");
}

}  // namespace
