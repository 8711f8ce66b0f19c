#pragma once
// The MP3 writer: PCM collected into chunks of one encoder frame per
// channel and encoded by LAME as constant-bit-rate MPEG audio (mono or plain
// stereo, quality 2, copyright and original bits, no CRC, no Xing/Info frame,
// no ID3 tag, never resampled). Tags are written afterwards by the tag
// operations.

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/audio_info.h"

struct lame_global_struct;

namespace zandro {

// Owns one LAME stream, its two buffers and the target file; not copyable.
class Mp3Encoder {
 public:
  Mp3Encoder() = default;
  Mp3Encoder(const Mp3Encoder&) = delete;
  Mp3Encoder& operator=(const Mp3Encoder&) = delete;
  ~Mp3Encoder();

  // Creates (or truncates) the target. False, with no file created, when
  // LAME would have to change the rate, the bit rate or the channel count to
  // encode the stream; false, with everything released, when the file
  // cannot be created.
  bool Open(const std::string& fileName, const AudioInfo& info);

  // Whether Open would take the stream, without creating anything.
  static bool Accepts(const AudioInfo& info);

  // False when nothing is open, the encoder fails (the rest of the block is
  // dropped) or the target cannot be written.
  bool Encode(const std::uint8_t* data, std::size_t byteCount);

  // Encodes the partial last chunk, flushes the encoder and closes the file;
  // false when nothing was open or any write to the target failed.
  bool Close();

  bool IsOpen() const { return lame_ != nullptr; }

  // 16-bit samples, all channels together, that one encoder call takes.
  std::size_t SamplesPerChunk() const { return input_.size(); }
  // Bytes waiting in the input buffer for the next chunk.
  std::size_t FillBytes() const { return fill_; }
  // Full chunks encoded so far, and the samples (all channels) of the
  // partial chunk encoded at the last close.
  std::uint64_t FullChunks() const { return fullChunks_; }
  std::size_t LastPartialSamples() const { return lastPartialSamples_; }

 private:
  // Encodes `samples` 16-bit samples (all channels) of the input buffer and
  // appends the output; false when LAME fails.
  bool EncodeInput(std::size_t samples);
  bool Append(int bytes);
  void Release();

  lame_global_struct* lame_ = nullptr;
  std::uint32_t channels_ = 0;
  std::vector<std::int16_t> input_;
  std::size_t fill_ = 0;  // bytes
  std::vector<unsigned char> output_;
  std::FILE* file_ = nullptr;
  std::vector<char> fileBuffer_;  // the stream's buffer: glibc ignores a size given without one
  bool writeFailed_ = false;
  std::uint64_t fullChunks_ = 0;
  std::size_t lastPartialSamples_ = 0;
};

}  // namespace zandro
