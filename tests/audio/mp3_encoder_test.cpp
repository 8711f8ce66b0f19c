// MP3 targets: what LAME is told to write, how the PCM is cut into chunks,
// and the streams and failures it must refuse or report.

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include "audio/audio_io.h"
#include "audio/mp3_encoder.h"
#include "audio/mp3_test_support.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using namespace testing_support;
using namespace mp3_testing;

// LAME's encoder delay plus the decoder's, in samples per channel.
constexpr double kCodecDelaySamples = 576 + 529;

AudioInfo Target(std::uint32_t rate, std::uint32_t channels, std::uint32_t kbps) {
  AudioInfo info;
  info.kind = AudioKind::Mp3;
  info.sampleRate = rate;
  info.channels = channels;
  info.bitrate = kbps;
  return info;
}

// Converts a WAV file to MP3 the way a conversion run does: probe, read
// block by block, write each block.
bool ConvertWavToMp3(const std::string& wav, const std::string& mp3, std::uint32_t kbps) {
  AudioInfo source;
  if (!ProbeAudioFile(wav, source)) return false;
  AudioInfo target = source;
  target.kind = AudioKind::Mp3;
  target.bitrate = kbps;
  if (!OpenAudioReader(wav, source, 0)) return false;
  bool ok = OpenAudioWriter(mp3, target);
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 0;
  while (ok && ReadAudioBlock(source, block, count)) ok = WriteAudioBlock(target, block, count);
  CloseAudioReader(source);
  return CloseAudioWriter(target) && ok;
}

struct EncodeCase {
  std::uint32_t rate;
  std::uint32_t channels;
  std::uint32_t kbps;
  int version;  // MPEG version the frames must carry
};

void PrintTo(const EncodeCase& c, std::ostream* os) {
  *os << c.rate << " Hz, " << c.channels << " ch, " << c.kbps << " kbit/s";
}

std::string Name(const ::testing::TestParamInfo<EncodeCase>& info) {
  return std::to_string(info.param.rate) + "Hz_" + std::to_string(info.param.channels) + "ch_" +
         std::to_string(info.param.kbps) + "k";
}

class Mp3EncodeTest : public ::testing::TestWithParam<EncodeCase> {
 protected:
  TempDir dir;
  MessageRecorder messages;
};

TEST_P(Mp3EncodeTest, FramesCarryTheConfigurationAndFfprobeAgrees) {
  const EncodeCase c = GetParam();
  const double seconds = 1.5;
  const std::string wav = dir.File("tone.wav");
  const std::string mp3 = dir.File("tone.mp3");
  WriteBytes(wav, SimpleWav(static_cast<std::uint16_t>(c.channels), c.rate,
                            Tone(c.rate, c.channels, seconds)));
  ASSERT_TRUE(ConvertWavToMp3(wav, mp3, c.kbps));
  EXPECT_TRUE(messages.messages.empty());

  const Bytes file = ReadBytes(mp3);
  ASSERT_GE(file.size(), 4u);
  EXPECT_NE(std::string(file.begin(), file.begin() + 3), "ID3");
  std::size_t end = 0;
  const std::vector<Frame> frames = WalkFrames(file, 0, &end);
  ASSERT_FALSE(frames.empty());
  // Nothing but frames, back to back to the last byte: no tag at either end.
  EXPECT_EQ(end, file.size());
  EXPECT_FALSE(HasVbrHeader(file, frames.front()));
  for (const Frame& f : frames) {
    SCOPED_TRACE(f.offset);
    EXPECT_EQ(f.version, c.version);
    EXPECT_EQ(f.layer, 3);
    EXPECT_EQ(f.kbps, c.kbps);
    EXPECT_EQ(f.rate, c.rate);
    EXPECT_EQ(f.mode, c.channels == 1 ? 3 : 0);  // mono, or plain stereo (never joint)
    EXPECT_TRUE(f.copyright);
    EXPECT_TRUE(f.original);
    EXPECT_FALSE(f.protectedByCrc);
    if (::testing::Test::HasFailure()) break;
  }

  const auto probe = FfProbe(mp3);
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->rate, c.rate);
  EXPECT_EQ(probe->channels, c.channels);
  const double frame = frames.front().samples / static_cast<double>(c.rate);
  const double delay = kCodecDelaySamples / c.rate;
  EXPECT_GE(probe->durationSeconds, seconds - frame);
  EXPECT_LE(probe->durationSeconds, seconds + frame + delay);
}

