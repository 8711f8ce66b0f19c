#include "audio/mp3_file.h"

#include <limits>

#include "mp3dec/mp3dec.h"

namespace zandro {

static_assert(SB_PCM_BLOCK_BYTES == kPcmBlockSize);

bool ProbeMp3File(const std::string& fileName, AudioInfo& info) {
  info = AudioInfo{};
  if (SB_InitMP3(fileName.c_str(), 0) != 0) return false;
  std::int32_t rate = 0;
  std::int32_t channels = 0;
  std::int32_t bitrate = 0;
  std::int32_t playTime = 0;
  SB_GetFrameInfo(&rate, &channels, &bitrate, &playTime);
  SB_ExitMP3();
  if (rate <= 0 || channels <= 0) return false;
  info.sampleRate = static_cast<std::uint32_t>(rate);
  info.channels = static_cast<std::uint32_t>(channels);
  info.bitrate = bitrate > 0 ? static_cast<std::uint32_t>(bitrate) : 0;
  info.durationMs = playTime > 0 ? static_cast<std::uint32_t>(playTime) : 0;
  return true;
}

bool OpenMp3Decoder(const std::string& fileName, std::uint32_t startMs) {
  constexpr std::uint32_t kMaxStart = std::numeric_limits<std::int32_t>::max();
  const auto start = static_cast<std::int32_t>(startMs > kMaxStart ? kMaxStart : startMs);
  return SB_InitMP3(fileName.c_str(), start) == 0;
}

bool DecodeMp3Block(std::uint8_t* buffer, std::uint32_t& byteCount) {
  std::int32_t written = 0;
  const bool ok = SB_decodeMP3(buffer, &written) == 0 && written > 0;
  byteCount = ok ? static_cast<std::uint32_t>(written) : 0;
  return ok;
}

void CloseMp3Decoder() { SB_ExitMP3(); }

}  // namespace zandro
