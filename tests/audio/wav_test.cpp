// WAV probing, reading and writing through the kind-independent operations.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "audio/audio_io.h"
#include "audio/wav_file.h"
#include "support/test_support.h"

namespace {

using namespace zandro;
using namespace testing_support;

// Reads the whole stream through the operations; returns the block sizes.
std::vector<std::uint32_t> ReadAll(const std::string& path, const AudioInfo& info, Bytes* data,
                                   std::uint32_t startMs = 0) {
  std::vector<std::uint32_t> sizes;
  EXPECT_TRUE(OpenAudioReader(path, info, startMs));
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 0;
  while (ReadAudioBlock(info, block, count)) {
    sizes.push_back(count);
    if (data) data->insert(data->end(), block, block + count);
  }
  CloseAudioReader(info);
  return sizes;
}

class WavTest : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const Bytes& bytes) {
    const std::string path = dir.File(name);
    WriteBytes(path, bytes);
    return path;
  }
  TempDir dir;
  MessageRecorder messages;
};

TEST_F(WavTest, ProbeFillsTheRecordFromFmtAndData) {
  struct Case {
    std::uint16_t channels;
    std::uint32_t rate;
    std::size_t dataBytes;
    std::uint32_t bitrate;
    std::uint32_t durationMs;
  } const cases[] = {
      {2, 44100, 176400, 1378, 1000},  // kilobits of 1024 bits: not 1411
      {1, 22050, 44100, 344, 1000},
      {2, 48000, 1920, 1500, 10},
      {1, 8000, 1, 125, 0},            // 0.0625 ms rounds to 0
      {2, 44100, 0, 1378, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rate);
    const std::string path = Write("probe.wav", SimpleWav(c.channels, c.rate, Pcm16(c.dataBytes)));
    AudioInfo info;
    info.reserved1 = 99;
    ASSERT_TRUE(ProbeAudioFile(path, info));
    EXPECT_EQ(info.kind, AudioKind::Wav);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.bitrate, c.bitrate);
    EXPECT_EQ(info.durationMs, c.durationMs);
    EXPECT_EQ(info.reserved1, 0u);
  }
  EXPECT_TRUE(messages.messages.empty());
}

TEST_F(WavTest, DurationRoundsHalfToEven) {
  // 1000 Hz mono: 1 byte is 0.5 ms (rounds to 0), 3 bytes 1.5 ms (rounds to 2).
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(Write("a.wav", SimpleWav(1, 1000, Pcm16(1))), info));
  EXPECT_EQ(info.durationMs, 0u);
  ASSERT_TRUE(ProbeAudioFile(Write("b.wav", SimpleWav(1, 1000, Pcm16(3))), info));
  EXPECT_EQ(info.durationMs, 2u);
}

TEST_F(WavTest, UnreadableFilesAreRefusedWithAMessage) {
  struct Case {
    const char* what;
    Bytes bytes;
  } const cases[] = {
      {"8-bit samples", RiffBuilder().Format(2, 44100, 8).Chunk("data", Pcm16(100)).Build()},
      {"24-bit samples", RiffBuilder().Format(2, 44100, 24).Chunk("data", Pcm16(96)).Build()},
      {"not WAVE", RiffBuilder("AVI ").Format(2, 44100, 16).Chunk("data", Pcm16(8)).Build()},
      {"RF64", RiffBuilder("WAVE", "RF64").Format(2, 44100, 16).Chunk("data", Pcm16(8)).Build()},
      {"no fmt", RiffBuilder().Chunk("data", Pcm16(8)).Build()},
      {"no data", RiffBuilder().Format(2, 44100, 16).Build()},
      {"data before fmt", RiffBuilder().Chunk("data", Pcm16(8)).Format(2, 44100, 16).Build()},
      {"fmt of 14 bytes", RiffBuilder().Format(2, 44100, 16, 14).Chunk("data", Pcm16(8)).Build()},
      {"rate 0", RiffBuilder().Format(2, 0, 16).Chunk("data", Pcm16(8)).Build()},
      {"no channels", RiffBuilder().Format(0, 44100, 16).Chunk("data", Pcm16(8)).Build()},
      {"empty file", Bytes{}},
      {"cut in the header", Bytes{'R', 'I', 'F', 'F', 0, 0}},
      {"text", Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '!', '\n'}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    messages.messages.clear();
    AudioInfo info;
    EXPECT_FALSE(ProbeAudioFile(Write("bad.wav", c.bytes), info));
    EXPECT_EQ(info.kind, AudioKind::Wav);
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"File Error !"});
  }
}

