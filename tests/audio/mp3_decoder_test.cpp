// MP3 sources: probing and decoding through the audio operations and the
// decoder library, on files written by other encoders and on real files.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "audio/audio_io.h"
#include "audio/mp3_test_support.h"
#include "mp3dec/mp3dec.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using namespace testing_support;
using namespace mp3_testing;

constexpr double kCodecDelaySamples = 576 + 529;

struct Decoded {
  std::uint64_t bytes = 0;
  std::size_t blocks = 0;
  bool blocksWellFormed = true;  // at most 8192 bytes, whole sample frames
};

Decoded DecodeAll(const std::string& path, const AudioInfo& info, std::uint32_t startMs = 0) {
  Decoded d;
  EXPECT_TRUE(OpenAudioReader(path, info, startMs));
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 0;
  // A bound far beyond any file here: a decoder that never ends fails the test.
  while (d.blocks < 100000 && ReadAudioBlock(info, block, count)) {
    if (count == 0 || count > kPcmBlockSize || count % (2 * info.channels) != 0 ||
        block != PcmBlockBuffer()) {
      d.blocksWellFormed = false;
    }
    d.bytes += count;
    ++d.blocks;
  }
  CloseAudioReader(info);
  return d;
}

// An MP3 file made by ffmpeg's LAME encoder from a generated source.
std::string Encode(const TempDir& dir, const std::string& name, const std::string& source,
                   const std::string& options) {
  const std::string path = dir.File(name);
  Run("ffmpeg -v error -nostdin -y -f lavfi -i '" + source + "' " + options + " '" + path +
      "' 2>&1");
  return path;
}

Bytes Id3v2(std::size_t bodyBytes) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0};
  for (int shift : {21, 14, 7, 0}) tag.push_back(static_cast<std::uint8_t>((bodyBytes >> shift) & 0x7F));
  Bytes body(bodyBytes, 0);
  const char frame[] = "TIT2\0\0\0\x05\0\0\0abcd";
  std::memcpy(body.data(), frame, sizeof frame - 1);
  tag.insert(tag.end(), body.begin(), body.end());
  return tag;
}

Bytes ApeTag() {
  Bytes item;
  AppendLe32(item, 4);
  AppendLe32(item, 0);
  for (char ch : std::string("Title")) item.push_back(static_cast<std::uint8_t>(ch));
  item.push_back(0);
  for (char ch : std::string("abcd")) item.push_back(static_cast<std::uint8_t>(ch));
  auto headerOrFooter = [&](bool header) {
    Bytes b = {'A', 'P', 'E', 'T', 'A', 'G', 'E', 'X'};
    AppendLe32(b, 2000);
    AppendLe32(b, static_cast<std::uint32_t>(item.size() + 32));
    AppendLe32(b, 1);
    AppendLe32(b, 0x80000000u | (header ? 0x20000000u : 0));
    b.resize(b.size() + 8, 0);
    return b;
  };
  Bytes tag = headerOrFooter(true);
  tag.insert(tag.end(), item.begin(), item.end());
  const Bytes footer = headerOrFooter(false);
  tag.insert(tag.end(), footer.begin(), footer.end());
  return tag;
}

Bytes Id3v1() {
  Bytes tag(128, 0);
  std::memcpy(tag.data(), "TAGabcd", 7);
  return tag;
}

struct Generated {
  const char* name;
  const char* source;   // lavfi graph
  const char* options;  // ffmpeg output options
  std::uint32_t rate;
  std::uint32_t channels;
  double seconds;
  bool constant;        // frames of one bit rate
  double durationTolerance;  // of the probe, as a fraction of the length
  bool gapless;         // a LAME header says how much to trim
};

void PrintTo(const Generated& g, std::ostream* os) { *os << g.name; }

std::string GeneratedName(const ::testing::TestParamInfo<Generated>& info) {
  return info.param.name;
}

class Mp3GeneratedTest : public ::testing::TestWithParam<Generated> {
 protected:
  TempDir dir;
  MessageRecorder messages;
};

