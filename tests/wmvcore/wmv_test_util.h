#pragma once
// Helpers for the runtime stand-in's tests: tones, writing a WMA file the
// way a client does, running ffprobe/ffmpeg, and finding a lag between two
// signals.

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "wmvcore/wmvcore.h"

namespace wmvtest {

// Interleaved 16-bit PCM: `silentFrames` of silence, then a tone of
// `toneFrames` whose amplitude wobbles slowly (so alignment is unique).
std::vector<std::int16_t> Tone(std::uint32_t rate, int channels, std::size_t silentFrames,
                               std::size_t toneFrames, double hz = 440.0);

// The first encoder format with this rate, channel count and bit rate, or -1.
int FindFormat(wmvcore::IWMCodecInfo* info, std::uint32_t rate, int channels,
               std::uint32_t bitrate);

// The WAVEFORMATEX (and its extra bytes) of an encoder format.
std::vector<std::uint8_t> FormatBlock(wmvcore::IWMStreamConfig* config);

// Writes `pcm` as a WMA file at `path` through writer, file sink and a
// profile built from the codec information, in blocks of `blockBytes`
// stamped with their byte-count times (each block's duration rounded and
// summed, as a client may do), each running `leadPerBlock` units further
// ahead. Returns the first failure.
wmvcore::HRESULT WriteWma(const std::string& path, std::uint32_t rate, int channels,
                          std::uint32_t bitrate, const std::vector<std::int16_t>& pcm,
                          std::size_t blockBytes = 8192, wmvcore::QWORD leadPerBlock = 0);

// ffprobe's key=value entries for the first audio stream ("stream.x") and
// the format ("format.x"), including tags ("format.tag.title").
std::map<std::string, std::string> Probe(const std::string& path);

// The file decoded by the ffmpeg program to interleaved 16-bit PCM.
std::vector<std::int16_t> FfmpegDecode(const std::string& path);

// The lag (in frames, of channel 0) at which `decoded` best matches
// `source`, searched within +-maxLag.
long BestLag(const std::vector<std::int16_t>& source, const std::vector<std::int16_t>& decoded,
             int channels, long maxLag);

// Index of the first frame whose channel-0 magnitude reaches `threshold`.
std::size_t FirstLoudFrame(const std::vector<std::int16_t>& pcm, int channels, int threshold);

// Root-mean-square of channel 0 over frames [from, to).
double Rms(const std::vector<std::int16_t>& pcm, int channels, std::size_t from, std::size_t to);

std::u16string U16(const std::string& text);

}  // namespace wmvtest