TEST_F(WavTest, RefusedEightBitFileKeepsWhatWasRead) {
  AudioInfo info;
  EXPECT_FALSE(ProbeAudioFile(
      Write("u8.wav", RiffBuilder().Format(1, 11025, 8).Chunk("data", Pcm16(22050)).Build()), info));
  EXPECT_EQ(info.sampleRate, 11025u);
  EXPECT_EQ(info.channels, 1u);
}

TEST_F(WavTest, MissingFileGivesTheOpenMessage) {
  AudioInfo info;
  EXPECT_FALSE(ProbeAudioFile(dir.File("missing.wav"), info));
  EXPECT_EQ(messages.Texts(), std::vector<std::string>{"Error while open wav file"});
  EXPECT_FALSE(OpenAudioReader(dir.File("missing.wav"), info, 0));
  CloseAudioReader(info);
  EXPECT_EQ(messages.messages.size(), 1u);  // the reader shows no message
}

TEST_F(WavTest, ChunkWalkFollowsSizesAndPadBytes) {
  const Bytes samples = Pcm16(1000, 3);
  const Bytes odd = {1, 2, 3};  // odd chunk: one pad byte follows
  const std::string path =
      Write("walk.wav", RiffBuilder()
                            .Chunk("JUNK", odd)
                            .Format(2, 44100, 16, 40)  // a longer "fmt " (extensible-sized)
                            .Chunk("LIST", Bytes(37, 'x'))
                            .Chunk("fact", Bytes{4, 0, 0, 0})
                            .Chunk("data", samples)
                            .Chunk("id3 ", Bytes(100, 0xEE))
                            .Build());
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  EXPECT_EQ(info.sampleRate, 44100u);
  EXPECT_EQ(info.durationMs, 6u);  // 1000 bytes = 250 frames = 5.67 ms
  Bytes read;
  ReadAll(path, info, &read);
  EXPECT_EQ(read, samples);  // neither the pad nor the trailing chunk is audio
}

TEST_F(WavTest, OddDataChunkStopsBeforeItsPadByte) {
  const Bytes samples = Pcm16(11);
  const std::string path =
      Write("odd.wav", RiffBuilder().Format(1, 8000, 16).Chunk("data", samples).Chunk("LIST", Pcm16(20)).Build());
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  Bytes read;
  ReadAll(path, info, &read);
  EXPECT_EQ(read, samples);
}

TEST_F(WavTest, DataSizeBeyondTheFileCountsOnlyWhatIsThere) {
  const Bytes samples = Pcm16(17640);  // 100 ms of 44100 stereo
  const std::string path = Write(
      "cut.wav", RiffBuilder().Format(2, 44100, 16).RawChunk("data", 176400 * 60, samples).Build());
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  EXPECT_EQ(info.durationMs, 100u);
  Bytes read;
  ReadAll(path, info, &read);
  EXPECT_EQ(read, samples);
}

TEST_F(WavTest, RiffSizeIsNotTrusted) {
  // Writers that stream leave 0 in the RIFF size; some write too small a value.
  const Bytes samples = Pcm16(400);
  for (std::uint32_t riffSize : {0u, 8u, 0xFFFFFFFFu}) {
    SCOPED_TRACE(riffSize);
    const std::string path =
        Write("riff.wav", RiffBuilder().Format(2, 1000, 16).Chunk("data", samples).Build(riffSize));
    AudioInfo info;
    ASSERT_TRUE(ProbeAudioFile(path, info));
    EXPECT_EQ(info.durationMs, 100u);
  }
}

TEST_F(WavTest, BlocksAreAtMost8192Bytes) {
  const Bytes samples = Pcm16(20000);
  const std::string path = Write("blocks.wav", SimpleWav(2, 44100, samples));
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  Bytes read;
  EXPECT_EQ(ReadAll(path, info, &read), (std::vector<std::uint32_t>{8192, 8192, 3616}));
  EXPECT_EQ(read, samples);
}