TEST_P(Mp3GeneratedTest, ProbeAndDecodeAgreeWithTheSourceAndFfmpeg) {
  const Generated g = GetParam();
  const std::string path = Encode(dir, std::string(g.name) + ".mp3", g.source, g.options);
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  EXPECT_EQ(info.kind, AudioKind::Mp3);
  EXPECT_EQ(info.sampleRate, g.rate);
  EXPECT_EQ(info.channels, g.channels);
  EXPECT_EQ(info.reserved1 | info.reserved2 | info.reserved3, 0u);

  const Bytes file = ReadBytes(path);
  std::vector<Frame> frames = WalkFrames(file, FirstFrameOffset(file));
  ASSERT_GT(frames.size(), 2u);
  if (HasVbrHeader(file, frames.front())) frames.erase(frames.begin());
  std::uint64_t audioBytes = 0;
  for (const Frame& f : frames) audioBytes += f.size;
  const double frameSeconds = static_cast<double>(frames.front().samples) / g.rate;
  const double measuredKbps = static_cast<double>(audioBytes) * 8.0 /
                              (static_cast<double>(frames.size()) * frameSeconds) / 1000.0;
  if (g.constant) {
    EXPECT_EQ(info.bitrate, frames.front().kbps);
  } else {
    EXPECT_NEAR(info.bitrate, measuredKbps, measuredKbps * 0.1);
  }

  const Decoded ours = DecodeAll(path, info);
  EXPECT_TRUE(ours.blocksWellFormed);
  const double ourSamples = static_cast<double>(ours.bytes) / (2.0 * g.channels);
  const double theirSamples = static_cast<double>(FfmpegDecodedBytes(path)) / (2.0 * g.channels);
  EXPECT_NEAR(ourSamples, theirSamples, kCodecDelaySamples);
  // Without a gapless header the codec delay and the padding are played too.
  EXPECT_NEAR(ourSamples / g.rate, g.seconds, 2 * frameSeconds + kCodecDelaySamples / g.rate);
  // The play time is that of the audio delivered (estimated where allowed).
  EXPECT_NEAR(info.durationMs / 1000.0, ourSamples / g.rate,
              g.seconds * g.durationTolerance + frameSeconds);
  if (g.gapless) {
    // Exactly the source: the last partial block and the trimmed delay and
    // padding all count.
    EXPECT_EQ(ourSamples, std::round(g.seconds * g.rate));
    EXPECT_EQ(info.durationMs, std::lround(g.seconds * 1000));
  }
  EXPECT_TRUE(messages.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, Mp3GeneratedTest,
    ::testing::Values(
        // A LAME Info frame: the exact length, gapless.
        Generated{"cbrInfo", "sine=frequency=440:duration=3", "-ar 44100 -ac 2 -c:a libmp3lame -b:a 128k",
                  44100, 2, 3.0, true, 0.0, true},
        // A Xing frame with the byte count: the average bit rate.
        Generated{"vbrXing", "anoisesrc=d=4:c=pink:a=0.2", "-ar 48000 -ac 2 -c:a libmp3lame -q:a 2",
                  48000, 2, 4.0, false, 0.0, true},
        // No header and small enough to be counted whole.
        Generated{"vbrCounted", "anoisesrc=d=4:c=pink:a=0.2",
                  "-ar 44100 -ac 1 -c:a libmp3lame -q:a 2 -write_xing 0", 44100, 1, 4.0, false, 0.0, false},
        // No header and longer than what a probe reads: an estimate.
        Generated{"vbrEstimated", "anoisesrc=d=20:c=white:a=0.3",
                  "-ar 44100 -ac 2 -c:a libmp3lame -q:a 0 -write_xing 0", 44100, 2, 20.0, false, 0.05, false},
        Generated{"mpeg2Mono", "sine=frequency=300:duration=2", "-ar 22050 -ac 1 -c:a libmp3lame -b:a 32k",
                  22050, 1, 2.0, true, 0.0, true},
        Generated{"mpeg25Stereo", "sine=frequency=300:duration=2",
                  "-ar 11025 -ac 2 -c:a libmp3lame -b:a 16k -write_xing 0", 11025, 2, 2.0, true, 0.0, false}),
    GeneratedName);

class Mp3DecodeTest : public ::testing::Test {
 protected:
  std::string Cbr(const std::string& name, double seconds = 3.0) {
    return Encode(dir, name,
                  "sine=frequency=440:duration=" + std::to_string(seconds),
                  "-ar 44100 -ac 2 -c:a libmp3lame -b:a 128k -write_xing 0");
  }
  TempDir dir;
  MessageRecorder messages;
};

TEST_F(Mp3DecodeTest, TagsAtEitherEndAreSkipped) {
  const std::string plain = Cbr("plain.mp3");
  const Bytes audio = ReadBytes(plain);
  Bytes tagged = Id3v2(400000);  // a picture larger than a probe reads
  const Bytes second = Id3v2(300);  // some files carry two
  tagged.insert(tagged.end(), second.begin(), second.end());
  tagged.insert(tagged.end(), audio.begin(), audio.end());
  const Bytes ape = ApeTag();
  tagged.insert(tagged.end(), ape.begin(), ape.end());
  const Bytes v1 = Id3v1();
  tagged.insert(tagged.end(), v1.begin(), v1.end());
  const std::string path = dir.File("tagged.mp3");
  WriteBytes(path, tagged);

  AudioInfo bare, withTags;
  ASSERT_TRUE(ProbeAudioFile(plain, bare));
  ASSERT_TRUE(ProbeAudioFile(path, withTags));
  EXPECT_EQ(withTags.bitrate, 128u);
  EXPECT_EQ(withTags.durationMs, bare.durationMs);
  EXPECT_EQ(DecodeAll(path, withTags).bytes, DecodeAll(plain, bare).bytes);
}

TEST_F(Mp3DecodeTest, ABrokenFrameDoesNotEndTheFile) {
  const std::string plain = Cbr("plain.mp3");
  Bytes audio = ReadBytes(plain);
  const std::vector<Frame> frames = WalkFrames(audio, FirstFrameOffset(audio));
  ASSERT_GT(frames.size(), 100u);
  // Blank out forty frames in the middle, headers included: the decoder
  // must find its way back to the frames after them.
  for (std::size_t i = frames[30].offset; i < frames[70].offset; ++i) {
    audio[i] = i % 2 ? 0x00 : 0x55;
  }
  const std::string broken = dir.File("broken.mp3");
  WriteBytes(broken, audio);

  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(broken, info));
  const Decoded whole = DecodeAll(plain, info);
  const Decoded rest = DecodeAll(broken, info);
  EXPECT_TRUE(rest.blocksWellFormed);
  const double frameBytes = 1152.0 * 4;
  EXPECT_GE(static_cast<double>(rest.bytes), static_cast<double>(whole.bytes) - 44 * frameBytes);
  EXPECT_LE(rest.bytes, whole.bytes);
}

