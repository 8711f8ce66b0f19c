#include "asf_protection.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <vector>

namespace wmvcore::detail {
namespace {

using Guid = std::array<std::uint8_t, 16>;

// GUIDs as they are stored in the file (first three fields little-endian).
constexpr Guid kHeaderObject{0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                             0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr Guid kHeaderExtension{0xB5, 0x03, 0xBF, 0x5F, 0x2E, 0xA9, 0xCF, 0x11,
                                0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr Guid kContentEncryption{0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                  0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
constexpr Guid kExtendedContentEncryption{0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                          0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
constexpr Guid kAdvancedContentEncryption{0x33, 0x85, 0x05, 0x43, 0x81, 0x69, 0xE6, 0x49,
                                          0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C};

// Headers are small; a bigger one is not worth reading for this question.
constexpr std::uint64_t kMaxHeaderBytes = 16 * 1024 * 1024;

std::uint64_t Le64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

bool IsGuid(const std::uint8_t* p, const Guid& g) { return std::memcmp(p, g.data(), 16) == 0; }

// Walks objects (GUID, 64-bit size, body) in [begin, end).
bool ScanObjects(const std::uint8_t* begin, const std::uint8_t* end, bool allowExtension) {
  const std::uint8_t* p = begin;
  while (end - p >= 24) {
    const std::uint64_t size = Le64(p + 16);
    if (size < 24 || size > static_cast<std::uint64_t>(end - p)) return false;
    if (IsGuid(p, kContentEncryption) || IsGuid(p, kExtendedContentEncryption) ||
        IsGuid(p, kAdvancedContentEncryption)) {
      return true;
    }
    // Header extension: reserved GUID, reserved word, data size, then objects.
    if (allowExtension && IsGuid(p, kHeaderExtension) && size >= 24 + 22) {
      if (ScanObjects(p + 24 + 22, p + size, false)) return true;
    }
    p += size;
  }
  return false;
}

}  // namespace

bool HasContentEncryption(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::uint8_t preamble[30];
  if (!in.read(reinterpret_cast<char*>(preamble), sizeof preamble)) return false;
  if (!IsGuid(preamble, kHeaderObject)) return false;
  const std::uint64_t headerSize = Le64(preamble + 16);
  if (headerSize <= sizeof preamble || headerSize > kMaxHeaderBytes) return false;
  std::vector<std::uint8_t> body(headerSize - sizeof preamble);
  in.read(reinterpret_cast<char*>(body.data()), static_cast<std::streamsize>(body.size()));
  body.resize(static_cast<std::size_t>(in.gcount()));
  return ScanObjects(body.data(), body.data() + body.size(), true);
}

}  // namespace wmvcore::detail