TEST_F(WavTest, StartPositionSkipsWholeFramesOfTheGivenStream) {
  const Bytes samples = Pcm16(4000 * 4);  // 1000 Hz stereo: 4 bytes per ms
  const std::string path = Write("start.wav", SimpleWav(2, 1000, samples));
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  Bytes read;
  ReadAll(path, info, &read, 2500);
  EXPECT_EQ(read, Bytes(samples.begin() + 10000, samples.end()));
  read.clear();
  ReadAll(path, info, &read, 10'000);  // past the end: nothing, no failure
  EXPECT_TRUE(read.empty());
}

TEST_F(WavTest, CloseIsHarmlessTwiceAndAfterAFailedOpen) {
  const std::string path = Write("c.wav", SimpleWav(1, 8000, Pcm16(10)));
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  ASSERT_TRUE(OpenAudioReader(path, info, 0));
  CloseAudioReader(info);
  CloseAudioReader(info);
  const std::uint8_t* block = nullptr;
  std::uint32_t count = 7;
  EXPECT_FALSE(ReadAudioBlock(info, block, count));
  EXPECT_FALSE(OpenAudioReader(dir.File("none.wav"), info, 0));
  CloseAudioReader(info);
  CloseAudioReader(info);
}

class WavWriterTest : public WavTest {
 protected:
  AudioInfo Target(std::uint32_t channels, std::uint32_t rate) {
    AudioInfo info;
    info.kind = AudioKind::Wav;
    info.channels = channels;
    info.sampleRate = rate;
    return info;
  }
};

TEST_F(WavWriterTest, HeaderIsTheFortySixByteFormExactly) {
  struct Case {
    std::size_t dataBytes;
    std::size_t fileSize;
    std::uint32_t riffSize;
  } const cases[] = {{10, 56, 48}, {11, 58, 50}, {0, 46, 38}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dataBytes);
    const std::string path = dir.File("out.wav");
    const AudioInfo target = Target(2, 44100);
    const Bytes samples = Pcm16(c.dataBytes);
    ASSERT_TRUE(OpenAudioWriter(path, target));
    if (c.dataBytes) {
      ASSERT_TRUE(WriteAudioBlock(target, samples.data(), static_cast<std::uint32_t>(samples.size())));
    }
    ASSERT_TRUE(CloseAudioWriter(target));

    Bytes expected = {'R', 'I', 'F', 'F'};
    AppendLe32(expected, c.riffSize);
    for (char ch : std::string("WAVEfmt ")) expected.push_back(static_cast<std::uint8_t>(ch));
    AppendLe32(expected, 18);
    AppendLe16(expected, 1);
    AppendLe16(expected, 2);
    AppendLe32(expected, 44100);
    AppendLe32(expected, 176400);
    AppendLe16(expected, 4);
    AppendLe16(expected, 16);
    AppendLe16(expected, 0);
    for (char ch : std::string("data")) expected.push_back(static_cast<std::uint8_t>(ch));
    AppendLe32(expected, static_cast<std::uint32_t>(c.dataBytes));
    expected.insert(expected.end(), samples.begin(), samples.end());
    if (c.dataBytes % 2) expected.push_back(0);
    EXPECT_EQ(expected.size(), c.fileSize);
    EXPECT_EQ(ReadBytes(path), expected);
  }
}

TEST_F(WavWriterTest, WrittenFileReadsBackThroughTheProbeAndReader) {
  const std::string path = dir.File("round.wav");
  const AudioInfo target = Target(1, 22050);
  const Bytes samples = Pcm16(44100);
  ASSERT_TRUE(OpenAudioWriter(path, target));
  for (std::size_t at = 0; at < samples.size(); at += 5000) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(5000, samples.size() - at));
    ASSERT_TRUE(WriteAudioBlock(target, samples.data() + at, n));
  }
  ASSERT_TRUE(CloseAudioWriter(target));
  AudioInfo info;
  ASSERT_TRUE(ProbeAudioFile(path, info));
  EXPECT_EQ(info.sampleRate, 22050u);
  EXPECT_EQ(info.channels, 1u);
  EXPECT_EQ(info.durationMs, 1000u);
  Bytes read;
  ReadAll(path, info, &read);
  EXPECT_EQ(read, samples);
}

