#include "asf_duration.h"

#include <cstdio>
#include <memory>

#include "asf_layout.h"

namespace wmvcore::detail {
namespace {

constexpr Guid kFileProperties{0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
// Field offsets inside the File Properties object.
constexpr std::size_t kPlayDuration = 64;
constexpr std::size_t kSendDuration = 72;
constexpr std::size_t kPreroll = 80;  // milliseconds
constexpr std::size_t kFlags = 88;
constexpr std::size_t kFilePropertiesSize = 104;
constexpr std::uint64_t kBroadcast = 1;
constexpr std::uint64_t kUnitsPerMs = 10'000;
constexpr std::uint64_t kMaxHeaderBytes = 16 * 1024 * 1024;

// Offset of the File Properties object in the header's body, or none.
std::optional<std::size_t> FindFileProperties(const AsfHeaderBytes& header) {
  const std::vector<std::uint8_t>& body = header.body;
  std::size_t at = 0;
  while (body.size() - at >= kAsfObjectHead) {
    const std::uint64_t size = Le(body.data() + at + 16, 8);
    if (size < kAsfObjectHead || size > body.size() - at) return std::nullopt;
    if (IsGuid(body.data() + at, kFileProperties)) {
      if (size < kFilePropertiesSize) return std::nullopt;
      return at;
    }
    at += static_cast<std::size_t>(size);
  }
  return std::nullopt;
}

}  // namespace

std::optional<std::uint64_t> ReadAsfPlayDuration(const std::string& path) {
  const AsfHeaderBytes header = ReadAsfHeaderBytes(path, kMaxHeaderBytes);
  if (header.status != AsfHeaderBytes::Status::Read) return std::nullopt;
  const std::optional<std::size_t> at = FindFileProperties(header);
  if (!at) return std::nullopt;
  const std::uint8_t* object = header.body.data() + *at;
  if (Le(object + kFlags, 4) & kBroadcast) return std::nullopt;
  const std::uint64_t play = Le(object + kPlayDuration, 8);
  const std::uint64_t preroll = Le(object + kPreroll, 8);
  if (preroll > play / kUnitsPerMs) return std::nullopt;
  // Windows' writers state the play duration in whole milliseconds with
  // audio past it, and a send duration of their own; FFmpeg's muxer (and so
  // our writer, which keeps the two equal) makes the send duration the play
  // duration less the preroll.
  if (Le(object + kSendDuration, 8) != play - preroll * kUnitsPerMs) return std::nullopt;
  return play - preroll * kUnitsPerMs;
}

bool WriteAsfPlayDuration(const std::string& path, std::uint64_t duration, std::string* reason) {
  const AsfHeaderBytes header = ReadAsfHeaderBytes(path, kMaxHeaderBytes);
  if (header.status != AsfHeaderBytes::Status::Read || !header.complete) {
    *reason = "its ASF header cannot be read";
    return false;
  }
  const std::optional<std::size_t> at = FindFileProperties(header);
  if (!at) {
    *reason = "its ASF header has no file properties";
    return false;
  }
  const std::uint64_t preroll = Le(header.body.data() + *at + kPreroll, 8);
  const std::uint64_t play = duration + preroll * kUnitsPerMs;
  // Play duration, then send duration (the same without the preroll).
  std::uint8_t bytes[16];
  for (int i = 0; i < 8; ++i) {
    bytes[i] = static_cast<std::uint8_t>(play >> (8 * i));
    bytes[8 + i] = static_cast<std::uint8_t>(duration >> (8 * i));
  }
  // The header's body follows the 30-byte preamble of the header object.
  const long offset = static_cast<long>(30 + *at + kPlayDuration);
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "r+b"), &std::fclose);
  if (!file || std::fseek(file.get(), offset, SEEK_SET) != 0 ||
      std::fwrite(bytes, 1, sizeof bytes, file.get()) != sizeof bytes || std::fflush(file.get()) != 0) {
    *reason = "its play duration cannot be written";
    return false;
  }
  return true;
}

}  // namespace wmvcore::detail
