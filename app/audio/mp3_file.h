#pragma once
// The MP3 branches of the reader operations, over the decoder library's
// four entry points. The library holds the one open MP3 stream, so a probe
// must not run while an MP3 reader is open.

#include <cstdint>
#include <string>

#include "audio/audio_info.h"

namespace zandro {

// Zeroes `info` and fills rate, channels, bit rate and play time; false,
// without a message, for a file the decoder cannot open. `kind` is left 0.
bool ProbeMp3File(const std::string& fileName, AudioInfo& info);

bool OpenMp3Decoder(const std::string& fileName, std::uint32_t startMs);

// Decodes the next block into `buffer` (kPcmBlockSize bytes); false at the
// end of the stream or when nothing can be decoded past an error.
bool DecodeMp3Block(std::uint8_t* buffer, std::uint32_t& byteCount);

// Harmless when nothing is open.
void CloseMp3Decoder();

}  // namespace zandro
