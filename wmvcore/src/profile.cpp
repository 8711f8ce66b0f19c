#include "wmvcore/profile.h"

#include <cstddef>

#include "profile_objects.h"
#include "wma_formats.h"

namespace wmvcore {
namespace detail {

StreamConfig::StreamConfig(const GUID& streamType)
    : streamType_(streamType), type_(MajorTypeOnly(streamType)) {}

HRESULT StreamConfig::CopyOf(IWMStreamConfig* source, std::shared_ptr<StreamConfig>* copy) {
  if (!source || !copy) return E_POINTER;
  GUID type{};
  if (HRESULT hr = source->GetStreamType(&type); Failed(hr)) return hr;
  auto result = std::make_shared<StreamConfig>(type);
  WORD number = 0;
  DWORD bitrate = 0;
  std::u16string streamName, connectionName;
  if (HRESULT hr = source->GetStreamNumber(&number); Failed(hr)) return hr;
  if (HRESULT hr = source->GetBitrate(&bitrate); Failed(hr)) return hr;
  if (HRESULT hr = source->GetStreamName(&streamName); Failed(hr)) return hr;
  if (HRESULT hr = source->GetConnectionName(&connectionName); Failed(hr)) return hr;
  IWMMediaProps* props = source->QueryMediaProps();
  if (!props) return E_INVALIDARG;
  DWORD size = 0;
  if (HRESULT hr = props->GetMediaType(nullptr, &size); Failed(hr)) return hr;
  std::vector<std::max_align_t> storage(size / sizeof(std::max_align_t) + 1);
  auto* mediaType = reinterpret_cast<WM_MEDIA_TYPE*>(storage.data());
  if (HRESULT hr = props->GetMediaType(mediaType, &size); Failed(hr)) return hr;
  result->number_ = number;
  result->bitrate_ = bitrate;
  result->streamName_ = std::move(streamName);
  result->connectionName_ = std::move(connectionName);
  if (HRESULT hr = result->type_.Assign(mediaType); Failed(hr)) return hr;
  *copy = std::move(result);
  return S_OK;
}

HRESULT StreamConfig::GetStreamType(GUID* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(mutex_);
  *type = streamType_;
  return S_OK;
}

HRESULT StreamConfig::GetStreamNumber(WORD* number) {
  if (!number) return E_POINTER;
  std::lock_guard lock(mutex_);
  *number = number_;
  return S_OK;
}

HRESULT StreamConfig::SetStreamNumber(WORD number) {
  if (number < 1 || number > 63) return E_INVALIDARG;
  std::lock_guard lock(mutex_);
  number_ = number;
  return S_OK;
}

HRESULT StreamConfig::GetStreamName(std::u16string* name) {
  if (!name) return E_POINTER;
  std::lock_guard lock(mutex_);
  *name = streamName_;
  return S_OK;
}

HRESULT StreamConfig::SetStreamName(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  streamName_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetConnectionName(std::u16string* name) {
  if (!name) return E_POINTER;
  std::lock_guard lock(mutex_);
  *name = connectionName_;
  return S_OK;
}

HRESULT StreamConfig::SetConnectionName(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  connectionName_ = name;
  return S_OK;
}

HRESULT StreamConfig::GetBitrate(DWORD* bitsPerSecond) {
  if (!bitsPerSecond) return E_POINTER;
  std::lock_guard lock(mutex_);
  *bitsPerSecond = bitrate_;
  return S_OK;
}

HRESULT StreamConfig::SetBitrate(DWORD bitsPerSecond) {
  std::lock_guard lock(mutex_);
  bitrate_ = bitsPerSecond;
  return S_OK;
}

HRESULT StreamConfig::GetType(GUID* majorType) { return GetStreamType(majorType); }

HRESULT StreamConfig::GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) {
  std::lock_guard lock(mutex_);
  return type_.CopyTo(type, size);
}

HRESULT StreamConfig::SetMediaType(const WM_MEDIA_TYPE* type) {
  if (!type) return E_POINTER;
  std::lock_guard lock(mutex_);
  if (type->majortype != streamType_) return E_INVALIDARG;
  return type_.Assign(type);
}

MediaType StreamConfig::mediaType() const {
  std::lock_guard lock(mutex_);
  return type_;
}

WORD StreamConfig::streamNumber() const {
  std::lock_guard lock(mutex_);
  return number_;
}

HRESULT Profile::GetVersion(WMT_VERSION* version) {
  if (!version) return E_POINTER;
  *version = version_;
  return S_OK;
}

HRESULT Profile::GetName(std::u16string* name) {
  if (!name) return E_POINTER;
  std::lock_guard lock(mutex_);
  *name = name_;
  return S_OK;
}

HRESULT Profile::SetName(std::u16string_view name) {
  std::lock_guard lock(mutex_);
  name_ = name;
  return S_OK;
}

HRESULT Profile::GetStreamCount(DWORD* count) {
  if (!count) return E_POINTER;
  std::lock_guard lock(mutex_);
  *count = static_cast<DWORD>(streams_.size());
  return S_OK;
}

HRESULT Profile::GetStream(DWORD index, std::shared_ptr<IWMStreamConfig>* config) {
  if (!config) return E_POINTER;
  std::shared_ptr<StreamConfig> stream;
  {
    std::lock_guard lock(mutex_);
    if (index >= streams_.size()) return E_INVALIDARG;
    stream = streams_[index];
  }
  std::shared_ptr<StreamConfig> copy;
  if (HRESULT hr = StreamConfig::CopyOf(stream.get(), &copy); Failed(hr)) return hr;
  *config = std::move(copy);
  return S_OK;
}

HRESULT Profile::CreateNewStream(const GUID& streamType, std::shared_ptr<IWMStreamConfig>* config) {
  if (!config) return E_POINTER;
  if (streamType != WMMEDIATYPE_Audio) return NS_E_INVALID_REQUEST;
  *config = std::make_shared<StreamConfig>(streamType);
  return S_OK;
}

HRESULT Profile::AddStream(IWMStreamConfig* config) {
  std::shared_ptr<StreamConfig> copy;
  if (HRESULT hr = StreamConfig::CopyOf(config, &copy); Failed(hr)) return hr;
  const WORD number = copy->streamNumber();
  if (number < 1 || number > 63 || copy->mediaType().header().subtype == GUID_NULL) {
    return E_INVALIDARG;
  }
  std::lock_guard lock(mutex_);
  for (const auto& s : streams_) {
    if (s->streamNumber() == number) return E_INVALIDARG;
  }
  streams_.push_back(std::move(copy));
  return S_OK;
}

std::vector<std::shared_ptr<StreamConfig>> Profile::streams() const {
  std::lock_guard lock(mutex_);
  return streams_;
}

}  // namespace detail

namespace {

class CodecInfo final : public IWMCodecInfo {
 public:
  HRESULT GetCodecInfoCount(const GUID& majorType, DWORD* codecs) override {
    if (!codecs) return E_POINTER;
    *codecs = majorType == WMMEDIATYPE_Audio && !detail::WmaFormats().empty() ? 1 : 0;
    return S_OK;
  }

