#pragma once
// Profiles, stream configurations and the encoder formats on offer.
//
// The audio codec on offer is Windows Media Audio 2 (format tag 0x0161),
// at 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100 and 48000 Hz,
// mono and stereo, over a bit-rate ladder of 24 to 320 kbit/s that depends
// on the rate. Each format's WAVEFORMATEX has nAvgBytesPerSec = bit rate /
// 8, the encoder's nBlockAlign (bit rate x frame size / (8 x rate), rounded
// down; frame size 512 up to 16000 Hz, 1024 up to 22050 Hz, 2048 above) and
// the encoder's extra bytes.

#include <memory>
#include <string>
#include <string_view>

#include "wmvcore/media_props.h"
#include "wmvcore/types.h"

namespace wmvcore {

// One stream of a profile (or one encoder format). Holds its own copy of
// the media type.
class IWMStreamConfig {
 public:
  virtual ~IWMStreamConfig() = default;
  virtual HRESULT GetStreamType(GUID* type) = 0;
  virtual HRESULT GetStreamNumber(WORD* number) = 0;
  virtual HRESULT SetStreamNumber(WORD number) = 0;
  virtual HRESULT GetStreamName(std::u16string* name) = 0;
  virtual HRESULT SetStreamName(std::u16string_view name) = 0;
  virtual HRESULT GetConnectionName(std::u16string* name) = 0;
  virtual HRESULT SetConnectionName(std::u16string_view name) = 0;
  virtual HRESULT GetBitrate(DWORD* bitsPerSecond) = 0;
  virtual HRESULT SetBitrate(DWORD bitsPerSecond) = 0;
  // The same object's media type; valid as long as the stream config.
  virtual IWMMediaProps* QueryMediaProps() = 0;
};

class IWMProfile {
 public:
  virtual ~IWMProfile() = default;
  virtual HRESULT GetVersion(WMT_VERSION* version) = 0;
  virtual HRESULT GetName(std::u16string* name) = 0;
  virtual HRESULT SetName(std::u16string_view name) = 0;
  virtual HRESULT GetStreamCount(DWORD* count) = 0;
  // A copy of stream `index`.
  virtual HRESULT GetStream(DWORD index, std::shared_ptr<IWMStreamConfig>* config) = 0;
  // A new, unnumbered stream of `streamType` (only WMMEDIATYPE_Audio here);
  // it belongs to the profile only once AddStream has been called.
  virtual HRESULT CreateNewStream(const GUID& streamType,
                                  std::shared_ptr<IWMStreamConfig>* config) = 0;
  // Adds a copy of `config`. It needs a stream number from 1 to 63 that no
  // other stream has and a media type.
  virtual HRESULT AddStream(IWMStreamConfig* config) = 0;
};

// The encoder formats, by codec and format index.
class IWMCodecInfo {
 public:
  virtual ~IWMCodecInfo() = default;
  virtual HRESULT GetCodecInfoCount(const GUID& majorType, DWORD* codecs) = 0;
  virtual HRESULT GetCodecFormatCount(const GUID& majorType, DWORD codecIndex,
                                      DWORD* formats) = 0;
  // A stream config describing the format (bit rate and media type set).
  virtual HRESULT GetCodecFormat(const GUID& majorType, DWORD codecIndex, DWORD formatIndex,
                                 std::shared_ptr<IWMStreamConfig>* config) = 0;
};

class IWMProfileManager {
 public:
  virtual ~IWMProfileManager() = default;
  virtual HRESULT CreateEmptyProfile(WMT_VERSION version, std::shared_ptr<IWMProfile>* profile) = 0;
  // The manager's codec information; valid as long as the manager.
  virtual IWMCodecInfo* QueryCodecInfo() = 0;
};

HRESULT WMCreateProfileManager(std::shared_ptr<IWMProfileManager>* manager);

}  // namespace wmvcore
