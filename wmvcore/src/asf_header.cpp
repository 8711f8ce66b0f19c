#include "asf_header.h"

#include <cstdint>

#include "asf_layout.h"

namespace wmvcore::detail {
namespace {

constexpr Guid kExtendedContentDescription{0x40, 0xA4, 0xD0, 0xD2, 0x07, 0xE3, 0xD2, 0x11,
                                           0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50};
constexpr Guid kMetadata{0xEA, 0xCB, 0xF8, 0xC5, 0xAF, 0x5B, 0x77, 0x48,
                         0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA};
constexpr Guid kMetadataLibrary{0x94, 0x1C, 0x23, 0x44, 0x98, 0x94, 0xD1, 0x49,
                                0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54};

constexpr std::size_t kObjectHead = kAsfObjectHead;
constexpr std::size_t kExtensionHead = 46;  // + reserved GUID and word, data size
// Far beyond any real header (cover art included); not read into memory.
constexpr std::uint64_t kMaxHeaderBytes = 64 * 1024 * 1024;

// Extended content descriptors: name length, name, type, value length, value.
bool DescriptorsFit(const std::uint8_t* p, const std::uint8_t* end) {
  if (end - p < 2) return false;
  std::uint64_t count = Le(p, 2);
  p += 2;
  for (; count > 0; --count) {
    if (end - p < 2) return false;
    const std::uint64_t name = Le(p, 2);
    if (static_cast<std::uint64_t>(end - p) < 2 + name + 4) return false;
    const std::uint64_t value = Le(p + 2 + name + 2, 2);
    if (static_cast<std::uint64_t>(end - p) < 2 + name + 4 + value) return false;
    p += 2 + name + 4 + value;
  }
  return true;
}

// Metadata (library) records: two words, name length, type, 32-bit data
// length, name, data.
bool RecordsFit(const std::uint8_t* p, const std::uint8_t* end) {
  if (end - p < 2) return false;
  std::uint64_t count = Le(p, 2);
  p += 2;
  for (; count > 0; --count) {
    if (end - p < 12) return false;
    const std::uint64_t bytes = 12 + Le(p + 4, 2) + Le(p + 8, 4);
    if (static_cast<std::uint64_t>(end - p) < bytes) return false;
    p += bytes;
  }
  return true;
}

// `count` objects (all of them when count is negative) filling [p, end).
bool ObjectsFit(const std::uint8_t* p, const std::uint8_t* end, std::int64_t count) {
  for (; count != 0 && p != end; --count) {
    if (static_cast<std::size_t>(end - p) < kObjectHead) return false;
    const std::uint64_t size = Le(p + 16, 8);
    if (size < kObjectHead || size > static_cast<std::uint64_t>(end - p)) return false;
    const std::uint8_t* body = p + kObjectHead;
    const std::uint8_t* next = p + size;
    if (IsGuid(p, kExtendedContentDescription) && !DescriptorsFit(body, next)) return false;
    if ((IsGuid(p, kMetadata) || IsGuid(p, kMetadataLibrary)) && !RecordsFit(body, next)) return false;
    if (IsGuid(p, kAsfHeaderExtension)) {
      // TagLib walks the extension's objects up to its stated data size.
      if (size < kExtensionHead || Le(p + 42, 4) > size - kExtensionHead) return false;
      if (!ObjectsFit(p + kExtensionHead, p + kExtensionHead + Le(p + 42, 4), -1)) return false;
    }
    p = next;
  }
  return count <= 0;
}

}  // namespace

AsfHeaderCheck CheckAsfHeader(const std::string& path) {
  const AsfHeaderBytes header = ReadAsfHeaderBytes(path, kMaxHeaderBytes);
  if (header.status == AsfHeaderBytes::Status::NotAsf) return AsfHeaderCheck::NotAsf;
  // A header that claims more than the file holds is broken too.
  if (header.status != AsfHeaderBytes::Status::Read || !header.complete) return AsfHeaderCheck::Broken;
  // TagLib reads exactly that many objects, one after the other.
  const std::uint8_t* body = header.body.data();
  return ObjectsFit(body, body + header.body.size(), header.objectCount) ? AsfHeaderCheck::Sound
                                                                         : AsfHeaderCheck::Broken;
}

}  // namespace wmvcore::detail