TEST_F(Mp3DecodeTest, TheStartPositionIsHonoured) {
  const std::string path = Cbr("start.mp3");
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  const double whole = static_cast<double>(DecodeAll(path, info, 0).bytes) / 4;
  const std::pair<std::uint32_t, double> starts[] = {{1000, 44100}, {2500, 110250}, {60000, whole}};
  for (const auto& [ms, skipped] : starts) {
    SCOPED_TRACE(ms);
    const double left = static_cast<double>(DecodeAll(path, info, ms).bytes) / 4;
    EXPECT_NEAR(left, whole - skipped, 1152);
  }
}

TEST_F(Mp3DecodeTest, FilesTheDecoderRefusesProbeAsZeroWithKindMp3) {
  const std::string text = dir.File("text.mp3");
  const std::string notes = "These are not the sounds you are looking for.\n";
  Bytes bytes;
  for (int i = 0; i < 200; ++i) bytes.insert(bytes.end(), notes.begin(), notes.end());
  WriteBytes(text, bytes);
  const std::string empty = dir.File("empty.mp3");
  WriteBytes(empty, {});
  const std::string tagOnly = dir.File("tag-only.mp3");
  WriteBytes(tagOnly, Id3v2(1000));
  for (const std::string& path : {text, empty, tagOnly, dir.File("missing.mp3")}) {
    SCOPED_TRACE(path);
    AudioInfo info;
    info.bitrate = 77;
    info.reserved2 = 5;
    EXPECT_FALSE(ProbeAudioFile(path, info));
    AudioInfo expected;
    expected.kind = AudioKind::Mp3;
    EXPECT_EQ(std::memcmp(&info, &expected, sizeof info), 0);
    EXPECT_FALSE(OpenAudioReader(path, expected, 0));
    CloseAudioReader(expected);
    CloseAudioReader(expected);
  }
  EXPECT_TRUE(messages.messages.empty());
}

