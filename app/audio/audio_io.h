#pragma once
// The seven kind-independent audio operations. Each dispatches on the kind
// (the probe on the file name's extension, the others on AudioInfo::kind).
// Audio travels between readers and writers as interleaved signed 16-bit
// little-endian PCM at the stream's own rate and channel count.
//
// There is one reader and one writer at a time in process-wide state; a
// probe must not run while a reader of the same kind is open.

#include <cstdint>
#include <string>

#include "audio/audio_info.h"

namespace zandro {

// Fills `info` for the file; shows a message for an extension it cannot
// handle (the record is then left untouched) and for unreadable WAV files.
bool ProbeAudioFile(const std::string& fileName, AudioInfo& info);

bool OpenAudioReader(const std::string& fileName, AudioInfo info, std::uint32_t startMs);

// Hands out the next block (valid until the next read or the close); false
// at the end of the stream or on failure.
bool ReadAudioBlock(AudioInfo info, const std::uint8_t*& data, std::uint32_t& byteCount);

// Harmless when nothing is open, also twice in a row.
void CloseAudioReader(AudioInfo info);

bool OpenAudioWriter(const std::string& fileName, AudioInfo info);

// False when the block could not be written completely.
bool WriteAudioBlock(AudioInfo info, const std::uint8_t* data, std::uint32_t byteCount);

// Finishes the target; false when it could not be finished (or nothing was open).
bool CloseAudioWriter(AudioInfo info);

// Whether a writer of the target's kind would take the stream as it is
// (rate, channels, and for MP3 the bit rate), without creating anything.
// For WMA this only says whether the WMA library is there; its formats are
// the options' business.
bool CanWriteStream(AudioInfo target);

// The block buffer the WAV reader and the MP3 decoder deliver into.
std::uint8_t* PcmBlockBuffer();

}  // namespace zandro
