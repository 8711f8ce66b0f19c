#include "media_type.h"

#include <cstring>

namespace wmvcore::detail {

MediaType::MediaType() : header_{} {}

HRESULT MediaType::CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const {
  if (!size) return E_POINTER;
  const DWORD needed = static_cast<DWORD>(sizeof(WM_MEDIA_TYPE) + format_.size());
  if (!type) {
    *size = needed;
    return S_OK;
  }
  if (*size < needed) {
    *size = needed;
    return ASF_E_BUFFERTOOSMALL;
  }
  *type = header_;
  BYTE* block = reinterpret_cast<BYTE*>(type) + sizeof(WM_MEDIA_TYPE);
  if (!format_.empty()) std::memcpy(block, format_.data(), format_.size());
  type->cbFormat = static_cast<DWORD>(format_.size());
  type->pbFormat = format_.empty() ? nullptr : block;
  type->pUnk = nullptr;
  *size = needed;
  return S_OK;
}

HRESULT MediaType::Assign(const WM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  if (type->cbFormat > 0 && !type->pbFormat) return E_INVALIDARG;
  header_ = *type;
  format_.assign(type->pbFormat, type->pbFormat + type->cbFormat);
  header_.pbFormat = nullptr;
  header_.pUnk = nullptr;
  return S_OK;
}

const WAVEFORMATEX* MediaType::WaveFormat() const {
  if (header_.formattype != WMFORMAT_WaveFormatEx || format_.size() < sizeof(WAVEFORMATEX)) {
    return nullptr;
  }
  const auto* wave = reinterpret_cast<const WAVEFORMATEX*>(format_.data());
  if (sizeof(WAVEFORMATEX) + wave->cbSize > format_.size()) return nullptr;
  return wave;
}

MediaType PcmMediaType(DWORD rate, WORD channels) {
  WAVEFORMATEX wave{};
  wave.wFormatTag = WAVE_FORMAT_PCM;
  wave.nChannels = channels;
  wave.nSamplesPerSec = rate;
  wave.wBitsPerSample = 16;
  wave.nBlockAlign = static_cast<WORD>(channels * 2);
  wave.nAvgBytesPerSec = rate * wave.nBlockAlign;
  wave.cbSize = 0;

  WM_MEDIA_TYPE header{};
  header.majortype = WMMEDIATYPE_Audio;
  header.subtype = WMMEDIASUBTYPE_PCM;
  header.bFixedSizeSamples = true;
  header.bTemporalCompression = false;
  header.lSampleSize = wave.nBlockAlign;
  header.formattype = WMFORMAT_WaveFormatEx;
  header.cbFormat = sizeof wave;
  header.pbFormat = reinterpret_cast<BYTE*>(&wave);
  MediaType type;
  type.Assign(&header);
  return type;
}

MediaType MajorTypeOnly(const GUID& majorType) {
  WM_MEDIA_TYPE header{};
  header.majortype = majorType;
  MediaType type;
  type.Assign(&header);
  return type;
}

HRESULT FixedMediaProps::GetType(GUID* majorType) {
  if (!majorType) return E_POINTER;
  std::lock_guard lock(mutex_);
  *majorType = type_.header().majortype;
  return S_OK;
}

HRESULT FixedMediaProps::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  std::lock_guard lock(mutex_);
  return type_.CopyTo(type, size);
}

HRESULT FixedMediaProps::SetMediaType(const WM_MEDIA_TYPE* type) {
  // Outputs and inputs keep their one format: nothing is ever converted.
  std::lock_guard lock(mutex_);
  if (!type) return E_POINTER;
  MediaType wanted;
  if (HRESULT hr = wanted.Assign(type); Failed(hr)) return hr;
  if (wanted.header().majortype != type_.header().majortype ||
      wanted.header().subtype != type_.header().subtype || wanted.format() != type_.format()) {
    return NS_E_INVALID_REQUEST;
  }
  return S_OK;
}

HRESULT FixedMediaProps::GetStreamGroupName(std::u16string* name) {
  if (!name) return E_POINTER;
  name->clear();
  return S_OK;
}

HRESULT FixedMediaProps::GetConnectionName(std::u16string* name) {
  if (!name) return E_POINTER;
  name->clear();
  return S_OK;
}

}  // namespace wmvcore::detail