  HRESULT GetCodecFormatCount(const GUID& majorType, DWORD codecIndex, DWORD* formats) override {
    if (!formats) return E_POINTER;
    if (!ValidCodec(majorType, codecIndex)) return E_INVALIDARG;
    *formats = static_cast<DWORD>(detail::WmaFormats().size());
    return S_OK;
  }

  HRESULT GetCodecFormat(const GUID& majorType, DWORD codecIndex, DWORD formatIndex,
                         std::shared_ptr<IWMStreamConfig>* config) override {
    if (!config) return E_POINTER;
    if (!ValidCodec(majorType, codecIndex)) return E_INVALIDARG;
    const auto& formats = detail::WmaFormats();
    if (formatIndex >= formats.size()) return E_INVALIDARG;
    const detail::WmaFormat& format = formats[formatIndex];
    auto stream = std::make_shared<detail::StreamConfig>(WMMEDIATYPE_Audio);
    stream->SetBitrate(format.bitrate);
    const detail::MediaType type = detail::WmaMediaType(format);
    WM_MEDIA_TYPE header = type.header();
    std::vector<BYTE> block = type.format();
    header.pbFormat = block.data();
    if (HRESULT hr = stream->SetMediaType(&header); Failed(hr)) return hr;
    *config = std::move(stream);
    return S_OK;
  }

 private:
  static bool ValidCodec(const GUID& majorType, DWORD codecIndex) {
    return majorType == WMMEDIATYPE_Audio && codecIndex == 0 && !detail::WmaFormats().empty();
  }
};

class ProfileManager final : public IWMProfileManager {
 public:
  HRESULT CreateEmptyProfile(WMT_VERSION version, std::shared_ptr<IWMProfile>* profile) override {
    if (!profile) return E_POINTER;
    switch (version) {
      case WMT_VER_4_0: case WMT_VER_7_0: case WMT_VER_8_0: case WMT_VER_9_0: break;
      default: return E_INVALIDARG;
    }
    *profile = std::make_shared<detail::Profile>(version);
    return S_OK;
  }

  IWMCodecInfo* QueryCodecInfo() override { return &codecInfo_; }

 private:
  CodecInfo codecInfo_;
};

}  // namespace

HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* manager) {
  if (!manager) return E_POINTER;
  *manager = std::make_shared<ProfileManager>();
  return S_OK;
}

}  // namespace wmvcore
