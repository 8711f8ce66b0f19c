#pragma once
// Reading an MP3 file's layout without decoding it: tags at both ends, the
// first frame, a Xing/Info/VBRI header and a bounded walk over the frame
// headers. The decoder library uses it to report bit rate and play time;
// it is public so that its arithmetic can be checked on its own.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace mp3dec {

enum class MpegVersion { Mpeg1, Mpeg2, Mpeg25 };

struct FrameHeader {
  MpegVersion version = MpegVersion::Mpeg1;
  int layer = 3;               // 1, 2 or 3
  bool crc = false;            // a 16-bit CRC follows the header
  std::uint32_t bitrateKbps = 0;
  std::uint32_t sampleRate = 0;
  bool padding = false;
  int channelMode = 0;         // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  bool copyright = false;
  bool original = false;
  std::uint32_t frameBytes = 0;       // header included
  std::uint32_t samplesPerFrame = 0;  // per channel

  std::uint32_t Channels() const { return channelMode == 3 ? 1u : 2u; }
};

// The header in the four bytes at `bytes` (big-endian as stored), or nothing
// for a reserved or free-format header.
std::optional<FrameHeader> ParseFrameHeader(const std::uint8_t* bytes);

// Frames of one stream share version, layer and sample rate.
bool SameStream(const FrameHeader& a, const FrameHeader& b);

struct StreamFacts {
  std::uint32_t sampleRate = 0;
  std::uint32_t channels = 0;
  std::uint32_t bitrateKbps = 0;  // nominal for constant, average for variable
  std::uint32_t durationMs = 0;
  bool exact = false;             // counted or taken from a header, not estimated
};

// At most this many bytes of audio are read to judge a file without a
// header that states its length.
inline constexpr std::size_t kScanWindowBytes = 256 * 1024;

// Nothing when no run of valid frames starts within the window.
std::optional<StreamFacts> ScanFile(const std::string& fileName,
                                    std::size_t windowBytes = kScanWindowBytes);

}  // namespace mp3dec
