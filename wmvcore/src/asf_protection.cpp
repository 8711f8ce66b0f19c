#include "asf_protection.h"

#include <cstdint>

#include "asf_layout.h"

namespace wmvcore::detail {
namespace {

constexpr Guid kContentEncryption{0xFB, 0xB3, 0x11, 0x22, 0x23, 0xBD, 0xD2, 0x11,
                                  0xB4, 0xB7, 0x00, 0xA0, 0xC9, 0x55, 0xFC, 0x6E};
constexpr Guid kExtendedContentEncryption{0x14, 0xE6, 0x8A, 0x29, 0x22, 0x26, 0x17, 0x4C,
                                          0xB9, 0x35, 0xDA, 0xE0, 0x7E, 0xE9, 0x28, 0x9C};
constexpr Guid kAdvancedContentEncryption{0x33, 0x85, 0x05, 0x43, 0x81, 0x69, 0xE6, 0x49,
                                          0x9B, 0x74, 0xAD, 0x12, 0xCB, 0x86, 0xD5, 0x8C};

// Headers are small; a bigger one is not worth reading for this question.
constexpr std::uint64_t kMaxHeaderBytes = 16 * 1024 * 1024;

// Walks objects (GUID, 64-bit size, body) in [begin, end).
bool ScanObjects(const std::uint8_t* begin, const std::uint8_t* end, bool allowExtension) {
  const std::uint8_t* p = begin;
  while (end - p >= 24) {
    const std::uint64_t size = Le(p + 16, 8);
    if (size < 24 || size > static_cast<std::uint64_t>(end - p)) return false;
    if (IsGuid(p, kContentEncryption) || IsGuid(p, kExtendedContentEncryption) ||
        IsGuid(p, kAdvancedContentEncryption)) {
      return true;
    }
    // Header extension: reserved GUID, reserved word, data size, then objects.
    if (allowExtension && IsGuid(p, kAsfHeaderExtension) && size >= 24 + 22) {
      if (ScanObjects(p + 24 + 22, p + size, false)) return true;
    }
    p += size;
  }
  return false;
}

}  // namespace

bool HasContentEncryption(const std::string& path) {
  // What the file holds of the header is enough for this question.
  const AsfHeaderBytes header = ReadAsfHeaderBytes(path, kMaxHeaderBytes);
  if (header.status != AsfHeaderBytes::Status::Read) return false;
  return ScanObjects(header.body.data(), header.body.data() + header.body.size(), true);
}

}  // namespace wmvcore::detail