TEST_P(Mp3EncodeTest, DecodesBackWithTheSourceRateChannelsAndLength) {
  const EncodeCase c = GetParam();
  const double seconds = 1.5;
  const std::string wav = dir.File("tone.wav");
  const std::string mp3 = dir.File("tone.mp3");
  const std::string back = dir.File("back.wav");
  WriteBytes(wav, SimpleWav(static_cast<std::uint16_t>(c.channels), c.rate,
                            Tone(c.rate, c.channels, seconds)));
  ASSERT_TRUE(ConvertWavToMp3(wav, mp3, c.kbps));

  AudioInfo source;
  ASSERT_TRUE(ProbeAudioFile(mp3, source));
  EXPECT_EQ(source.kind, AudioKind::Mp3);
  EXPECT_EQ(source.sampleRate, c.rate);
  EXPECT_EQ(source.channels, c.channels);
  EXPECT_EQ(source.bitrate, c.kbps);
  EXPECT_NEAR(source.durationMs, seconds * 1000, 1000.0 * (1152 + kCodecDelaySamples) / c.rate);

  AudioInfo target = source;
  target.kind = AudioKind::Wav;
  target.bitrate = 0;
  ASSERT_TRUE(OpenAudioReader(mp3, source, 0));
  ASSERT_TRUE(OpenAudioWriter(back, target));
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 0;
  std::uint64_t bytes = 0;
  while (ReadAudioBlock(source, block, count)) {
    ASSERT_LE(count, kPcmBlockSize);
    ASSERT_EQ(count % (2 * c.channels), 0u);
    ASSERT_TRUE(WriteAudioBlock(target, block, count));
    bytes += count;
  }
  CloseAudioReader(source);
  ASSERT_TRUE(CloseAudioWriter(target));

  const auto probe = FfProbe(back);
  ASSERT_TRUE(probe);
  EXPECT_EQ(probe->rate, c.rate);
  EXPECT_EQ(probe->channels, c.channels);
  const long long theirs = FfmpegDecodedBytes(mp3);
  const double frameBytes = 2.0 * c.channels;
  EXPECT_NEAR(static_cast<double>(bytes) / frameBytes, static_cast<double>(theirs) / frameBytes,
              kCodecDelaySamples);
}

INSTANTIATE_TEST_SUITE_P(Streams, Mp3EncodeTest,
                         ::testing::Values(EncodeCase{44100, 2, 128, 1},
                                           EncodeCase{44100, 1, 128, 1},
                                           EncodeCase{48000, 2, 320, 1},
                                           EncodeCase{32000, 1, 32, 1},
                                           EncodeCase{22050, 2, 64, 2},
                                           EncodeCase{16000, 1, 8, 2},
                                           EncodeCase{11025, 2, 32, 25},
                                           EncodeCase{8000, 1, 8, 25}),
                         Name);

struct RefusedCase {
  const char* why;
  std::uint32_t rate;
  std::uint32_t channels;
  std::uint32_t kbps;
};

void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.why; }

class Mp3RefusedTest : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(Mp3RefusedTest, NoFileIsCreatedAndTheWriterStaysInert) {
  const RefusedCase c = GetParam();
  TempDir dir;
  const std::string mp3 = dir.File("out.mp3");
  const AudioInfo target = Target(c.rate, c.channels, c.kbps);
  EXPECT_FALSE(OpenAudioWriter(mp3, target));
  EXPECT_FALSE(std::filesystem::exists(mp3));
  const Bytes pcm = Pcm16(8192);
  EXPECT_FALSE(WriteAudioBlock(target, pcm.data(), static_cast<std::uint32_t>(pcm.size())));
  EXPECT_FALSE(CloseAudioWriter(target));
  EXPECT_FALSE(std::filesystem::exists(mp3));
}

INSTANTIATE_TEST_SUITE_P(
    Streams, Mp3RefusedTest,
    ::testing::Values(RefusedCase{"rate96000", 96000, 2, 128}, RefusedCase{"rate88200", 88200, 2, 128},
                      RefusedCase{"rate64000", 64000, 2, 128}, RefusedCase{"rate7000", 7000, 1, 32},
                      RefusedCase{"rate44099", 44099, 2, 128},
                      RefusedCase{"clamped128at8000", 8000, 1, 128},
                      RefusedCase{"clamped320at22050", 22050, 2, 320},
                      RefusedCase{"notInTable130", 44100, 2, 130},
                      RefusedCase{"mpeg2RateAt8", 44100, 2, 8},
                      RefusedCase{"threeChannels", 44100, 3, 128},
                      RefusedCase{"noChannels", 44100, 0, 128}, RefusedCase{"noRate", 0, 2, 128},
                      RefusedCase{"noBitrate", 44100, 2, 0}),
    [](const ::testing::TestParamInfo<RefusedCase>& param) { return std::string(param.param.why); });

