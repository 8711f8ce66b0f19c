// Dispatch by extension and by kind.

#include <gtest/gtest.h>

#include "audio/audio_io.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using namespace testing_support;

TEST(AudioDispatch, KindComesFromTheLastExtensionWithoutRegardToCase) {
  const std::pair<const char*, AudioKind> cases[] = {
      {"/m/song.mp3", AudioKind::Mp3}, {"/m/song.Mp3", AudioKind::Mp3},
      {"/m/a.b.wav", AudioKind::Wav},  {"/m/A.WMA", AudioKind::Wma},
      {"/m/song.wav.ogg", AudioKind::None}, {"/m.wav/song", AudioKind::None},
      {"/m/song", AudioKind::None},
  };
  for (const auto& [name, kind] : cases) {
    SCOPED_TRACE(name);
    EXPECT_EQ(KindFromFileName(name), kind);
  }
}

TEST(AudioDispatch, OtherExtensionsAreRefusedAndTheRecordIsLeftAlone) {
  MessageRecorder messages;
  for (const char* name : {"/tmp/song.ogg", "/tmp/song", "/tmp/x.wav/song"}) {
    SCOPED_TRACE(name);
    messages.messages.clear();
    AudioInfo info;
    info.sampleRate = 1234;
    EXPECT_FALSE(ProbeAudioFile(name, info));
    EXPECT_EQ(info.sampleRate, 1234u);
    EXPECT_EQ(info.kind, AudioKind::None);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"We can only accept mp3 and wav file"});
    EXPECT_EQ(messages.messages[0].caption, "Zandro");
  }
}

TEST(AudioDispatch, ReadersAndWritersOfNoKindFail) {
  AudioInfo none;
  const std::uint8_t* data = nullptr;
  std::uint32_t count = 5;
  EXPECT_FALSE(OpenAudioReader("/tmp/x", none, 0));
  EXPECT_FALSE(ReadAudioBlock(none, data, count));
  CloseAudioReader(none);
  EXPECT_FALSE(OpenAudioWriter("/tmp/x", none));
  EXPECT_FALSE(WriteAudioBlock(none, data, 0));
  EXPECT_FALSE(CloseAudioWriter(none));
}

}  // namespace