// Data the decoder cannot use is searched for a frame for
// SB_RESYNC_LIMIT_BYTES, no further: a large file of zeros or noise named
// .mp3 ends in a refusal instead of a search through all of it, while junk
// shorter than that, before or between frames, is still passed over.
struct JunkCase {
  const char* name;
  std::size_t leadingJunk;  // zero bytes before the stream
  std::size_t middleJunk;   // zero bytes between two copies of the stream (0: one copy)
  bool readable;
  double copiesDecoded;
};

void PrintTo(const JunkCase& c, std::ostream* os) { *os << c.name; }

class Mp3JunkTest : public ::testing::TestWithParam<JunkCase> {
 protected:
  TempDir dir;
  MessageRecorder messages;
};

TEST_P(Mp3JunkTest, TheSearchPastJunkIsBounded) {
  const JunkCase& c = GetParam();
  const std::string plain = Encode(dir, "plain.mp3", "sine=frequency=440:duration=2",
                                   "-ar 44100 -ac 2 -c:a libmp3lame -b:a 128k -write_xing 0");
  const Bytes audio = ReadBytes(plain);
  Bytes file(c.leadingJunk, 0);
  file.insert(file.end(), audio.begin(), audio.end());
  if (c.middleJunk > 0) {
    file.resize(file.size() + c.middleJunk, 0);
    file.insert(file.end(), audio.begin(), audio.end());
  }
  const std::string path = dir.File("junk.mp3");
  WriteBytes(path, file);

  AudioInfo bare;
  ASSERT_TRUE(ProbeAudioFile(plain, bare));
  const double copy = static_cast<double>(DecodeAll(plain, bare).bytes);
  AudioInfo info;
  ASSERT_EQ(ProbeAudioFile(path, info), c.readable);
  if (!c.readable) {
    EXPECT_FALSE(OpenAudioReader(path, bare, 0));
    CloseAudioReader(bare);
    return;
  }
  const Decoded decoded = DecodeAll(path, info);
  EXPECT_NEAR(static_cast<double>(decoded.bytes), c.copiesDecoded * copy, 2 * 1152 * 4);
}

