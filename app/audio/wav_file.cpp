#include "audio/wav_file.h"

#include <array>
#include <cstring>

#include "audio/rounding.h"
#include "zplatform/input_file.h"
#include "zplatform/messages.h"

namespace zandro {
namespace {

constexpr std::size_t kFileBufferSize = 1 << 16;

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t Le32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
         (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void PutLe16(std::uint8_t* p, std::uint32_t v) {
  p[0] = static_cast<std::uint8_t>(v);
  p[1] = static_cast<std::uint8_t>(v >> 8);
}

void PutLe32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

bool ReadExact(std::FILE* file, void* buffer, std::size_t size) {
  return std::fread(buffer, 1, size, file) == size;
}

std::optional<std::uint64_t> FileSize(std::FILE* file) {
  if (fseeko(file, 0, SEEK_END) != 0) return std::nullopt;
  const off_t size = ftello(file);
  if (size < 0 || fseeko(file, 0, SEEK_SET) != 0) return std::nullopt;
  return static_cast<std::uint64_t>(size);
}

WaveFormat ParseFormat(const std::uint8_t* p, std::size_t size) {
  std::array<std::uint8_t, 18> image{};
  std::memcpy(image.data(), p, size);
  WaveFormat format;
  format.formatTag = Le16(&image[0]);
  format.channels = Le16(&image[2]);
  format.samplesPerSec = Le32(&image[4]);
  format.avgBytesPerSec = Le32(&image[8]);
  format.blockAlign = Le16(&image[12]);
  format.bitsPerSample = Le16(&image[14]);
  format.cbSize = Le16(&image[16]);
  return format;
}

// A probe reads a few headers and keeps the default buffer; a reader
// streams through `buffer` (which must outlive the stream), so that the
// sample data is read in large pieces. Only a regular file opens: a FIFO or
// a device would hang the probe or never end.
std::FILE* OpenForReading(const std::string& fileName, std::vector<char>* buffer = nullptr) {
  std::FILE* file = zplatform::OpenRegularStream(fileName, nullptr);
  if (file && buffer) {
    buffer->resize(kFileBufferSize);
    std::setvbuf(file, buffer->data(), _IOFBF, buffer->size());
  }
  return file;
}

}  // namespace

std::optional<WavLayout> ReadWavLayout(std::FILE* file) {
  const auto fileSize = FileSize(file);
  if (!fileSize || *fileSize < 12) return std::nullopt;

  std::uint8_t header[12];
  if (!ReadExact(file, header, sizeof header)) return std::nullopt;
  if (std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0) {
    return std::nullopt;
  }

  WavLayout layout;
  bool haveFormat = false;
  std::uint64_t position = 12;
  // Each step moves past a whole chunk (header, size, pad byte), so the walk
  // always advances and ends at the end of the file.
  while (position + 8 <= *fileSize) {
    if (fseeko(file, static_cast<off_t>(position), SEEK_SET) != 0) return std::nullopt;
    std::uint8_t chunk[8];
    if (!ReadExact(file, chunk, sizeof chunk)) return std::nullopt;
    const std::uint32_t size = Le32(chunk + 4);
    const std::uint64_t body = position + 8;

    if (!haveFormat && std::memcmp(chunk, "fmt ", 4) == 0) {
      if (size < 16 || body + 16 > *fileSize) return std::nullopt;
      std::uint8_t image[18] = {};
      const std::size_t wanted = size < 18 ? size : 18;
      const std::size_t available =
          static_cast<std::size_t>(std::min<std::uint64_t>(wanted, *fileSize - body));
      if (!ReadExact(file, image, available)) return std::nullopt;
      layout.format = ParseFormat(image, available);
      haveFormat = true;
    } else if (haveFormat && std::memcmp(chunk, "data", 4) == 0) {
      layout.dataOffset = body;
      layout.declaredDataSize = size;
      layout.dataSize = std::min<std::uint64_t>(size, *fileSize - body);
      return layout;
    }
    position = body + size + (size & 1u);
  }
  return std::nullopt;
}

bool ProbeWavFile(const std::string& fileName, AudioInfo& info) {
  using zplatform::MessageKind;
  info = AudioInfo{};

  std::FILE* file = OpenForReading(fileName);
  if (!file) {
    zplatform::ShowMessage(MessageKind::Plain, "Error while open wav file");
    return false;
  }
  const std::optional<WavLayout> layout = ReadWavLayout(file);
  std::fclose(file);

  if (!layout) {
    zplatform::ShowMessage(MessageKind::Plain, "File Error !");
    return false;
  }
  const WaveFormat& format = layout->format;
  info.sampleRate = format.samplesPerSec;
  info.channels = format.channels;
  if (format.samplesPerSec == 0 || format.channels == 0) {
    zplatform::ShowMessage(MessageKind::Plain, "File Error !");
    return false;
  }
  info.durationMs = RoundHalfEven<std::uint32_t>(static_cast<double>(layout->dataSize) /
                                                 info.sampleRate / info.channels / 2.0 * 1000.0);
  info.bitrate = (info.sampleRate * info.channels * 2u) >> 7;

  if (format.bitsPerSample != 16) {
    zplatform::ShowMessage(MessageKind::Plain, "File Error !");
    return false;
  }
  return true;
}

WavReader::~WavReader() { Close(); }

bool WavReader::Open(const std::string& fileName, const AudioInfo& info, std::uint32_t startMs) {
  Close();
  file_ = OpenForReading(fileName, &buffer_);
  if (!file_) return false;
  const std::optional<WavLayout> layout = ReadWavLayout(file_);
  if (!layout) {
    Close();
    return false;
  }
  const std::uint64_t frames = RoundHalfEven<std::uint64_t>(startMs / 1000.0 * info.sampleRate);
  const std::uint64_t skip = std::min<std::uint64_t>(frames * info.channels * 2, layout->dataSize);
  if (fseeko(file_, static_cast<off_t>(layout->dataOffset + skip), SEEK_SET) != 0) {
    Close();
    return false;
  }
  remaining_ = layout->dataSize - skip;
  return true;
}

std::size_t WavReader::Read(std::uint8_t* buffer, std::size_t capacity) {
  if (!file_ || remaining_ == 0) return 0;
  const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(capacity, remaining_));
  const std::size_t got = std::fread(buffer, 1, wanted, file_);
  remaining_ = got < wanted ? 0 : remaining_ - got;
  return got;
}

void WavReader::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  remaining_ = 0;
}

