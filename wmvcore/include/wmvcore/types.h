#pragma once
// Values shared by every wmvcore object: status codes, GUIDs, media types,
// reader statuses and attribute data types, with the names and numbers the
// Windows Media Format runtime uses, so that code written against that
// runtime reads the same here.

#include <array>
#include <cstdint>
#include <string_view>

namespace wmvcore {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using HRESULT = std::int32_t;

constexpr HRESULT MakeHresult(std::uint32_t value) { return static_cast<HRESULT>(value); }
constexpr bool Succeeded(HRESULT hr) { return hr >= 0; }
constexpr bool Failed(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT S_FALSE = 1;
inline constexpr HRESULT E_NOTIMPL = MakeHresult(0x80004001u);
inline constexpr HRESULT E_POINTER = MakeHresult(0x80004003u);
inline constexpr HRESULT E_FAIL = MakeHresult(0x80004005u);
inline constexpr HRESULT E_UNEXPECTED = MakeHresult(0x8000FFFFu);
inline constexpr HRESULT E_ACCESSDENIED = MakeHresult(0x80070005u);
inline constexpr HRESULT E_OUTOFMEMORY = MakeHresult(0x8007000Eu);
inline constexpr HRESULT E_INVALIDARG = MakeHresult(0x80070057u);
// HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) and (ERROR_PATH_NOT_FOUND).
inline constexpr HRESULT E_FILE_NOT_FOUND = MakeHresult(0x80070002u);
inline constexpr HRESULT E_PATH_NOT_FOUND = MakeHresult(0x80070003u);

inline constexpr HRESULT NS_E_UNRECOGNIZED_STREAM_TYPE = MakeHresult(0xC00D0026u);
inline constexpr HRESULT NS_E_INVALID_REQUEST = MakeHresult(0xC00D002Bu);
// The open status after which a reader's client waits for the open once more.
inline constexpr HRESULT NS_E_NO_STREAM = MakeHresult(0xC00D0033u);
inline constexpr HRESULT ASF_E_BUFFERTOOSMALL = MakeHresult(0xC00D07D1u);
// An attribute that the header does not hold (its length is reported as 0).
inline constexpr HRESULT ASF_E_NOTFOUND = MakeHresult(0xC00D07F0u);
inline constexpr HRESULT NS_E_PROTECTED_CONTENT = MakeHresult(0xC00D0BBDu);
// No encoder format matches a request; also a file whose codec cannot be decoded.
inline constexpr HRESULT NS_E_AUDIO_CODEC_NOT_INSTALLED = MakeHresult(0xC00D0BC2u);
inline constexpr HRESULT NS_E_AUDIO_CODEC_ERROR = MakeHresult(0xC00D0BC3u);

struct GUID {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::array<std::uint8_t, 8> data4{};

  friend constexpr bool operator==(const GUID&, const GUID&) = default;
};

inline constexpr GUID GUID_NULL{};
// 73647561-0000-0010-8000-00AA00389B71
inline constexpr GUID WMMEDIATYPE_Audio{0x73647561, 0x0000, 0x0010,
                                        {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 73646976-0000-0010-8000-00AA00389B71
inline constexpr GUID WMMEDIATYPE_Video{0x73646976, 0x0000, 0x0010,
                                        {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// 05589F81-C356-11CE-BF01-00AA0055595A
inline constexpr GUID WMFORMAT_WaveFormatEx{0x05589F81, 0xC356, 0x11CE,
                                            {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

// The media subtype of a wave format tag: the tag in the first field of the
// base GUID xxxxxxxx-0000-0010-8000-00AA00389B71.
constexpr GUID AudioSubtype(std::uint16_t formatTag) {
  return GUID{formatTag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}
inline constexpr GUID WMMEDIASUBTYPE_PCM = AudioSubtype(0x0001);

inline constexpr WORD WAVE_FORMAT_PCM = 0x0001;
inline constexpr WORD WAVE_FORMAT_WMAUDIO2 = 0x0161;  // 353

#pragma pack(push, 1)
struct WAVEFORMATEX {
  WORD wFormatTag;
  WORD nChannels;
  DWORD nSamplesPerSec;
  DWORD nAvgBytesPerSec;
  WORD nBlockAlign;
  WORD wBitsPerSample;
  WORD cbSize;  // extra bytes that follow the structure
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18);

// A media type. When a method fills one into a caller's buffer, the format
// block follows the structure in the same buffer and pbFormat points at it.
struct WM_MEDIA_TYPE {
  GUID majortype;
  GUID subtype;
  bool bFixedSizeSamples;
  bool bTemporalCompression;
  DWORD lSampleSize;
  GUID formattype;
  void* pUnk;
  DWORD cbFormat;
  BYTE* pbFormat;
};

enum WMT_STATUS : int {
  WMT_ERROR = 0,
  WMT_OPENED = 1,
  WMT_BUFFERING_START = 2,
  WMT_BUFFERING_STOP = 3,
  WMT_EOF = 4,
  WMT_END_OF_FILE = 4,
  WMT_END_OF_SEGMENT = 5,
  WMT_END_OF_STREAMING = 6,
  WMT_LOCATING = 7,
  WMT_CONNECTING = 8,
  WMT_NO_RIGHTS = 9,
  WMT_MISSING_CODEC = 10,
  WMT_STARTED = 11,
  WMT_STOPPED = 12,
  WMT_CLOSED = 13,
  WMT_STRIDING = 14,
  WMT_TIMER = 15,
  WMT_INDEX_PROGRESS = 16,
  WMT_SAVEAS_START = 17,
  WMT_SAVEAS_STOP = 18,
  WMT_NEW_SOURCEFLAGS = 19,
  WMT_NEW_METADATA = 20,
  WMT_BACKUPRESTORE_BEGIN = 21,
  WMT_SOURCE_SWITCH = 22,
};

enum WMT_ATTR_DATATYPE : int {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

enum WMT_VERSION : std::uint32_t {
  WMT_VER_4_0 = 0x00040000,
  WMT_VER_7_0 = 0x00070000,
  WMT_VER_8_0 = 0x00080000,
  WMT_VER_9_0 = 0x00090000,
};

// Rights a reader may be created with; this runtime grants none of them to
// protected content.
inline constexpr DWORD WMT_RIGHT_PLAYBACK = 0x00000001;

// Times are in 100-nanosecond units throughout.
inline constexpr QWORD kUnitsPerSecond = 10'000'000;

// Attribute names the runtime computes for a file.
inline constexpr std::u16string_view g_wszWMDuration = u"Duration";
inline constexpr std::u16string_view g_wszWMBitrate = u"Bitrate";
inline constexpr std::u16string_view g_wszWMSeekable = u"Seekable";
inline constexpr std::u16string_view g_wszWMHasAudio = u"HasAudio";
inline constexpr std::u16string_view g_wszWMHasVideo = u"HasVideo";
inline constexpr std::u16string_view g_wszWMProtected = u"Is_Protected";
// Content description names and the usual tag attributes.
inline constexpr std::u16string_view g_wszWMTitle = u"Title";
inline constexpr std::u16string_view g_wszWMAuthor = u"Author";
inline constexpr std::u16string_view g_wszWMCopyright = u"Copyright";
inline constexpr std::u16string_view g_wszWMDescription = u"Description";
inline constexpr std::u16string_view g_wszWMRating = u"Rating";
inline constexpr std::u16string_view g_wszWMAlbumTitle = u"WM/AlbumTitle";
inline constexpr std::u16string_view g_wszWMYear = u"WM/Year";
inline constexpr std::u16string_view g_wszWMTrack = u"WM/Track";
inline constexpr std::u16string_view g_wszWMTrackNumber = u"WM/TrackNumber";

}  // namespace wmvcore
