#pragma once
// A media type held by value (structure plus format block) and the media
// properties objects built on it.

#include <mutex>
#include <vector>

#include "wmvcore/media_props.h"

namespace wmvcore::detail {

class MediaType {
 public:
  MediaType();

  // The buffer protocol of IWMMediaProps::GetMediaType.
  HRESULT CopyTo(WM_MEDIA_TYPE* type, DWORD* size) const;
  HRESULT Assign(const WM_MEDIA_TYPE* type);

  const WM_MEDIA_TYPE& header() const { return header_; }
  const std::vector<BYTE>& format() const { return format_; }
  bool empty() const { return header_.majortype == GUID_NULL; }
  // The format block as a WAVEFORMATEX, or null when it is not one.
  const WAVEFORMATEX* WaveFormat() const;

 private:
  WM_MEDIA_TYPE header_;
  std::vector<BYTE> format_;
};

// Interleaved signed 16-bit PCM at `rate` and `channels`.
MediaType PcmMediaType(DWORD rate, WORD channels);
// A media type with only its major type (a stream whose format is not offered).
MediaType MajorTypeOnly(const GUID& majorType);

// Properties of a reader output or a writer input: a fixed media type.
class FixedMediaProps final : public IWMOutputMediaProps, public IWMInputMediaProps {
 public:
  explicit FixedMediaProps(MediaType type) : type_(std::move(type)) {}

  HRESULT GetType(GUID* majorType) override;
  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT SetMediaType(const WM_MEDIA_TYPE* type) override;
  HRESULT GetStreamGroupName(std::u16string* name) override;
  HRESULT GetConnectionName(std::u16string* name) override;

 private:
  std::mutex mutex_;
  MediaType type_;
};

}  // namespace wmvcore::detail