WavWriter::~WavWriter() { Close(); }

bool WavWriter::Create(const std::string& fileName, const AudioInfo& info) {
  Close();
  std::uint8_t header[kHeaderSize];
  std::memcpy(header + 0, "RIFF", 4);
  PutLe32(header + 4, 0);
  std::memcpy(header + 8, "WAVE", 4);
  std::memcpy(header + 12, "fmt ", 4);
  PutLe32(header + 16, 18);
  PutLe16(header + 20, 1);
  PutLe16(header + 22, info.channels);
  PutLe32(header + 24, info.sampleRate);
  PutLe32(header + 28, info.channels * 2u * info.sampleRate);
  PutLe16(header + 32, info.channels * 2u);
  PutLe16(header + 34, 16);
  PutLe16(header + 36, 0);
  std::memcpy(header + 38, "data", 4);
  PutLe32(header + 42, 0);

  file_ = std::fopen(fileName.c_str(), "wb");
  if (!file_) return false;
  buffer_.resize(kFileBufferSize);
  std::setvbuf(file_, buffer_.data(), _IOFBF, buffer_.size());
  if (std::fwrite(header, 1, sizeof header, file_) != sizeof header || std::fflush(file_) != 0) {
    std::fclose(file_);
    file_ = nullptr;
    return false;
  }
  dataSize_ = 0;
  failed_ = false;
  return true;
}

bool WavWriter::Write(const std::uint8_t* data, std::size_t byteCount) {
  if (!file_ || failed_) return false;
  if (byteCount > maxDataSize_ - dataSize_) {
    failed_ = true;
    return false;
  }
  if (std::fwrite(data, 1, byteCount, file_) != byteCount) {
    failed_ = true;
    return false;
  }
  dataSize_ += byteCount;
  return true;
}

bool WavWriter::Close() {
  if (!file_) return false;
  bool ok = !failed_;
  const std::uint64_t padded = dataSize_ + (dataSize_ & 1u);
  if ((dataSize_ & 1u) && std::fputc(0, file_) == EOF) ok = false;

  std::uint8_t size[4];
  PutLe32(size, static_cast<std::uint32_t>(kHeaderSize - 8 + padded));
  if (fseeko(file_, 4, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) ok = false;
  PutLe32(size, static_cast<std::uint32_t>(dataSize_));
  if (fseeko(file_, 42, SEEK_SET) != 0 || std::fwrite(size, 1, 4, file_) != 4) ok = false;
  if (std::fclose(file_) != 0) ok = false;
  file_ = nullptr;
  return ok;
}

}  // namespace zandro