INSTANTIATE_TEST_SUITE_P(
    Junk, Mp3JunkTest,
    ::testing::Values(JunkCase{"shortLead", SB_RESYNC_LIMIT_BYTES / 2, 0, true, 1},
                      JunkCase{"longLead", SB_RESYNC_LIMIT_BYTES + 65536, 0, false, 0},
                      JunkCase{"shortGap", 0, SB_RESYNC_LIMIT_BYTES / 2, true, 2}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(Mp3DecodeTest, ALargeFileOfZerosOrNoiseIsRefused) {
  const std::size_t size = 32u << 20;  // far beyond the search limit
  Bytes zeros(size, 0);
  WriteBytes(dir.File("zeros.mp3"), zeros);
  Bytes noise(size);
  std::uint32_t state = 12345;  // the same noise every run
  for (std::uint8_t& byte : noise) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<std::uint8_t>(state >> 24);
  }
  WriteBytes(dir.File("noise.mp3"), noise);
  for (const char* name : {"zeros.mp3", "noise.mp3"}) {
    SCOPED_TRACE(name);
    AudioInfo info;
    EXPECT_FALSE(ProbeAudioFile(dir.File(name), info));
  }
}

TEST(Mp3Library, CallsWithoutAnOpenStreamFailHarmlessly) {
  SB_ExitMP3();
  std::int32_t values[4] = {9, 9, 9, 9};
  EXPECT_NE(SB_GetFrameInfo(&values[0], &values[1], &values[2], &values[3]), 0);
  EXPECT_EQ(values[0] | values[1] | values[2] | values[3], 0);
  std::uint8_t buffer[SB_PCM_BLOCK_BYTES];
  std::int32_t written = 5;
  EXPECT_NE(SB_decodeMP3(buffer, &written), 0);
  EXPECT_EQ(written, 0);
  EXPECT_EQ(SB_ExitMP3(), 0);
  EXPECT_NE(SB_InitMP3(nullptr, 0), 0);
}

// The real files: each probes and decodes, or is refused, without a crash
// or a hang, and agrees with ffprobe on rate and channels and with ffmpeg on
// how much audio there is. Where ours and ffmpeg's sample counts differ, it
// is by a truncated last frame (ffmpeg pads and plays it, libmpg123 drops
// it) and by the encoder delay of copies whose gapless header was cut off.
struct RealCase {
  const char* file;
  bool readable;
};

void PrintTo(const RealCase& c, std::ostream* os) { *os << c.file; }

class Mp3RealTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(Mp3RealTest, ProbesAndDecodesSensibly) {
  const RealCase c = GetParam();
  MessageRecorder messages;
  const std::string path = RealFixture(c.file);
  AudioInfo info;
  const bool probed = ProbeAudioFile(path, info);
  EXPECT_EQ(info.kind, AudioKind::Mp3);
  ASSERT_EQ(probed, c.readable);
  EXPECT_TRUE(messages.messages.empty());
  if (!probed) {
    // ffprobe cannot read these either.
    EXPECT_FALSE(FfProbe(path));
    return;
  }
  const auto theirs = FfProbe(path);
  ASSERT_TRUE(theirs);
  EXPECT_EQ(info.sampleRate, theirs->rate);
  EXPECT_EQ(info.channels, theirs->channels);
  EXPECT_GE(info.bitrate, 8u);
  EXPECT_LE(info.bitrate, 448u);

  const Decoded ours = DecodeAll(path, info);
  EXPECT_TRUE(ours.blocksWellFormed);
  const double frame = info.sampleRate >= 32000 ? 1152 : 576;
  const double ourSamples = static_cast<double>(ours.bytes) / (2.0 * info.channels);
  const double ffmpegSamples = static_cast<double>(FfmpegDecodedBytes(path)) / (2.0 * info.channels);
  EXPECT_NEAR(ourSamples, ffmpegSamples, 2 * frame + kCodecDelaySamples);
  // The play time is that of the audio the file really holds, even where
  // its header claims the length of the file it was cut from.
  EXPECT_NEAR(info.durationMs, ourSamples * 1000.0 / info.sampleRate,
              2 + frame * 1000.0 / info.sampleRate);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, Mp3RealTest,
    ::testing::Values(RealCase{"ape-id3v1.mp3", true}, RealCase{"ape-id3v2.mp3", true},
                      RealCase{"ape.mp3", true}, RealCase{"bladeenc.mp3", true},
                      RealCase{"compressed_id3_frame.mp3", false},
                      RealCase{"compressed_id3_frame_invalid.mp3", false},
                      RealCase{"duplicate_id3v2.mp3", true}, RealCase{"excessive_alloc.mp3", false},
                      RealCase{"extended-header.mp3", false}, RealCase{"garbage.mp3", true},
                      RealCase{"id3v22-tda.mp3", true}, RealCase{"invalid-frames1.mp3", true},
                      RealCase{"invalid-frames2.mp3", true}, RealCase{"invalid-frames3.mp3", true},
                      RealCase{"itunes10.mp3", true}, RealCase{"lame_cbr.mp3", true},
                      RealCase{"lame_vbr.mp3", true}, RealCase{"mpeg2.mp3", true},
                      RealCase{"rare_frames.mp3", true}, RealCase{"toc_many_children.mp3", true},
                      RealCase{"w000.mp3", false}, RealCase{"xing.mp3", true}),
    [](const ::testing::TestParamInfo<RealCase>& param) {
      std::string name = param.param.file;
      name = name.substr(0, name.size() - 4);
      for (char& ch : name) {
        if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
      }
      return name;
    });

}  // namespace
