#pragma once
// The concrete stream config and profile, shared with the writer.

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "media_type.h"
#include "wmvcore/profile.h"

namespace wmvcore::detail {

class StreamConfig final : public IWMStreamConfig, public IWMMediaProps {
 public:
  explicit StreamConfig(const GUID& streamType);
  // A copy of any stream config, read through its interface.
  static HRESULT CopyOf(IWMStreamConfig* source, std::shared_ptr<StreamConfig>* copy);

  HRESULT GetStreamType(GUID* type) override;
  HRESULT GetStreamNumber(WORD* number) override;
  HRESULT SetStreamNumber(WORD number) override;
  HRESULT GetStreamName(std::u16string* name) override;
  HRESULT SetStreamName(std::u16string_view name) override;
  HRESULT GetConnectionName(std::u16string* name) override;
  HRESULT SetConnectionName(std::u16string_view name) override;
  HRESULT GetBitrate(DWORD* bitsPerSecond) override;
  HRESULT SetBitrate(DWORD bitsPerSecond) override;
  IWMMediaProps* QueryMediaProps() override { return this; }

  HRESULT GetType(GUID* majorType) override;
  HRESULT GetMediaType(WM_MEDIA_TYPE* type, DWORD* size) override;
  HRESULT SetMediaType(const WM_MEDIA_TYPE* type) override;

  MediaType mediaType() const;
  WORD streamNumber() const;

 private:
  mutable std::mutex mutex_;
  GUID streamType_;
  WORD number_ = 0;
  std::u16string streamName_;
  std::u16string connectionName_;
  DWORD bitrate_ = 0;
  MediaType type_;
};

class Profile final : public IWMProfile {
 public:
  explicit Profile(WMT_VERSION version) : version_(version) {}

  HRESULT GetVersion(WMT_VERSION* version) override;
  HRESULT GetName(std::u16string* name) override;
  HRESULT SetName(std::u16string_view name) override;
  HRESULT GetStreamCount(DWORD* count) override;
  HRESULT GetStream(DWORD index, std::shared_ptr<IWMStreamConfig>* config) override;
  HRESULT CreateNewStream(const GUID& streamType,
                          std::shared_ptr<IWMStreamConfig>* config) override;
  HRESULT AddStream(IWMStreamConfig* config) override;

  std::vector<std::shared_ptr<StreamConfig>> streams() const;

 private:
  mutable std::mutex mutex_;
  WMT_VERSION version_;
  std::u16string name_;
  std::vector<std::shared_ptr<StreamConfig>> streams_;
};

}  // namespace wmvcore::detail
