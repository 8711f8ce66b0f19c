// The MP3 probe and decoder on any file: probe, then decode every block.

#include <string>

#include "audio/audio_io.h"
#include "fuzz_support.h"

using namespace zandro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (zandro_fuzz::Silence(), true);
  (void)silenced;
  const std::string path = zandro_fuzz::SaveInput("input.mp3", data, size);

  AudioInfo info;
  const bool probed = ProbeAudioFile(path, info);
  FUZZ_CHECK(info.kind == AudioKind::Mp3, "probe of a .mp3 gave another kind");
  if (!probed) return 0;

  const std::uint32_t startMs = size > 0 ? (data[size - 1] & 3u) * 700u : 0u;
  if (OpenAudioReader(path, info, startMs)) {
    const std::uint8_t* block = nullptr;
    std::uint32_t count = 0;
    unsigned sum = 0;
    while (ReadAudioBlock(info, block, count)) {
      FUZZ_CHECK(count <= kPcmBlockSize, "block of " + std::to_string(count) + " bytes");
      FUZZ_CHECK(count % 2 == 0, "block of " + std::to_string(count) + " bytes is no whole 16-bit sample");
      for (std::uint32_t i = 0; i < count; ++i) sum += block[i];
    }
    (void)sum;
  }
  CloseAudioReader(info);
  return 0;
}
