#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "support/test_support.h"
#include "wmv_test_util.h"

namespace {

using namespace wmvcore;

struct Offered {
  WAVEFORMATEX wave;
  std::vector<std::uint8_t> block;
  DWORD configBitrate;
  WM_MEDIA_TYPE header;
};

std::vector<Offered> AllFormats() {
  std::shared_ptr<IWMProfileManager> manager;
  EXPECT_EQ(WMCreateProfileManager(&manager), S_OK);
  IWMCodecInfo* info = manager->QueryCodecInfo();
  DWORD codecs = 0;
  EXPECT_EQ(info->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecs), S_OK);
  EXPECT_EQ(codecs, 1u);
  DWORD count = 0;
  EXPECT_EQ(info->GetCodecFormatCount(WMMEDIATYPE_Audio, 0, &count), S_OK);
  std::vector<Offered> out;
  for (DWORD i = 0; i < count; ++i) {
    std::shared_ptr<IWMStreamConfig> config;
    EXPECT_EQ(info->GetCodecFormat(WMMEDIATYPE_Audio, 0, i, &config), S_OK);
    Offered o{};
    o.block = wmvtest::FormatBlock(config.get());
    std::memcpy(&o.wave, o.block.data(), sizeof o.wave);
    config->GetBitrate(&o.configBitrate);
    DWORD size = 0;
    config->QueryMediaProps()->GetMediaType(nullptr, &size);
    std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
    auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
    EXPECT_EQ(config->QueryMediaProps()->GetMediaType(type, &size), S_OK);
    o.header = *type;
    o.header.pbFormat = nullptr;
    out.push_back(o);
  }
  return out;
}

TEST(CodecInfo, OffersOnlyWma2FormatsAsTheirEncoderSeesThem) {
  const auto formats = AllFormats();
  ASSERT_FALSE(formats.empty());
  for (const Offered& f : formats) {
    const WAVEFORMATEX& w = f.wave;
    SCOPED_TRACE(std::to_string(w.nSamplesPerSec) + " Hz " + std::to_string(w.nChannels) + " ch " +
                 std::to_string(w.nAvgBytesPerSec * 8));
    EXPECT_EQ(w.wFormatTag, 0x0161);
    EXPECT_EQ(w.nAvgBytesPerSec * 8, f.configBitrate);
    EXPECT_GE(f.configBitrate, 24000u);
    // Frame size 512 up to 16000 Hz, 1024 up to 22050 Hz, 2048 above.
    const std::uint64_t frame = w.nSamplesPerSec <= 16000 ? 512 : w.nSamplesPerSec <= 22050 ? 1024 : 2048;
    EXPECT_EQ(w.nBlockAlign, std::uint64_t{f.configBitrate} * frame / (8 * w.nSamplesPerSec));
    EXPECT_GT(w.cbSize, 0);
    EXPECT_EQ(f.block.size(), sizeof(WAVEFORMATEX) + w.cbSize);
    EXPECT_EQ(f.header.majortype, WMMEDIATYPE_Audio);
    EXPECT_EQ(f.header.subtype, AudioSubtype(0x0161));
    EXPECT_EQ(f.header.formattype, WMFORMAT_WaveFormatEx);
    EXPECT_TRUE(f.header.bFixedSizeSamples);
    EXPECT_FALSE(f.header.bTemporalCompression);
    EXPECT_EQ(f.header.lSampleSize, w.nBlockAlign);
  }
}

TEST(CodecInfo, CoversEveryMp3SampleRateInMonoAndStereoWithAFamiliarLadder) {
  std::set<std::tuple<DWORD, WORD, DWORD>> offered;
  for (const Offered& f : AllFormats()) {
    offered.emplace(f.wave.nSamplesPerSec, f.wave.nChannels, f.configBitrate);
  }
  for (DWORD rate : {8000u, 11025u, 12000u, 16000u, 22050u, 24000u, 32000u, 44100u, 48000u}) {
    for (WORD channels : {WORD{1}, WORD{2}}) {
      const bool any = std::any_of(offered.begin(), offered.end(), [&](const auto& t) {
        return std::get<0>(t) == rate && std::get<1>(t) == channels;
      });
      EXPECT_TRUE(any) << rate << " Hz, " << channels << " ch";
    }
  }
  for (DWORD kbps : {64u, 96u, 128u, 160u, 192u, 256u, 320u}) {
    EXPECT_TRUE(offered.count({44100, 2, kbps * 1000})) << kbps;
    EXPECT_TRUE(offered.count({48000, 2, kbps * 1000})) << kbps;
  }
}

TEST(CodecInfo, MediaTypeBufferTooSmallIsRefusedWithTheSizeNeeded) {
  std::shared_ptr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(&manager), S_OK);
  std::shared_ptr<IWMStreamConfig> config;
  ASSERT_EQ(manager->QueryCodecInfo()->GetCodecFormat(WMMEDIATYPE_Audio, 0, 0, &config), S_OK);
  DWORD size = 0;
  ASSERT_EQ(config->QueryMediaProps()->GetMediaType(nullptr, &size), S_OK);
  EXPECT_GT(size, sizeof(WM_MEDIA_TYPE) + sizeof(WAVEFORMATEX));
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  DWORD small = size - 1;
  EXPECT_EQ(config->QueryMediaProps()->GetMediaType(
                reinterpret_cast<WM_MEDIA_TYPE*>(storage.data()), &small),
            ASF_E_BUFFERTOOSMALL);
  EXPECT_EQ(small, size);
  std::shared_ptr<IWMStreamConfig> none;
  EXPECT_TRUE(Failed(manager->QueryCodecInfo()->GetCodecFormat(WMMEDIATYPE_Video, 0, 0, &none)));
}