TEST_F(WavWriterTest, TargetThatCannotBeCreatedFailsAndWritesNothing) {
  const std::string path = dir.File("no/such/dir/out.wav");
  const AudioInfo target = Target(2, 44100);
  EXPECT_FALSE(OpenAudioWriter(path, target));
  const Bytes samples = Pcm16(16);
  EXPECT_FALSE(WriteAudioBlock(target, samples.data(), 16));
  EXPECT_FALSE(CloseAudioWriter(target));
  EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(WavWriterTest, FullDeviceFailsTheOpen) {
  if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  EXPECT_FALSE(OpenAudioWriter("/dev/full", Target(2, 44100)));
}

TEST_F(WavWriterTest, FailedWriteIsReportedByTheWriteAndTheClose) {
  // A file-size limit makes the disk "full" after a few kilobytes.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
  auto previousHandler = signal(SIGXFSZ, SIG_IGN);
  rlimit limited = saved;
  limited.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limited), 0);

  const std::string path = dir.File("full.wav");
  const AudioInfo target = Target(2, 44100);
  const Bytes block = Pcm16(8192);
  bool allWritten = OpenAudioWriter(path, target);
  ASSERT_TRUE(allWritten);
  for (int i = 0; i < 64 && allWritten; ++i) allWritten = WriteAudioBlock(target, block.data(), 8192);
  const bool closed = CloseAudioWriter(target);

  setrlimit(RLIMIT_FSIZE, &saved);
  signal(SIGXFSZ, previousHandler);
  EXPECT_FALSE(allWritten && closed);
  EXPECT_FALSE(closed);
}

TEST_F(WavWriterTest, DataNeverGrowsPastTheRiffSizeLimit) {
  WavWriter writer(/*maxDataSize=*/100);
  const std::string path = dir.File("limit.wav");
  ASSERT_TRUE(writer.Create(path, Target(1, 8000)));
  const Bytes samples = Pcm16(60);
  EXPECT_TRUE(writer.Write(samples.data(), 60));
  EXPECT_FALSE(writer.Write(samples.data(), 60));  // 120 > 100: refused whole
  EXPECT_FALSE(writer.Write(samples.data(), 2));   // and the writer stays failed
  EXPECT_FALSE(writer.Close());
  const Bytes written = ReadBytes(path);
  EXPECT_EQ(Le32At(written, 42), 60u);  // the header describes what is there
  EXPECT_EQ(written.size(), 46u + 60u);
  EXPECT_EQ(WavWriter::kMaxDataSize + 38 + 1, 0xFFFFFFFFull);
}

struct RealWav {
  const char* name;
  bool readable;
  std::uint32_t rate;
  std::uint32_t channels;
  std::uint32_t durationMs;
  std::uint64_t dataBytes;
};

class RealWavFiles : public WavTest, public ::testing::WithParamInterface<RealWav> {};

TEST_P(RealWavFiles, ProbeAndReadOrRefuse) {
  const RealWav& c = GetParam();
  const std::string path = RealFixture(c.name);
  ASSERT_TRUE(std::filesystem::exists(path));
  AudioInfo info;
  EXPECT_EQ(ProbeAudioFile(path, info), c.readable);
  if (!c.readable) {
    EXPECT_EQ(messages.Texts(), std::vector<std::string>{"File Error !"});
    return;
  }
  EXPECT_EQ(info.sampleRate, c.rate);
  EXPECT_EQ(info.channels, c.channels);
  EXPECT_EQ(info.durationMs, c.durationMs);
  Bytes read;
  ReadAll(path, info, &read);
  EXPECT_EQ(read.size(), c.dataBytes);
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, RealWavFiles,
    ::testing::Values(RealWav{"empty.wav", true, 1000, 2, 3675, 14700},
                      RealWav{"pcm_with_fact_chunk.wav", true, 1000, 2, 3675, 14700},
                      RealWav{"duplicate_tags.wav", true, 1000, 2, 3675, 14700},
                      RealWav{"zero-size-chunk.wav", true, 44100, 2, 0, 0},
                      RealWav{"rf64.wav", false, 0, 0, 0, 0}, RealWav{"alaw.wav", false, 0, 0, 0, 0},
                      RealWav{"float64.wav", false, 0, 0, 0, 0}, RealWav{"uint8we.wav", false, 0, 0, 0, 0},
                      RealWav{"infloop.wav", false, 0, 0, 0, 0}, RealWav{"invalid-chunk.wav", false, 0, 0, 0, 0},
                      RealWav{"segfault.wav", false, 0, 0, 0, 0}),
    [](const auto& param) {
      std::string name = param.param.name;
      for (char& ch : name) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

}  // namespace
