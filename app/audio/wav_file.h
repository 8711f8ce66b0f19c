#pragma once
// WAV (RIFF "WAVE") files: our own chunk walk in place of the design's
// multimedia file functions. Only 16-bit PCM is read; files are written with
// the 46-byte header (an 18-byte "fmt " chunk with cbSize).

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "audio/audio_info.h"

namespace zandro {

// The first 18 bytes of a "fmt " chunk (fields a shorter chunk lacks stay 0).
struct WaveFormat {
  std::uint16_t formatTag = 0;
  std::uint16_t channels = 0;
  std::uint32_t samplesPerSec = 0;
  std::uint32_t avgBytesPerSec = 0;
  std::uint16_t blockAlign = 0;
  std::uint16_t bitsPerSample = 0;
  std::uint16_t cbSize = 0;
};

// Where the parts of a WAV file lie.
struct WavLayout {
  WaveFormat format;
  std::uint64_t dataOffset = 0;     // first sample byte
  std::uint32_t declaredDataSize = 0;
  std::uint64_t dataSize = 0;       // sample bytes the file really holds
};

// Walks the chunks of an open file: the RIFF form "WAVE", its first "fmt "
// chunk (at least 16 bytes) and the "data" chunk after it. Chunk sizes and
// pad bytes are followed; the walk ends at the end of the file, whatever the
// RIFF size claims. Nothing for a file that lacks any of them.
std::optional<WavLayout> ReadWavLayout(std::FILE* file);

// The WAV branch of ProbeAudioFile (messages included); `info.kind` is left 0.
bool ProbeWavFile(const std::string& fileName, AudioInfo& info);

class WavReader {
 public:
  WavReader() = default;
  WavReader(const WavReader&) = delete;
  WavReader& operator=(const WavReader&) = delete;
  ~WavReader();

  // Positions at `startMs` into the sample data, using the rate and channel
  // count of `info`, not of the file.
  bool Open(const std::string& fileName, const AudioInfo& info, std::uint32_t startMs);

  // Reads up to `capacity` bytes, never past the end of the "data" chunk;
  // 0 at its end or on a read error.
  std::size_t Read(std::uint8_t* buffer, std::size_t capacity);

  void Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  std::FILE* file_ = nullptr;
  std::uint64_t remaining_ = 0;
  std::vector<char> buffer_;  // the stream's buffer: glibc ignores a size given without one
};

class WavWriter {
 public:
  static constexpr std::uint32_t kHeaderSize = 46;
  // Largest data size whose padded chunk still fits the RIFF size field.
  static constexpr std::uint64_t kMaxDataSize = 0xFFFFFFFFull - (kHeaderSize - 8) - 1;

  // A smaller limit lets tests reach the overflow check without 4 GiB files.
  explicit WavWriter(std::uint64_t maxDataSize = kMaxDataSize) : maxDataSize_(maxDataSize) {}
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;
  ~WavWriter();

  // Creates (or truncates) the file and writes the header with sizes 0.
  // False, and nothing left behind, when that fails.
  bool Create(const std::string& fileName, const AudioInfo& info);

  // False on an I/O error, or when the block would grow the file past what
  // the 32-bit RIFF sizes can hold (then nothing of it is written).
  bool Write(const std::uint8_t* data, std::size_t byteCount);

  // Writes the pad byte and the sizes and closes; true when the file is
  // complete and every write succeeded.
  bool Close();
  bool IsOpen() const { return file_ != nullptr; }

 private:
  std::uint64_t maxDataSize_;
  std::FILE* file_ = nullptr;
  std::uint64_t dataSize_ = 0;
  bool failed_ = false;
  std::vector<char> buffer_;  // the stream's buffer: glibc ignores a size given without one
};

}  // namespace zandro