TEST(Profile, KeepsCopiesOfItsNumberedStreams) {
  std::shared_ptr<IWMProfileManager> manager;
  ASSERT_EQ(WMCreateProfileManager(&manager), S_OK);
  std::shared_ptr<IWMStreamConfig> format;
  ASSERT_EQ(manager->QueryCodecInfo()->GetCodecFormat(WMMEDIATYPE_Audio, 0, 3, &format), S_OK);
  const auto block = wmvtest::FormatBlock(format.get());

  std::shared_ptr<IWMProfile> profile;
  ASSERT_EQ(manager->CreateEmptyProfile(WMT_VER_7_0, &profile), S_OK);
  ASSERT_EQ(profile->SetName(u"Custom Profile"), S_OK);
  std::shared_ptr<IWMStreamConfig> stream;
  ASSERT_EQ(profile->CreateNewStream(WMMEDIATYPE_Audio, &stream), S_OK);
  EXPECT_EQ(profile->AddStream(stream.get()), E_INVALIDARG);  // no number, no media type

  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = AudioSubtype(0x0161);
  type.bFixedSizeSamples = true;
  type.lSampleSize = 1;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.cbFormat = static_cast<DWORD>(block.size());
  std::vector<std::uint8_t> copy = block;
  type.pbFormat = copy.data();
  ASSERT_EQ(stream->SetStreamNumber(1), S_OK);
  ASSERT_EQ(stream->SetStreamName(u"Audio Stream"), S_OK);
  ASSERT_EQ(stream->SetConnectionName(u"Audio"), S_OK);
  ASSERT_EQ(stream->SetBitrate(128000), S_OK);
  ASSERT_EQ(stream->QueryMediaProps()->SetMediaType(&type), S_OK);
  ASSERT_EQ(profile->AddStream(stream.get()), S_OK);
  EXPECT_EQ(profile->AddStream(stream.get()), E_INVALIDARG);  // number 1 is taken
  stream->SetStreamName(u"changed after adding");

  DWORD count = 0;
  ASSERT_EQ(profile->GetStreamCount(&count), S_OK);
  ASSERT_EQ(count, 1u);
  std::shared_ptr<IWMStreamConfig> back;
  ASSERT_EQ(profile->GetStream(0, &back), S_OK);
  WORD number = 0;
  DWORD bitrate = 0;
  std::u16string name, connection, profileName;
  back->GetStreamNumber(&number);
  back->GetBitrate(&bitrate);
  back->GetStreamName(&name);
  back->GetConnectionName(&connection);
  profile->GetName(&profileName);
  EXPECT_EQ(number, 1);
  EXPECT_EQ(bitrate, 128000u);
  EXPECT_EQ(name, u"Audio Stream");
  EXPECT_EQ(connection, u"Audio");
  EXPECT_EQ(profileName, u"Custom Profile");
  EXPECT_EQ(wmvtest::FormatBlock(back.get()), block);
  WMT_VERSION version{};
  profile->GetVersion(&version);
  EXPECT_EQ(version, WMT_VER_7_0);
}

// Loud noise is the hardest input for the smallest blocks: every format
// must still encode it and come out as the format says.
TEST(CodecInfo, EveryFormatOfferedWrites) {
  testing_support::TempDir dir;
  std::mt19937 random(7);
  std::uniform_int_distribution<int> noise(-30000, 30000);
  int n = 0;
  for (const Offered& f : AllFormats()) {
    const WAVEFORMATEX& w = f.wave;
    SCOPED_TRACE(std::to_string(w.nSamplesPerSec) + " Hz " + std::to_string(w.nChannels) + " ch " +
                 std::to_string(f.configBitrate));
    std::vector<std::int16_t> pcm = wmvtest::Tone(w.nSamplesPerSec, w.nChannels, 0, w.nSamplesPerSec / 4);
    for (std::size_t i = 0; i < w.nSamplesPerSec / 4 * w.nChannels; ++i) {
      pcm.push_back(static_cast<std::int16_t>(noise(random)));
    }
    const std::string path = dir.File("f" + std::to_string(n++) + ".wma");
    ASSERT_EQ(wmvtest::WriteWma(path, w.nSamplesPerSec, w.nChannels, f.configBitrate, pcm), S_OK);
    auto probe = wmvtest::Probe(path);
    EXPECT_EQ(probe["stream.codec_name"], "wmav2");
    EXPECT_EQ(probe["stream.sample_rate"], std::to_string(w.nSamplesPerSec));
    EXPECT_EQ(probe["stream.channels"], std::to_string(w.nChannels));
    EXPECT_EQ(probe["stream.bit_rate"], std::to_string(f.configBitrate));
    EXPECT_NEAR(std::stod(probe["format.duration"]), 0.5, 0.020);
  }
}

}  // namespace
