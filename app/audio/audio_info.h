#pragma once
// The record that describes one audio stream, and the file kinds.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace zandro {

// The values cross into the WMA library, so they are fixed.
enum class AudioKind : std::int32_t {
  None = 0,  // the kind of a zeroed record: no file kind
  Mp3 = 1,
  Wav = 2,
  Wma = 3,
};

// Eight 32-bit little-endian fields; the WMA library reads and fills it by
// offset, so the layout must not change.
struct AudioInfo {
  AudioKind kind = AudioKind::None;
  std::uint32_t sampleRate = 0;  // Hz, per channel
  std::uint32_t channels = 0;    // interleaved channels
  std::uint32_t bitrate = 0;     // kbit/s
  std::uint32_t reserved1 = 0;
  std::uint32_t reserved2 = 0;
  std::uint32_t reserved3 = 0;
  std::uint32_t durationMs = 0;  // play time
};

static_assert(sizeof(AudioInfo) == 32);
static_assert(offsetof(AudioInfo, kind) == 0);
static_assert(offsetof(AudioInfo, sampleRate) == 4);
static_assert(offsetof(AudioInfo, channels) == 8);
static_assert(offsetof(AudioInfo, bitrate) == 12);
static_assert(offsetof(AudioInfo, durationMs) == 28);

// The kind a file name's extension stands for (last dot of the last
// component, case ignored); None for any other extension or none at all.
AudioKind KindFromFileName(std::string_view fileName);

// ".wma", ".mp3" or ".wav"; "" for None.
std::string_view ExtensionForKind(AudioKind kind);

// Readers hand out at most this many bytes of PCM per block.
inline constexpr std::size_t kPcmBlockSize = 8192;

}  // namespace zandro
