#include "wma_formats.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

#include "ffmpeg_support.h"

namespace wmvcore::detail {
namespace {

struct Ladder {
  DWORD rate;
  std::initializer_list<int> stereo;  // kbit/s, highest first
  std::initializer_list<int> mono;
};

// The steps WMA users know, per sample rate. FFmpeg's encoder takes nothing
// under 24 kbit/s, so every ladder starts there at the lowest.
const Ladder kLadders[] = {
    {48000, {320, 256, 192, 160, 128, 96, 64, 48}, {128, 96, 64, 48}},
    {44100, {320, 256, 192, 160, 128, 96, 80, 64, 48, 40, 32}, {128, 96, 80, 64, 48, 40, 32}},
    {32000, {96, 80, 64, 48, 40, 32}, {64, 48, 40, 32, 24}},
    {24000, {64, 48, 40, 32, 24}, {48, 40, 32, 24}},
    {22050, {64, 48, 40, 32, 24}, {48, 40, 32, 24}},
    {16000, {48, 40, 32, 24}, {40, 32, 24}},
    {12000, {40, 32, 24}, {32, 24}},
    {11025, {40, 32, 24}, {32, 24}},
    {8000, {32, 24}, {32, 24}},
};

bool Probe(DWORD rate, WORD channels, DWORD bitrate, WmaFormat* out) {
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
  if (!codec) return false;
  CodecContextPtr context(avcodec_alloc_context3(codec));
  if (!context) return false;
  context->sample_rate = static_cast<int>(rate);
  context->bit_rate = bitrate;
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  av_channel_layout_default(&context->ch_layout, channels);
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
  if (context->block_align <= 0 || context->block_align > 0xFFFF) return false;
  out->bitrate = bitrate;
  out->channels = channels;
  out->sampleRate = rate;
  out->blockAlign = static_cast<WORD>(context->block_align);
  out->frameSize = context->frame_size;
  out->extra.assign(context->extradata, context->extradata + context->extradata_size);
  return true;
}

std::vector<WmaFormat> BuildFormats() {
  InstallFfmpegLog();
  std::vector<WmaFormat> formats;
  for (const Ladder& ladder : kLadders) {
    for (WORD channels : {WORD{2}, WORD{1}}) {
      for (int kbps : channels == 2 ? ladder.stereo : ladder.mono) {
        WmaFormat format;
        if (Probe(ladder.rate, channels, static_cast<DWORD>(kbps) * 1000, &format)) {
          formats.push_back(std::move(format));
        }
      }
    }
  }
  return formats;
}

}  // namespace

const std::vector<WmaFormat>& WmaFormats() {
  static const std::vector<WmaFormat> formats = BuildFormats();
  return formats;
}

MediaType WmaMediaType(const WmaFormat& format) {
  std::vector<BYTE> block(sizeof(WAVEFORMATEX) + format.extra.size());
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_WMAUDIO2;
  wave.nChannels = format.channels;
  wave.nSamplesPerSec = format.sampleRate;
  wave.nAvgBytesPerSec = format.bitrate / 8;
  wave.nBlockAlign = format.blockAlign;
  wave.wBitsPerSample = 16;
  wave.cbSize = static_cast<WORD>(format.extra.size());
  std::memcpy(block.data(), &wave, sizeof wave);
  std::copy(format.extra.begin(), format.extra.end(), block.begin() + sizeof wave);

  WM_MEDIA_TYPE header{};
  header.majortype = WMMEDIATYPE_Audio;
  header.subtype = AudioSubtype(WAVE_FORMAT_WMAUDIO2);
  header.bFixedSizeSamples = true;
  header.bTemporalCompression = false;
  header.lSampleSize = format.blockAlign;
  header.formattype = WMFORMAT_WaveFormatEx;
  header.cbFormat = static_cast<DWORD>(block.size());
  header.pbFormat = block.data();
  MediaType type;
  type.Assign(&header);
  return type;
}

const WmaFormat* FindWmaFormat(const WAVEFORMATEX& wave, const BYTE* extra) {
  if (wave.wFormatTag != WAVE_FORMAT_WMAUDIO2) return nullptr;
  for (const WmaFormat& f : WmaFormats()) {
    if (f.channels == wave.nChannels && f.sampleRate == wave.nSamplesPerSec &&
        f.bitrate / 8 == wave.nAvgBytesPerSec && f.blockAlign == wave.nBlockAlign &&
        f.extra.size() == wave.cbSize &&
        (f.extra.empty() || std::memcmp(f.extra.data(), extra, f.extra.size()) == 0)) {
      return &f;
    }
  }
  return nullptr;
}

}  // namespace wmvcore::detail
