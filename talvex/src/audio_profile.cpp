#include "audio_profile.h"

#include <cstring>

namespace talvex {

using namespace wmvcore;

HRESULT ForEachEncoderFormat(IWMProfileManager& manager, const std::function<void(const EncoderFormat&)>& visit) {
  IWMCodecInfo* codecs = manager.QueryCodecInfo();
  if (!codecs) return E_FAIL;
  DWORD codecCount = 0;
  HRESULT hr = codecs->GetCodecInfoCount(WMMEDIATYPE_Audio, &codecCount);
  if (Failed(hr)) return hr;
  for (DWORD codec = 0; codec < codecCount; ++codec) {
    DWORD formatCount = 0;
    if (Failed(hr = codecs->GetCodecFormatCount(WMMEDIATYPE_Audio, codec, &formatCount))) return hr;
    for (DWORD index = 0; index < formatCount; ++index) {
      std::shared_ptr<IWMStreamConfig> config;
      if (Failed(hr = codecs->GetCodecFormat(WMMEDIATYPE_Audio, codec, index, &config))) return hr;
      IWMMediaProps* props = config ? config->QueryMediaProps() : nullptr;
      if (!props) return E_FAIL;
      DWORD size = 0;
      if (Failed(hr = props->GetMediaType(nullptr, &size))) return hr;
      std::vector<std::uint64_t> storage(size / sizeof(std::uint64_t) + 2);
      auto* type = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
      if (Failed(hr = props->GetMediaType(type, &size))) return hr;
      if (type->formattype != WMFORMAT_WaveFormatEx || type->cbFormat < sizeof(WAVEFORMATEX) || !type->pbFormat) {
        return E_FAIL;
      }
      EncoderFormat format;
      std::memcpy(&format.wave, type->pbFormat, sizeof format.wave);
      format.formatBlock.assign(type->pbFormat, type->pbFormat + type->cbFormat);
      visit(format);
    }
  }
  return S_OK;
}

const EncoderFormat* ChooseFormat(const std::vector<EncoderFormat>& formats, std::uint16_t formatTag,
                                  std::uint32_t bitsPerSecond, std::uint32_t sampleRate, std::uint32_t channels) {
  const EncoderFormat* chosen = nullptr;
  for (const EncoderFormat& format : formats) {
    const std::int64_t difference =
        static_cast<std::int64_t>(format.wave.nAvgBytesPerSec) * 8 - static_cast<std::int64_t>(bitsPerSecond);
    if (difference <= -250 || difference >= 250) continue;
    if (format.wave.nSamplesPerSec != sampleRate || format.wave.nChannels != channels) continue;
    if (format.wave.wFormatTag != formatTag) continue;
    if (!chosen || format.wave.nBlockAlign >= chosen->wave.nBlockAlign) chosen = &format;
  }
  return chosen;
}

HRESULT BuildAudioProfile(std::uint16_t formatTag, std::uint32_t bitsPerSecond, std::uint32_t sampleRate,
                          std::uint32_t channels, std::shared_ptr<IWMProfile>* profile) {
  std::shared_ptr<IWMProfileManager> manager;
  HRESULT hr = WMCreateProfileManager(&manager);
  if (Failed(hr) || !manager) return Failed(hr) ? hr : E_FAIL;
  std::shared_ptr<IWMProfile> built;
  if (Failed(hr = manager->CreateEmptyProfile(WMT_VER_7_0, &built)) || !built) return Failed(hr) ? hr : E_FAIL;
  if (Failed(hr = built->SetName(u"Custom Profile"))) return hr;

  std::vector<EncoderFormat> formats;
  hr = ForEachEncoderFormat(*manager, [&formats](const EncoderFormat& format) { formats.push_back(format); });
  if (Failed(hr)) return hr;
  const EncoderFormat* chosen = ChooseFormat(formats, formatTag, bitsPerSecond, sampleRate, channels);
  if (!chosen) return NS_E_AUDIO_CODEC_NOT_INSTALLED;

  std::shared_ptr<IWMStreamConfig> stream;
  if (Failed(hr = built->CreateNewStream(WMMEDIATYPE_Audio, &stream)) || !stream) return Failed(hr) ? hr : E_FAIL;
  const DWORD streamBitrate = chosen->wave.nAvgBytesPerSec * 8;
  if (Failed(hr = stream->SetStreamNumber(1))) return hr;
  if (Failed(hr = stream->SetStreamName(u"Audio Stream"))) return hr;
  if (Failed(hr = stream->SetConnectionName(u"Audio"))) return hr;
  if (Failed(hr = stream->SetBitrate(streamBitrate))) return hr;

  std::vector<std::uint8_t> formatBlock = chosen->formatBlock;
  WM_MEDIA_TYPE type{};
  type.majortype = WMMEDIATYPE_Audio;
  type.subtype = AudioSubtype(formatTag);
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  type.lSampleSize = chosen->wave.nBlockAlign;
  type.formattype = WMFORMAT_WaveFormatEx;
  type.pUnk = nullptr;
  type.cbFormat = static_cast<DWORD>(formatBlock.size());
  type.pbFormat = formatBlock.data();
  IWMMediaProps* props = stream->QueryMediaProps();
  if (!props) return E_FAIL;
  if (Failed(hr = props->SetMediaType(&type))) return hr;
  if (Failed(hr = built->AddStream(stream.get()))) return hr;
  *profile = std::move(built);
  return S_OK;
}

}  // namespace talvex
