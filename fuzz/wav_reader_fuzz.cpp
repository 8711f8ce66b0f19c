// The WAV probe and reader on any file: the probe's verdict, then every
// block the reader hands out, which must stay inside the file.

#include <cstdio>
#include <string>

#include "audio/audio_io.h"
#include "audio/wav_file.h"
#include "fuzz_support.h"

using namespace zandro;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool silenced = (zandro_fuzz::Silence(), true);
  (void)silenced;
  const std::string path = zandro_fuzz::SaveInput("input.wav", data, size);

  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    if (const auto layout = ReadWavLayout(file)) {
      FUZZ_CHECK(layout->dataOffset + layout->dataSize <= size, "data chunk reaches past the file");
    }
    std::fclose(file);
  }

  AudioInfo info;
  if (!ProbeAudioFile(path, info)) return 0;
  FUZZ_CHECK(info.kind == AudioKind::Wav, "probe of a .wav gave another kind");

  // The last byte picks a start time, so that seeking is reached as well.
  const std::uint32_t startMs = size > 0 ? (data[size - 1] & 3u) * 700u : 0u;
  if (OpenAudioReader(path, info, startMs)) {
    std::size_t total = 0;
    const std::uint8_t* block = nullptr;
    std::uint32_t count = 0;
    unsigned sum = 0;
    while (ReadAudioBlock(info, block, count)) {
      FUZZ_CHECK(count > 0 && count <= kPcmBlockSize, "block of " + std::to_string(count) + " bytes");
      for (std::uint32_t i = 0; i < count; ++i) sum += block[i];
      total += count;
      FUZZ_CHECK(total <= size, "read more sample bytes than the file holds");
    }
    (void)sum;
  }
  CloseAudioReader(info);
  return 0;
}
