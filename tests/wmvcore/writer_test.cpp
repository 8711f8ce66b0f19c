#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "recording_callback.h"
#include "support/test_support.h"
#include "wmv_test_util.h"

namespace {

using namespace wmvcore;
using testing_support::TempDir;

struct WriteCase {
  std::uint32_t rate;
  int channels;
  std::uint32_t kbps;
};

std::string Name(const testing::TestParamInfo<WriteCase>& info) {
  return std::to_string(info.param.rate) + "Hz_" + std::to_string(info.param.channels) + "ch_" +
         std::to_string(info.param.kbps) + "k";
}

class WriterFile : public testing::TestWithParam<WriteCase> {};

// A minute of tone, as long as a short song: the header and the last
// packet's padding are fixed costs that a few seconds at 24 kbit/s could not
// carry within 5 %.
TEST_P(WriterFile, DecodesElsewhereAtItsRateChannelsDurationAndBitRate) {
  const WriteCase c = GetParam();
  TempDir dir;
  const std::string path = dir.File("out.wma");
  const auto pcm = wmvtest::Tone(c.rate, c.channels, 0, c.rate * 60);
  ASSERT_EQ(wmvtest::WriteWma(path, c.rate, c.channels, c.kbps * 1000, pcm), S_OK);

  auto probe = wmvtest::Probe(path);
  EXPECT_EQ(probe["stream.codec_name"], "wmav2");
  EXPECT_EQ(probe["stream.sample_rate"], std::to_string(c.rate));
  EXPECT_EQ(probe["stream.channels"], std::to_string(c.channels));
  EXPECT_NEAR(std::stod(probe["format.duration"]), 60.0, 0.020);
  const double total = std::stod(probe["format.bit_rate"]);
  EXPECT_NEAR(total / (c.kbps * 1000.0), 1.0, 0.05) << "file bit rate " << total;
  EXPECT_EQ(std::stol(probe["stream.bit_rate"]), static_cast<long>(c.kbps * 1000));
  for (const auto& [key, value] : probe) {
    EXPECT_NE(key.rfind("format.tag.", 0), 0u) << "the writer wrote a tag: " << key << "=" << value;
  }
}

INSTANTIATE_TEST_SUITE_P(Formats, WriterFile,
                         testing::Values(WriteCase{8000, 1, 24}, WriteCase{8000, 2, 32},
                                         WriteCase{11025, 2, 24}, WriteCase{16000, 1, 24},
                                         WriteCase{22050, 2, 64}, WriteCase{32000, 2, 48},
                                         WriteCase{44100, 1, 64}, WriteCase{44100, 2, 128},
                                         WriteCase{44100, 2, 320}, WriteCase{48000, 2, 48},
                                         WriteCase{48000, 2, 192}, WriteCase{48000, 2, 320}),
                         Name);

struct RoundTripCase {
  std::uint32_t rate;
  int channels;
  std::uint32_t kbps;
  std::size_t silentFrames;  // before the onset
  std::size_t toneFrames;    // not a multiple of any frame size
  std::size_t blockBytes;    // how the client cuts its PCM
};

class RoundTrip : public testing::TestWithParam<RoundTripCase> {};

// WAV -> WMA -> WAV: the decoded audio starts where the source does and ends
// with the source's last samples, through our reader and through ffmpeg.
TEST_P(RoundTrip, LinesUpWithTheSourceAndKeepsTheTail) {
  const RoundTripCase c = GetParam();
  TempDir dir;
  const std::string path = dir.File("trip.wma");
  const auto source = wmvtest::Tone(c.rate, c.channels, c.silentFrames, c.toneFrames);
  const std::size_t frames = source.size() / static_cast<std::size_t>(c.channels);
  ASSERT_EQ(wmvtest::WriteWma(path, c.rate, c.channels, c.kbps * 1000, source, c.blockBytes), S_OK);

  const auto read = wmvtest::ReadWithReader(path);
  ASSERT_EQ(read.openStatus, S_OK);
  ASSERT_EQ(read.rate, c.rate);
  ASSERT_EQ(read.channels, c.channels);
  const auto ffmpeg = wmvtest::FfmpegDecode(path);

  const std::pair<const char*, const std::vector<std::int16_t>*> decodings[] = {
      {"reader", &read.pcm}, {"ffmpeg", &ffmpeg}};
  for (const auto& [who, decoded] : decodings) {
    SCOPED_TRACE(who);
    const std::size_t decodedFrames = decoded->size() / static_cast<std::size_t>(c.channels);
    ASSERT_GE(decodedFrames, frames);
    EXPECT_LE(std::labs(wmvtest::BestLag(source, *decoded, c.channels, 4096)), 2);
    const std::size_t onset = wmvtest::FirstLoudFrame(source, c.channels, 4000);
    EXPECT_LE(std::labs(static_cast<long>(wmvtest::FirstLoudFrame(*decoded, c.channels, 4000)) -
                        static_cast<long>(onset)),
              3);
    // The last 10 ms of tone survive at their level.
    const std::size_t tail = c.rate / 100;
    const double want = wmvtest::Rms(source, c.channels, frames - tail, frames);
    EXPECT_NEAR(wmvtest::Rms(*decoded, c.channels, frames - tail, frames) / want, 1.0, 0.15);
  }
  // The reader stops at the file's end, not a coded frame later.
  EXPECT_LE(read.pcm.size() / static_cast<std::size_t>(c.channels), frames + c.rate / 200);
}

INSTANTIATE_TEST_SUITE_P(Cases, RoundTrip,
                         testing::Values(RoundTripCase{44100, 2, 128, 11025, 44100 + 777, 4608},
                                         RoundTripCase{48000, 2, 320, 0, 48000 + 5, 8192},
                                         RoundTripCase{22050, 1, 32, 5000, 30001, 1001},
                                         RoundTripCase{8000, 1, 24, 3000, 12345, 8192}));

// Stamps that run ahead of the PCM (a client's rounding, here a millisecond
// more each block) are no gap: the PCM is one stream, and the reader ends it
// on the last sample written.
TEST(Writer, StampsAheadOfThePcmInsertNothing) {
  TempDir dir;
  const std::string path = dir.File("ahead.wma");
  const std::uint32_t rate = 48000;
  const auto source = wmvtest::Tone(rate, 2, 0, 2 * rate + 7);
  ASSERT_EQ(wmvtest::WriteWma(path, rate, 2, 192000, source, 8192, 10'000), S_OK);
  const auto read = wmvtest::ReadWithReader(path);
  ASSERT_EQ(read.openStatus, S_OK);
  EXPECT_EQ(read.pcm.size(), source.size());
  const std::vector<std::int16_t> lastHalf(read.pcm.begin() + static_cast<std::ptrdiff_t>(source.size() / 2),
                                           read.pcm.end());
  const std::vector<std::int16_t> sourceHalf(source.begin() + static_cast<std::ptrdiff_t>(source.size() / 2),
                                             source.end());
  EXPECT_EQ(wmvtest::BestLag(sourceHalf, lastHalf, 2, 256), 0) << "the second second moved";
}

TEST(Writer, RefusesToWriteBeforeBeginningAndWithoutASink) {
  std::shared_ptr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(&writer), S_OK);
  std::shared_ptr<INSSBuffer> sample;
  ASSERT_EQ(writer->AllocateSample(64, &sample), S_OK);
  EXPECT_EQ(writer->WriteSample(0, 0, 0, sample.get()), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->BeginWriting(), NS_E_INVALID_REQUEST);
  EXPECT_EQ(writer->EndWriting(), NS_E_INVALID_REQUEST);
}

TEST(Writer, SampleIsExactlyTheSizeAskedFor) {
  std::shared_ptr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(&writer), S_OK);
  std::shared_ptr<INSSBuffer> sample;
  ASSERT_EQ(writer->AllocateSample(4608, &sample), S_OK);
  BYTE* data = nullptr;
  DWORD length = 0;
  ASSERT_EQ(sample->GetBufferAndLength(&data, &length), S_OK);
  EXPECT_NE(data, nullptr);
  EXPECT_EQ(length, 4608u);
}

TEST(Writer, FileSinkFailsOnAPathThatCannotBeCreated) {
  TempDir dir;
  std::shared_ptr<IWMWriterFileSink> sink;
  ASSERT_EQ(WMCreateWriterFileSink(&sink), S_OK);
  EXPECT_TRUE(Failed(sink->Open(wmvtest::U16(dir.File("missing/dir/out.wma")))));
}

TEST(Writer, ProfileWithAFormatNotOfferedIsRefused) {
  std::shared_ptr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(&manager), S_OK);
  std::shared_ptr<IWMStreamConfig> format;
  ASSERT_EQ(manager->QueryCodecInfo()->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, &format), S_OK);
  auto block = wmvtest::FormatBlock(format.get());
  WAVEFORMATEX wave;
  std::memcpy(&wave, block.data(), sizeof wave);
  wave.nAvgBytesPerSec += 1000;  // a bit rate the encoder was never asked for
  std::memcpy(block.data(), &wave, sizeof wave);

  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = AudioSubtype(WAVE_FORMAT_WMAUDIO2);
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = static_cast<DWORD>(block.size());
  type.pbFormat = block.data();
  std::shared_ptr<IWMProfile> profile;
  ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_7_0, &profile), S_OK);
  std::shared_ptr<IWMStreamConfig> stream;
  ASSERT_EQ(profile->CreateNewStream(WMMEDIATYPE_Audio, &stream), S_OK);
  ASSERT_EQ(stream->SetStreamNumber(1), S_OK);
  ASSERT_EQ(stream->QueryMediaProps()->SetMediaType(&type), S_OK);
  ASSERT_EQ(profile->AddStream(stream.get()), S_OK);

  std::shared_ptr<IWMWriter> writer;
  ASSERT_EQ(WMCreateWriter(&writer), S_OK);
  EXPECT_TRUE(Failed(writer->SetProfile(profile.get())));
}

}  // namespace