TEST(Mp3Encoder, ChunksHoldOneFrameSizeTimesChannelsSamples) {
  TempDir dir;
  Mp3Encoder encoder;
  ASSERT_TRUE(encoder.Open(dir.File("a.mp3"), Target(44100, 2, 128)));
  ASSERT_EQ(encoder.SamplesPerChunk(), 2304u);
  const Bytes block = Pcm16(8192);
  ASSERT_TRUE(encoder.Encode(block.data(), block.size()));
  ASSERT_TRUE(encoder.Encode(block.data(), block.size()));
  // 16384 bytes: three chunks of 4608 bytes and 2560 bytes left over,
  // encoded as a last chunk of 1280 samples at the close.
  EXPECT_EQ(encoder.FullChunks(), 3u);
  EXPECT_EQ(encoder.FillBytes(), 2560u);
  ASSERT_TRUE(encoder.Close());
  EXPECT_EQ(encoder.LastPartialSamples(), 1280u);
  EXPECT_FALSE(encoder.IsOpen());

  // One encoder frame per channel: 1152 at MPEG-1 rates, 576 at MPEG-2.
  const std::pair<AudioInfo, std::size_t> sizes[] = {
      {Target(44100, 1, 128), 1152}, {Target(22050, 2, 64), 1152}, {Target(8000, 1, 8), 576}};
  for (const auto& [info, samples] : sizes) {
    SCOPED_TRACE(info.sampleRate);
    ASSERT_TRUE(encoder.Open(dir.File("b.mp3"), info));
    EXPECT_EQ(encoder.SamplesPerChunk(), samples);
    EXPECT_TRUE(encoder.Close());
  }
}

TEST(Mp3Encoder, HowTheBlocksAreCutDoesNotChangeTheFile) {
  TempDir dir;
  const Bytes pcm = Tone(44100, 2, 0.7);
  Bytes files[3];
  const std::size_t blockSizes[] = {8192, 4608, 1001};  // 1001: samples split across blocks
  for (int i = 0; i < 3; ++i) {
    const std::string path = dir.File("cut" + std::to_string(i) + ".mp3");
    Mp3Encoder encoder;
    ASSERT_TRUE(encoder.Open(path, Target(44100, 2, 192)));
    for (std::size_t at = 0; at < pcm.size(); at += blockSizes[i]) {
      const std::size_t n = std::min(blockSizes[i], pcm.size() - at);
      ASSERT_TRUE(encoder.Encode(pcm.data() + at, n));
    }
    ASSERT_TRUE(encoder.Close());
    files[i] = ReadBytes(path);
  }
  ASSERT_FALSE(files[0].empty());
  EXPECT_EQ(files[0], files[1]);
  EXPECT_EQ(files[0], files[2]);
}

TEST(Mp3Encoder, AnEmptySourceStillGivesAFileOfWholeFrames) {
  TempDir dir;
  const std::string path = dir.File("empty.mp3");
  const AudioInfo target = Target(44100, 2, 128);
  ASSERT_TRUE(OpenAudioWriter(path, target));
  ASSERT_TRUE(CloseAudioWriter(target));
  ASSERT_TRUE(std::filesystem::exists(path));
  const Bytes file = ReadBytes(path);
  std::size_t end = 0;
  WalkFrames(file, 0, &end);
  EXPECT_EQ(end, file.size());
}

TEST(Mp3Encoder, ATargetThatCannotBeCreatedFailsAndReleasesTheEncoder) {
  TempDir dir;
  const AudioInfo target = Target(44100, 2, 128);
  EXPECT_FALSE(OpenAudioWriter(dir.File("missing/dir/out.mp3"), target));
  const Bytes pcm = Pcm16(8192);
  EXPECT_FALSE(WriteAudioBlock(target, pcm.data(), 8192));
  EXPECT_FALSE(CloseAudioWriter(target));
  // The writer is free for the next target.
  const std::string next = dir.File("next.mp3");
  ASSERT_TRUE(OpenAudioWriter(next, target));
  EXPECT_TRUE(WriteAudioBlock(target, pcm.data(), 8192));
  EXPECT_TRUE(CloseAudioWriter(target));
  EXPECT_GT(std::filesystem::file_size(next), 0u);
}

TEST(Mp3Encoder, AFullDiskIsReportedNotTakenForSuccess) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  const AudioInfo target = Target(44100, 2, 320);
  ASSERT_TRUE(OpenAudioWriter("/dev/full", target));
  const Bytes pcm = Tone(44100, 2, 6.0);  // ~240 KB of MP3: past any file buffer
  bool allAccepted = true;
  for (std::size_t at = 0; at < pcm.size(); at += kPcmBlockSize) {
    const auto n = static_cast<std::uint32_t>(std::min(kPcmBlockSize, pcm.size() - at));
    allAccepted = WriteAudioBlock(target, pcm.data() + at, n) && allAccepted;
  }
  EXPECT_FALSE(allAccepted);
  EXPECT_FALSE(CloseAudioWriter(target));
}

}  // namespace
